#pragma once
#include "controltarget.h"
#include "deviceinfo.h"
#include "recordingsource.h"
#include "streampipeline.h"
#include "usermessage.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <atomic>

class AudioDemuxer;
class Autojs;
class BatteryMonitor;
class ControlMsg;
class Controller;
class DeviceLink;
class KeyMappingProfile;
class MediaRecorder;
class ScrcpyServer;
class ServerParams;
class QTimer;
class VideoDemuxer;
class VideoFrameFeed;
class WifiAdbSwitch;

// One phone of a device group: its adb identity and properties, the mirroring
// session it runs (one ScrcpyServer at a time) and every per-phone action the
// interface offers. Outcomes reach the user through deviceMessage. The group it
// belongs to listens to its signals; the device itself knows only its number there.
//
// The device lives on the GUI thread, which never waits here for adb or for a stream: the
// session's adb steps run on the phone's adb lane, and its media connections are read,
// demuxed and decoded by a StreamPipeline on a media thread, which hands decoded pictures
// straight to the device's video feed; the device keeps only their size. frameSize() and what
// the recorder reads are safe from any thread.
class Device : public QObject, public ControlTarget, public RecordingSource, public StreamSink
{
    Q_OBJECT
    Q_PROPERTY(QString adbConnectionSerial READ adbConnectionSerial CONSTANT)
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    // The picture fell too far behind the phone and skips to the phone's next key frame.
    Q_PROPERTY(bool catchingUp READ catchingUp NOTIFY catchingUpChanged)
    Q_PROPERTY(Controller *controller READ controller NOTIFY controllerChanged)
    Q_PROPERTY(bool isBigView READ isBigView NOTIFY isBigViewChanged)
    Q_PROPERTY(ServerParams *serverParamsSmallView READ serverParamsSmallView CONSTANT)
    Q_PROPERTY(ServerParams *serverParamsBigView READ serverParamsBigView CONSTANT)
    Q_PROPERTY(bool isScreenShotting READ isScreenShotting NOTIFY isScreenShottingChanged)
    Q_PROPERTY(Autojs *autojs READ autojs CONSTANT)
    Q_PROPERTY(BatteryMonitor *battery READ battery CONSTANT)
    Q_PROPERTY(QString nickname READ nickname NOTIFY nickNameChanged)
    Q_PROPERTY(int indexInGroup READ indexInGroup NOTIFY indexInGroupChanged)
    Q_PROPERTY(MediaRecorder *videoRecorder READ videoRecorder CONSTANT)
    Q_PROPERTY(bool adbCommandRunning READ adbCommandRunning NOTIFY adbCommandRunningChanged)
    // The newest decoded picture, for the video items (no per-frame signal through QML).
    Q_PROPERTY(VideoFrameFeed *videoFeed READ videoFeed CONSTANT)
    // The decoded picture's size, (-1, -1) before the first frame; the views keep its shape.
    // The views read the size their change signal announced, never one that is still on its way.
    Q_PROPERTY(QSize frameSize READ announcedFrameSize NOTIFY frameSizeChanged)
    Q_PROPERTY(QString ipAddress READ ipAddress NOTIFY ipAddressChanged)
    Q_PROPERTY(ConnectionType connectionType READ connectionType NOTIFY connectionTypeChanged)
    // ip:port of the Wi-Fi adb connection this phone also has (host-qualified on another
    // computer's server), "" without one.
    Q_PROPERTY(QString wifiSerial READ wifiSerial NOTIFY connectionTypeChanged)
    Q_PROPERTY(DeviceInfo deviceInfo READ deviceInfo NOTIFY deviceInfoChanged)
    Q_PROPERTY(bool isHostDevice READ isHostDevice NOTIFY isHostDeviceChanged)
    Q_PROPERTY(
        bool isAudioEnabled READ isAudioEnabled WRITE setEnableAudio NOTIFY isAudioEnabledChanged)
    Q_PROPERTY(KeyMappingProfile *currentKeyMappingProfile READ currentKeyMappingProfile WRITE
                   setCurrentKeyMappingProfile NOTIFY currentKeyMappingProfileChanged)
    // The phone's state in adb and whether a dropped session waits to start again.
    Q_PROPERTY(DeviceLink *link READ link CONSTANT)

public:
    enum ConnectionType { WiFi = 0, USB = 1 };
    Q_ENUM(ConnectionType)

    // Time the enlarged/tile view switch waits before starting the new session.
    static constexpr int kViewSwitchRestartMs = 1000;
    static constexpr int kTileSettleMs = 1500;

    Device(QObject *parent, const QString &serial);
    ~Device() override;

    QString adbConnectionSerial() const override { return m_adbConnectionSerial; }
    bool running() const { return m_server != nullptr; }
    Controller *controller() const;
    bool isBigView() const { return m_isBigView; }
    ServerParams *serverParamsSmallView() const { return m_serverParamsSmallView; }
    ServerParams *serverParamsBigView() const { return m_serverParamsBigView; }
    // Big-view set while the enlarged view is in use, else the small-view set.
    ServerParams *currentServerParams() const;
    bool isScreenShotting() const { return m_isScreenShotting; }
    Autojs *autojs() const { return m_autojs; }
    BatteryMonitor *battery() const { return m_battery; }
    QString nickname() const override;
    int indexInGroup() const { return m_indexInGroup; }
    MediaRecorder *videoRecorder() const { return m_videoRecorder; }
    VideoFrameFeed *videoFeed() const { return m_videoFeed; }
    DeviceLink *link() const { return m_link; }
    QString ipAddress() const { return m_ipAddress; }
    bool catchingUp() const { return m_catchingUp; }

    // From the group: size the small view's stream to its tile, within these bounds.
    void setTileSizeMatching(bool match, int groupMaxSize, int groupBitRate);
    // The tile's picture area in device pixels. While streaming, a change that moves the
    // stream's size by more than a quarter restarts it once the tile stops changing.
    Q_INVOKABLE void setTileSize(QSizeF pixels);
    ConnectionType connectionType() const { return m_connectionType; }
    QString wifiSerial() const;
    // Every adb serial and the hardware serial (once read) that name this phone.
    QStringList identities() const;
    DeviceInfo deviceInfo() const { return m_deviceInfo; }
    bool isHostDevice() const { return m_isHostDevice; }
    bool isAudioEnabled() const;
    KeyMappingProfile *currentKeyMappingProfile() const override;
    bool switchingToWiFi() const;
    bool adbCommandRunning() const { return m_adbCommandRunning; }

    // adb for each non-empty line of `input` on the phone `serial`, outputs joined
    // (any thread).
    static QString runADBCommandLines(const QString &serial, const QString &input);
    ScrcpyServer *server() const { return m_server; }
    // The current session's pipeline on its media thread; null while no media connection
    // arrived. Its demuxers (null until set up) are objects of that thread.
    StreamPipeline *pipeline() const { return m_pipeline; }
    VideoDemuxer *videoDemuxer() const;
    AudioDemuxer *audioDemuxer() const;

    // Any thread.
    RecordedStreams recordedStreams() const override;
    QByteArray audioCodecId() const override;
    QSize frameSize() const override;
    QSize announcedFrameSize() const { return m_announcedFrameSize; }

    // The group numbers its members (-1 outside a group).
    void setIndexInGroup(int index);
    void setIsHostDevice(bool isHost);
    void setConnectionType(ConnectionType type);
    void setIsScreenShotting(bool screenShotting);

    // Query the phone through adb. On the GUI thread the value is applied at once;
    // from a worker thread it is handed to the GUI thread and applied there.
    void refreshDeviceInfo();
    void refreshIpAddress();
    // Both refreshes, in that order, on the global thread pool; the results are
    // applied on this device's thread (and dropped if the device is gone).
    void refreshInBackground();

    // The one way outcomes reach the tile: as deviceMessage(text, type, timeout).
    void showUserMessage(const QString &message, UserMessage::Kind kind) override;

    // Receives every message the controller sent (connected by function pointer; a
    // non-const reference cannot be a meta-method argument of a QML type).
    void handleMessageSent(ControlMsg &msg);

    // StreamSink, on the media thread (any thread in tests).
    void handleAudioCodec(const QByteArray &codecId) override;
    void handleVideoFrameSize(QSize size) override;

    Q_INVOKABLE void setEnableAudio(bool enableAudio);
    Q_INVOKABLE void startScrcpySession();
    Q_INVOKABLE void stopScrcpySession();
    Q_INVOKABLE void removeFromDeviceGroup();
    Q_INVOKABLE void setWiFiConnection();
    Q_INVOKABLE bool disconnectWiFi();
    // The same on the phone's adb lane, for the interface: returns at once.
    Q_INVOKABLE void disconnectWiFiAsync();
    Q_INVOKABLE bool setUSBConnection();
    Q_INVOKABLE void setNickName(QString nickname);
    Q_INVOKABLE void setIsBigView(bool isBigView);
    Q_INVOKABLE void takeScreenshot();
    Q_INVOKABLE void startRecord();
    Q_INVOKABLE void stopRecord();
    Q_INVOKABLE void installAPK(QString filePath);
    Q_INVOKABLE void runAutojs(QString filePath);
    Q_INVOKABLE void stopAutojs();
    Q_INVOKABLE void uploadFile(QString filePath);
    Q_INVOKABLE QString executeADBCommand(QString input);
    // The same off the GUI thread: adbCommandFinished(output) follows. Ignored while one runs.
    Q_INVOKABLE void executeADBCommandAsync(QString input);
    Q_INVOKABLE void setCurrentKeyMappingProfile(KeyMappingProfile *profile);

signals:
    void runningChanged();
    void frameSizeChanged();
    void catchingUpChanged();
    void controllerChanged();
    void isBigViewChanged();
    void isScreenShottingChanged();
    // The end of a screenshot: an empty text when it was saved, else why not.
    void screenshotFinished(const QString &failure);
    void nickNameChanged();
    void indexInGroupChanged();
    void ipAddressChanged();
    void connectionTypeChanged();
    void deviceInfoChanged();
    void isHostDeviceChanged();
    void isAudioEnabledChanged();
    void currentKeyMappingProfileChanged();

    // For the group: the user asked to take this phone out (or it left adb), and a control
    // message this phone sent while it is the group's host.
    void removalRequested();
    void hostMessageSent(const ControlMsg &msg);

    void deviceMessage(QString message, QString type, int timeout);
    void adbCommandFinished(QString output);
    void adbCommandRunningChanged();

public slots:
    void handleServerStarted();
    void handleServerStopped(int exitCode, QProcess::ExitStatus st);
    void handleVideoSocketConnected();
    void handleAudioSocketConnected();
    void handleControlSocketConnected();

private:
    // What the adb listing after a session's end found.
    struct Listing
    {
        bool read = false;
        bool attached = false;
    };

    ScrcpyServer *detachServer();
    void destroyController();
    StreamPipeline *ensurePipeline();
    void closePipeline();
    void setCatchingUp(bool catchingUp);
    void applyTileSize(bool restart);
    void restartSoon();
    void handleListingAfterEnd(const Listing &listing, bool switchingToWiFi);
    void storeFrameSize(int width, int height);
    void updateRecordedStreams();
    // The phone sent something this session cannot go on with.
    void endSessionWithError(const QString &message);
    void applyDeviceInfo(const DeviceInfo &info);
    void applyIpAddress(const QString &ip);

    Autojs *m_autojs = nullptr;
    BatteryMonitor *m_battery = nullptr;
    DeviceLink *m_link = nullptr;
    WifiAdbSwitch *m_wifi = nullptr;
    DeviceInfo m_deviceInfo;
    ConnectionType m_connectionType = USB;
    QString m_ipAddress;
    bool m_isBigView = false;
    bool m_catchingUp = false;
    bool m_matchTileSize = false;
    int m_groupMaxSize = 720;
    int m_groupBitRate = 4000000;
    QSizeF m_tilePixels;
    QTimer *m_tileSizeTimer = nullptr; // the tile has not changed for a while
    const QString m_adbConnectionSerial;
    QPointer<Controller> m_controller;
    int m_indexInGroup = -1;
    bool m_isHostDevice = false;
    VideoFrameFeed *m_videoFeed = nullptr;
    // Width in the high, height in the low 32 bits; written by the media thread.
    std::atomic<quint64> m_frameSize;
    QSize m_announcedFrameSize{-1, -1}; // the device's thread
    ServerParams *m_serverParamsSmallView = nullptr;
    ServerParams *m_serverParamsBigView = nullptr;
    ScrcpyServer *m_server = nullptr;
    StreamPipeline *m_pipeline = nullptr;
    bool m_isScreenShotting = false;
    bool m_startAfterSwitch = false;
    bool m_adbCommandRunning = false;
    MediaRecorder *m_videoRecorder = nullptr;
    QPointer<KeyMappingProfile> m_currentKeyMappingProfile;
    ServerParams *m_sessionParams = nullptr; // the set the running session started with
    QTimer *m_restartTimer = nullptr;        // pending restart after a view switch
    bool m_starting = false;                 // the launcher has not reported started() yet

    mutable QMutex m_streamInfoMutex; // what the recorder reads from the media thread
    RecordedStreams m_recordedStreams;
    QByteArray m_audioCodecId;
};
