// The Device against the scripted adb: session life cycle, messages, Wi-Fi adb,
// the free-form adb command and the decoded-frame path.
#include "device.h"
#include "controller.h"
#include "devicegroup.h"
#include "fakeadb.h"
#include "keymapping.h"
#include "mediarecorder.h"
#include "scrcpyserver.h"
#include "serverparams.h"
#include "testregistry.h"
#include "videodemuxer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QThread>
#include <QTranslator>
#include <QtEndian>
#include <QtTest>

#include <memory>

extern "C" {
#include <libavutil/frame.h>
}

namespace {
const QString kSerial = QStringLiteral("R58M123");

// The last deviceMessage as text, type and time-out.
QVariantList lastMessage(const QSignalSpy &spy)
{
    return spy.isEmpty() ? QVariantList() : spy.last();
}

QString option(const QStringList &call, const QString &key)
{
    for (const QString &arg : call) {
        if (arg.startsWith(key + QLatin1Char('=')))
            return arg.mid(key.size() + 1);
    }
    return QStringLiteral("<absent>");
}

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
} // namespace

class DeviceTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakeAdb> m_adb;
    std::unique_ptr<DeviceGroup> m_group;
    QPointer<Device> m_device;

    // The phone's side of a session: opens the connections the server would.
    std::unique_ptr<QTcpSocket> phoneConnects()
    {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, m_device->currentServerParams()->port());
        if (!socket->waitForConnected(3000))
            return nullptr;
        return socket;
    }

    QStringList lastServerCall() const
    {
        const auto calls = m_adb->callsWith({QStringLiteral("app_process")});
        return calls.isEmpty() ? QStringList() : calls.last();
    }

private slots:
    void init()
    {
        FakeAdb::serverFile();
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
        m_adb.reset();
    }

    void constructionStartsNothing()
    {
        Device device(nullptr, QStringLiteral("other"));
        QVERIFY(!device.running() && !device.controller());
        QVERIFY(m_adb->calls().isEmpty());
    }

    void sessionStartsOnceAndStops()
    {
        QSignalSpy running(m_device, &Device::runningChanged);
        m_device->startScrcpySession();
        m_device->startScrcpySession();
        QVERIFY(m_device->running());
        QCOMPARE(running.count(), 1);
        QCOMPARE(m_adb->callsWith({"push"}).size(), 1);
        ServerParams *params = m_device->serverParamsSmallView();
        QCOMPARE(params->deviceSerial(), kSerial);
        QCOMPARE(params->socketName(), QStringLiteral("scrcpy_") + params->scidHex());
        QCOMPARE(params->socketName().size(), 15);
        QTRY_COMPARE(option(lastServerCall(), "scid"), params->scidHex());

        m_adb->clearCalls();
        m_device->stopScrcpySession();
        QVERIFY(!m_device->running());
        QCOMPARE(running.count(), 2);
        QCOMPARE(m_adb->callsWith({"pkill"}).size(), 1);
        QCOMPARE(m_adb->callsWith({"--remove", "localabstract:" + params->socketName()}).size(), 1);
        QCOMPARE(m_device->indexInGroup(), 0);
        m_device->stopScrcpySession(); // idle: nothing more happens
        QCOMPARE(running.count(), 2);

        // Destroying a running device stops its server too.
        m_device->startScrcpySession();
        QTRY_VERIFY(!lastServerCall().isEmpty());
        m_adb->clearCalls();
        QPointer<ScrcpyServer> server = m_device->server();
        delete m_device.data();
        QVERIFY(!server);
        QCOMPARE(m_adb->callsWith({"pkill"}).size(), 1);
        QCOMPARE(m_adb->callsWith({"--remove"}).size(), 1);
    }

    void connectionsBuildAndReleaseThePipeline()
    {
        m_device->startScrcpySession();
        QSignalSpy controllerChanged(m_device, &Device::controllerChanged);
        auto video = phoneConnects();
        QVERIFY(video);
        QTRY_VERIFY(m_device->videoDemuxer());
        QPointer<VideoDemuxer> demuxer = m_device->videoDemuxer();
        auto control = phoneConnects();
        QVERIFY(control);
        QTRY_VERIFY(m_device->controller());
        QCOMPARE(controllerChanged.count(), 1);
        QPointer<Controller> controller = m_device->controller();

        // The phone closing the video stream alone ends nothing.
        video->disconnectFromHost();
        QTest::qWait(100);
        QVERIFY(m_device->running());
        QVERIFY(m_device->controller());

        m_device->stopScrcpySession();
        // Gone at once: nothing still queued can feed the ended session's decoder.
        QVERIFY(!demuxer);
        QVERIFY(!m_device->videoDemuxer());
        QVERIFY(!controller);
        QVERIFY(!m_device->controller());
        QCOMPARE(controllerChanged.count(), 2);
        QTRY_COMPARE(control->state(), QAbstractSocket::UnconnectedState);
    }

    void sessionEndsThatKeepTheDevice_data()
    {
        QTest::addColumn<bool>("wifiSwitch");
        QTest::newRow("device list unreadable") << false;
        // adbd restarting in TCP mode drops the phone from the list for a moment.
        QTest::newRow("during a Wi-Fi switch") << true;
    }

    void sessionEndsThatKeepTheDevice()
    {
        QFETCH(bool, wifiSwitch);
        m_adb->respondMatching("*app_process*", {{}, 0, {}, 0.3});
        m_adb->respond({"devices", "-l"}, wifiSwitch ? FakeAdb::listing({})
                                                     : FakeAdb::failure("error: protocol fault\n"));
        QSignalSpy said(m_device, &Device::deviceMessage);
        m_device->startScrcpySession();
        if (wifiSwitch)
            m_device->setWiFiConnection();
        QTRY_VERIFY(!m_device->running());
        QTest::qWait(50);
        QVERIFY(m_device);
        QCOMPARE(m_group->deviceCount(), 1);
        if (!wifiSwitch) {
            QCOMPARE(said.count(), 1);
            QCOMPARE(said.last().at(1).toString(), QStringLiteral("error"));
            QCOMPARE(said.last().at(2).toInt(), 5000);
        }
    }

    void failedStartRemovesTheDeviceAfterwards()
    {
        m_adb->respondMatching("*' push '*",
                               FakeAdb::failure("error: device 'R58M123' not found\n"));
        QSignalSpy removed(m_group.get(), &DeviceGroup::deviceRemovedFromGroup);
        QSignalSpy said(m_device, &Device::deviceMessage);
        m_device->startScrcpySession();
        // Still a member while the call returns; the launcher is already released.
        QVERIFY(m_device);
        QCOMPARE(m_device->indexInGroup(), 0);
        QVERIFY(!m_device->running());
        QCOMPARE(removed.count(), 0);
        // The tile says why, and stays while it does.
        QTRY_COMPARE(said.count(), 1);
        QCOMPARE(said.last(), QVariantList({QStringLiteral("Mirroring could not start"),
                                            QStringLiteral("error"), 5000}));
        QTest::qWait(1000);
        QCOMPARE(removed.count(), 0);
        // A failed start does not ask adb for the device list: it leaves anyway.
        QVERIFY(m_adb->callsWith({"devices", "-l"}).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(removed.count(), 1, 8000);
        QTRY_VERIFY(!m_device);
    }

    void viewSwitchRestartsWithTheOtherParameters()
    {
        m_device->serverParamsSmallView()->setAudio(false);
        m_device->serverParamsBigView()->setAudio(true);
        m_device->startScrcpySession();
        QTRY_VERIFY(!lastServerCall().isEmpty());
        m_adb->clearCalls();
        QSignalSpy bigView(m_device, &Device::isBigViewChanged);
        QSignalSpy running(m_device, &Device::runningChanged);
        QElapsedTimer clock;
        clock.start();

        m_device->setIsBigView(true);
        QCOMPARE(bigView.count(), 1);
        QVERIFY(!m_device->running());
        QCOMPARE(m_adb->callsWith({"pkill"}).size(), 1);
        QCOMPARE(m_device->currentServerParams(), m_device->serverParamsBigView());

        QTRY_VERIFY_WITH_TIMEOUT(m_device->running(), 3000);
        const qint64 restartedAfter = clock.elapsed();
        QVERIFY2(restartedAfter >= 1000, qPrintable(QString::number(restartedAfter)));
        QCOMPARE(running.count(), 2);
        QTRY_VERIFY(!lastServerCall().isEmpty());
        const QStringList call = lastServerCall();
        // The audio choice lives in the small-view set.
        QCOMPARE(QStringList({option(call, "max_size"), option(call, "max_fps"),
                              option(call, "video_bit_rate"), option(call, "audio")}),
                 QStringList({"720", "30", "4000000", "false"}));

        // An explicit stop cancels the restart a view switch schedules.
        m_adb->clearCalls();
        m_device->setIsBigView(false);
        m_device->stopScrcpySession();
        QTest::qWait(1300);
        QVERIFY(!m_device->running());
        QVERIFY(m_adb->callsWith({"push"}).isEmpty());
    }

    void audioChoiceHoldsInBothViews()
    {
        QSignalSpy messages(m_device, &Device::deviceMessage);
        QSignalSpy audioChanged(m_device, &Device::isAudioEnabledChanged);
        m_device->setIsBigView(true);
        m_device->setEnableAudio(true);
        QVERIFY(m_device->isAudioEnabled());
        QCOMPARE(lastMessage(messages),
                 QVariantList({"Audio Enabled, Need Reconnect", "info", 3000}));
        // An idle device starts in the enlarged view a second later, with sound switched on
        // while that view was in use.
        QTRY_VERIFY_WITH_TIMEOUT(m_device->running(), 3000);
        QTRY_COMPARE(option(lastServerCall(), "audio"), QStringLiteral("true"));
        QCOMPARE(option(lastServerCall(), "max_size"), QStringLiteral("720"));
        m_device->setEnableAudio(false);
        QVERIFY(!m_device->isAudioEnabled());
        QCOMPARE(lastMessage(messages).value(0), QVariant("Audio Disabled, Need Reconnect"));
        QCOMPARE(audioChanged.count(), 2);
    }

    void actionsWithoutAConnection()
    {
        QSignalSpy messages(m_device, &Device::deviceMessage);
        m_device->takeScreenshot();
        QCOMPARE(lastMessage(messages), QVariantList({"Not Connected", "error", 2000}));
        QVERIFY(!m_device->isScreenShotting());
        m_device->installAPK(QStringLiteral("/tmp/app.apk"));
        QCOMPARE(lastMessage(messages).value(2), QVariant(2000));
        m_device->uploadFile(QStringLiteral("/tmp/file.txt"));
        QCOMPARE(lastMessage(messages), QVariantList({"Not Connected", "error", 5000}));

        // Silent without a controller; a new name still shows on the tile and in the list,
        // only the wallpaper waits for a connection.
        m_device->home();
        m_device->reboot();
        m_device->swipeUp();
        m_device->startRecord();
        m_device->runAutojs(QStringLiteral("/tmp/script.js"));
        QSignalSpy nickChanged(m_device, &Device::nickNameChanged);
        m_device->setNickName(QStringLiteral("Desk phone"));
        QCOMPARE(m_device->nickname(), QStringLiteral("Desk phone"));
        QCOMPARE(nickChanged.count(), 1);
        QVERIFY(!m_device->videoRecorder()->isRecording());
        // A screenshot under way swallows further requests.
        m_device->setIsScreenShotting(true);
        m_device->takeScreenshot();
        QCOMPARE(messages.count(), 3);
        QVERIFY(m_adb->calls().isEmpty());

        KeyMappingProfile game(QStringLiteral("Game"), nullptr);
        QSignalSpy profileChanged(m_device, &Device::currentKeyMappingProfileChanged);
        m_device->setCurrentKeyMappingProfile(&game);
        m_device->setCurrentKeyMappingProfile(&game);
        QCOMPARE(profileChanged.count(), 1);
        QCOMPARE(messages.count(), 4);
        QCOMPARE(lastMessage(messages), QVariantList({"KeyMapping Profile: Game", "info", 2000}));
        m_device->setCurrentKeyMappingProfile(nullptr);
        QCOMPARE(lastMessage(messages).value(0), QVariant("KeyMapping Disabled"));
        QCOMPARE(profileChanged.count(), 2);
    }

    void executeAdbCommandRunsEachLine()
    {
        m_adb->respond({"-s", kSerial, "shell", "echo", "a"}, "a\n");
        m_adb->respond({"-s", kSerial, "devices"}, "List of devices attached\n");
        const QString result =
            m_device->executeADBCommand(QStringLiteral("  shell  echo a \n\n   \r\ndevices\n"));
        QCOMPARE(result, QStringLiteral("a\nList of devices attached\n"));
        QCOMPARE(m_adb->calls(), (QList<QStringList>{{"-s", kSerial, "shell", "echo", "a"},
                                                     {"-s", kSerial, "devices"}}));
        QCOMPARE(m_device->executeADBCommand(QStringLiteral("\n \n")), QString());
    }

    void wifiSwitchFailures()
    {
        QSignalSpy messages(m_device, &Device::deviceMessage);
        m_adb->respondMatching("*' connect '*", {"failed to connect to '192.168.1.50:5555'\n"});
        m_device->setWiFiConnection();
        QTRY_COMPARE_WITH_TIMEOUT(messages.count(), 1, 3000);
        QCOMPARE(lastMessage(messages),
                 QVariantList({"Failed to enable \r WiFi connection", "error", 3000}));
        QVERIFY(!m_device->switchingToWiFi());

        m_adb->clearCalls();
        m_adb->respondMatching("*' tcpip '*", FakeAdb::failure("error: closed\n"));
        m_device->setWiFiConnection();
        QVERIFY(!m_device->switchingToWiFi());
        QCOMPARE(lastMessage(messages), QVariantList({"Failed to tcpip", "error", 3000}));
        QTest::qWait(1300);
        QVERIFY(m_adb->callsWith({"connect"}).isEmpty());
    }

    void disconnectWifiLeavesTheGroup()
    {
        m_adb->respond({"-s", kSerial, "disconnect"}, FakeAdb::failure("error: no such device\n"));
        QVERIFY(!m_device->disconnectWiFi());
        QCOMPARE(m_group->deviceCount(), 1);
        m_adb->respond({"-s", kSerial, "disconnect"}, "disconnected\n");
        QVERIFY(m_device->disconnectWiFi());
        QCOMPARE(m_group->deviceCount(), 0);
        QVERIFY(m_device->setUSBConnection());
        QCOMPARE(m_adb->calls().last(), (QStringList{"-s", kSerial, "usb"}));
    }

    void refreshIsPublishedOnTheDeviceThread()
    {
        m_adb->respond({"-s", kSerial, "shell", "getprop", "ro.product.model"}, "Pixel\n");
        QThread *emittedOn = nullptr;
        QObject scope; // the device outlives this function
        connect(
            m_device, &Device::deviceInfoChanged, &scope,
            [&] { emittedOn = QThread::currentThread(); }, Qt::DirectConnection);
        QPointer<Device> device = m_device;
        std::unique_ptr<QThread> worker(QThread::create([device] { device->refreshDeviceInfo(); }));
        worker->start();
        QVERIFY(worker->wait(10000));
        QVERIFY(!emittedOn); // not applied from the worker
        QTRY_VERIFY(emittedOn);
        QCOMPARE(emittedOn, QThread::currentThread());
        QCOMPARE(m_device->deviceInfo().model, QStringLiteral("Pixel"));
        QCOMPARE(m_device->deviceInfo().screen_size, QSize(1080, 2400));
    }

    void decodedFrames()
    {
        int yuvCalls = 0;
        const uint8_t *seenY = nullptr;
        int seenStride = 0;
        QObject scope; // the device outlives this function
        connect(m_device, &Device::yuvFrameReady, &scope,
                [&](int, int, const uint8_t *y, int yStride, const uint8_t *, int, const uint8_t *,
                    int) {
                    ++yuvCalls;
                    seenY = y;
                    seenStride = yStride;
                });
        QSignalSpy images(m_device, &Device::frameReady);
        m_device->handleDecodedVideoFrame(nullptr);
        m_device->handleDecodedVideoFrame(makeFrame(0, 0, AV_PIX_FMT_YUV420P).get());
        QCOMPARE(m_device->frameSize(), QSize(-1, -1));
        QCOMPARE(yuvCalls + images.count(), 0);

        FramePtr yuv = makeFrame(64, 48, AV_PIX_FMT_YUV420P);
        m_device->handleDecodedVideoFrame(yuv.get());
        QCOMPARE(yuvCalls, 1);
        QCOMPARE(seenY, yuv->data[0]);
        QCOMPARE(seenStride, yuv->linesize[0]);
        QCOMPARE(m_device->frameSize(), QSize(64, 48));
        QCOMPARE(images.count(), 0);
        // A full-range stream has the same planes and must reach the tiles as well.
        FramePtr fullRange = makeFrame(64, 48, AV_PIX_FMT_YUVJ420P);
        m_device->handleDecodedVideoFrame(fullRange.get());
        QCOMPARE(yuvCalls, 2);
        QCOMPARE(seenY, fullRange->data[0]);
        QCOMPARE(images.count(), 0);

        // Other formats come as images: red left half, blue right half.
        FramePtr bgra = makeFrame(30, 20, AV_PIX_FMT_BGRA);
        for (int row = 0; row < 20; ++row) {
            auto *line = reinterpret_cast<quint32 *>(bgra->data[0] + row * bgra->linesize[0]);
            for (int x = 0; x < 30; ++x)
                line[x] = qToLittleEndian(x < 15 ? 0xffff0000u : 0xff0000ffu);
        }
        m_device->handleDecodedVideoFrame(bgra.get());
        QCOMPARE(yuvCalls, 2);
        QCOMPARE(images.count(), 1);
        const QImage image = images.at(0).at(0).value<QImage>();
        QCOMPARE(image.format(), QImage::Format_RGB888);
        QCOMPARE(image.pixelColor(2, 10), QColor(255, 0, 0));
        QCOMPARE(image.pixelColor(27, 10), QColor(0, 0, 255));
        QCOMPARE(m_device->frameSize(), QSize(30, 20));
    }

    void messagesAreTranslated()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/translations/Parvix_CN.qm")));
        QCoreApplication::installTranslator(&translator);
        auto uninstall = qScopeGuard([&] { QCoreApplication::removeTranslator(&translator); });
        QSignalSpy messages(m_device, &Device::deviceMessage);
        m_adb->respondMatching("*' connect '*", {"failed\n"});
        m_device->setWiFiConnection();
        QTRY_COMPARE_WITH_TIMEOUT(messages.count(), 1, 3000);
        const QString text = lastMessage(messages).value(0).toString();
        QVERIFY2(text.contains(QChar(u'\r')) && text.contains(QStringLiteral("连接")),
                 qPrintable(text));
        m_device->takeScreenshot();
        QCOMPARE(lastMessage(messages).value(0), QVariant(QStringLiteral("未连接")));
    }
};

PARVIX_TEST(DeviceTest)
#include "devicetest.moc"
