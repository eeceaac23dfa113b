#include "device.h"

#include "adbhostwatch.h"
#include "adblane.h"
#include "adbrunner.h"
#include "appconfig.h"
#include "audiodemuxer.h"
#include "autojs.h"
#include "batterymonitor.h"
#include "controller.h"
#include "controlmsg.h"
#include "devicelink.h"
#include "devicesettings.h"
#include "hostfollower.h"
#include "keymapping.h"
#include "mediarecorder.h"
#include "scrcpyserver.h"
#include "serverparams.h"
#include "tilestream.h"
#include "videodemuxer.h"
#include "videoframefeed.h"
#include "wifiadbswitch.h"

#include <QMutexLocker>
#include <QPointer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <utility>

namespace {
using Kind = UserMessage::Kind;

quint64 packedSize(int width, int height)
{
    return (quint64(quint32(width)) << 32) | quint32(height);
}
} // namespace

Device::Device(QObject *parent, const QString &serial)
    : QObject(parent), m_adbConnectionSerial(serial), m_frameSize(packedSize(-1, -1))
{
    m_videoFeed = new VideoFrameFeed(this);
    m_link = new DeviceLink(this);
    m_serverParamsSmallView = new ServerParams(this);
    m_serverParamsBigView = new ServerParams(this);
    m_serverParamsBigView->setMaxSize(720);
    m_serverParamsBigView->setMaxFps(30);
    m_serverParamsBigView->setBitRate(4000000);
    // The recorder reads the stream choice from the media thread: keep a copy it can read.
    for (ServerParams *params : {m_serverParamsSmallView, m_serverParamsBigView}) {
        connect(params, &ServerParams::audioChanged, this, &Device::updateRecordedStreams);
        connect(params, &ServerParams::maxFpsChanged, this, &Device::updateRecordedStreams);
    }
    updateRecordedStreams();
    m_wifi = new WifiAdbSwitch(
        m_adbConnectionSerial, [this] { return m_ipAddress; }, this);
    connect(m_wifi, &WifiAdbSwitch::userMessage, this, &Device::showUserMessage);
    connect(m_wifi, &WifiAdbSwitch::wifiSerialChanged, this, &Device::connectionTypeChanged);
    connect(m_wifi, &WifiAdbSwitch::finished, this, [this] {
        if (std::exchange(m_startAfterSwitch, false))
            startScrcpySession();
    });
    m_autojs = new Autojs(m_adbConnectionSerial, this);
    m_battery = new BatteryMonitor([this] { return m_adbConnectionSerial; }, this);
    if (!AdbServers::serverOf(m_adbConnectionSerial).isLocal())
        new HostFollower(this); // a child: follows the phone's server while it is away
    connect(m_autojs, &Autojs::userMessage, this, &Device::showUserMessage);
    m_videoRecorder = new MediaRecorder(this);
    connect(m_videoRecorder, &MediaRecorder::userMessage, this, &Device::showUserMessage);
    connect(m_videoRecorder, &MediaRecorder::videoResetRequested, this, [this] {
        if (m_controller)
            m_controller->resetVideo();
    });

    m_restartTimer = new QTimer(this);
    m_restartTimer->setSingleShot(true);
    // A coarse timer may fire up to 5% early; the restart waits the full second.
    m_restartTimer->setTimerType(Qt::PreciseTimer);
    m_restartTimer->setInterval(kViewSwitchRestartMs);
    connect(m_restartTimer, &QTimer::timeout, this, &Device::startScrcpySession);
    m_tileSizeTimer = new QTimer(this);
    m_tileSizeTimer->setSingleShot(true);
    m_tileSizeTimer->setInterval(kTileSettleMs);
    connect(m_tileSizeTimer, &QTimer::timeout, this, [this] { applyTileSize(true); });
}

Device::~Device()
{
    // The session goes first: from then on nothing of the media thread reaches this device
    // or its recorder.
    if (m_server) {
        ScrcpyServer *server = detachServer();
        server->stop();
        delete server;
        emit runningChanged();
    }
    closePipeline();
    destroyController();

    // A running recording finishes its file on its own thread; nobody waits for it here.
    if (m_videoRecorder->isRecording())
        m_videoRecorder->stop();
    if (QThread *thread = m_videoRecorder->recordingThread()) {
        MediaRecorder *recorder = m_videoRecorder;
        // Out of the device's children, or the device's own teardown would delete it now
        // and wait for the thread.
        recorder->setParent(nullptr);
        connect(thread, &QThread::finished, recorder, &QObject::deleteLater);
        if (thread->isFinished())
            recorder->deleteLater();
    } else {
        delete m_videoRecorder;
    }
    m_videoRecorder = nullptr;
}

Controller *Device::controller() const
{
    return m_controller;
}

ServerParams *Device::currentServerParams() const
{
    return m_isBigView ? m_serverParamsBigView : m_serverParamsSmallView;
}

QString Device::nickname() const
{
    return DeviceSettings::instance()->getDeviceNickname(m_adbConnectionSerial);
}

void Device::setIndexInGroup(int index)
{
    if (m_indexInGroup == index)
        return;
    m_indexInGroup = index;
    emit indexInGroupChanged();
}

bool Device::isAudioEnabled() const
{
    // Sessions take their audio choice from the small-view set in both views.
    return m_serverParamsSmallView->audio();
}

KeyMappingProfile *Device::currentKeyMappingProfile() const
{
    return m_currentKeyMappingProfile;
}

VideoDemuxer *Device::videoDemuxer() const
{
    return m_pipeline ? m_pipeline->videoDemuxer() : nullptr;
}

AudioDemuxer *Device::audioDemuxer() const
{
    return m_pipeline ? m_pipeline->audioDemuxer() : nullptr;
}

RecordedStreams Device::recordedStreams() const
{
    QMutexLocker locker(&m_streamInfoMutex);
    return m_recordedStreams;
}

void Device::updateRecordedStreams()
{
    const ServerParams *params = currentServerParams();
    RecordedStreams streams;
    streams.known = true;
    streams.video = params->video();
    streams.audio = params->audio();
    streams.maxFps = params->maxFps();
    QMutexLocker locker(&m_streamInfoMutex);
    m_recordedStreams = streams;
}

QByteArray Device::audioCodecId() const
{
    QMutexLocker locker(&m_streamInfoMutex);
    return m_audioCodecId;
}

void Device::handleAudioCodec(const QByteArray &codecId)
{
    QMutexLocker locker(&m_streamInfoMutex);
    m_audioCodecId = codecId;
}

QSize Device::frameSize() const
{
    const quint64 packed = m_frameSize.load(std::memory_order_relaxed);
    return QSize(int(qint32(packed >> 32)), int(qint32(packed & 0xffffffffu)));
}

void Device::storeFrameSize(int width, int height)
{
    // Written only when it changes: the controller and the group read it for every touch.
    const quint64 packed = packedSize(width, height);
    const QSize before = frameSize();
    if (m_frameSize.load(std::memory_order_relaxed) == packed)
        return;
    m_frameSize.store(packed, std::memory_order_relaxed);
    // Told on the device's own thread: the views bind to it.
    QMetaObject::invokeMethod(
        this,
        [this, size = QSize(width, height)] {
            m_announcedFrameSize = size;
            emit frameSizeChanged();
        },
        Qt::QueuedConnection);
    // A turned phone fits its tile differently: the stream may need another size.
    if (before.isValid() && (before.width() > before.height()) != (width > height))
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_server && m_matchTileSize)
                    m_tileSizeTimer->start();
            },
            Qt::QueuedConnection);
}

void Device::setIsHostDevice(bool isHost)
{
    m_isHostDevice = isHost;
    emit isHostDeviceChanged();
}

void Device::setConnectionType(ConnectionType type)
{
    m_connectionType = type;
    emit connectionTypeChanged();
}

void Device::setIsScreenShotting(bool screenShotting)
{
    m_isScreenShotting = screenShotting;
    emit isScreenShottingChanged();
}

void Device::showUserMessage(const QString &message, UserMessage::Kind kind)
{
    emit deviceMessage(message, UserMessage::typeName(kind), UserMessage::timeoutMs(kind));
}

// ---- session -------------------------------------------------------------------

void Device::setEnableAudio(bool enableAudio)
{
    // The small-view set holds the choice for both views; the big-view set follows
    // so that both describe the same session.
    m_serverParamsSmallView->setAudio(enableAudio);
    m_serverParamsBigView->setAudio(enableAudio);
    showUserMessage(enableAudio ? tr("Audio Enabled, Need Reconnect")
                                : tr("Audio Disabled, Need Reconnect"),
                    Kind::Notice);
    emit isAudioEnabledChanged();
}

void Device::startScrcpySession()
{
    if (m_server)
        return;
    m_restartTimer->stop();
    if (m_wifi->switching()) {
        // adbd is restarting in TCP mode and would refuse the launch: start once it is back.
        m_startAfterSwitch = true;
        return;
    }

    ServerParams *params = currentServerParams();
    if (params == m_serverParamsBigView)
        params->setAudio(m_serverParamsSmallView->audio());
    params->setDeviceSerial(m_adbConnectionSerial);
    params->setSocketName(QStringLiteral("scrcpy_%1").arg(params->scidHex()));

    m_server = new ScrcpyServer(this, params);
    m_sessionParams = params;
    connect(m_server, &ScrcpyServer::started, this, &Device::handleServerStarted);
    connect(m_server, &ScrcpyServer::stopped, this, &Device::handleServerStopped);
    connect(m_server, &ScrcpyServer::videoSocketConnected, this,
            &Device::handleVideoSocketConnected);
    connect(m_server, &ScrcpyServer::audioSocketConnected, this,
            &Device::handleAudioSocketConnected);
    connect(m_server, &ScrcpyServer::controlSocketConnected, this,
            &Device::handleControlSocketConnected);

    // The launch goes on in the background: started() or stopped() tells how it went.
    m_starting = true;
    m_server->start();
    emit runningChanged();
}

void Device::handleServerStarted()
{
    m_starting = false;
}

void Device::stopScrcpySession()
{
    m_link->reportStopRequested();
    m_restartTimer->stop();
    m_startAfterSwitch = false;
    if (!m_server)
        return;
    ScrcpyServer *server = detachServer();
    server->stop();
    server->deleteLater();
    emit runningChanged();
    destroyController();
}

void Device::removeFromDeviceGroup()
{
    stopScrcpySession();
    if (m_wifi->switching())
        return;
    emit removalRequested();
}

ScrcpyServer *Device::detachServer()
{
    // From here on the launcher can no longer call back into this device, and the
    // pipeline of its sockets is cut off.
    ScrcpyServer *server = m_server;
    m_server = nullptr;
    m_sessionParams = nullptr;
    m_starting = false;
    server->disconnect(this);
    closePipeline();
    m_videoFeed->clear();
    return server;
}

void Device::destroyController()
{
    if (!m_controller)
        return;
    delete m_controller;
    m_controller = nullptr;
    emit controllerChanged();
}

StreamPipeline *Device::ensurePipeline()
{
    if (m_pipeline)
        return m_pipeline;
    {
        QMutexLocker locker(&m_streamInfoMutex);
        m_audioCodecId.clear();
    }
    StreamPipeline *pipeline =
        new StreamPipeline(this, m_videoFeed, m_videoRecorder, m_adbConnectionSerial);
    m_pipeline = pipeline;
    pipeline->setMaxLagMs(AppConfig::instance()
                              ->getAppSetting(QStringLiteral("maxLagMs"),
                                              QString::number(StreamPipeline::DefaultMaxLagMs))
                              .toInt());
    connect(pipeline, &StreamPipeline::videoResetNeeded, this, [this, pipeline] {
        if (m_pipeline == pipeline && m_controller)
            m_controller->resetVideo();
    });
    connect(pipeline, &StreamPipeline::catchingUpChanged, this, [this, pipeline](bool on) {
        if (m_pipeline == pipeline)
            setCatchingUp(on);
    });
    connect(pipeline, &StreamPipeline::audioUnavailable, this, [this, pipeline] {
        if (m_pipeline == pipeline)
            showUserMessage(tr("This phone cannot capture sound"), Kind::Notice);
    });
    connect(pipeline, &StreamPipeline::audioDecoderFailed, this, [this, pipeline] {
        if (m_pipeline == pipeline)
            showUserMessage(tr("Sound cannot be decoded, mirroring without sound"), Kind::Error);
    });
    connect(pipeline, &StreamPipeline::videoCodecUnsupported, this, [this, pipeline] {
        if (m_pipeline == pipeline)
            endSessionWithError(tr("This phone sent a video format the application cannot show"));
    });
    connect(pipeline, &StreamPipeline::audioCodecUnsupported, this, [this, pipeline] {
        if (m_pipeline == pipeline)
            endSessionWithError(tr("This phone sent a sound format the application cannot play"));
    });
    return pipeline;
}

void Device::setCatchingUp(bool catchingUp)
{
    if (m_catchingUp == catchingUp)
        return;
    m_catchingUp = catchingUp;
    emit catchingUpChanged();
}

void Device::closePipeline()
{
    if (!m_pipeline)
        return;
    StreamPipeline *pipeline = m_pipeline;
    m_pipeline = nullptr;
    pipeline->disconnect(this);
    setCatchingUp(false);
    // Waits at most for a frame being handed over; the decoding itself goes on undisturbed
    // until the pipeline's end reaches its thread.
    pipeline->close();
    QMutexLocker locker(&m_streamInfoMutex);
    m_audioCodecId.clear();
}

void Device::endSessionWithError(const QString &message)
{
    stopScrcpySession();
    showUserMessage(message, Kind::Error);
}

void Device::handleServerStopped(int exitCode, QProcess::ExitStatus st)
{
    Q_UNUSED(exitCode)
    Q_UNUSED(st)
    const bool failedStart = m_starting;
    if (m_server)
        m_link->reportSessionEnded(failedStart);
    if (m_server) {
        ScrcpyServer *server = detachServer();
        server->deleteLater(); // we are inside its own signal
        destroyController();
        emit runningChanged();
    }
    if (failedStart) {
        // The tile says why before the device leaves its group (without asking adb); a new
        // start meanwhile keeps it.
        showUserMessage(tr("Mirroring could not start"), Kind::Error);
        QTimer::singleShot(UserMessage::timeoutMs(Kind::Error), this, [this] {
            // A phone whose computer is away keeps its tile until the computer is back.
            if (!m_server && !m_link->keepWhenGone() &&
                !AdbHostWatch::instance()->isHostAway(AdbServers::hostLabel(m_adbConnectionSerial)))
                removeFromDeviceGroup();
        });
        return;
    }

    // Whether the phone left decides what the tile says and whether the device stays. The
    // Wi-Fi switch in progress at this moment counts, not the one at the listing's end.
    const bool switching = m_wifi->switching();
    const QString serial = m_adbConnectionSerial;
    AdbLane::run<Listing>(
        serial, this,
        [serial] {
            Listing listing;
            try {
                const QList<ADBDeviceInfo> attached =
                    ADBRunner::getDevices(AdbServers::serverOf(serial));
                listing.read = true;
                listing.attached = std::any_of(
                    attached.cbegin(), attached.cend(),
                    [&serial](const ADBDeviceInfo &entry) { return entry.adb_serial == serial; });
            } catch (const std::exception &) {
            }
            return listing;
        },
        [this, switching](const Listing &listing) { handleListingAfterEnd(listing, switching); });
}

void Device::handleListingAfterEnd(const Listing &listing, bool switchingToWiFi)
{
    if (m_server)
        return; // a new session began meanwhile; its own end will tell
    if (!listing.read) {
        showUserMessage(tr("Mirroring stopped, the adb device list could not be read"),
                        Kind::Error);
        return;
    }
    if (switchingToWiFi)
        return; // adbd restarting in TCP mode ended it; the switch reports its own outcome
    if (listing.attached) {
        showUserMessage(tr("Mirroring ended on the phone"), Kind::Error);
        return;
    }
    // The tile says why before it goes.
    showUserMessage(tr("Phone disconnected"), Kind::Error);
    QTimer::singleShot(UserMessage::timeoutMs(Kind::Error), this, [this] {
        if (!m_server && !m_link->keepWhenGone())
            removeFromDeviceGroup();
    });
}

void Device::handleMessageSent(ControlMsg &msg)
{
    if (m_isHostDevice)
        emit hostMessageSent(msg);
}

void Device::handleVideoFrameSize(QSize size)
{
    storeFrameSize(size.width(), size.height());
}

void Device::handleVideoSocketConnected()
{
    QTcpSocket *socket = m_server ? m_server->takeVideoSocket() : nullptr;
    if (!socket)
        return;
    ensurePipeline()->attachVideo(socket);
}

void Device::handleAudioSocketConnected()
{
    if (!m_server || !m_sessionParams)
        return;
    QTcpSocket *socket = m_server->takeAudioSocket();
    if (!socket)
        return;
    // The stock server writes the device-name field only on a session's first connection.
    const bool nameFieldFirst = !m_sessionParams->video();
    ensurePipeline()->attachAudio(socket, nameFieldFirst);
}

void Device::handleControlSocketConnected()
{
    QTcpSocket *socket = m_server ? m_server->controlSocket() : nullptr;
    if (!socket)
        return;
    if (m_controller) {
        delete m_controller;
        m_controller = nullptr;
    }
    m_controller = new Controller(this, socket);
    connect(m_controller, &Controller::messageSent, this, &Device::handleMessageSent);
    connect(m_controller, &Controller::userMessage, this, &Device::showUserMessage);
    emit controllerChanged();
}

void Device::setIsBigView(bool isBigView)
{
    m_isBigView = isBigView;
    updateRecordedStreams();
    restartSoon();
    emit isBigViewChanged();
}

void Device::restartSoon()
{
    if (m_server) {
        ScrcpyServer *server = detachServer();
        server->stop();
        server->deleteLater();
        emit runningChanged();
        destroyController();
    }
    m_restartTimer->start();
}

void Device::setTileSizeMatching(bool match, int groupMaxSize, int groupBitRate)
{
    m_matchTileSize = match;
    m_groupMaxSize = groupMaxSize;
    m_groupBitRate = groupBitRate;
    applyTileSize(false);
}

void Device::setTileSize(QSizeF pixels)
{
    if (pixels == m_tilePixels)
        return;
    m_tilePixels = pixels;
    // Dragging a slider or the window's edge changes the tile many times: the stream
    // follows once it has settled.
    if (m_server && m_matchTileSize)
        m_tileSizeTimer->start();
    else
        applyTileSize(false);
}

void Device::applyTileSize(bool restart)
{
    ServerParams *small = m_serverParamsSmallView;
    if (!m_matchTileSize || m_tilePixels.isEmpty()) {
        small->setMaxSize(m_groupMaxSize);
        small->setBitRate(m_groupBitRate);
        return;
    }
    const int size = TileStream::maxSize(m_tilePixels, frameSize(), m_groupMaxSize);
    const int old = small->maxSize();
    if (restart && !TileStream::worthRestart(old, size))
        return;
    small->setMaxSize(size);
    small->setBitRate(TileStream::bitRate(size, m_groupMaxSize, m_groupBitRate));
    if (restart && m_server && !m_isBigView)
        restartSoon();
}

#include "moc_device.cpp"
