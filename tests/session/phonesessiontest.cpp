// Whole sessions against the virtual phones: streams, control, recording, Wi-Fi adb, refusals.
#include "adblane.h"
#include "controller.h"
#include "datatable.h"
#include "device.h"
#include "devicegroup.h"
#include "devicesettings.h"
#include "mediarecorder.h"
#include "recordingreader.h"
#include "testregistry.h"
#include "testsupport.h"
#include "tilestream.h"
#include "virtualfleet.h"
#include "wifiadbswitch.h"

#include <QtTest>

const QString kFirst = QStringLiteral("PXSIM0001");

class PhoneSessionTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;
    std::unique_ptr<DeviceGroup> m_group;

    static bool streaming(Device *device)
    {
        return device->controller() && device->frameSize().isValid();
    }

private slots:
    void initTestCase() { PARVIX_START_FLEET(m_fleet, VirtualFleet::Options{1, {1080, 2400}, 10}); }

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
        TestSupport::settle();
    }

    void aFormatTheApplicationCannotUseEndsTheSession_data()
    {
        addColumns<QString, QString, QString>({"fault", "codecId", "message"});
        addRow("video png", "videoCodecId", "png",
               "This phone sent a video format the application cannot show");
        addRow("sound aac", "audioCodecId", "aac",
               "This phone sent a sound format the application cannot play");
    }

    void aFormatTheApplicationCannotUseEndsTheSession()
    {
        QFETCH(QString, fault);
        QFETCH(QString, codecId);
        QFETCH(QString, message);
        QVERIFY(m_fleet->setPhoneOption(0, "faults", QJsonObject{{fault, codecId}}));
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
        QVERIFY(m_fleet->setPhoneOption(0, "faults", QJsonObject()));
    }

    // Few adb calls, catch-up, recording across a rotation, a drag, a nickname, Wi-Fi adb.
    void oneSessionFromStartToStop()
    {
        auto *device = new Device(nullptr, kFirst);
        m_group->addDevice(device);
        QTRY_VERIFY_WITH_TIMEOUT(!device->ipAddress().isEmpty(), 10000);
        QVERIFY(m_fleet->adbCalls({"-s", kFirst}).size() <= 3); // few adb processes per phone
        device->setTileSize(QSizeF(100, 220));
        device->setEnableAudio(true);
        device->startScrcpySession();
        device->startScrcpySession(); // a second start while starting is no second session
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device), 15000);
        QVERIFY(m_fleet->adbCalls({"-s", kFirst}).size() <= 3 + 6);
        QCOMPARE(m_fleet->adbCalls({"-s", kFirst, "push"}).size(), 1);

        QSignalSpy catchingUp(device, &Device::catchingUpChanged);
        // A slow decoder: the media thread stalls while the phone goes on sending.
        QMetaObject::invokeMethod(device->pipeline(),
                                  [] { QThread::msleep(3 * StreamPipeline::DefaultMaxLagMs); });
        QTRY_COMPARE_WITH_TIMEOUT(catchingUp.count(), 2, 10000); // behind, then resumed
        QVERIFY(!device->catchingUp());
        QVERIFY(TestSupport::mapped(m_fleet->controlLog(kFirst), [](const QJsonObject &message) {
                    return message["type"].toString();
                }).contains("reset_video"));
        QVERIFY(TestSupport::moreFrames(device, 1, 5000));

        MediaRecorder *recorder = device->videoRecorder();
        const QSize upright = device->frameSize();
        device->startRecord();
        QTRY_VERIFY(recorder->isRecording());
        const QString path = recorder->filePath();
        QVERIFY(TestSupport::moreFrames(device, 10, 15000));
        device->controller()->actionRotateScreen();
        QTRY_COMPARE_WITH_TIMEOUT(device->frameSize(), upright.transposed(), 10000);
        QVERIFY(TestSupport::moreFrames(device, 10, 15000));
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
        const qsizetype pushes = m_fleet->adbCalls(push).size(); // the servers
        device->setNickName(QStringLiteral("Desk"));             // its wallpaper is pushed
        QTRY_COMPARE_WITH_TIMEOUT(m_fleet->adbCalls(push).size(), pushes + 1, 10000);
        device->setNickName(QString(DeviceSettings::kMaxNicknameLength + 1, QLatin1Char('n')));
        QCOMPARE(device->nickname(), QStringLiteral("Desk"));
        device->setNickName(QStringLiteral("Desk 2"));
        // The next accepted name is pushed; the refused one never was.
        QTRY_COMPARE_WITH_TIMEOUT(m_fleet->adbCalls(push).size(), pushes + 2, 10000);
        for (const QStringList &call : m_fleet->adbCalls(push))
            QVERIFY(!call.join(' ').contains("nnnn"));

        QSignalSpy messages(device, &Device::deviceMessage);
        device->setWiFiConnection();
        // adbd's restart ended the session; a start asked meanwhile waits for adbd.
        QTRY_VERIFY_WITH_TIMEOUT(!device->running(), 5000);
        QVERIFY(device->switchingToWiFi());
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(!messages.isEmpty(), 10000);
        // The virtual phone refuses a connect before tcpip: success tells the order too.
        QCOMPARE(messages, QList<QVariantList>({{"WiFi connection enabled", "success", 3000}}));
        // adbd gets its pause to listen again (the virtual phone would make a connect wait).
        QList<double> starts; // of tcpip, then of connect
        for (const QJsonObject &call : m_fleet->adbLog()) {
            const QStringList args = call["args"].toVariant().toStringList();
            if ((args.contains("tcpip") && args.contains(kFirst)) ||
                args.contains("192.168.50.101:5555"))
                starts << call["startMs"].toDouble();
        }
        QCOMPARE(starts.size(), 2);
        QCOMPARE_GE(starts[1] - starts[0], WifiAdbSwitch::kConnectDelayMs);
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device), 15000);

        // Stopping leaves no tunnel (nor server: cleanup()) behind.
        device->stopScrcpySession();
        QVERIFY(AdbLane::waitForIdle(device->adbConnectionSerial(), 15000));
        QVERIFY(m_fleet->status().value("reverse").toArray().isEmpty());
    }
};

PARVIX_TEST(PhoneSessionTest)
#include "phonesessiontest.moc"
