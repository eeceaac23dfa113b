#pragma once
// The phone-side mirroring server as the phone runs it under app_process: it connects
// back through the reverse tunnel (video, audio, control, as requested), writes the
// stream headers once every connection is up, streams H.264 and Opus packets behind the
// 12-byte frame header, and acts on control messages like a phone would.
#include "fleet.h"
#include "serveroptions.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>

class QTcpServer;
class QTcpSocket;
class VideoSource;
class AudioSource;
struct ControlMessage;
struct EncodedPacket;

struct ServerLaunch
{
    QString home;
    Phone phone;
    QString transport; // serial the server was started through
    ServerOptions options;
    int port = 0; // computer port the reverse tunnel leads to
    // Forward mode: already listening (127.0.0.1) where the adb forward relays the
    // computer's connections to; -1 otherwise.
    int listenFd = -1;
};

class SimServer : public QObject
{
    Q_OBJECT
public:
    explicit SimServer(const ServerLaunch &launch, QObject *parent = nullptr);
    ~SimServer() override;

    void start();
    // Ends the session. signal != 0: the process should then die of that signal.
    void finish(int exitCode, const QString &message = {}, int signal = 0);

signals:
    void finished(int exitCode, int signal);

private:
    enum class Stream { Video, Audio, Control };

    void connectNext();
    void acceptNext();
    void checkHostCut();
    void beginStreams();
    void startAudio();
    void streamVideoFrame();
    void streamAudio();
    void readControl();
    void handle(const ControlMessage &message);
    void injectKeycode(const ControlMessage &message, QJsonObject &log);
    void setPhoneClipboard(const QString &text, bool fromComputer);
    void sendDeviceMessage(const QByteArray &message);
    bool writePacket(QTcpSocket *socket, const EncodedPacket &packet);
    QSize currentScreenSize() const;
    QString logPath(const QString &name) const;
    void checkRegistration();

    ServerLaunch m_launch;
    QVector<Stream> m_pending;           // streams still to connect, in order
    QVector<QTcpSocket *> m_connections; // in connection order
    QTcpSocket *m_video = nullptr;
    QTcpSocket *m_audio = nullptr;
    QTcpSocket *m_control = nullptr;
    QTcpServer *m_listener = nullptr; // forward mode
    std::unique_ptr<VideoSource> m_videoSource;
    std::unique_ptr<AudioSource> m_audioSource;
    QTimer m_videoTimer;
    QTimer m_audioTimer;
    QTimer m_watchdog;
    QElapsedTimer m_clock;
    qint64 m_nextAudioPtsUs = 0;
    QByteArray m_controlBuffer;
    QString m_clipboard;
    QString m_selection;
    bool m_rotated = false; // for sessions without video
    QSize m_clipSize;       // for sessions without video on a phone with a clip
    bool m_finished = false;
    bool m_silent = false; // the host is silently cut
};
