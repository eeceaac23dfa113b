#pragma once
#include "version.h"

#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QStringList>

class DeviceMessageReceiver;
class ForwardConnector;
class ServerProcess;
class QTcpServer;
class QTcpSocket;
class ServerParams;

// Launcher of one mirroring session: pushes the phone-side server, listens on
// the loopback interface, sets the adb reverse tunnel, starts the server through
// adb and tells its connections apart by their order (video, audio, control).
// A phone on another computer's adb server cannot reach us through a reverse tunnel; its
// server listens instead (tunnel_forward), and we connect through an adb forward made on
// that server, to that computer. started() then follows the first connection.
// Its adb commands run on the phone's adb lane (AdbLane), never on the caller's thread;
// the listening socket, the accepted sockets and the server's adb process stay on the
// launcher's thread.
class ScrcpyServer : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kRemoteServerPath = "/data/local/tmp/scrcpy-server.jar";
    static constexpr const char *kServerClass = "com.genymobile.scrcpy.Server";
    static constexpr const char *kServerVersion = PARVIX_SERVER_VERSION;

    ScrcpyServer(QObject *parent, ServerParams *params);
    ~ScrcpyServer() override;

    // Begins the launch and returns at once. started() follows once the adb process running
    // the server was launched; a failure emits stopped(-1, CrashExit) instead. Once only.
    void start();
    // Ends the server on the phone, removes the tunnel and ends the local process, in this
    // order, behind whatever the launch still has queued for the phone; a launch under way
    // goes no further. Returns at once. The pkill and the tunnel removal run even when the
    // launch never got as far as listening.
    void stop();
    // The adb process was launched (and stop() was not called).
    bool isLaunched() const { return m_phase == Phase::Launched; }

    QTcpSocket *videoSocket() const { return m_videoSocket; }
    QTcpSocket *audioSocket() const { return m_audioSocket; }
    QTcpSocket *controlSocket() const { return m_controlSocket; }
    DeviceMessageReceiver *messageReceiver() const { return m_messageReceiver; }

    // Hands a media stream's socket over: the caller owns it from here on (and may move it
    // to another thread); the launcher forgets it and reports nothing more about it.
    QTcpSocket *takeVideoSocket();
    QTcpSocket *takeAudioSocket();

    // The adb arguments that start the phone-side server for these parameters.
    static QStringList serverArguments(const ServerParams &params);

signals:
    void output(QByteArray data);
    void stopped(int exitCode, QProcess::ExitStatus st);
    void controlSocketConnected();
    void videoSocketConnected();
    void videoSocketDisconnected();
    void controlSocketDisconnected();
    void audioSocketConnected();
    void audioSocketDisconnected();
    void started();

private:
    enum class Phase { Idle, Pushing, Tunnelling, Launched, Failed, Stopped };

    void continueAfterPush(bool pushed);
    void continueAfterReverse(bool reversed);
    void continueAfterForward(quint16 port);
    void handleNewConnection();
    void assign(QTcpSocket *socket);
    bool isRemote() const;
    void fail();
    QTcpSocket *take(QTcpSocket *&socket);

    Phase m_phase = Phase::Idle;
    // Until stop() hands it to the phone's adb lane.
    ServerProcess *m_process = nullptr;
    ServerParams *m_params = nullptr;
    QTcpServer *m_listeningServer = nullptr;
    QTcpSocket *m_videoSocket = nullptr;
    QTcpSocket *m_audioSocket = nullptr;
    QTcpSocket *m_controlSocket = nullptr;
    DeviceMessageReceiver *m_messageReceiver = nullptr;
    // Each stream is taken once per session, even after its socket went away.
    bool m_videoTaken = false;
    bool m_audioTaken = false;
    bool m_controlTaken = false;
    ForwardConnector *m_forwardConnector = nullptr;
    quint16 m_forwardPort = 0; // computer port of the adb forward, on the phone's server
};
