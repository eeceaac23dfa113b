#include "scrcpyserver.h"

#include "adblane.h"
#include "adbrunner.h"
#include "devicemessagereceiver.h"
#include "serverparams.h"
#include "serverprocess.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <utility>

namespace {
constexpr int kMaxPendingConnections = 2;

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
    m_listeningServer->disconnect(this);
    // Without stop() nobody else ends the process; after stop() the phone's adb lane ends it
    // behind the phone-side cleanup. Either way nobody waits for it here.
    if (m_process)
        m_process->release();
    m_process = nullptr;
}

QStringList ScrcpyServer::serverArguments(const ServerParams &params)
{
    QStringList args{
        QStringLiteral("-s"),
        params.deviceSerial(),
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
    m_listeningServer->setMaxPendingConnections(kMaxPendingConnections);
    if (!m_listeningServer->listen(QHostAddress::LocalHost, 0)) {
        fail();
        return;
    }
    m_params->setPort(m_listeningServer->serverPort());
    m_phase = Phase::Tunnelling;
    const QString serial = m_params->deviceSerial();
    const QString socketName = m_params->socketName();
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
    const QString serial = m_params->deviceSerial();
    const QString socketName = m_params->socketName();
    auto cleanUp = [serial, socketName] {
        ADBRunner::runCommand({QStringLiteral("-s"), serial, QStringLiteral("shell"),
                               QStringLiteral("pkill"), QStringLiteral("-f"),
                               QLatin1String(kServerClass)});
        ADBRunner::removeReverse(serial, socketName);
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
