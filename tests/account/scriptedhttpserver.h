#pragma once
// A small HTTP/1.1 server for client tests: records every request and answers each
// path with the reply scripted for it (404 with an empty body otherwise).
#include <QHash>
#include <QTcpServer>

struct RecordedRequest
{
    QByteArray method;
    QByteArray path;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

struct ScriptedReply
{
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
};

class ScriptedHttpServer : public QObject
{
public:
    ScriptedHttpServer();

    bool start() { return m_server.listen(QHostAddress::LocalHost, 0); }
    QString baseUrl() const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
    }
    void script(const QByteArray &path, const ScriptedReply &reply) { m_replies[path] = reply; }

    QList<RecordedRequest> requests;

private:
    void handleReadable(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QByteArray, ScriptedReply> m_replies;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
