#include "autojs.h"

#include "adbrunner.h"
#include "controllog.h"

#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <QtEndian>

namespace {

constexpr int kHeaderSize = 16;
constexpr int kLengthFieldSize = 14;
constexpr int kReplyHeaderSize = 8;
constexpr quint32 kJsonMessageKind = 1;
// Replies are small JSON texts; a longer announced frame means the stream is out of step.
constexpr quint32 kMaxReplyLength = 16 * 1024 * 1024;

} // namespace

Autojs::Autojs(const QString &serial, QObject *parent) : QObject(parent), m_serial(serial)
{
    QTcpServer probe;
    if (probe.listen(QHostAddress::LocalHost, 0))
        m_localPort = probe.serverPort();
    probe.close();

    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &Autojs::readReplies);
    connect(m_socket, &QTcpSocket::connected, this, &Autojs::handleConnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_connecting)
            handleConnectFailed();
    });
    m_connectTimer = new QTimer(this);
    m_connectTimer->setSingleShot(true);
    m_connectTimer->setInterval(kConnectTimeoutMs);
    connect(m_connectTimer, &QTimer::timeout, this, &Autojs::handleConnectFailed);
    m_forward = new QFutureWatcher<quint16>(this);
    connect(m_forward, &QFutureWatcher<quint16>::finished, this, &Autojs::handleForwarded);
}

Autojs::~Autojs() = default;

QByteArray Autojs::frame(const QByteArray &jsonText)
{
    // The length counts the bytes that follow; the service reads exactly that many.
    QByteArray header(kHeaderSize, '\0');
    const QByteArray length = QByteArray::number(jsonText.size());
    header.replace(0, qMin<int>(int(length.size()), kLengthFieldSize),
                   length.left(kLengthFieldSize));
    header[kLengthFieldSize] = '1';
    return header + jsonText;
}

QString Autojs::scriptName(const QString &path)
{
    const QString fileName = QFileInfo(path).fileName();
    return fileName.section('.', 0, 0);
}

void Autojs::setRunning(bool running)
{
    m_running = running;
    emit runningStatusChanged();
}

void Autojs::run(QString autojsPath)
{
    m_queue.append({true, autojsPath});
    startNext();
}

void Autojs::stop()
{
    m_queue.append({false, QString()});
    startNext();
}

void Autojs::startNext()
{
    while (!m_runUnderWay && !m_queue.isEmpty()) {
        const Operation next = m_queue.takeFirst();
        if (next.isRun)
            beginRun(next.path);
        else
            sendStop();
    }
}

void Autojs::beginRun(const QString &path)
{
    m_runUnderWay = true;
    m_runPath = path;
    // The task holds copies only: this object may be gone when adb returns.
    // Another computer's server forwards from a port free there, replacing this runner's
    // previous one; the local server from the port chosen here.
    m_forward->setFuture(QtConcurrent::run(
        ADBRunner::phonePool(),
        [serial = m_serial, port = m_localPort, previous = m_serverPort]() -> quint16 {
            if (AdbServers::serverOf(serial).isLocal())
                return ADBRunner::forward(serial, port, kRemotePort) ? port : 0;
            if (previous != 0)
                ADBRunner::removeForward(serial, previous);
            return ADBRunner::forwardToPort(serial, kRemotePort);
        }));
}

void Autojs::handleForwarded()
{
    m_serverPort = m_forward->future().resultCount() == 0 ? 0 : m_forward->result();
    if (m_serverPort == 0) {
        emit userMessage(tr("Failed to connect to AutoJS server"), UserMessage::Kind::Error);
        endRun();
        return;
    }
    m_socket->abort();
    m_receiveBuffer.clear();
    m_connecting = true;
    m_connectTimer->start();
    // A forward made on another computer's adb server listens on that computer.
    const AdbServer server = AdbServers::serverOf(m_serial);
    if (server.isLocal())
        m_socket->connectToHost(QHostAddress::LocalHost, m_serverPort, QIODevice::ReadWrite);
    else
        m_socket->connectToHost(server.host, m_serverPort, QIODevice::ReadWrite);
}

void Autojs::handleConnectFailed()
{
    m_connecting = false;
    m_connectTimer->stop();
    qCInfo(lcControl) << "no AutoJS connection on port" << m_serverPort << m_socket->errorString();
    m_socket->abort();
    emit userMessage(tr("Failed to connect to AutoJS server"), UserMessage::Kind::Error);
    endRun();
}

void Autojs::handleConnected()
{
    if (!m_connecting)
        return;
    m_connecting = false;
    m_connectTimer->stop();

    QFile file(m_runPath);
    if (!file.open(QIODevice::ReadOnly)) {
        emit userMessage(tr("Failed to open AutoJS script file"), UserMessage::Kind::Error);
        endRun();
        return;
    }
    const QString script = QString::fromUtf8(file.readAll());
    file.close();

    QJsonObject command;
    command.insert("command", "run");
    command.insert("id", int(m_localPort));
    command.insert("name", scriptName(m_runPath));
    command.insert("script", script);
    sendCommand(command);
    setRunning(true);
    emit userMessage(tr("AutoJS script started"), UserMessage::Kind::Success);
    endRun();
}

void Autojs::endRun()
{
    m_runUnderWay = false;
    m_runPath.clear();
    startNext();
}

void Autojs::sendStop()
{
    QJsonObject command;
    command.insert("command", "stopAll");
    command.insert("id", int(m_localPort));
    sendCommand(command);
    m_socket->close();
    setRunning(false);
}

void Autojs::sendCommand(const QJsonObject &command)
{
    // Lost without notice when not connected, like any write on a dropped connection.
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    QJsonObject envelope;
    envelope.insert("id", int(m_localPort));
    envelope.insert("type", "command");
    envelope.insert("data", command);
    const QByteArray framed = frame(QJsonDocument(envelope).toJson(QJsonDocument::Compact));
    m_socket->write(framed.left(kHeaderSize));
    m_socket->write(framed.mid(kHeaderSize));
    m_socket->flush();
}

void Autojs::readReplies()
{
    m_receiveBuffer.append(m_socket->readAll());
    // hello, command, bytes_command and log need no answer; reading keeps the line drained.
    parseReplies(m_receiveBuffer);
}

QStringList Autojs::parseReplies(QByteArray &buffer)
{
    QStringList types;
    while (buffer.size() >= kReplyHeaderSize) {
        const quint32 length = qFromBigEndian<quint32>(buffer.constData());
        const quint32 kind = qFromBigEndian<quint32>(buffer.constData() + 4);
        if (length > kMaxReplyLength) {
            buffer.clear();
            break;
        }
        if (quint64(buffer.size()) < quint64(kReplyHeaderSize) + length)
            break;
        const QByteArray payload = buffer.mid(kReplyHeaderSize, qsizetype(length));
        buffer.remove(0, kReplyHeaderSize + qsizetype(length));
        if (kind == kJsonMessageKind)
            types.append(QJsonDocument::fromJson(payload).object().value("type").toString());
    }
    return types;
}
