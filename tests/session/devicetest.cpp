// The Device on a scripted adb: sessions, messages, Wi-Fi adb, frames, a GUI that never waits.
#include "device.h"
#include "adblane.h"
#include "appconfig.h"
#include "datatable.h"
#include "devicegroup.h"
#include "fakeadb.h"
#include "h264teststream.h"
#include "keymapping.h"
#include "mediarecorder.h"
#include "mediathreads.h"
#include "scrcpyserver.h"
#include "serverparams.h"
#include "testregistry.h"
#include "tilestream.h"
#include "videoframefeed.h"

#include <QTcpSocket>
#include <QtTest>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
int threadNice()
{
    return getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)));
}

const QString kSerial = QStringLiteral("R58M123");

using FramePtr = std::unique_ptr<AVFrame, void (*)(AVFrame *)>;

FramePtr makeFrame(int width, int height, AVPixelFormat format)
{
    FramePtr frame(av_frame_alloc(), [](AVFrame *f) { av_frame_free(&f); });
    frame->width = width;
    frame->height = height;
    frame->format = format;
    if (width > 0 && height > 0 && av_frame_get_buffer(frame.get(), 32) < 0)
        frame.reset();
    return frame;
}

// Everything queued for the phone's adb has run (0 ms: is idle right now).
bool adbIdle(int timeoutMs = 15000)
{
    return AdbLane::waitForIdle(kSerial, timeoutMs);
}

int mediaSessions()
{
    int sessions = 0;
    for (int i = 0; i < MediaThreads::threadCount(); ++i)
        sessions += MediaThreads::sessionsOn(i);
    return sessions;
}
} // namespace

class DeviceTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeAdb> m_adb;
    std::unique_ptr<DeviceGroup> m_group;
    QPointer<Device> m_device;

    std::unique_ptr<QTcpSocket> phoneConnects()
    {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, m_device->currentServerParams()->port());
        return socket->waitForConnected(3000) ? std::move(socket) : nullptr;
    }

    QStringList lastServerCall() const
    {
        const QList<QStringList> calls = m_adb->callsWith({QStringLiteral("app_process")});
        return calls.value(calls.size() - 1);
    }

    bool launched() const
    {
        return m_device && m_device->server() && m_device->server()->isLaunched();
    }

private slots:
    // Fitted to the tile in steps of 16, the bit rate following the pixels, in the group's bounds.
    void streamSizedToTile_data()
    {
        addColumns<QSizeF, QSize, int, int, int>({"tile", "frame", "groupMax", "size", "bitRate"});
        addRow("turned phone", QSizeF(320, 570), QSize(1600, 720), 720, 320, 790123);
        addRow("beyond group", QSizeF(1000, 2000), QSize(720, 1600), 720, 720, 4000000);
        QTest::newRow("tiny, unknown") << QSizeF(100, 90) << QSize() << 720 << 128 << 200000;
        QTest::newRow("no group limit") << QSizeF(300, 500) << QSize() << 0 << 512 << 4000000;
    }

    void streamSizedToTile()
    {
        QFETCH(QSizeF, tile);
        QFETCH(QSize, frame);
        QFETCH(int, groupMax);
        QFETCH(int, size);
        QCOMPARE(TileStream::maxSize(tile, frame, groupMax), size);
        QTEST(TileStream::bitRate(size, groupMax, 4000000), "bitRate");
    }

    void init()
    {
        TestSupport::serverFile();
        m_adb = std::make_unique<FakeAdb>();
        m_adb->answerAsPhones({kSerial});
        m_group = std::make_unique<DeviceGroup>();
        m_group->setName(QStringLiteral("test"));
        m_device = new Device(nullptr, kSerial);
        m_group->addDevice(m_device);
        // The background refresh started by the group runs adb too; let it finish.
        QTRY_VERIFY(!m_device->ipAddress().isEmpty());
        m_adb->clearCalls();
    }

    void cleanup()
    {
        m_group.reset(); // deletes the remaining devices
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(adbIdle());
        m_adb.reset();
    }

    void sessionEndsTellWhy_data()
    {
        // listing: "attached", "gone", "error" or "no start"; message empty: none
        addColumns<QString, bool, QString, bool>({"listing", "wifiSwitch", "message", "leaves"});
        addRow("server ended, phone there", "attached", false, "Mirroring ended on the phone",
               false);
        QTest::newRow("unplugged") << "gone" << false << "Phone disconnected" << true;
        addRow("list unreadable", "error", false,
               "Mirroring stopped, the adb device list could not be read", false);
        // adbd restarting in TCP mode drops the phone from the list for a moment.
        QTest::newRow("during a Wi-Fi switch") << "gone" << true << QString() << false;
        // A failed start leaves without asking adb for the device list.
        QTest::newRow("failed start") << "no start" << false << "Mirroring could not start" << true;
    }

    void sessionEndsTellWhy()
    {
        QFETCH(QString, listing);
        QFETCH(bool, wifiSwitch);
        QFETCH(QString, message);
        QFETCH(bool, leaves);
        m_adb->respondMatching("*app_process*", {{}, 0, {}, 0.3});
        if (listing == "gone")
            m_adb->respond({"devices", "-l"}, FakeAdb::listing({}));
        else if (listing == "error")
            m_adb->respond({"devices", "-l"}, FakeAdb::failure("error: protocol fault\n"));
        else if (listing == "no start")
            m_adb->respondMatching("*' push '*", FakeAdb::failure("error: device not found\n"));
        QSignalSpy said(m_device, &Device::deviceMessage);
        QSignalSpy removed(m_group.get(), &DeviceGroup::deviceRemovedFromGroup);
        m_device->startScrcpySession();
        QVERIFY(m_device->running());
        if (wifiSwitch)
            m_device->setWiFiConnection();
        QTRY_VERIFY(!m_device->running());
        QTRY_VERIFY_WITH_TIMEOUT(!m_device->switchingToWiFi(), 10000);
        if (!message.isEmpty())
            QTRY_VERIFY(!said.isEmpty());
        QVERIFY(adbIdle()); // the listing
        QList<QVariantList> errors = said;
        errors.removeIf([](const QVariantList &args) { return args.value(1) != "error"; });
        QCOMPARE(errors, message.isEmpty() ? QList<QVariantList>()
                                           : QList<QVariantList>({{message, "error", 5000}}));
        if (!wifiSwitch)
            QCOMPARE(m_adb->callsWith({"devices", "-l"}).isEmpty(), listing == "no start");
        // The tile shows why while the message lasts, then goes.
        QCOMPARE(m_group->deviceCount(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(removed.count(), int(leaves), 10000);
        QTRY_COMPARE(m_device.isNull(), leaves);
    }

    void viewSwitchRestartsWithTheOtherParameters()
    {
        m_device->serverParamsSmallView()->setAudio(false);
        m_device->serverParamsBigView()->setAudio(true);
        m_device->startScrcpySession();
        QTRY_VERIFY(!lastServerCall().isEmpty());
        m_adb->clearCalls();
        QSignalSpy running(m_device, &Device::runningChanged);

        m_device->setIsBigView(true);
        QVERIFY(!m_device->running());
        QTRY_COMPARE(m_adb->callsWith({"pkill"}).size(), 1);
        QCOMPARE(m_device->currentServerParams(), m_device->serverParamsBigView());

        QTRY_VERIFY_WITH_TIMEOUT(m_device->running(), 3000);
        QCOMPARE(running.count(), 2);
        QTRY_VERIFY(!lastServerCall().isEmpty());
        // The audio choice lives in the small-view set.
        QCOMPARE(
            lastServerCall().filter(
                QRegularExpression("^(max_size|max_fps|video_bit_rate|audio)=")),
            QStringList({"video_bit_rate=4000000", "max_size=720", "max_fps=30", "audio=false"}));

        // An explicit stop cancels the restart a view switch schedules.
        m_device->setIsBigView(false);
        m_device->stopScrcpySession();
        for (const QTimer *timer : m_device->findChildren<QTimer *>())
            QVERIFY(!timer->isActive() || timer->interval() != Device::kViewSwitchRestartMs);
        QVERIFY(!m_device->running());
    }

    void withoutASession()
    {
        QSignalSpy messages(m_device, &Device::deviceMessage);
        const auto last = [&] { return messages.isEmpty() ? QVariantList() : messages.last(); };
        m_device->takeScreenshot();
        QCOMPARE(last(), QVariantList({"Not Connected", "error", 2000}));
        QVERIFY(!m_device->isScreenShotting());
        m_device->installAPK(QStringLiteral("/tmp/app.apk"));
        QCOMPARE(last().value(2), QVariant(2000));
        m_device->uploadFile(QStringLiteral("/tmp/file.txt"));
        QCOMPARE(last(), QVariantList({"Not Connected", "error", 5000}));

        // Silent without a controller; the wallpaper of a new name waits for a connection.
        m_device->startRecord();
        m_device->runAutojs(QStringLiteral("/tmp/script.js"));
        m_device->setNickName(QStringLiteral("Desk phone"));
        QVERIFY(!m_device->videoRecorder()->isRecording());
        // A screenshot under way swallows further requests.
        m_device->setIsScreenShotting(true);
        m_device->takeScreenshot();
        QCOMPARE(messages.count(), 3);
        QVERIFY(m_adb->calls().isEmpty());
        m_device->setIsScreenShotting(false);

        KeyMappingProfile game(QStringLiteral("Game"), nullptr);
        m_device->setCurrentKeyMappingProfile(&game);
        QCOMPARE(last(), QVariantList({"KeyMapping Profile: Game", "info", 2000}));
        m_device->setCurrentKeyMappingProfile(nullptr);
        QCOMPARE(last().value(0), QVariant("KeyMapping Disabled"));

        messages.clear();
        m_adb->respondMatching("*' connect '*", {"failed to connect to '192.168.1.50:5555'\n"});
        m_device->setWiFiConnection();
        QTRY_COMPARE_WITH_TIMEOUT(messages.count(), 1, 3000);
        QCOMPARE(last(), QVariantList({"Failed to enable \r WiFi connection", "error", 3000}));
        QVERIFY(!m_device->switchingToWiFi());
        m_adb->respondMatching("*' tcpip '*", FakeAdb::failure("error: closed\n"));
        m_device->setWiFiConnection();
        QVERIFY(m_device->switchingToWiFi());
        QTRY_VERIFY(!m_device->switchingToWiFi());
        QCOMPARE(last(), QVariantList({"Failed to tcpip", "error", 3000}));

        m_adb->respond({"-s", kSerial, "disconnect"}, FakeAdb::failure("error: no such device\n"));
        QVERIFY(!m_device->disconnectWiFi());
        m_device->disconnectWiFiAsync();
        QVERIFY(adbIdle());
        QCoreApplication::processEvents();
        QCOMPARE(m_group->deviceCount(), 1);
        QVERIFY(m_device->setUSBConnection());
        QCOMPARE(m_adb->calls().last(), (QStringList{"-s", kSerial, "usb"}));
        // The menu's variant leaves the group once adb answered, without waiting for it.
        m_adb->respond({"-s", kSerial, "disconnect"}, "disconnected\n");
        m_adb->setLatency(0.5);
        m_device->disconnectWiFiAsync();
        QCOMPARE(m_group->deviceCount(), 1);
        QTRY_COMPARE(m_group->deviceCount(), 0);
    }

    void refreshIsPublishedOnTheDeviceThread()
    {
        m_adb->respond({"-s", kSerial, "shell", "getprop"}, "[ro.product.model]: [Pixel]\n");
        QThread *emittedOn = nullptr;
        QObject scope; // the device outlives this function
        connect(
            m_device, &Device::deviceInfoChanged, &scope,
            [&] { emittedOn = QThread::currentThread(); }, Qt::DirectConnection);
        std::unique_ptr<QThread> worker(
            QThread::create([device = m_device] { device->refreshDeviceInfo(); }));
        worker->start();
        QVERIFY(worker->wait(10000));
        QVERIFY(!emittedOn); // not applied from the worker
        QTRY_COMPARE(emittedOn, QThread::currentThread());
        QCOMPARE(m_device->deviceInfo().model, QStringLiteral("Pixel"));
    }

    void decodedFrames()
    {
        auto *pipeline = new StreamPipeline(m_device, m_device->videoFeed(), nullptr, kSerial);
        auto closed = qScopeGuard([pipeline] { pipeline->close(); });
        const VideoFrameFeed *feed = m_device->videoFeed();
        pipeline->deliverVideoFrame(nullptr);
        pipeline->deliverVideoFrame(makeFrame(0, 0, AV_PIX_FMT_YUV420P).get());
        QCOMPARE(m_device->frameSize(), QSize(-1, -1));
        QCOMPARE(feed->publishedCount(), 0u);
        // Shared, not copied; a full-range stream has the same planes and must reach the tiles.
        for (AVPixelFormat format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P}) {
            FramePtr yuv = makeFrame(64, 48, format);
            pipeline->deliverVideoFrame(yuv.get());
            QCOMPARE(feed->latest().planes[YuvFrame::PlaneY], yuv->data[0]);
        }
        // Another 4:2:0 layout is made planar; one that is not 4:2:0 is not shown.
        pipeline->deliverVideoFrame(makeFrame(30, 20, AV_PIX_FMT_NV12).get());
        QCOMPARE(QSize(feed->latest().width, feed->latest().height), QSize(30, 20));
        pipeline->deliverVideoFrame(makeFrame(40, 20, AV_PIX_FMT_BGRA).get());
        QCOMPARE(feed->publishedCount(), 3u);
        QCOMPARE(m_device->frameSize(), QSize(30, 20));
    }

    // Lag counts the screen's delay (up to half the bound); a slow screen alone never catches up.
    void aPictureShownLateCountsAsLag_data()
    {
        addColumns<int, int, bool>({"shownAfterMs", "packetLateMs", "catchesUp"});
        const int bound = StreamPipeline::DefaultMaxLagMs;
        QTest::newRow("late packet, prompt screen") << 0 << bound * 3 / 4 << false;
        QTest::newRow("late packet, slow screen") << bound << bound * 3 / 4 << true;
        QTest::newRow("punctual packet, very slow screen") << 5 * bound << 0 << false;
        QTest::newRow("very late packet") << 0 << 2 * bound << true;
    }
    void aPictureShownLateCountsAsLag()
    {
        QFETCH(int, shownAfterMs);
        QFETCH(int, packetLateMs);
        QFETCH(bool, catchesUp);
        auto *pipeline = new StreamPipeline(m_device, m_device->videoFeed(), nullptr, kSerial);
        auto closed = qScopeGuard([pipeline] { pipeline->close(); });
        QSignalSpy resets(pipeline, &StreamPipeline::videoResetNeeded);
        if (shownAfterMs > 0)
            m_device->videoFeed()->reportShowDelay(shownAfterMs);
        AVPacketPtr packet(av_packet_alloc());
        packet->size = 1000;
        packet->pts = 10'000'000; // the most punctual packet: its arrival sets the phone's clock
        QVERIFY(pipeline->admitVideoPacket(packet.get(), 0));
        packet->pts += 33'000 - packetLateMs * 1000; // the next frame, arriving that late
        QCOMPARE(pipeline->admitVideoPacket(packet.get(), 0), !catchesUp);
        QCOMPARE(resets.count(), catchesUp ? 1 : 0);
    }

    void theGuiThreadNeverWaitsForAdb()
    {
        // adb a second late on every call (a slow hub): each step returns before its adb work ends.
        m_adb->setLatency(1);
        m_adb->respondMatching("*app_process*", {{}, 0, {}, 1});
        QSignalSpy said(m_device, &Device::deviceMessage);
        m_device->startScrcpySession();
        QVERIFY(!launched() && !adbIdle(0));
        QTRY_VERIFY_WITH_TIMEOUT(launched(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_device->running(), 10000);
        // The session's end is seen before the listing comes back, and told after it.
        QCOMPARE(said.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(said.count(), 1, 10000);
        // Destroyed in the middle of its start: the phone-side cleanup runs later.
        m_device->startScrcpySession();
        delete m_device.data();
        QVERIFY(!adbIdle(0));
        QVERIFY(adbIdle());
    }

    // Decoded in order on the media thread; then the device goes mid-decoding while recording.
    void framesFromTheMediaThreadAndADeviceGoneMeanwhile()
    {
        if (!H264TestStream::encoderAvailable())
            QSKIP("no H.264 encoder");
        QTemporaryDir videos;
        AppConfig::instance()->setVideoSavePath(videos.path());
        const QVector<WirePacket> stream = H264TestStream::encode({720, 1280}, 40, 8000000, 20);
        QVERIFY(!stream.isEmpty());
        QList<qint64> expected;
        for (const WirePacket &packet : stream)
            if (!(packet.ptsAndFlags & Wire::Config))
                expected << qint64(packet.ptsAndFlags & ~Wire::KeyFrame);
        QMutex mutex;
        QList<qint64> published;
        QSet<QThread *> publishedOn;
        int decoderNice = 0;
        m_device->videoFeed()->setObserver([&](const YuvFrame &frame) {
            QMutexLocker locker(&mutex);
            published << frame.pts;
            publishedOn << QThread::currentThread();
            decoderNice = threadNice();
        });
        auto noObserver = qScopeGuard([this] {
            if (m_device)
                m_device->videoFeed()->setObserver({});
        });
        const auto publishedCount = [&] {
            QMutexLocker locker(&mutex);
            return published.size();
        };
        const int sessionsBefore = mediaSessions();

        m_device->startScrcpySession();
        QTRY_VERIFY(launched());
        auto video = phoneConnects();
        auto control = phoneConnects();
        QVERIFY(video && control);
        QTRY_VERIFY(m_device->controller() && m_device->pipeline()->videoDecoder());
        QSignalSpy said(m_device, &Device::deviceMessage);
        m_device->takeScreenshot();
        QTRY_COMPARE(said.value(0).value(0).toString(), QStringLiteral("Screenshot Failed"));
        video->write(Wire::videoHeader("Test phone", "h264", 720, 1280) + Wire::frames(stream));
        QTRY_COMPARE_WITH_TIMEOUT(publishedCount(), expected.size(), 30000);
        // Every picture, once, in the order the phone sent them, decoded away from this thread.
        QCOMPARE(published, expected);
        QCOMPARE(publishedOn.size(), 1);
        QVERIFY(!publishedOn.contains(thread()));
        // Short of cores, drawing never goes before the decoding.
        QCOMPARE_LE(decoderNice, threadNice());

        QPointer<MediaRecorder> recorder = m_device->videoRecorder();
        m_device->startRecord();
        QTRY_VERIFY(recorder->isRecording());
        const QString path = recorder->filePath();
        const quint64 shown = m_device->videoFeed()->publishedCount();
        // Times well past those shown, started over by each loop: the pictures soon run late.
        QVector<WirePacket> later = stream; // as the phone answers a recording's start
        for (WirePacket &packet : later)
            packet.ptsAndFlags += 3600000000;
        video->write(Wire::frames(later).repeated(6));
        QTRY_VERIFY_WITH_TIMEOUT(m_device->videoFeed()->publishedCount() >= shown + 3, 15000);
        QVERIFY(m_device->videoFeed()->publishedCount() < shown + stream.size() * 6 - 6);
        // The media thread held up in the middle of its work, as by a slow decoder.
        QSemaphore held, resume;
        QMetaObject::invokeMethod(m_device->pipeline(), [&] {
            held.release();
            resume.tryAcquire(1, 20000);
        });
        QVERIFY(held.tryAcquire(1, 10000));
        delete m_device.data();
        // The session and the recording let go later on their own threads, the file finished.
        QCOMPARE_GT(mediaSessions(), sessionsBefore);
        QVERIFY(recorder);
        resume.release();
        QTRY_COMPARE_WITH_TIMEOUT(mediaSessions(), sessionsBefore, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!recorder, 15000);
        QTRY_COMPARE(video->state(), QAbstractSocket::UnconnectedState);
        QVERIFY2(QFileInfo(path).size() > 0, qPrintable(path));
    }
};

PARVIX_TEST(DeviceTest)
#include "devicetest.moc"
