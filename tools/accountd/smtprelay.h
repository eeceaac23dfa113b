#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>

// Hands finished messages to an SMTP server: plain SMTP, no authentication, one
// connection per message. Failures are reported on stderr; the outbox keeps the copy.
class SmtpRelay : public QObject
{
    Q_OBJECT

public:
    SmtpRelay(const QString &host, quint16 port, QObject *parent = nullptr);

    void relay(const QString &from, const QString &to, const QByteArray &message);

    // The message as it goes after DATA: lines starting with a dot get a second one,
    // and the lone dot ends it.
    static QByteArray dataSection(const QByteArray &message);

private:
    QString m_host;
    quint16 m_port;
};
