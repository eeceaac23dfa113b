// Whole sessions against the virtual phone fleet: real adb-like processes, the
// phone-side server's connections, streams and control channel, and what the tile says when
// the phone ends the session.
#include "adblane.h"
#include "adbrunner.h"
#include "audiodecoder.h"
#include "audiodemuxer.h"
#include "controller.h"
#include "device.h"
#include "devicegroup.h"
#include "devicesettings.h"
#include "fakeadb.h"
#include "scrcpyserver.h"
#include "serverparams.h"
#include "streampipeline.h"
#include "testregistry.h"
#include "testsupport.h"
#include "tilestream.h"
#include "videodemuxer.h"
#include "videoframefeed.h"
#include "virtualfleet.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

extern "C" {
#include <libavutil/frame.h>
}

namespace {
const QString kFirst = QStringLiteral("PXSIM0001");
const QString kSecond = QStringLiteral("PXSIM0002");

struct AdbCall
{
    QStringList args;
    qint64 startMs = 0;
};
} // namespace

class PhoneSessionTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;
    std::unique_ptr<DeviceGroup> m_group;

    // Finished adb calls with every one of the words, from the fleet's log.
    QList<AdbCall> adbCalls(const QStringList &words) const
    {
        QList<AdbCall> calls;
        for (const QJsonObject &entry : m_fleet->jsonLines("adb.log")) {
            const AdbCall call{entry.value("args").toVariant().toStringList(),
                               qint64(entry.value("startMs").toDouble())};
            if (std::all_of(words.begin(), words.end(),
                            [&](const QString &word) { return call.args.contains(word); }))
                calls << call;
        }
        return calls;
    }

    // Control messages the phone received (injected key codes as "key<code>").
    QStringList controlLog(const QString &serial) const
    {
        QStringList types;
        for (const QJsonObject &entry : m_fleet->controlLog(serial))
            types << QStringLiteral("key%1").arg(entry.value("keycode").toInt());
        return types;
    }

    Device *addDevice(const QString &serial)
    {
        auto *device = new Device(nullptr, serial);
        m_group->addDevice(device);
        return device;
    }

    static bool streaming(Device *device)
    {
        return device->controller() && device->frameSize().isValid();
    }

private slots:
    void initTestCase()
    {
        if (TestSupport::phonesimPath().isEmpty())
            QSKIP("the virtual phone is not built");
        FakeAdb::serverFile(); // the server file the other sessions of this run push
    }

    void init()
    {
        m_fleet = std::make_unique<VirtualFleet>(TestSupport::phonesimPath(),
                                                 VirtualFleet::Options{2, {1080, 2400}, 10});
        QVERIFY2(m_fleet->isValid(), qPrintable(m_fleet->errorString()));
        m_group = std::make_unique<DeviceGroup>();
        m_group->setName(QStringLiteral("fleet"));
    }

    void cleanup()
    {
        m_group.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (m_fleet && m_fleet->isValid())
            QTRY_COMPARE(m_fleet->liveServers(), 0);
        m_fleet.reset();
    }

    void sessionStreamsAndControls_data()
    {
        QTest::addColumn<bool>("audio");
        QTest::newRow("video, audio, control") << true;
        QTest::newRow("video, control") << false;
    }

    void sessionStreamsAndControls()
    {
        QFETCH(bool, audio);
        Device *device = addDevice(kFirst);
        QTRY_VERIFY_WITH_TIMEOUT(!device->ipAddress().isEmpty(), 10000);
        QVERIFY(adbCalls({"-s", kFirst}).size() <= 3); // few adb processes per phone
        device->setEnableAudio(audio);
        device->serverParamsSmallView()->setMaxSize(280);
        device->startScrcpySession();
        device->startScrcpySession(); // a second start while starting is no second session
        QVERIFY(device->running());
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device), 15000);
        QVERIFY(adbCalls({"-s", kFirst}).size() <= 3 + 6);
        QCOMPARE(adbCalls({"-s", kFirst, "push"}).size(), 1);

        // First connection: the video stream, at the size the session asked for.
        const QSize frame = device->frameSize();
        QCOMPARE(qMax(frame.width(), frame.height()), 280);
        StreamPipeline *pipeline = device->pipeline();
        QVERIFY(pipeline);
        QByteArray codec;
        QString name;
        TestSupport::runOn(pipeline, [&] {
            codec = pipeline->videoDemuxer()->codecId();
            name = pipeline->videoDemuxer()->deviceName();
        });
        QCOMPARE(codec, QByteArray("h264"));
        QCOMPARE(name, QStringLiteral("Pixel 7"));
        if (audio) {
            // Second connection: sound that decodes, on the media thread like the picture.
            QTRY_VERIFY(pipeline->audioDecoder());
            QAtomicInt decoded;
            const QMetaObject::Connection counting = connect(
                pipeline->audioDecoder(), &AudioDecoder::frameDecoded, this,
                [&decoded] { decoded.ref(); }, Qt::DirectConnection);
            QTRY_VERIFY_WITH_TIMEOUT(decoded.loadRelaxed() > 0, 5000);
            disconnect(counting);
            QCOMPARE(device->audioCodecId(), QByteArray("opus"));
        } else {
            QVERIFY(!pipeline->audioDecoder());
            QVERIFY(device->audioCodecId().isEmpty());
        }
        // The last connection carries control messages to the phone.
        device->controller()->actionHome();
        QTRY_COMPARE(controlLog(kFirst), QStringList({"key3", "key3"}));

        // Stopping leaves nothing behind.
        QCOMPARE(m_fleet->status().value("reverse").toArray().size(), 1);
        QCOMPARE(m_fleet->liveServers(), 1);
        device->stopScrcpySession();
        QVERIFY(!device->running());
        QVERIFY(AdbLane::waitForIdle(kFirst, 15000));
        QTRY_COMPARE(m_fleet->liveServers(), 0);
        QVERIFY(m_fleet->status().value("reverse").toArray().isEmpty());
        QCOMPARE(m_group->deviceCount(), 1);
        // Destroying a running device stops its server too (checked in cleanup()).
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(m_fleet->liveServers() == 1, 15000);
        delete device;
    }

    void aFormatTheApplicationCannotUseEndsTheSession_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("codecId");
        QTest::addColumn<QString>("message");
        const QString picture =
            QStringLiteral("This phone sent a video format the application cannot show");
        QTest::newRow("video hevc") << "videoCodecId"
                                    << "hevc" << picture;
        QTest::newRow("video png") << "videoCodecId"
                                   << "png" << picture;
        QTest::newRow("sound aac") << "audioCodecId"
                                   << "aac"
                                   << "This phone sent a sound format the application cannot play";
    }

    void aFormatTheApplicationCannotUseEndsTheSession()
    {
        QFETCH(QString, fault);
        QFETCH(QString, codecId);
        QFETCH(QString, message);
        m_fleet->setFault(kFirst, fault, codecId);
        Device *device = addDevice(kFirst);
        device->setEnableAudio(true);
        QSignalSpy messages(device, &Device::deviceMessage);
        device->startScrcpySession();
        QVERIFY(device->running());

        QTRY_VERIFY_WITH_TIMEOUT(!device->running(), 15000);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.first(), QVariantList({message, QStringLiteral("error"), 5000}));
        QVERIFY(!device->controller());
        QVERIFY(!device->videoDemuxer() && !device->audioDemuxer());
        if (fault == "videoCodecId")
            QVERIFY(!device->frameSize().isValid()); // no picture from another decoder
        // The server on the phone is gone too, and the phone stays in its group.
        QTRY_COMPARE(m_fleet->liveServers(), 0);
        QCOMPARE(m_group->deviceCount(), 1);

        m_fleet->setFault(kFirst, fault, QString());
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device) && device->audioDemuxer(), 15000);
        QCOMPARE(messages.count(), 1);
    }

    // A picture held up behind its phone skips to a fresh key frame instead of running late.
    void aSlowPictureCatchesUp()
    {
        Device *device = addDevice(kFirst);
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device), 15000);
        StreamPipeline *pipeline = device->pipeline();
        QSignalSpy catchingUp(device, &Device::catchingUpChanged);
        // A slow decoder: the media thread stalls while the phone goes on sending.
        QMetaObject::invokeMethod(pipeline,
                                  [] { QThread::msleep(3 * StreamPipeline::DefaultMaxLagMs); });
        QTRY_COMPARE_WITH_TIMEOUT(catchingUp.count(), 2, 10000); // behind, then resumed
        QVERIFY(!device->catchingUp());
        QVERIFY(m_fleet->controlTypes(kFirst).contains("reset_video"));
        QCOMPARE(pipeline->catchUpCount(), 1);
        const quint64 frames = device->videoFeed()->publishedCount();
        QTRY_VERIFY(device->videoFeed()->publishedCount() > frames);
    }

    // A tile dragged larger keeps its stream while it moves, then restarts it once at the
    // size it settled on.
    void aResizedTileRestartsItsStreamOnceSettled()
    {
        Device *device = addDevice(kFirst);
        device->setTileSize(QSizeF(100, 220));
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device), 15000);
        QSignalSpy running(device, &Device::runningChanged);
        QTimer drag;
        int step = 0;
        connect(&drag, &QTimer::timeout, this, [&] {
            ++step;
            device->setTileSize(QSizeF(100 + 10 * step, 220 + 22 * step));
            QCOMPARE(running.count(), 0); // still dragging: the same session
        });
        drag.start(100);
        QTRY_COMPARE_WITH_TIMEOUT(step, 20, 10000);
        drag.stop();
        const int settled = TileStream::maxSize(QSizeF(300, 660), device->frameSize(), 720);
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device) && device->frameSize().height() == settled,
                                 15000);
        QCOMPARE(running.count(), 2); // stopped, started
    }

    void wifiSwitchDuringASession()
    {
        Device *device = addDevice(kFirst);
        QTRY_COMPARE_WITH_TIMEOUT(device->ipAddress(), QStringLiteral("192.168.50.101"), 10000);
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device), 15000);
        QSignalSpy messages(device, &Device::deviceMessage);

        device->setWiFiConnection();
        QVERIFY(device->switchingToWiFi());
        // adbd's restart ended the session; a start asked meanwhile waits for adbd.
        QTRY_VERIFY_WITH_TIMEOUT(!device->running(), 5000);
        QVERIFY(device->switchingToWiFi());
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(!messages.isEmpty(), 10000);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last(), QVariantList({QStringLiteral("WiFi connection enabled"),
                                                QStringLiteral("success"), 3000}));
        QVERIFY(!device->switchingToWiFi());
        const QList<AdbCall> tcpip = adbCalls({"-s", kFirst, "tcpip", "5555"});
        const QList<AdbCall> connect =
            adbCalls({"-s", kFirst, "connect", QStringLiteral("192.168.50.101:5555")});
        QCOMPARE(tcpip.size(), 1);
        QCOMPARE(connect.size(), 1);
        QVERIFY2(connect.first().startMs - tcpip.first().startMs >= 1000,
                 qPrintable(QString::number(connect.first().startMs - tcpip.first().startMs)));
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device), 15000);
        QCOMPARE(m_group->deviceCount(), 1);
        const QByteArray listing = ADBRunner::runCommand({"devices", "-l"}).toUtf8();
        QVERIFY2(listing.contains("192.168.50.101:5555"), listing.constData());
    }

    void aRefusedNicknameLeavesTheWallpaperAlone()
    {
        Device *device = addDevice(kFirst);
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(device->deviceInfo().screen_size.isValid(), 10000);
        const QStringList push = {"-s", kFirst, "push"};

        device->setNickName(QStringLiteral("Desk"));
        QTRY_COMPARE_WITH_TIMEOUT(adbCalls(push).size(), 2, 10000); // the server, the wallpaper
        device->setNickName(QString(DeviceSettings::kMaxNicknameLength + 1, QLatin1Char('n')));
        QCOMPARE(device->nickname(), QStringLiteral("Desk"));
        device->setNickName(QStringLiteral("Desk 2"));
        // The next accepted name is pushed; the refused one never was.
        QTRY_COMPARE_WITH_TIMEOUT(adbCalls(push).size(), 3, 10000);
        for (const AdbCall &call : adbCalls(push))
            QVERIFY2(!call.args.join(' ').contains("nnnn"), qPrintable(call.args.join(' ')));
    }
};

PARVIX_TEST(PhoneSessionTest)
#include "phonesessiontest.moc"
