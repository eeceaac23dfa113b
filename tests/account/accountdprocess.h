#pragma once
// Runs the reference account service (accountd) on a free loopback port with its own
// database and outbox, and talks to it without the product's client where a test
// needs raw HTTP.
#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

struct OutboxMail
{
    QString fileName;
    QString to;
    QString subject;
    QString body;
    QByteArray raw;
};

struct RawReply
{
    int status = 0;
    QByteArray body;
    QJsonObject envelope() const;
};

class AccountdProcess
{
public:
    AccountdProcess();
    ~AccountdProcess();

    static QString binary(); // empty when the build has no accountd
    bool start(const QStringList &extraArgs = {});
    void stop();
    QString baseUrl() const { return m_baseUrl; }
    QString logs(); // everything the service printed so far

    QList<OutboxMail> mails() const;
    QList<OutboxMail> mailsTo(const QString &address) const;

    RawReply call(const QByteArray &method, const QString &path, const QByteArray &body,
                  const QList<QPair<QByteArray, QByteArray>> &headers = {});

    QString homePath(const QString &name) const { return m_home.filePath(name); }

private:
    QTemporaryDir m_home;
    QProcess m_process;
    QString m_baseUrl;
    QByteArray m_output; // of the running service
    QByteArray m_earlierOutput;
};
