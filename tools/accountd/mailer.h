#pragma once
#include <QObject>
#include <QString>

class SmtpRelay;

struct Mail
{
    QString to;
    QString subject;
    QString body;
};

// Every mail lands in the outbox folder as an .eml file (RFC 5322); when a relay
// is configured it is also handed to that SMTP server.
class Mailer : public QObject
{
    Q_OBJECT

public:
    Mailer(const QString &outboxDir, const QString &from, QObject *parent = nullptr);
    ~Mailer() override;

    // host:port of a relay that accepts mail without authentication.
    void setRelay(const QString &host, quint16 port);
    // False (with a reason) when the mail could not be written to the outbox.
    bool send(const Mail &mail, QString *error);
    // Writes on a worker and relays afterwards; failures are only logged.
    void sendLater(const Mail &mail);

    static QByteArray render(const Mail &mail, const QString &from);

private:
    static bool write(const QString &outboxDir, const QByteArray &message, QString *error);

    QString m_outboxDir;
    QString m_from;
    SmtpRelay *m_relay = nullptr;
};
