#include "autojsservice.h"

#include "calllog.h"
#include "fleet.h"
#include "fleetlock.h"
#include "processregistry.h"
#include "tunnels.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>
#include <unistd.h>

namespace {

constexpr int kHeaderSize = 16;
constexpr int kLengthDigits = 14;
constexpr qint64 kMaxJsonLength = 64 * 1024 * 1024;
constexpr qint64 kRegistrationGraceMs = 5000;

// Reads the decimal length of a command frame header; -1 when the header is malformed.
qint64 frameLength(const QByteArray &header)
{
    int digits = 0;
    while (digits < kLengthDigits && header.at(digits) >= '0' && header.at(digits) <= '9')
        ++digits;
    if (digits == 0)
        return -1;
    for (int i = digits; i < kLengthDigits; ++i) {
        if (header.at(i) != '\0')
            return -1;
    }
    if (header.at(14) != '1' || header.at(15) != '\0')
        return -1;
    return header.left(digits).toLongLong();
}

QByteArray replyFrame(const QJsonObject &payload)
{
    const QByteArray json = QJsonDocument(payload).toJson(QJsonDocument::Compact);
    QByteArray frame(8, Qt::Uninitialized);
    qToBigEndian(quint32(json.size()), frame.data());
    qToBigEndian(quint32(1), frame.data() + 4);
    return frame + json;
}

} // namespace

ForwardHelper::ForwardHelper(const ForwardHelperOptions &options, QObject *parent)
    : QObject(parent), m_options(options)
{}

bool ForwardHelper::start()
{
    m_server = new QTcpServer(this);
    if (!m_server->setSocketDescriptor(m_options.listenFd))
        return false;
    connect(m_server, &QTcpServer::newConnection, this, &ForwardHelper::acceptConnections);
    m_startedMs = QDateTime::currentMSecsSinceEpoch();
    auto *watchdog = new QTimer(this);
    connect(watchdog, &QTimer::timeout, this, &ForwardHelper::checkRegistration);
    watchdog->start(500);
    return true;
}

void ForwardHelper::checkRegistration()
{
    // The forward command registers us right after starting us; once the registration
    // (or the whole fleet) is gone, so is the forward.
    const bool fleetGone = !QFile::exists(fleetFilePath(m_options.home));
    const bool deregistered =
        !ProcessRegistry::isRegistered(m_options.home, ::getpid()) &&
        QDateTime::currentMSecsSinceEpoch() - m_startedMs > kRegistrationGraceMs;
    if (fleetGone || deregistered)
        QCoreApplication::exit(0);
    else if (hostCut())
        for (QTcpSocket *socket : m_server->findChildren<QTcpSocket *>())
            socket->abort();
}

bool ForwardHelper::hostCut() const
{
    const std::optional<Fleet> fleet = Fleet::load(m_options.home, nullptr);
    return fleet && fleet->hostCut;
}

int ForwardHelper::abstractSocketPort() const
{
    FleetLock lock(m_options.home);
    for (const ProcessEntry &entry : ProcessRegistry::live(m_options.home)) {
        if (entry.kind == QLatin1String("server") && entry.phone == m_options.phone &&
            entry.socket == m_options.remote && entry.port > 0)
            return entry.port;
    }
    return 0;
}

void ForwardHelper::relay(QTcpSocket *socket)
{
    const int port = abstractSocketPort();
    if (port == 0 || hostCut()) {
        socket->close(); // adb accepts, finds nothing listening on the phone, and closes
        return;
    }
    auto *phoneSide = new QTcpSocket(socket);
    connect(socket, &QTcpSocket::readyRead, phoneSide,
            [socket, phoneSide] { phoneSide->write(socket->readAll()); });
    connect(phoneSide, &QTcpSocket::connected, phoneSide, [socket, phoneSide] {
        if (socket->bytesAvailable() > 0)
            phoneSide->write(socket->readAll());
    });
    connect(phoneSide, &QTcpSocket::readyRead, socket,
            [socket, phoneSide] { socket->write(phoneSide->readAll()); });
    connect(phoneSide, &QTcpSocket::disconnected, socket,
            [socket] { socket->disconnectFromHost(); });
    connect(phoneSide, &QTcpSocket::errorOccurred, socket,
            [socket](QAbstractSocket::SocketError) { socket->disconnectFromHost(); });
    connect(socket, &QTcpSocket::disconnected, phoneSide, [phoneSide] { phoneSide->abort(); });
    phoneSide->connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
}

void ForwardHelper::acceptConnections()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (m_options.remote.startsWith(QLatin1String("localabstract:"))) {
            relay(socket);
            continue;
        }
        const bool serviceRuns = m_options.autojs && tcpPort(m_options.remote) == kAutojsPort;
        if (!serviceRuns) {
            socket->close(); // nothing listens on that phone port
            continue;
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrames(socket); });
    }
}

void ForwardHelper::logLine(QJsonObject line) const
{
    line.insert("timeMs", double(QDateTime::currentMSecsSinceEpoch()));
    line.insert("port", m_options.localPort);
    line.insert("transport", m_options.transport);
    CallLog::appendJsonLine(
        phoneDir(m_options.home, m_options.phone) + QStringLiteral("/autojs.jsonl"), line);
}

void ForwardHelper::readFrames(QTcpSocket *socket)
{
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    while (buffer.size() >= kHeaderSize) {
        const qint64 length = frameLength(buffer.left(kHeaderSize));
        if (length < 0 || length > kMaxJsonLength) {
            logLine({{"error", "malformed frame header"},
                     {"header", QString::fromLatin1(buffer.left(kHeaderSize).toHex(' '))}});
            socket->abort();
            return;
        }
        if (buffer.size() < kHeaderSize + length)
            break;
        const QByteArray json = buffer.mid(kHeaderSize, int(length));
        buffer.remove(0, kHeaderSize + int(length));
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
        if (!document.isObject()) {
            // Usually a length that does not match the bytes sent: the rest is garbage.
            logLine({{"error", "invalid JSON: " + parseError.errorString()},
                     {"length", double(length)},
                     {"text", QString::fromUtf8(json.left(200))}});
            socket->abort();
            return;
        }
        logLine({{"length", double(length)}, {"kind", 1}, {"message", document.object()}});
        if (!socket->property("greeted").toBool()) {
            socket->setProperty("greeted", true);
            socket->write(replyFrame({{"type", "hello"},
                                      {"data", QJsonObject{{"device_name", m_options.model},
                                                           {"client_version", 2},
                                                           {"app_version", "4.1.1"},
                                                           {"app_version_code", 461}}}}));
        }
    }
    socket->setProperty("buffer", buffer);
}
