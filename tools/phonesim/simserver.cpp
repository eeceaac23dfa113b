#include "simserver.h"

#include "audiosource.h"
#include "calllog.h"
#include "controlreader.h"
#include "media_clip.h"
#include "processregistry.h"
#include "videosource.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonObject>
#include <QSaveFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>
#include <chrono>
#include <cstdio>
#include <unistd.h>
#include <utility>

namespace {

constexpr quint64 kConfigFlag = quint64(1) << 63;
constexpr quint64 kKeyFrameFlag = quint64(1) << 62;
constexpr qint64 kAudioPacketUs = 20000;
// A host that stops reading must not make us buffer without end; a real encoder would
// block on the socket instead, which skips frames the same way.
constexpr qint64 kMaxVideoBacklog = 4 * 1024 * 1024;
constexpr qint64 kMaxAudioBacklog = 512 * 1024;
constexpr quint32 kAudioDisabled = 0;
constexpr quint32 kAudioError = 1;
constexpr int kKeycodeCut = 277;
constexpr int kKeycodeCopy = 278;
constexpr int kKeycodePaste = 279;

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray bigEndian64(quint64 value)
{
    QByteArray bytes(8, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

// The device name field: at most 63 bytes of UTF-8, cut on a character boundary, then
// zero bytes up to 64.
QByteArray deviceNameField(const QString &name)
{
    QByteArray utf8 = name.toUtf8();
    if (utf8.size() > 63) {
        int cut = 63;
        while (cut > 0 && (quint8(utf8.at(cut)) & 0xC0) == 0x80)
            --cut;
        utf8.truncate(cut);
    }
    utf8.append(64 - utf8.size(), '\0');
    return utf8;
}

QByteArray codecId(const char *fourCc)
{
    return QByteArray(fourCc, 4);
}

// The id a fault puts in place of the real one, cut or zero-padded to four bytes.
QByteArray codecId(const QString &announced, const char *real)
{
    if (announced.isEmpty())
        return codecId(real);
    QByteArray id = announced.toLatin1().left(4);
    id.append(4 - id.size(), '\0');
    return id;
}

void say(FILE *stream, const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stream);
    std::fflush(stream);
}

QString truncatedUtf8(const QString &text, int maxBytes)
{
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= maxBytes)
        return text;
    int cut = maxBytes;
    while (cut > 0 && (quint8(utf8.at(cut)) & 0xC0) == 0x80)
        --cut;
    utf8.truncate(cut);
    return QString::fromUtf8(utf8);
}

} // namespace

SimServer::SimServer(const ServerLaunch &launch, QObject *parent)
    : QObject(parent), m_launch(launch)
{
    m_videoTimer.setTimerType(Qt::PreciseTimer);
    m_audioTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_videoTimer, &QTimer::timeout, this, &SimServer::streamVideoFrame);
    connect(&m_audioTimer, &QTimer::timeout, this, &SimServer::streamAudio);
    connect(&m_watchdog, &QTimer::timeout, this, &SimServer::checkRegistration);
}

SimServer::~SimServer() = default;

QString SimServer::logPath(const QString &name) const
{
    return phoneDir(m_launch.home, m_launch.phone.serial) + QLatin1Char('/') + name;
}

void SimServer::start()
{
    const Phone &phone = m_launch.phone;
    const ServerOptions &options = m_launch.options;
    say(stdout, QStringLiteral("[server] INFO: Device: [%1] %2 %3 (Android %4)")
                    .arg(phone.property(QStringLiteral("ro.product.manufacturer")),
                         phone.property(QStringLiteral("ro.product.brand")), phone.model,
                         phone.property(QStringLiteral("ro.build.version.release"))));
    for (const QString &key : options.unknownKeys)
        say(stderr, QStringLiteral("[server] WARN: Unknown server option: %1").arg(key));

    m_watchdog.start(500);
    if (phone.faults.serverExitAfterSec > 0) {
        QTimer::singleShot(int(phone.faults.serverExitAfterSec * 1000), this, [this] {
            finish(1, QStringLiteral("[server] ERROR: Exception on thread Thread[main]: "
                                     "java.lang.IllegalStateException: simulated failure"));
        });
    }

    QFile clipboard(logPath(QStringLiteral("clipboard.txt")));
    if (clipboard.open(QIODevice::ReadOnly))
        m_clipboard = QString::fromUtf8(clipboard.readAll());
    m_selection = phone.selectedText;

    const QString clipPath = clipFilePath(m_launch.home, phone);
    if (options.video) {
        VideoOptions videoOptions;
        videoOptions.physicalSize = phone.size;
        videoOptions.maxSize = options.maxSize;
        const int phoneFps = phone.fps > 0 ? phone.fps : 60;
        const int requestedFps = options.maxFps > 0 ? qMax(1, qRound(options.maxFps)) : phoneFps;
        videoOptions.maxFps = qMin(requestedFps, phoneFps);
        videoOptions.bitRate = options.videoBitRate > 0 ? options.videoBitRate : 8000000;
        videoOptions.replay = phone.replay;
        videoOptions.cacheDir = m_launch.home + QStringLiteral("/cache/video");
        videoOptions.clipPath = clipPath;
        videoOptions.name = phone.model;
        videoOptions.serial = phone.serial;
        m_videoSource = std::make_unique<VideoSource>(videoOptions);
        if (!m_videoSource->isValid()) {
            finish(1, QStringLiteral("[server] ERROR: ") + m_videoSource->errorString());
            return;
        }
    } else if (!clipPath.isEmpty()) {
        // Without video the screen still has the clip's size, for mapping touches.
        if (const std::optional<VideoClip> clip = VideoClip::load(clipPath, nullptr))
            m_clipSize = clip->size;
    }

    if (phone.faults.serverNeverConnects)
        return; // stays up, connects nowhere, until something ends it

    if (options.video)
        m_pending << Stream::Video;
    if (options.audio)
        m_pending << Stream::Audio;
    if (options.control)
        m_pending << Stream::Control;
    if (m_launch.listenFd >= 0) {
        m_listener = new QTcpServer(this);
        if (!m_listener->setSocketDescriptor(m_launch.listenFd)) {
            finish(1, QStringLiteral("[server] ERROR: java.io.IOException: cannot listen"));
            return;
        }
        connect(m_listener, &QTcpServer::newConnection, this, &SimServer::acceptNext);
        return;
    }
    connectNext();
}

void SimServer::acceptNext()
{
    while (QTcpSocket *socket = m_listener->nextPendingConnection()) {
        if (m_finished || m_pending.isEmpty()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setParent(this);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // The first accepted connection learns that the server is there.
        if (m_connections.isEmpty())
            socket->write(QByteArray(1, '\0'));
        m_connections << socket;
        switch (m_pending.takeFirst()) {
        case Stream::Video:
            m_video = socket;
            break;
        case Stream::Audio:
            m_audio = socket;
            break;
        case Stream::Control:
            m_control = socket;
            break;
        }
        if (m_pending.isEmpty()) {
            m_listener->close();
            beginStreams();
            return;
        }
    }
}

void SimServer::checkHostCut()
{
    // Nothing of a cut-off host reaches the computer any more.
    const std::optional<Fleet> fleet = Fleet::load(m_launch.home, nullptr);
    if (fleet && fleet->hostCut)
        finish(1, QStringLiteral("error: closed"));
    if (!fleet)
        return;
    // Silently cut: the connections stay open, nothing passes either way until it is lifted.
    const bool wasSilent = std::exchange(m_silent, fleet->hostSilent);
    if (wasSilent && !m_silent && m_control && m_control->bytesAvailable() > 0)
        readControl();
}

void SimServer::connectNext()
{
    if (m_finished)
        return;
    if (m_pending.isEmpty()) {
        beginStreams();
        return;
    }
    const Stream stream = m_pending.takeFirst();
    auto *socket = new QTcpSocket(this);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_connections << socket;
    switch (stream) {
    case Stream::Video:
        m_video = socket;
        break;
    case Stream::Audio:
        m_audio = socket;
        break;
    case Stream::Control:
        m_control = socket;
        break;
    }
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
        socket->setProperty("up", true);
        connectNext();
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError) {
        if (!socket->property("up").toBool())
            finish(1, QStringLiteral("[server] ERROR: java.io.IOException: %1")
                          .arg(socket->errorString()));
    });
    socket->connectToHost(QStringLiteral("127.0.0.1"), quint16(m_launch.port));
}

void SimServer::beginStreams()
{
    const Phone &phone = m_launch.phone;
    const QByteArray nameField = deviceNameField(phone.model);
    QTcpSocket *first = m_connections.first();
    first->write(nameField);

    if (m_video) {
        connect(m_video, &QTcpSocket::disconnected, this, [this] { finish(0); });
        const QSize size = m_videoSource->videoSize();
        m_video->write(codecId(phone.faults.videoCodecId, "h264") +
                       bigEndian32(quint32(size.width())) + bigEndian32(quint32(size.height())));
    }
    if (m_control) {
        connect(m_control, &QTcpSocket::readyRead, this, &SimServer::readControl);
        connect(m_control, &QTcpSocket::disconnected, this, [this] { finish(0); });
    }
    m_clock.start();
    if (m_audio) {
        startAudio();
        if (m_finished)
            return;
    }
    if (m_video) {
        m_videoTimer.start(qMax(1, m_videoSource->frameIntervalUs() / 1000));
        streamVideoFrame();
    }
    if (m_control && m_control->bytesAvailable() > 0)
        readControl();
}

void SimServer::startAudio()
{
    const Phone &phone = m_launch.phone;
    if (!phone.audio) {
        // The phone cannot capture audio: say so and keep the connection quiet but open.
        m_audio->write(bigEndian32(kAudioDisabled));
        return;
    }
    if (!phone.faults.audioSetupFails)
        m_audioSource = std::make_unique<AudioSource>(phone.toneHz);
    if (!m_audioSource || !m_audioSource->isValid()) {
        m_audio->write(bigEndian32(kAudioError));
        m_audio->flush();
        m_audio->waitForBytesWritten(1000);
        finish(1, QStringLiteral("[server] ERROR: Audio capture failed"));
        return;
    }
    connect(m_audio, &QTcpSocket::disconnected, this, [this] {
        // The computer stopped listening to the sound; the picture goes on.
        m_audioTimer.stop();
        m_audio->deleteLater();
        m_connections.removeAll(m_audio);
        m_audio = nullptr;
    });
    m_audio->write(codecId(phone.faults.audioCodecId, "opus"));
    writePacket(m_audio, m_audioSource->configPacket());
    m_nextAudioPtsUs = 0;
    m_audioTimer.start(int(kAudioPacketUs / 1000));
    streamAudio();
}

bool SimServer::writePacket(QTcpSocket *socket, const EncodedPacket &packet)
{
    quint64 ptsAndFlags = 0;
    if (packet.config) {
        ptsAndFlags = kConfigFlag;
    } else {
        ptsAndFlags = quint64(qMax<qint64>(0, packet.ptsUs)) & ~(kConfigFlag | kKeyFrameFlag);
        if (packet.keyFrame)
            ptsAndFlags |= kKeyFrameFlag;
    }
    const QByteArray frame =
        bigEndian64(ptsAndFlags) + bigEndian32(quint32(packet.data.size())) + packet.data;
    return socket->write(frame) == frame.size();
}

void SimServer::streamVideoFrame()
{
    if (m_finished || m_silent || !m_video || !m_videoSource)
        return;
    if (m_video->state() != QAbstractSocket::ConnectedState) {
        finish(0);
        return;
    }
    if (m_video->bytesToWrite() > kMaxVideoBacklog)
        return;
    const qint64 ptsUs = m_clock.nsecsElapsed() / 1000;
    for (const EncodedPacket &packet : m_videoSource->nextFrame(ptsUs)) {
        if (!writePacket(m_video, packet)) {
            finish(0); // the computer closed the picture: the session is over
            return;
        }
    }
}

void SimServer::streamAudio()
{
    if (m_finished || m_silent || !m_audio || !m_audioSource)
        return;
    if (m_audio->bytesToWrite() > kMaxAudioBacklog)
        return;
    const qint64 nowUs = m_clock.nsecsElapsed() / 1000;
    // Catch up after a stall, but never by more than a fifth of a second of sound.
    if (nowUs - m_nextAudioPtsUs > 10 * kAudioPacketUs)
        m_nextAudioPtsUs = nowUs - nowUs % kAudioPacketUs;
    while (m_nextAudioPtsUs <= nowUs) {
        const EncodedPacket packet = m_audioSource->nextPacket(m_nextAudioPtsUs);
        m_nextAudioPtsUs += kAudioPacketUs;
        if (packet.data.isEmpty())
            continue;
        if (!writePacket(m_audio, packet))
            return;
    }
}

QSize SimServer::currentScreenSize() const
{
    if (m_videoSource)
        return m_videoSource->videoSize();
    if (m_clipSize.isValid())
        return m_clipSize;
    return m_rotated ? m_launch.phone.size.transposed() : m_launch.phone.size;
}

void SimServer::readControl()
{
    if (m_finished || m_silent || !m_control)
        return;
    m_controlBuffer += m_control->readAll();
    while (!m_finished) {
        const std::optional<ControlMessage> message = takeControlMessage(m_controlBuffer);
        if (!message)
            break;
        handle(*message);
    }
}

void SimServer::handle(const ControlMessage &message)
{
    QJsonObject log = message.toJson();
    // Sub-millisecond: benchmarks time input against it.
    log.insert("timeMs", std::chrono::duration<double, std::milli>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count());
    log.insert("session", m_launch.options.socketName());
    log.insert("transport", m_launch.transport);

    switch (message.kind) {
    case ControlMessage::InjectKeycode:
        injectKeycode(message, log);
        break;
    case ControlMessage::InjectTouch: {
        const QSize size = currentScreenSize();
        // A touch computed for another picture size (the picture rotated meanwhile)
        // cannot be mapped onto the screen, so the phone ignores it.
        const bool dropped =
            message.screenWidth != size.width() || message.screenHeight != size.height();
        log.insert("dropped", dropped);
        log.insert("videoWidth", size.width());
        log.insert("videoHeight", size.height());
        if (!dropped && m_videoSource)
            m_videoSource->addTouchMark(QPoint(message.x, message.y));
        break;
    }
    case ControlMessage::SetClipboard: {
        setPhoneClipboard(QString::fromUtf8(message.text), true);
        if (message.paste)
            log.insert("pasted", true);
        if (message.sequence != 0) {
            // Acknowledge so the computer knows its clipboard arrived before it pastes.
            QByteArray ack(1, char(1));
            ack += bigEndian64(message.sequence);
            sendDeviceMessage(ack);
        }
        break;
    }
    case ControlMessage::RotateDevice:
        if (m_videoSource) {
            m_videoSource->rotate();
            QTimer::singleShot(0, this, &SimServer::streamVideoFrame);
        } else {
            m_rotated = !m_rotated;
        }
        log.insert("videoWidth", currentScreenSize().width());
        log.insert("videoHeight", currentScreenSize().height());
        break;
    case ControlMessage::ResetVideo:
        if (m_videoSource) {
            m_videoSource->resetVideo();
            QTimer::singleShot(0, this, &SimServer::streamVideoFrame);
        }
        break;
    case ControlMessage::Unknown:
    case ControlMessage::Invalid:
        break;
    }
    CallLog::appendJsonLine(logPath(QStringLiteral("control.jsonl")), log);

    if (message.kind == ControlMessage::Unknown)
        finish(
            1,
            QStringLiteral("[server] ERROR: Unknown control message type: %1").arg(message.type));
    else if (message.kind == ControlMessage::Invalid)
        finish(1,
               QStringLiteral("[server] ERROR: Invalid control message: %1").arg(message.reason));
}

void SimServer::injectKeycode(const ControlMessage &message, QJsonObject &log)
{
    // Editing keys act when pressed, not again when released.
    if (message.action != 0)
        return;
    switch (message.keycode) {
    case kKeycodeCopy:
    case kKeycodeCut:
        if (m_selection.isEmpty())
            break; // nothing selected: the clipboard stays as it is
        log.insert("effect", message.keycode == kKeycodeCopy ? "copy" : "cut");
        log.insert("clipboard", m_selection);
        setPhoneClipboard(m_selection, false);
        if (message.keycode == kKeycodeCut)
            m_selection.clear();
        break;
    case kKeycodePaste:
        log.insert("effect", "paste");
        log.insert("clipboard", m_clipboard);
        break;
    default:
        break;
    }
}

void SimServer::setPhoneClipboard(const QString &text, bool fromComputer)
{
    m_clipboard = text;
    QSaveFile file(logPath(QStringLiteral("clipboard.txt")));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text.toUtf8());
        file.commit();
    }
    // Changes the computer made itself are not echoed back to it.
    if (fromComputer || !m_launch.options.clipboardAutosync)
        return;
    const QByteArray utf8 = truncatedUtf8(text, kControlMessageMaxSize - 5).toUtf8();
    QByteArray message(1, char(0));
    message += bigEndian32(quint32(utf8.size()));
    message += utf8;
    sendDeviceMessage(message);
}

void SimServer::sendDeviceMessage(const QByteArray &message)
{
    if (m_control && m_control->state() == QAbstractSocket::ConnectedState)
        m_control->write(message);
}

void SimServer::checkRegistration()
{
    // Whoever removed our registration (kill-server, a reaper) means this phone's adb
    // session is gone; the signal that should have told us may have been lost.
    if (!ProcessRegistry::isRegistered(m_launch.home, ::getpid()))
        finish(1, QStringLiteral("error: closed"));
    else
        checkHostCut();
}

void SimServer::finish(int exitCode, const QString &message, int signal)
{
    if (m_finished)
        return;
    m_finished = true;
    m_videoTimer.stop();
    m_audioTimer.stop();
    m_watchdog.stop();
    if (!message.isEmpty())
        say(stderr, message);
    for (QTcpSocket *socket : std::as_const(m_connections)) {
        if (exitCode == 0 && socket->state() == QAbstractSocket::ConnectedState)
            socket->waitForBytesWritten(200);
        socket->abort();
    }
    emit finished(exitCode, signal);
}
