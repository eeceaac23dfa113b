#pragma once
// A small HTTP/1.1 server for client tests: records every request and answers each
// path with the reply scripted for it (404 with an empty body otherwise).
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

struct RecordedRequest
{
    QByteArray method;
    QByteArray path;
    QList<QPair<QByteArray, QByteArray>> headers; // names in lower case
    QByteArray body;

    bool hasHeader(const QByteArray &name) const;
    QByteArray header(const QByteArray &name) const;
};

struct ScriptedReply
{
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
};

class ScriptedHttpServer : public QObject
{
    Q_OBJECT

public:
    explicit ScriptedHttpServer(QObject *parent = nullptr);

    bool start();
    QString baseUrl() const;
    void script(const QByteArray &path, const ScriptedReply &reply) { m_replies[path] = reply; }

    QList<RecordedRequest> requests;

private:
    void handleReadable(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QByteArray, ScriptedReply> m_replies;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
