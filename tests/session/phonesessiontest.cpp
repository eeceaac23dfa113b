// Whole sessions against the virtual phone fleet: real adb-like processes, the server's
// connections, streams and control channel, and what the tile says when the phone ends one.
#include "adblane.h"
#include "adbrunner.h"
#include "controller.h"
#include "datatable.h"
#include "device.h"
#include "devicegroup.h"
#include "devicesettings.h"
#include "fakeadb.h"
#include "mediarecorder.h"
#include "recordingreader.h"
#include "testregistry.h"
#include "testsupport.h"
#include "tilestream.h"
#include "videoframefeed.h"
#include "virtualfleet.h"

#include <QtTest>

namespace {
const QString kFirst = QStringLiteral("PXSIM0001");
} // namespace

class PhoneSessionTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;
    std::unique_ptr<DeviceGroup> m_group;

    // Finished adb calls with every one of the words, from the fleet's log.
    QList<QJsonObject> adbCalls(const QStringList &words) const
    {
        QList<QJsonObject> calls;
        for (const QJsonObject &call : m_fleet->jsonLines("adb.log")) {
            const QStringList args = call.value("args").toVariant().toStringList();
            if (std::all_of(words.begin(), words.end(),
                            [&](const QString &word) { return args.contains(word); }))
                calls << call;
        }
        return calls;
    }

    static bool streaming(Device *device)
    {
        return device->controller() && device->frameSize().isValid();
    }

private slots:
    void initTestCase()
    {
        FakeAdb::serverFile(); // the server file the other sessions of this run push
        PARVIX_START_FLEET(m_fleet, VirtualFleet::Options{1, {1080, 2400}, 10});
    }

    void cleanupTestCase() { m_fleet.reset(); }

    void init()
    {
        // Each case reads the logs of its own calls and messages only.
        for (const char *log : {"adb.log", "PXSIM0001/control.jsonl"})
            QFile::remove(m_fleet->home() + '/' + log);
        m_group = std::make_unique<DeviceGroup>();
        m_group->setName(QStringLiteral("fleet"));
    }

    void cleanup()
    {
        m_group.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTRY_COMPARE(m_fleet->liveServers(), 0);
        // The next case counts its own adb calls only.
        QVERIFY(AdbLane::waitForIdle(kFirst, 15000));
        ADBRunner::workPool()->waitForDone();
        QThreadPool::globalInstance()->waitForDone();
    }

    void aFormatTheApplicationCannotUseEndsTheSession_data()
    {
        addColumns<QString, QString, QString>({"fault", "codecId", "message"});
        QTest::newRow("video png") << "videoCodecId"
                                   << "png"
                                   << "This phone sent a video format the application cannot show";
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
        auto *device = new Device(nullptr, kFirst);
        m_group->addDevice(device);
        device->setEnableAudio(true);
        QSignalSpy messages(device, &Device::deviceMessage);
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(!device->running(), 15000);
        QCOMPARE(messages, QList<QVariantList>({{message, QStringLiteral("error"), 5000}}));
        QVERIFY(!device->controller() && !device->videoDemuxer() && !device->audioDemuxer());
        // The server on the phone is gone too, and the phone stays in its group.
        QTRY_COMPARE(m_fleet->liveServers(), 0);
        QCOMPARE(m_group->deviceCount(), 1);

        m_fleet->setFault(kFirst, fault, QString());
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device) && device->audioDemuxer(), 15000);
        QCOMPARE(messages.count(), 1);
    }

    // One session: connections in order with few adb calls, catching up, a recording across a
    // rotation, a dragged tile, a refused nickname, and a switch to Wi-Fi adb.
    void oneSessionFromStartToStop()
    {
        auto *device = new Device(nullptr, kFirst);
        m_group->addDevice(device);
        QTRY_VERIFY_WITH_TIMEOUT(!device->ipAddress().isEmpty(), 10000);
        QVERIFY(adbCalls({"-s", kFirst}).size() <= 3); // few adb processes per phone
        device->setTileSize(QSizeF(100, 220));
        device->setEnableAudio(true);
        device->startScrcpySession();
        device->startScrcpySession(); // a second start while starting is no second session
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device), 15000);
        QVERIFY(adbCalls({"-s", kFirst}).size() <= 3 + 6);
        QCOMPARE(adbCalls({"-s", kFirst, "push"}).size(), 1);
        StreamPipeline *pipeline = device->pipeline();
        device->controller()->actionHome(); // the last connection carries control messages
        QTRY_VERIFY(m_fleet->controlTypes(kFirst).contains("inject_keycode"));

        QSignalSpy catchingUp(device, &Device::catchingUpChanged);
        // A slow decoder: the media thread stalls while the phone goes on sending.
        QMetaObject::invokeMethod(pipeline,
                                  [] { QThread::msleep(3 * StreamPipeline::DefaultMaxLagMs); });
        QTRY_COMPARE_WITH_TIMEOUT(catchingUp.count(), 2, 10000); // behind, then resumed
        QVERIFY(!device->catchingUp());
        QVERIFY(m_fleet->controlTypes(kFirst).contains("reset_video"));
        const quint64 frames = device->videoFeed()->publishedCount();
        QTRY_VERIFY(device->videoFeed()->publishedCount() > frames);

        MediaRecorder *recorder = device->videoRecorder();
        const QSize upright = device->frameSize();
        device->startRecord();
        QTRY_VERIFY(recorder->isRecording());
        const QString path = recorder->filePath();
        quint64 from = device->videoFeed()->publishedCount();
        QTRY_VERIFY_WITH_TIMEOUT(device->videoFeed()->publishedCount() >= from + 10, 15000);
        device->controller()->actionRotateScreen();
        QTRY_COMPARE_WITH_TIMEOUT(device->frameSize(), upright.transposed(), 10000);
        from = device->videoFeed()->publishedCount();
        QTRY_VERIFY_WITH_TIMEOUT(device->videoFeed()->publishedCount() >= from + 10, 15000);
        device->stopRecord();
        QTRY_VERIFY_WITH_TIMEOUT(!recorder->recordingThread(), 10000);
        device->controller()->actionRotateScreen();
        QTRY_COMPARE_WITH_TIMEOUT(device->frameSize(), upright, 10000);
        QCOMPARE(RecordingReader::playProblem(path, 15), QString());
        QVector<QSize> sizes;
        QCOMPARE(RecordingReader::decodeErrors(path, &sizes), QString());
        QVERIFY(sizes.first() == upright && sizes.last() == upright.transposed());
        const RecordingReader::Probe file = RecordingReader::probe(path);
        const RecordingReader::ProbedTrack *audio = file.track("audio");
        QVERIFY(audio && audio->codec == "opus" && audio->packets.size() > 10);

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

        QTRY_VERIFY_WITH_TIMEOUT(device->deviceInfo().screen_size.isValid(), 10000);
        const QStringList push = {"-s", kFirst, "push"};
        const qsizetype pushes = adbCalls(push).size(); // the servers
        device->setNickName(QStringLiteral("Desk"));
        QTRY_COMPARE_WITH_TIMEOUT(adbCalls(push).size(), pushes + 1, 10000); // the wallpaper
        device->setNickName(QString(DeviceSettings::kMaxNicknameLength + 1, QLatin1Char('n')));
        QCOMPARE(device->nickname(), QStringLiteral("Desk"));
        device->setNickName(QStringLiteral("Desk 2"));
        // The next accepted name is pushed; the refused one never was.
        QTRY_COMPARE_WITH_TIMEOUT(adbCalls(push).size(), pushes + 2, 10000);
        for (const QJsonObject &call : adbCalls(push))
            QVERIFY(!QJsonDocument(call).toJson().contains("nnnn"));

        QTRY_COMPARE(device->ipAddress(), QStringLiteral("192.168.50.101"));
        QSignalSpy messages(device, &Device::deviceMessage);
        device->setWiFiConnection();
        // adbd's restart ended the session; a start asked meanwhile waits for adbd.
        QTRY_VERIFY_WITH_TIMEOUT(!device->running(), 5000);
        QVERIFY(device->switchingToWiFi());
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(!messages.isEmpty(), 10000);
        QCOMPARE(messages, QList<QVariantList>({{"WiFi connection enabled", "success", 3000}}));
        const QList<QJsonObject> tcpip = adbCalls({"-s", kFirst, "tcpip", "5555"});
        const QList<QJsonObject> connect =
            adbCalls({"-s", kFirst, "connect", QStringLiteral("192.168.50.101:5555")});
        QCOMPARE(tcpip.size(), 1);
        QCOMPARE(connect.size(), 1);
        QCOMPARE_GE(connect.first()["startMs"].toDouble() - tcpip.first()["startMs"].toDouble(),
                    1000);
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device), 15000);

        // Stopping leaves nothing behind.
        QCOMPARE(m_fleet->status().value("reverse").toArray().size(), 1);
        QCOMPARE(m_fleet->liveServers(), 1);
        device->stopScrcpySession();
        QVERIFY(!device->running());
        QVERIFY(AdbLane::waitForIdle(device->adbConnectionSerial(), 15000));
        QTRY_COMPARE(m_fleet->liveServers(), 0);
        QVERIFY(m_fleet->status().value("reverse").toArray().isEmpty());
        QCOMPARE(m_group->deviceCount(), 1);
    }
};

PARVIX_TEST(PhoneSessionTest)
#include "phonesessiontest.moc"
