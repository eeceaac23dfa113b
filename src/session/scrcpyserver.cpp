#include "scrcpyserver.h"

#include "adblane.h"
#include "adbrunner.h"
#include "devicemessagereceiver.h"
#include "forwardconnector.h"
#include "serverparams.h"
#include "serverprocess.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <utility>

namespace {
constexpr int kMaxPendingConnections = 2;
// Another computer's server may be unreachable when a session ends (that is often why it
// ends); its clean-up must not hold the phone's lane, and the next session, for long.
constexpr int kRemoteCleanUpTimeoutMs = 5000;

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}
} // namespace

ScrcpyServer::ScrcpyServer(QObject *parent, ServerParams *params)
    : QObject(parent), m_process(new ServerProcess), m_params(params),
      m_listeningServer(new QTcpServer(this))
{
    // Queued from the process thread; nothing arrives once this launcher is gone.
    connect(m_process, &ServerProcess::output, this, &ScrcpyServer::output);
    connect(m_process, &ServerProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) { emit stopped(exitCode, status); });
    // A process that never started sends no finished(); the session still has to end.
    connect(m_process, &ServerProcess::failedToStart, this,
            [this] { emit stopped(-1, QProcess::CrashExit); });
    connect(m_listeningServer, &QTcpServer::newConnection, this,
            &ScrcpyServer::handleNewConnection);
}

ScrcpyServer::~ScrcpyServer()
{
    // Children go away after this body; none of them may call back into a
    // half-destroyed launcher (a dying socket reports its disconnect).
    delete m_messageReceiver;
    m_messageReceiver = nullptr;
    const auto sockets = m_listeningServer->findChildren<QTcpSocket *>();
    for (QTcpSocket *socket : sockets)
        socket->disconnect(this);
    for (QTcpSocket *socket : {m_videoSocket, m_audioSocket, m_controlSocket}) {
        if (socket)
            socket->disconnect(this);
    }
    m_listeningServer->disconnect(this);
    // Without stop() nobody else ends the process; after stop() the phone's adb lane ends it
    // behind the phone-side cleanup. Either way nobody waits for it here.
    if (m_process)
        m_process->release();
    m_process = nullptr;
}

QStringList ScrcpyServer::serverArguments(const ServerParams &params)
{
    QStringList args = AdbServers::phoneOptions(params.deviceSerial());
    args << QStringList{
        QStringLiteral("shell"),
        QStringLiteral("CLASSPATH=%1").arg(QLatin1String(kRemoteServerPath)),
        QStringLiteral("app_process"),
        QStringLiteral("/"),
        QLatin1String(kServerClass),
        QLatin1String(kServerVersion),
        QStringLiteral("video_bit_rate=%1").arg(params.bitRate()),
        QStringLiteral("audio_codec=%1").arg(params.audioCodec()),
        QStringLiteral("log_level=%1").arg(QStringLiteral("verbose")),
    };
    if (params.maxSize() >= 1)
        args << QStringLiteral("max_size=%1").arg(params.maxSize());
    if (params.maxFps() >= 1)
        args << QStringLiteral("max_fps=%1").arg(params.maxFps());
    args << QStringLiteral("stay_awake=%1").arg(boolText(params.stayAwake()))
         << QStringLiteral("scid=%1").arg(params.scidHex())
         << QStringLiteral("control=%1").arg(boolText(params.control()))
         << QStringLiteral("video=%1").arg(boolText(params.video()))
         << QStringLiteral("audio=%1").arg(boolText(params.audio()));
    if (!AdbServers::serverOf(params.deviceSerial()).isLocal())
        args << QStringLiteral("tunnel_forward=true");
    return args;
}

void ScrcpyServer::start()
{
    if (m_phase != Phase::Idle)
        return;
    m_phase = Phase::Pushing;
    const QString serial = m_params->deviceSerial();
    const QString localFile = ADBRunner::scrcpyServerFilePath();
    AdbLane::run<bool>(
        serial, this,
        [serial, localFile] {
            return ADBRunner::push(serial, localFile, QLatin1String(kRemoteServerPath));
        },
        [this](bool pushed) { continueAfterPush(pushed); });
}

void ScrcpyServer::continueAfterPush(bool pushed)
{
    if (m_phase != Phase::Pushing)
        return; // stopped meanwhile
    if (!pushed) {
        fail();
        return;
    }
    const QString serial = m_params->deviceSerial();
    const QString socketName = m_params->socketName();
    if (isRemote()) {
        m_phase = Phase::Tunnelling;
        AdbLane::run<quint16>(
            serial, this,
            [serial, socketName] { return ADBRunner::forwardToSocket(serial, socketName); },
            [this](quint16 port) { continueAfterForward(port); });
        return;
    }
    m_listeningServer->setMaxPendingConnections(kMaxPendingConnections);
    if (!m_listeningServer->listen(QHostAddress::LocalHost, 0)) {
        fail();
        return;
    }
    m_params->setPort(m_listeningServer->serverPort());
    m_phase = Phase::Tunnelling;
    const quint16 port = m_params->port();
    AdbLane::run<bool>(
        serial, this,
        [serial, socketName, port] { return ADBRunner::reverse(serial, socketName, port); },
        [this](bool reversed) { continueAfterReverse(reversed); });
}

void ScrcpyServer::continueAfterReverse(bool reversed)
{
    if (m_phase != Phase::Tunnelling)
        return;
    if (!reversed) {
        fail();
        return;
    }
    m_phase = Phase::Launched;
    m_process->start(ADBRunner::adbExecutablePath(), serverArguments(*m_params));
    emit started();
}

bool ScrcpyServer::isRemote() const
{
    return !AdbServers::serverOf(m_params->deviceSerial()).isLocal();
}

void ScrcpyServer::continueAfterForward(quint16 port)
{
    if (m_phase != Phase::Tunnelling)
        return;
    if (port == 0) {
        fail();
        return;
    }
    m_forwardPort = port;
    m_params->setPort(port);
    m_phase = Phase::Launched;
    m_process->start(ADBRunner::adbExecutablePath(), serverArguments(*m_params));
    const int streams = int(m_params->video()) + int(m_params->audio()) + int(m_params->control());
    m_forwardConnector = new ForwardConnector(
        this, AdbServers::serverOf(m_params->deviceSerial()).host, port, streams);
    connect(m_forwardConnector, &ForwardConnector::connected, this, [this](QTcpSocket *socket) {
        const bool first = !m_videoTaken && !m_audioTaken && !m_controlTaken;
        socket->setParent(this);
        assign(socket);
        if (first && m_phase == Phase::Launched)
            emit started();
    });
    connect(m_forwardConnector, &ForwardConnector::failed, this, [this](const QString &reason) {
        emit output(reason.toUtf8() + '\n');
        if (m_phase != Phase::Launched)
            return;
        // Ends the server and the forward too; the process must not report a second end.
        if (m_process)
            m_process->disconnect(this);
        stop();
        emit stopped(-1, QProcess::CrashExit);
    });
    m_forwardConnector->start();
}

void ScrcpyServer::stop()
{
    if (m_phase == Phase::Stopped)
        return;
    m_phase = Phase::Stopped;
    if (m_listeningServer->isListening())
        m_listeningServer->close();
    // Closing reports each disconnect, which clears the pointer; take copies first.
    for (QTcpSocket *socket : {m_videoSocket, m_audioSocket, m_controlSocket}) {
        if (socket)
            socket->close();
    }
    if (m_forwardConnector) {
        delete m_forwardConnector; // no connection is made or retried any more
        m_forwardConnector = nullptr;
    }
    const QString serial = m_params->deviceSerial();
    const QString socketName = m_params->socketName();
    const bool remote = isRemote();
    const quint16 forwardPort = m_forwardPort;
    auto cleanUp = [serial, socketName, remote, forwardPort] {
        const int timeoutMs = remote ? kRemoteCleanUpTimeoutMs : 0;
        ADBRunner::run(AdbServers::phoneOptions(serial) +
                           QStringList{QStringLiteral("shell"), QStringLiteral("pkill"),
                                       QStringLiteral("-f"), QLatin1String(kServerClass)},
                       timeoutMs);
        if (!remote)
            ADBRunner::removeReverse(serial, socketName);
        else if (forwardPort != 0)
            ADBRunner::removeForward(serial, forwardPort, timeoutMs);
        return true;
    };
    // The local process goes last, once the phone-side cleanup ran; the lane owns it from
    // here on, and it may outlive this launcher.
    ServerProcess *process = std::exchange(m_process, nullptr);
    AdbLane::post(serial, [cleanUp, process] {
        cleanUp();
        process->release();
    });
}

void ScrcpyServer::fail()
{
    m_phase = Phase::Failed;
    emit stopped(-1, QProcess::CrashExit);
}

QTcpSocket *ScrcpyServer::take(QTcpSocket *&socket)
{
    QTcpSocket *taken = socket;
    socket = nullptr;
    if (taken) {
        taken->disconnect(this);
        taken->setParent(nullptr);
    }
    return taken;
}

QTcpSocket *ScrcpyServer::takeVideoSocket()
{
    return take(m_videoSocket);
}

QTcpSocket *ScrcpyServer::takeAudioSocket()
{
    return take(m_audioSocket);
}

void ScrcpyServer::handleNewConnection()
{
    while (m_listeningServer->hasPendingConnections()) {
        QTcpSocket *socket = m_listeningServer->nextPendingConnection();
        if (!socket)
            return;
        assign(socket);
    }
}

void ScrcpyServer::assign(QTcpSocket *socket)
{
    {
        if (!m_videoTaken && m_params->video()) {
            m_videoTaken = true;
            m_videoSocket = socket;
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                if (m_videoSocket != socket)
                    return;
                m_videoSocket = nullptr;
                emit videoSocketDisconnected();
            });
            emit videoSocketConnected();
        } else if (!m_audioTaken && m_params->audio()) {
            m_audioTaken = true;
            m_audioSocket = socket;
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                if (m_audioSocket != socket)
                    return;
                m_audioSocket = nullptr;
                emit audioSocketDisconnected();
            });
            emit audioSocketConnected();
        } else if (!m_controlTaken && m_params->control()) {
            m_controlTaken = true;
            m_controlSocket = socket;
            m_messageReceiver = new DeviceMessageReceiver(this, socket);
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                if (m_controlSocket != socket)
                    return;
                m_controlSocket = nullptr;
                delete m_messageReceiver;
                m_messageReceiver = nullptr;
                emit controlSocketDisconnected();
            });
            emit controlSocketConnected();
        } else {
            socket->close();
            socket->deleteLater();
        }
    }
}
