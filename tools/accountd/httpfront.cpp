#include "httpfront.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <sys/socket.h>

namespace {
constexpr int kLingerMs = 2000;
constexpr qint64 kMaxDroppedBytes = 4 * 1024 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 409:
        return "Conflict";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 415:
        return "Unsupported Media Type";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Status";
    }
}

bool isToken(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
        if (!ok)
            return false;
    }
    return true;
}

bool hasToken(const QByteArray &list, const char *token)
{
    for (const QByteArray &item : list.split(','))
        if (item.trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString addressKey(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}
} // namespace

HttpFront::HttpFront(const HttpLimits &limits, Handler handler, ErrorReply errorReply,
                     QObject *parent)
    : QObject(parent), m_limits(limits), m_handler(std::move(handler)),
      m_errorReply(std::move(errorReply)), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &HttpFront::handleNewConnection);
}

HttpFront::~HttpFront()
{
    // Connections report to the counters below while they go.
    qDeleteAll(findChildren<HttpConnection *>(Qt::FindDirectChildrenOnly));
}

quint16 HttpFront::listen(const QHostAddress &address, quint16 port)
{
    // A burst of clients waits in the kernel's queue instead of being reset.
    m_server->setListenBacklogSize(m_limits.listenBacklog);
    return m_server->listen(address, port) ? m_server->serverPort() : 0;
}

void HttpFront::handleNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        const QString address = addressKey(socket->peerAddress());
        // When full, the oldest connection that waits makes room: connections that
        // only hold a slot cannot keep out a client that sends its request.
        if (m_perAddress.value(address) >= m_limits.maxConnectionsPerAddress ||
            (m_connectionCount >= m_limits.maxConnections && !evictOldestWaiting())) {
            // Refused at once, so descriptors stay for the clients already served.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_connectionCount;
        ++m_perAddress[address];
        m_connections.append(new HttpConnection(socket, this));
    }
}

bool HttpFront::evictOldestWaiting()
{
    for (HttpConnection *connection : std::as_const(m_connections)) {
        if (connection->isWaiting()) {
            connection->closeNow();
            delete connection;
            return true;
        }
    }
    return false;
}

void HttpFront::release(HttpConnection *connection, const QString &address)
{
    m_connections.removeOne(connection);
    --m_connectionCount;
    if (--m_perAddress[address] <= 0)
        m_perAddress.remove(address);
}

HttpConnection::HttpConnection(QTcpSocket *socket, HttpFront *front)
    : QObject(front), m_socket(socket), m_front(front), m_timer(new QTimer(this)),
      m_address(addressKey(socket->peerAddress()))
{
    socket->setParent(this);
    // Qt stops reading from the kernel beyond this; the sender then waits.
    socket->setReadBufferSize(front->m_limits.maxHeaderBytes + front->m_limits.maxBodyBytes);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &HttpConnection::handleTimeout);
    connect(socket, &QTcpSocket::readyRead, this, &HttpConnection::pump);
    connect(socket, &QTcpSocket::bytesWritten, this, &HttpConnection::pump);
    connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    armTimer(front->m_limits.idleTimeoutMs);
    pump();
}

HttpConnection::~HttpConnection()
{
    m_front->release(this, m_address);
}

void HttpConnection::armTimer(int ms)
{
    m_timer->start(ms);
}

void HttpConnection::handleTimeout()
{
    if (m_state == State::Busy)
        return;
    if (m_state == State::Closing)
        closeNow();
    else if (m_requestStarted)
        fail(408, QStringLiteral("The request took too long."));
    else
        closeNow();
}

void HttpConnection::pump()
{
    const HttpLimits &limits = m_front->m_limits;
    if (m_state == State::Closing) {
        drain();
        return;
    }
    // One request at a time, and only once the last answer left: a client that sends
    // without reading gets nothing buffered on its behalf.
    while ((m_state == State::Head || m_state == State::Body) && m_socket->bytesToWrite() == 0) {
        if (m_state == State::Head) {
            const qsizetype room = limits.maxHeaderBytes + 4 - m_buffer.size();
            if (room > 0 && m_socket->bytesAvailable() > 0)
                m_buffer += m_socket->read(room);
            while (m_buffer.startsWith("\r\n"))
                m_buffer.remove(0, 2);
            if (m_buffer.isEmpty())
                return;
            if (!m_requestStarted) {
                m_requestStarted = true;
                armTimer(limits.requestTimeoutMs);
            }
            const qsizetype end = m_buffer.indexOf("\r\n\r\n");
            if (end < 0 || end + 4 > limits.maxHeaderBytes) {
                if (m_buffer.size() >= limits.maxHeaderBytes)
                    fail(431, QStringLiteral("The request headers are too large."));
                return;
            }
            const QByteArray head = m_buffer.left(end);
            m_buffer.remove(0, end + 4);
            if (!parseHead(head))
                return;
            m_state = State::Body;
        }
        if (m_buffer.size() < m_bodyLength && m_socket->bytesAvailable() > 0)
            m_buffer += m_socket->read(m_bodyLength - m_buffer.size());
        if (m_buffer.size() < m_bodyLength)
            return;
        m_request.body = m_buffer.left(m_bodyLength);
        m_buffer.remove(0, m_bodyLength);
        dispatch();
    }
}

bool HttpConnection::parseHead(const QByteArray &head)
{
    const HttpLimits &limits = m_front->m_limits;
    m_request = HttpRequest();
    m_request.peer = m_socket->peerAddress();
    QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.takeFirst().trimmed().split(' ');
    if (requestLine.size() != 3 || !isToken(requestLine[0]) || !requestLine[1].startsWith('/')) {
        fail(400, QStringLiteral("The request line is malformed."));
        return false;
    }
    const QByteArray version = requestLine[2];
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        fail(505, QStringLiteral("Only HTTP/1.1 and HTTP/1.0 are spoken here."));
        return false;
    }
    if (lines.size() > limits.maxHeaderCount) {
        fail(431, QStringLiteral("The request has too many headers."));
        return false;
    }
    for (const QByteArray &raw : std::as_const(lines)) {
        const QByteArray line = raw.endsWith('\r') ? raw.chopped(1) : raw;
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = line.left(colon).toLower();
        // No folded lines, no space before the colon: both hide headers from proxies.
        if (colon <= 0 || !isToken(name)) {
            fail(400, QStringLiteral("A request header is malformed."));
            return false;
        }
        const QByteArray value = line.mid(colon + 1).trimmed();
        const auto existing = m_request.headers.constFind(name);
        if (existing != m_request.headers.constEnd() && name == "content-length" &&
            *existing != value) {
            fail(400, QStringLiteral("The request length is ambiguous."));
            return false;
        }
        m_request.headers[name] =
            existing == m_request.headers.constEnd() || name == "content-length"
                ? value
                : *existing + ", " + value;
    }

    const QByteArray connection = m_request.header("connection");
    m_keepAlive =
        version == "HTTP/1.1" ? !hasToken(connection, "close") : hasToken(connection, "keep-alive");
    if (m_request.headers.contains("transfer-encoding")) {
        fail(411, QStringLiteral("Please send the request with a Content-Length."));
        return false;
    }
    m_bodyLength = 0;
    if (m_request.headers.contains("content-length")) {
        const QByteArray text = m_request.header("content-length");
        bool ok = !text.isEmpty() && text.size() <= 18;
        for (char c : text)
            ok = ok && c >= '0' && c <= '9';
        m_bodyLength = ok ? text.toLongLong() : -1;
        if (m_bodyLength < 0) {
            fail(400, QStringLiteral("The request length is malformed."));
            return false;
        }
        if (m_bodyLength > limits.maxBodyBytes) {
            fail(413, QStringLiteral("The request is too large."));
            return false;
        }
    }
    if (m_bodyLength > 0 &&
        m_request.header("expect").compare("100-continue", Qt::CaseInsensitive) == 0)
        m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");

    const QUrl target(QString::fromLatin1("http://host") + QString::fromLatin1(requestLine[1]));
    m_request.path = target.path(QUrl::FullyDecoded);
    m_request.query = QUrlQuery(target);
    m_request.method = requestLine[0];
    if (m_request.method == "HEAD") {
        m_request.method = "GET";
        m_request.head = true;
    }
    return true;
}

void HttpConnection::dispatch()
{
    m_state = State::Busy;
    m_timer->stop();
    QPointer<HttpConnection> self(this);
    m_front->m_handler(m_request, [self](const HttpResponse &response) {
        if (self && self->m_state == State::Busy)
            self->respond(response);
    });
}

void HttpConnection::respond(const HttpResponse &response)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                     reasonPhrase(response.status) + "\r\n";
    if (!response.contentType.isEmpty())
        out += "Content-Type: " + response.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    for (const auto &[name, value] : response.headers)
        out += name + ": " + value + "\r\n";
    out += m_keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (!m_request.head)
        out += response.body;
    m_socket->write(out);
    // Out now, before work queued after the answer: its time must not show.
    m_socket->flush();
    m_request = HttpRequest();
    m_requestStarted = false;
    if (!m_keepAlive) {
        m_state = State::Closing;
        armTimer(kLingerMs);
        drain();
        return;
    }
    m_state = State::Head;
    armTimer(m_front->m_limits.idleTimeoutMs);
    QMetaObject::invokeMethod(this, &HttpConnection::pump, Qt::QueuedConnection);
}

void HttpConnection::closeNow()
{
    m_state = State::Closing;
    m_socket->abort();
    deleteLater();
}

void HttpConnection::drain()
{
    // Closing with unread input would reset the connection and could take the answer
    // with it: send the end, then read and drop what the peer still sends, within bounds.
    m_dropped += m_socket->skip(m_socket->bytesAvailable());
    if (m_dropped > kMaxDroppedBytes) {
        closeNow();
        return;
    }
    if (!m_writeShut && m_socket->bytesToWrite() == 0) {
        m_writeShut = true;
        ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
    }
}

void HttpConnection::fail(int status, const QString &message)
{
    // After a refused request the stream's position is unknown: always close.
    m_keepAlive = false;
    m_state = State::Busy;
    respond(m_front->m_errorReply(status, message));
}
