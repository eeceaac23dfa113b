#include "scriptedhttpserver.h"

#include <QTcpSocket>

ScriptedHttpServer::ScriptedHttpServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this,
                    [this, socket] { handleReadable(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_buffers.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

void ScriptedHttpServer::handleReadable(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    RecordedRequest request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    for (const QByteArray &line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        // Keep trailing spaces of values out of the comparison: "Bearer " arrives as is.
        QByteArray value = line.mid(colon + 1);
        if (value.startsWith(' '))
            value.remove(0, 1);
        if (value.endsWith('\r'))
            value.chop(1);
        request.headers.insert(line.left(colon).trimmed().toLower(), value);
    }
    const qsizetype contentLength = request.headers.value("content-length").trimmed().toLongLong();
    if (buffer.size() < headerEnd + 4 + contentLength)
        return;
    request.body = buffer.mid(headerEnd + 4, contentLength);
    buffer.clear();
    requests.append(request);

    const ScriptedReply reply = m_replies.value(request.path, ScriptedReply{404, {}, "text/plain"});
    socket->write("HTTP/1.1 " + QByteArray::number(reply.status) +
                  " Scripted\r\nContent-Type: " + reply.contentType +
                  "\r\nContent-Length: " + QByteArray::number(reply.body.size()) +
                  "\r\nConnection: close\r\n\r\n" + reply.body);
    socket->disconnectFromHost();
}
