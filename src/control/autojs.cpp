#include "autojs.h"

#include "adbrunner.h"

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSemaphore>
#include <QSharedPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtEndian>

namespace {

constexpr int kConnectTimeoutMs = 30000;
// How long a worker waits for the owner thread to carry out one socket step.
constexpr int kOwnerThreadStepTimeoutMs = 10000;
constexpr int kHeaderSize = 16;
constexpr int kLengthFieldSize = 14;
constexpr int kReplyHeaderSize = 8;
constexpr quint32 kJsonMessageKind = 1;
// Replies are small JSON texts; a longer announced frame means the stream is out of step.
constexpr quint32 kMaxReplyLength = 16 * 1024 * 1024;

} // namespace

// The outcome of one connection attempt, shared between the owner thread that drives
// the socket and the thread that waits for it.
struct Autojs::ConnectAttempt
{
    QSemaphore finished;
    std::atomic_bool decided{false};
    std::atomic_bool connected{false};
};

Autojs::Autojs(const QString &serial, QObject *parent) : QObject(parent), m_serial(serial)
{
    chooseLocalPort();
}

Autojs::~Autojs() = default;

void Autojs::chooseLocalPort()
{
    QTcpServer probe;
    if (probe.listen(QHostAddress::LocalHost, 0))
        m_localPort = probe.serverPort();
    probe.close();
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &Autojs::readReplies);
}

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

void Autojs::report(const QString &message, UserMessage::Kind kind)
{
    emit userMessage(message, kind);
}

void Autojs::setRunning(bool running)
{
    m_running.store(running);
    emit runningStatusChanged();
}

bool Autojs::onOwnerThread(const std::function<void()> &step)
{
    if (QThread::currentThread() == thread()) {
        step();
        return true;
    }
    auto done = QSharedPointer<QSemaphore>::create();
    QMetaObject::invokeMethod(
        this,
        [step, done] {
            step();
            done->release();
        },
        Qt::QueuedConnection);
    // A bounded wait: an owner thread that is blocked must not hang the worker forever.
    return done->tryAcquire(1, kOwnerThreadStepTimeoutMs);
}

bool Autojs::connectToService()
{
    if (!ADBRunner::forward(m_serial, m_localPort, kRemotePort))
        return false;

    if (QThread::currentThread() == thread()) {
        m_socket->abort();
        m_receiveBuffer.clear();
        m_socket->connectToHost(QHostAddress::LocalHost, m_localPort, QIODevice::ReadWrite);
        return m_socket->waitForConnected(kConnectTimeoutMs);
    }

    // From a worker: the socket stays on its own thread and the worker waits for the outcome.
    auto attempt = QSharedPointer<ConnectAttempt>::create();
    const bool started = onOwnerThread([this, attempt] {
        m_socket->abort();
        m_receiveBuffer.clear();
        auto *watch = new QObject(this);
        auto finish = [attempt, watch](bool connected) {
            if (attempt->decided.exchange(true))
                return;
            attempt->connected.store(connected);
            attempt->finished.release();
            watch->deleteLater();
        };
        connect(m_socket, &QTcpSocket::connected, watch, [finish] { finish(true); });
        connect(m_socket, &QTcpSocket::errorOccurred, watch, [finish] { finish(false); });
        m_socket->connectToHost(QHostAddress::LocalHost, m_localPort, QIODevice::ReadWrite);
    });
    if (!started)
        return false;
    if (attempt->finished.tryAcquire(1, kConnectTimeoutMs))
        return attempt->connected.load();
    onOwnerThread([this] { m_socket->abort(); });
    return false;
}

void Autojs::sendCommand(const QJsonObject &command)
{
    QJsonObject envelope;
    envelope.insert("id", int(m_localPort));
    envelope.insert("type", "command");
    envelope.insert("data", command);
    const QByteArray json = QJsonDocument(envelope).toJson(QJsonDocument::Compact);
    const QByteArray framed = frame(json);
    onOwnerThread([this, framed] {
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            return; // lost without notice, like any write on a dropped connection
        m_socket->write(framed.left(kHeaderSize));
        m_socket->write(framed.mid(kHeaderSize));
        m_socket->flush();
    });
}

void Autojs::run(QString autojsPath)
{
    QMutexLocker operation(&m_operationMutex);
    if (!connectToService()) {
        report(tr("Failed to connect to AutoJS server"), UserMessage::Kind::Error);
        return;
    }
    QFile file(autojsPath);
    if (!file.open(QIODevice::ReadOnly)) {
        report(tr("Failed to open AutoJS script file"), UserMessage::Kind::Error);
        return;
    }
    const QString script = QString::fromUtf8(file.readAll());
    file.close();

    QJsonObject command;
    command.insert("command", "run");
    command.insert("id", int(m_localPort));
    command.insert("name", scriptName(autojsPath));
    command.insert("script", script);
    sendCommand(command);
    setRunning(true);
    report(tr("AutoJS script started"), UserMessage::Kind::Success);
}

void Autojs::stop()
{
    QMutexLocker operation(&m_operationMutex);
    QJsonObject command;
    command.insert("command", "stopAll");
    command.insert("id", int(m_localPort));
    sendCommand(command);
    onOwnerThread([this] { m_socket->close(); });
    setRunning(false);
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
