#pragma once
#include <QObject>
#include <QProcess>
#include <QStringList>

class DeviceMessageReceiver;
class QTcpServer;
class QTcpSocket;
class ServerParams;

// Launcher of one mirroring session: pushes the phone-side server, listens on
// the loopback interface, sets the adb reverse tunnel, starts the server through
// adb and tells its connections apart by their order (video, audio, control).
class ScrcpyServer : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kRemoteServerPath = "/data/local/tmp/scrcpy-server.jar";
    static constexpr const char *kServerClass = "com.genymobile.scrcpy.Server";
    static constexpr const char *kServerVersion = "3.3.1";

    ScrcpyServer(QObject *parent, ServerParams *params);
    ~ScrcpyServer() override;

    // True when the adb process running the server was launched. A failure emits
    // stopped(-1, CrashExit) before returning false.
    bool start();
    // Ends the server on the phone, removes the tunnel and ends the local process.
    void stop();

    QTcpSocket *videoSocket() const { return m_videoSocket; }
    QTcpSocket *audioSocket() const { return m_audioSocket; }
    QTcpSocket *controlSocket() const { return m_controlSocket; }
    DeviceMessageReceiver *messageReceiver() const { return m_messageReceiver; }

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

private:
    void handleNewConnection();
    void fail();

    QProcess *m_process = nullptr;
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
};
