#pragma once
#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrlQuery>
#include <functional>

class QTcpServer;
class QTcpSocket;
class QTimer;

struct HttpRequest
{
    QByteArray method; // as sent; HEAD arrives as GET with head set
    bool head = false;
    QString path;
    QUrlQuery query;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    QHostAddress peer;

    QByteArray header(const char *lowerName) const { return headers.value(lowerName); }
};

struct HttpResponse
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;

    void addHeader(const QByteArray &name, const QByteArray &value)
    {
        headers.append({name, value});
    }
};

// What one client may cost: every limit holds before the bytes are read, so memory per
// connection stays below header plus body limit whatever a client sends.
struct HttpLimits
{
    qsizetype maxHeaderBytes = 16 * 1024;
    qsizetype maxBodyBytes = 64 * 1024;
    int maxHeaderCount = 64;
    int requestTimeoutMs = 10000; // from a request's first byte to its last
    int idleTimeoutMs = 15000;    // between requests of a kept-alive connection
    int maxConnections = 256;
    int maxConnectionsPerAddress = 64;
    int listenBacklog = 1024;
};

class HttpConnection;

// A small HTTP/1.1 server on QTcpServer: request line and headers with caps, bodies by
// Content-Length only, keep-alive, "Connection: close" and HTTP/1.0.
class HttpFront : public QObject
{
    Q_OBJECT

public:
    using Responder = std::function<void(const HttpResponse &)>;
    using Handler = std::function<void(const HttpRequest &, const Responder &)>;
    // Replies of the front itself (413, 431, 408, ...), in the service's format.
    using ErrorReply = std::function<HttpResponse(int status, const QString &message)>;

    HttpFront(const HttpLimits &limits, Handler handler, ErrorReply errorReply,
              QObject *parent = nullptr);
    ~HttpFront() override;

    quint16 listen(const QHostAddress &address, quint16 port);
    int connectionCount() const { return m_connectionCount; }

private:
    friend class HttpConnection;
    void handleNewConnection();
    void release(HttpConnection *connection, const QString &address);
    bool evictOldestWaiting();

    HttpLimits m_limits;
    Handler m_handler;
    ErrorReply m_errorReply;
    QTcpServer *m_server;
    int m_connectionCount = 0;
    QHash<QString, int> m_perAddress;
    QList<HttpConnection *> m_connections; // oldest first
};

class HttpConnection : public QObject
{
    Q_OBJECT

public:
    HttpConnection(QTcpSocket *socket, HttpFront *front);
    ~HttpConnection() override;

    // Idle, or still sending its request: nothing is lost when it goes.
    bool isWaiting() const { return m_state == State::Head; }
    void closeNow();

private:
    enum class State { Head, Body, Busy, Closing };

    void pump();
    bool parseHead(const QByteArray &head);
    void dispatch();
    void respond(const HttpResponse &response);
    void drain();
    void fail(int status, const QString &message);
    void armTimer(int ms);
    void handleTimeout();

    QTcpSocket *m_socket;
    HttpFront *m_front;
    QTimer *m_timer;
    QString m_address;
    State m_state = State::Head;
    bool m_requestStarted = false;
    bool m_keepAlive = true;
    bool m_writeShut = false;
    qint64 m_dropped = 0;
    qsizetype m_bodyLength = 0;
    QByteArray m_buffer;
    HttpRequest m_request;
};
