#include "device.h"

#include "adbrunner.h"
#include "audiodecoder.h"
#include "audiodemuxer.h"
#include "autojs.h"
#include "controller.h"
#include "controlmsg.h"
#include "devicesettings.h"
#include "keymapping.h"
#include "mediarecorder.h"
#include "scrcpyserver.h"
#include "serverparams.h"
#include "simpleaudioplayer.h"
#include "videodecoder.h"
#include "videodemuxer.h"
#include "videoframefeed.h"
#include "yuvfboframe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <exception>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {
using Kind = UserMessage::Kind;

constexpr int kRecorderStopWaitMs = 1000;
constexpr int kRecorderPollMs = 10;

struct PhoneSnapshot
{
    DeviceInfo info;
    QString ip;
};
} // namespace

Device::Device(QObject *parent, const QString &serial)
    : QObject(parent), m_adbConnectionSerial(serial)
{
    m_videoFeed = new VideoFrameFeed(this);
    m_serverParamsSmallView = new ServerParams(this);
    m_serverParamsBigView = new ServerParams(this);
    m_serverParamsBigView->setMaxSize(720);
    m_serverParamsBigView->setMaxFps(30);
    m_serverParamsBigView->setBitRate(4000000);
    m_autojs = new Autojs(m_adbConnectionSerial, this);
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
}

Device::~Device()
{
    if (m_videoRecorder->isRecording()) {
        m_videoRecorder->stop();
        QElapsedTimer waited;
        waited.start();
        while (m_videoRecorder->isRecording() && waited.elapsed() < kRecorderStopWaitMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, kRecorderPollMs);
            QThread::msleep(kRecorderPollMs);
        }
    }
    delete m_videoRecorder;
    m_videoRecorder = nullptr;

    if (m_server) {
        ScrcpyServer *server = detachServer();
        server->stop();
        delete server;
        emit runningChanged();
    }
    destroyController();
    sws_freeContext(m_swsContext);
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
    return m_videoDemuxer;
}

AudioDemuxer *Device::audioDemuxer() const
{
    return m_audioDemuxer;
}

RecordedStreams Device::recordedStreams() const
{
    const ServerParams *params = currentServerParams();
    RecordedStreams streams;
    streams.known = true;
    streams.video = params->video();
    streams.audio = params->audio();
    streams.maxFps = params->maxFps();
    return streams;
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

// ---- background refresh ------------------------------------------------------

void Device::refreshDeviceInfo()
{
    const DeviceInfo info = ADBRunner::getDeviceInfo(m_adbConnectionSerial);
    if (QThread::currentThread() == thread())
        applyDeviceInfo(info);
    else
        QMetaObject::invokeMethod(
            this, [this, info] { applyDeviceInfo(info); }, Qt::QueuedConnection);
}

void Device::refreshIpAddress()
{
    const QString ip = ADBRunner::getDeviceIp(m_adbConnectionSerial);
    if (QThread::currentThread() == thread())
        applyIpAddress(ip);
    else
        QMetaObject::invokeMethod(
            this, [this, ip] { applyIpAddress(ip); }, Qt::QueuedConnection);
}

void Device::refreshInBackground()
{
    // The task gets only the serial, so it never touches a device deleted meanwhile;
    // the watcher dies with the device and the result is then dropped.
    const QString serial = m_adbConnectionSerial;
    auto *watcher = new QFutureWatcher<PhoneSnapshot>(this);
    connect(watcher, &QFutureWatcher<PhoneSnapshot>::finished, this, [this, watcher] {
        const PhoneSnapshot snapshot = watcher->result();
        watcher->deleteLater();
        applyDeviceInfo(snapshot.info);
        applyIpAddress(snapshot.ip);
    });
    watcher->setFuture(QtConcurrent::run([serial] {
        PhoneSnapshot snapshot;
        snapshot.info = ADBRunner::getDeviceInfo(serial);
        snapshot.ip = ADBRunner::getDeviceIp(serial);
        return snapshot;
    }));
}

void Device::applyDeviceInfo(const DeviceInfo &info)
{
    m_deviceInfo = info;
    emit deviceInfoChanged();
}

void Device::applyIpAddress(const QString &ip)
{
    m_ipAddress = ip;
    emit ipAddressChanged();
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

void Device::setShowSize(QSize size)
{
    m_videoFeed->setShowSize(size);
}

QSize Device::showSize() const
{
    return m_videoFeed->showSize();
}

void Device::startScrcpySession()
{
    if (m_server)
        return;
    m_restartTimer->stop();

    ServerParams *params = currentServerParams();
    if (params == m_serverParamsBigView)
        params->setAudio(m_serverParamsSmallView->audio());
    params->setDeviceSerial(m_adbConnectionSerial);
    params->setSocketName(QStringLiteral("scrcpy_%1").arg(params->scidHex()));

    m_server = new ScrcpyServer(this, params);
    m_sessionParams = params;
    connect(m_server, &ScrcpyServer::output, this, &Device::handleServerOutput);
    connect(m_server, &ScrcpyServer::stopped, this, &Device::handleServerStopped);
    connect(m_server, &ScrcpyServer::videoSocketConnected, this,
            &Device::handleVideoSocketConnected);
    connect(m_server, &ScrcpyServer::videoSocketDisconnected, this,
            &Device::handleVideoSocketDisconnected);
    connect(m_server, &ScrcpyServer::audioSocketConnected, this,
            &Device::handleAudioSocketConnected);
    connect(m_server, &ScrcpyServer::audioSocketDisconnected, this,
            &Device::handleAudioSocketDisconnected);
    connect(m_server, &ScrcpyServer::controlSocketConnected, this,
            &Device::handleControlSocketConnected);
    connect(m_server, &ScrcpyServer::controlSocketDisconnected, this,
            &Device::handleControlSocketDisconnected);

    m_audioPlayer = new SimpleAudioPlayer(this);

    m_starting = true;
    const bool started = m_server->start();
    m_starting = false;
    if (!started) {
        // start() already reported stopped(), which released the launcher. The removal
        // runs once this call and the launcher's signal delivery are over.
        if (m_server) {
            ScrcpyServer *server = detachServer();
            server->deleteLater();
        }
        // The tile says why before it leaves the group; a new start meanwhile keeps it.
        showUserMessage(tr("Mirroring could not start"), Kind::Error);
        QTimer::singleShot(UserMessage::timeoutMs(Kind::Error), this, [this] {
            if (!m_server)
                removeFromDeviceGroup();
        });
        return;
    }
    emit runningChanged();
}

void Device::stopScrcpySession()
{
    m_restartTimer->stop();
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
    if (m_switchingToWiFi)
        return;
    emit removalRequested();
}

ScrcpyServer *Device::detachServer()
{
    // From here on the launcher can no longer call back into this device, and the
    // pipeline of its sockets is gone.
    ScrcpyServer *server = m_server;
    m_server = nullptr;
    m_sessionParams = nullptr;
    server->disconnect(this);
    m_videoFeed->clear();
    releaseVideoPipeline();
    releaseAudioPipeline();
    if (m_audioPlayer) {
        // Each session plays through its own player; an idle one would keep the output open.
        m_audioPlayer->deleteLater();
        m_audioPlayer = nullptr;
    }
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

void Device::releaseVideoPipeline()
{
    // The demuxer goes at once, so nothing already queued for it (socket data, its
    // own deferred re-read) reaches the decoder or the recorder afterwards.
    delete m_videoDemuxer;
    if (m_videoDecoder) {
        m_videoDecoder->disconnect(this);
        m_videoDecoder->setDemuxer(nullptr);
        m_videoDecoder->deleteLater();
    }
    m_videoDemuxer = nullptr;
    m_videoDecoder = nullptr;
}

void Device::releaseAudioPipeline()
{
    delete m_audioDemuxer;
    if (m_audioDecoder) {
        m_audioDecoder->disconnect(this);
        m_audioDecoder->setDemuxer(nullptr);
        m_audioDecoder->deleteLater();
    }
    m_audioDemuxer = nullptr;
    m_audioDecoder = nullptr;
}

void Device::endSessionWithError(const QString &message)
{
    // Runs inside the demuxer's read, which stops touching itself once its signal returns.
    stopScrcpySession();
    showUserMessage(message, Kind::Error);
}

void Device::handleServerOutput(QByteArray data)
{
    Q_UNUSED(data)
}

void Device::handleServerStopped(int exitCode, QProcess::ExitStatus st)
{
    Q_UNUSED(exitCode)
    Q_UNUSED(st)
    if (m_server) {
        ScrcpyServer *server = detachServer();
        server->deleteLater(); // we are inside its own signal
        destroyController();
        emit runningChanged();
    }
    // A failed start removes the device anyway once start() has returned.
    if (m_starting)
        return;

    QList<ADBDeviceInfo> attached;
    try {
        attached = ADBRunner::getDevices();
    } catch (const std::exception &) {
        showUserMessage(tr("Mirroring stopped, the adb device list could not be read"),
                        Kind::Error);
        return;
    }
    const bool stillAttached =
        std::any_of(attached.cbegin(), attached.cend(), [this](const ADBDeviceInfo &entry) {
            return entry.adb_serial == m_adbConnectionSerial;
        });
    if (!stillAttached)
        removeFromDeviceGroup();
}

void Device::handleMessageSent(ControlMsg &msg)
{
    if (m_isHostDevice)
        emit hostMessageSent(msg);
}

void Device::handleDecodedVideoFrame(AVFrame *frame)
{
    if (!frame || frame->width < 1 || frame->height < 1)
        return;
    const int width = frame->width;
    const int height = frame->height;
    m_frameSize = QSize(width, height);

    // A stream flagged full range decodes as YUVJ420P: the same planes, and the video
    // item converts with the full-range formula anyway. Through the scaler the tiles,
    // which listen for planes only, would stay black.
    if (frame->format == AV_PIX_FMT_YUV420P || frame->format == AV_PIX_FMT_YUVJ420P) {
        m_videoFeed->publish(YuvFrame::share(frame));
        emit yuvFrameReady(width, height, frame->data[0], frame->linesize[0], frame->data[1],
                           frame->linesize[1], frame->data[2], frame->linesize[2]);
        return;
    }

    m_swsContext =
        sws_getCachedContext(m_swsContext, width, height, AVPixelFormat(frame->format), width,
                             height, AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!m_swsContext)
        return;
    const QImage image =
        ScreenshotConverter::scaleToRgb888(m_swsContext, frame, QSize(width, height));
    if (!image.isNull())
        emit frameReady(image);
}

void Device::handleDecodedAudioFrame(AVFrame *frame)
{
    if (m_audioPlayer)
        m_audioPlayer->play(frame);
}

void Device::handleVideoSocketConnected()
{
    QTcpSocket *socket = m_server ? m_server->videoSocket() : nullptr;
    if (!socket)
        return;
    releaseVideoPipeline();
    m_videoDecoder = new VideoDecoder(m_adbConnectionSerial, this);
    connect(m_videoDecoder, &VideoDecoder::frameDecoded, this, &Device::handleDecodedVideoFrame);
    // The socket owns its demuxer: when the session's sockets go, so does the demuxer.
    m_videoDemuxer = new VideoDemuxer(socket, m_videoRecorder, m_videoDecoder, socket);
    m_videoDecoder->setDemuxer(m_videoDemuxer);
    connect(m_videoDemuxer, &VideoDemuxer::unsupportedCodec, this, [this] {
        endSessionWithError(tr("This phone sent a video format the application cannot show"));
    });
    if (socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(m_videoDemuxer, &VideoDemuxer::read, Qt::QueuedConnection);
}

void Device::handleVideoSocketDisconnected() {}

void Device::handleAudioSocketConnected()
{
    QTcpSocket *socket = m_server ? m_server->audioSocket() : nullptr;
    if (!socket || !m_sessionParams)
        return;
    releaseAudioPipeline();
    m_audioDecoder = new AudioDecoder(this);
    connect(m_audioDecoder, &AudioDecoder::frameDecoded, this, &Device::handleDecodedAudioFrame);
    // The stock server writes the device-name field only on a session's first connection.
    const bool nameFieldFirst = !m_sessionParams->video();
    m_audioDemuxer =
        new AudioDemuxer(socket, m_videoRecorder, m_audioDecoder, nameFieldFirst, socket);
    m_audioDecoder->setDemuxer(m_audioDemuxer);
    connect(m_audioDemuxer, &AudioDemuxer::audioUnavailable, this,
            [this] { showUserMessage(tr("This phone cannot capture sound"), Kind::Notice); });
    connect(m_audioDemuxer, &AudioDemuxer::audioDecoderFailed, this, [this] {
        showUserMessage(tr("Sound cannot be decoded, mirroring without sound"), Kind::Error);
    });
    connect(m_audioDemuxer, &AudioDemuxer::unsupportedCodec, this, [this] {
        endSessionWithError(tr("This phone sent a sound format the application cannot play"));
    });
    if (m_audioPlayer)
        m_audioPlayer->start();
    if (socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(m_audioDemuxer, &AudioDemuxer::read, Qt::QueuedConnection);
}

void Device::handleAudioSocketDisconnected() {}

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

void Device::handleControlSocketDisconnected() {}

void Device::setIsBigView(bool isBigView)
{
    m_isBigView = isBigView;
    if (m_server) {
        ScrcpyServer *server = detachServer();
        server->stop();
        server->deleteLater();
        emit runningChanged();
        destroyController();
    }
    m_restartTimer->start();
    emit isBigViewChanged();
}

// ---- actions -------------------------------------------------------------------

void Device::setNickName(QString nickname)
{
    DeviceSettings *settings = DeviceSettings::instance();
    settings->setDeviceNickname(m_adbConnectionSerial, nickname);
    // The tile and the list show the name whether or not the phone streams.
    emit nickNameChanged();
    // A name the store refused (too long, store full) must not reach the phone's wallpaper.
    if (settings->getDeviceNickname(m_adbConnectionSerial) != nickname)
        return;
    if (m_controller)
        m_controller->setWallpaper(nickname, m_deviceInfo.screen_size.width(),
                                   m_deviceInfo.screen_size.height());
}

void Device::takeScreenshot()
{
    if (m_isScreenShotting)
        return;
    if (!m_videoDecoder || !m_server) {
        showUserMessage(tr("Not Connected"), Kind::BriefError);
        return;
    }
    setIsScreenShotting(true);
    // The watcher belongs to the device: the result still arrives when the decoder is
    // replaced meanwhile (a new session), and is dropped when the device is gone.
    auto *watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcher<bool>::finished, this, [this, watcher] {
        const bool saved = watcher->result();
        watcher->deleteLater();
        if (saved)
            showUserMessage(VideoDecoder::tr("Screenshot Saved"), Kind::Success);
        else
            showUserMessage(VideoDecoder::tr("Screenshot Failed"), Kind::Error);
        setIsScreenShotting(false);
    });
    watcher->setFuture(m_videoDecoder->takeScreenshot());
}

void Device::startRecord()
{
    if (m_controller)
        m_videoRecorder->start();
}

void Device::stopRecord()
{
    // A session that ended under a recording leaves no controller; the file still has to
    // be closed when the user asks.
    if (m_controller || m_videoRecorder->isRecording())
        m_videoRecorder->stop();
}

void Device::installAPK(QString filePath)
{
    if (m_controller)
        m_controller->installApk(filePath);
    else
        showUserMessage(tr("Not Connected"), Kind::BriefError);
}

void Device::runAutojs(QString filePath)
{
    if (!m_autojs || !m_controller)
        return;
    m_autojs->run(filePath);
}

void Device::stopAutojs()
{
    if (!m_controller || !m_autojs || !m_autojs->isRunning())
        return;
    m_autojs->stop();
}

void Device::uploadFile(QString filePath)
{
    if (!m_controller) {
        showUserMessage(tr("Not Connected"), Kind::Error);
        return;
    }
    showUserMessage(tr("Uploading File"), Kind::Progress);
    m_controller->uploadFile(filePath);
}

void Device::shutdown()
{
    if (m_controller)
        m_controller->actionShutdown();
}

void Device::reboot()
{
    if (m_controller)
        m_controller->actionReboot();
}

void Device::sleep()
{
    if (m_controller)
        m_controller->actionSleep();
}

void Device::wakeUp()
{
    if (m_controller)
        m_controller->actionWakeUp();
}

void Device::volumeUp()
{
    if (m_controller)
        m_controller->actionVolumeUp();
}

void Device::volumeDown()
{
    if (m_controller)
        m_controller->actionVolumeDown();
}

void Device::rotateScreen()
{
    if (m_controller)
        m_controller->actionRotateScreen();
}

void Device::swipeUp()
{
    if (m_controller)
        m_controller->actionSwipeUp();
}

void Device::swipeDown()
{
    if (m_controller)
        m_controller->actionSwipeDown();
}

void Device::swipeLeft()
{
    if (m_controller)
        m_controller->actionSwipeLeft();
}

void Device::swipeRight()
{
    if (m_controller)
        m_controller->actionSwipeRight();
}

void Device::back()
{
    if (m_controller)
        m_controller->actionBack();
}

void Device::showTaskList()
{
    if (m_controller)
        m_controller->actionShowTaskList();
}

void Device::home()
{
    if (m_controller)
        m_controller->actionHome();
}

QString Device::executeADBCommand(QString input)
{
    return runADBCommandLines(m_adbConnectionSerial, input);
}

void Device::executeADBCommandAsync(QString input)
{
    if (m_adbCommandRunning)
        return;
    m_adbCommandRunning = true;
    emit adbCommandRunningChanged();
    auto *watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_adbCommandRunning = false;
        emit adbCommandRunningChanged();
        emit adbCommandFinished(watcher->result());
    });
    const QString serial = m_adbConnectionSerial;
    watcher->setFuture(QtConcurrent::run(
        ADBRunner::workPool(), [serial, input] { return runADBCommandLines(serial, input); }));
}

QString Device::runADBCommandLines(const QString &serial, const QString &input)
{
    QString result;
    const QStringList lines = input.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QString command = line.trimmed();
        if (command.isEmpty())
            continue;
        QStringList args{QStringLiteral("-s"), serial};
        args << command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString output = ADBRunner::runCommand(args);
        result += output;
        if (!output.endsWith(QLatin1Char('\n')))
            result += QLatin1Char('\n');
    }
    return result;
}

void Device::setCurrentKeyMappingProfile(KeyMappingProfile *profile)
{
    if (m_currentKeyMappingProfile == profile)
        return;
    m_currentKeyMappingProfile = profile;
    emit currentKeyMappingProfileChanged();
    showUserMessage(profile ? tr("KeyMapping Profile: %1").arg(profile->name())
                            : tr("KeyMapping Disabled"),
                    Kind::Info);
}

// ---- Wi-Fi and USB adb -------------------------------------------------------

void Device::setWiFiConnection()
{
    m_switchingToWiFi = true;
    if (!ADBRunner::tcpip(m_adbConnectionSerial, kWiFiAdbPort)) {
        showUserMessage(tr("Failed to tcpip"), Kind::NoticeError);
        m_switchingToWiFi = false;
        return;
    }
    // adbd on the phone restarts in TCP mode; give it a moment before connecting.
    QTimer::singleShot(kWiFiConnectDelayMs, this, &Device::finishWiFiSwitch);
}

void Device::finishWiFiSwitch()
{
    if (ADBRunner::connect(m_adbConnectionSerial, m_ipAddress, kWiFiAdbPort))
        showUserMessage(tr("WiFi connection enabled"), Kind::NoticeSuccess);
    else
        showUserMessage(tr("Failed to enable \r WiFi connection"), Kind::NoticeError);
    m_switchingToWiFi = false;
}

bool Device::disconnectWiFi()
{
    const bool disconnected = ADBRunner::disconnect(m_adbConnectionSerial);
    if (disconnected)
        removeFromDeviceGroup();
    return disconnected;
}

bool Device::setUSBConnection()
{
    return ADBRunner::usb(m_adbConnectionSerial);
}

#include "moc_device.cpp"
