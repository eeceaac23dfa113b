#pragma once
// accountd on a free loopback port with its own database and outbox; raw HTTP past the client.
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#ifndef ACCOUNTD_PATH
#define ACCOUNTD_PATH "" // this build has no accountd
#endif

struct OutboxMail
{
    QString body;
    QByteArray raw;
};

struct RawExchange
{
    QByteArray reply;    // every byte the service sent
    bool closed = false; // the service closed the connection in time
    int status = 0;      // the first answer's, and its body
    QByteArray body;
    QList<int> statuses() const;
    QJsonObject envelope() const { return QJsonDocument::fromJson(body).object(); }
};

class AccountdProcess
{
public:
    AccountdProcess() { m_process.setProcessChannelMode(QProcess::MergedChannels); }
    ~AccountdProcess() { stop(); }

    static QString binary() { return QStringLiteral(ACCOUNTD_PATH); }
    bool start(const QStringList &extraArgs = {});
    bool stop(); // whether the service ended on its own with 0 (or was not running)
    QString baseUrl() const { return m_baseUrl; }
    QString logs(); // everything the service printed so far

    QList<OutboxMail> mailsTo(const QString &address = {}) const; // every mail without one
    QStringList userEmails() const; // sorted, from "accountd --list-users"

    // JSON unless the headers say otherwise, from a chosen loopback address: clients differ by it.
    RawExchange call(const QByteArray &method, const QString &path, const QByteArray &body,
                     const QList<QPair<QByteArray, QByteArray>> &headers = {},
                     const QString &from = "127.0.0.1");
    int post(const QString &path, const QByteArray &body, const QString &from = "127.0.0.1")
    {
        return call("POST", path, body, {}, from).status;
    }
    // Bytes as they are; reads until the service closes the connection or waitMs pass.
    RawExchange exchange(const QByteArray &bytes, const QString &from = "127.0.0.1",
                         int waitMs = 5000);
    QString homePath(const QString &name) const { return m_home.filePath(name); }

private:
    QTemporaryDir m_home;
    QProcess m_process;
    QString m_baseUrl;
    QByteArray m_output; // of every run so far
};
