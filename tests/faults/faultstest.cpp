// Faults in whole sessions of virtual phones: the tile says why, recordings play, streams resume.
#include "adbrunner.h"
#include "appconfig.h"
#include "device.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "mediarecorder.h"
#include "recordingreader.h"
#include "scrcpyserver.h"
#include "smalldisk.h"
#include "testregistry.h"
#include "testsupport.h"
#include "usermessage.h"
#include "videoframefeed.h"
#include "virtualfleet.h"

#include <QtTest>

class SessionFaultsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;
    // Its current group, tracked and reconnected (or not) as in the window.
    std::unique_ptr<DeviceGroupManager> m_manager;
    DeviceGroup *m_group = nullptr;
    QTemporaryDir m_data;
    QList<QStringList> m_said; // serial, text, type

    QString videos() const { return m_data.filePath(QStringLiteral("videos")); }

    Device *add(const QString &serial)
    {
        auto *device = new Device(nullptr, serial);
        connect(device, &Device::deviceMessage, this,
                [this, serial](const QString &text, const QString &type) {
                    m_said << QStringList{serial, text, type};
                });
        m_group->addDevice(device);
        return device;
    }
    QStringList told(const QString &serial, const QString &type = {}) const
    {
        QStringList texts;
        for (const QStringList &said : m_said)
            if (said[0] == serial && (type.isEmpty() || said[2] == type))
                texts << said[1];
        return texts;
    }
    static bool startAndStream(Device *device)
    {
        device->startScrcpySession();
        return QTest::qWaitFor([device] { return device->controller() != nullptr; }, 20000) &&
               TestSupport::moreFrames(device, 3, 20000);
    }

private slots:
    void init()
    {
        PARVIX_START_FLEET(m_fleet, VirtualFleet::Options{2, {1080, 2400}, 10});
        AppConfig::instance()->setVideoSavePath(videos());
        // What a dropped phone leaves behind without automatic reconnects (those have their own).
        AppConfig::instance()->setAutoReconnect(false);
        QDir(videos()).removeRecursively();
        QDir().mkpath(videos());
        AppConfig::instance()->setDeviceGroupSavePath(m_data.filePath("groups"));
        QFile::remove(DeviceGroupManager::filePath());
        m_manager = std::make_unique<DeviceGroupManager>();
        m_group = m_manager->currentSelectedGroup();
        m_said.clear();
    }
    void cleanup()
    {
        if (m_group)
            for (Device *device : m_group->devices())
                device->stopScrcpySession();
        m_manager.reset();
        m_group = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (m_fleet && m_fleet->isValid())
            (void)QTest::qWaitFor(
                [this] { return m_fleet->status().value("processes").toArray().isEmpty(); }, 10000);
        // adb calls still running in the background would write into a fleet that is gone.
        QThreadPool::globalInstance()->waitForDone(30000);
        ADBRunner::workPool()->waitForDone(30000);
        ADBRunner::setFinishTimeoutsForTesting(0, 0);
        m_fleet.reset();
    }

    void slowAdb_data()
    {
        // adb past its time-out, the phone answering later (late but in time: DeviceTest)
        QTest::addColumn<bool>("starting");
        QTest::newRow("start, hanging") << true;
        QTest::newRow("stop, hanging") << false;
    }

    void slowAdb()
    {
        QFETCH(bool, starting);
        const QString phone = m_fleet->serial();
        QPointer<Device> device = add(phone);
        QVERIFY(starting || startAndStream(device));
        QVERIFY(m_fleet->setPhoneOption(0, "faults", QJsonObject{{"delayMs", 4000}}));
        ADBRunner::setFinishTimeoutsForTesting(2000, 2000);
        if (!starting) {
            device->stopScrcpySession();
            QVERIFY(!device->running() && !device->controller());
            // The phone's server ends even when adb does not answer in time.
            QTRY_COMPARE_WITH_TIMEOUT(m_fleet->liveServers(), 0, 20000);
            QCOMPARE(m_group->deviceCount(), 1);
        } else {
            device->startScrcpySession();
            QTRY_COMPARE_WITH_TIMEOUT(told(phone, "error"),
                                      QStringList{"Mirroring could not start"}, 20000);
            // A failed start leaves the group, after the tile has said why.
            QTRY_VERIFY_WITH_TIMEOUT(!device, 15000);
            QTRY_COMPARE_WITH_TIMEOUT(m_fleet->liveServers(), 0, 15000);
            m_said.clear();
        }

        QVERIFY(m_fleet->setPhoneOption(0, "faults", QJsonObject()));
        ADBRunner::setFinishTimeoutsForTesting(0, 0);
        QVERIFY(startAndStream(device ? device.data() : add(phone)));
        QCOMPARE(m_fleet->liveServers(), 1);
        QCOMPARE(told(phone, "error"), QStringList());
    }

    void phoneSideEnds_data()
    {
        // Ends without a recording, and the tile's reason: DeviceTest::sessionEndsTellWhy.
        QTest::addColumn<bool>("unplugged"); // else the server is killed on the phone
        QTest::newRow("unplugged while recording") << true;
        QTest::newRow("server killed while recording") << false;
    }

    void phoneSideEnds()
    {
        QFETCH(bool, unplugged);
        const QString gone = m_fleet->serial(), stays = m_fleet->serial(1);
        QPointer<Device> device = add(gone);
        Device *other = add(stays);
        QVERIFY(startAndStream(device) && startAndStream(other));
        device->startRecord();
        QTRY_VERIFY_WITH_TIMEOUT(told(gone).contains("Record Started"), 10000);
        const quint64 from = device->videoFeed()->publishedCount();
        QVERIFY(TestSupport::moreFrames(device, 20, 20000));
        // What the file must hold, less a key frame's wait.
        const int recorded = int(device->videoFeed()->publishedCount() - from) - 3;

        if (unplugged) {
            QVERIFY(m_fleet->plug(gone, false));
            // The phone leaves its group; its recording is closed on the way.
            QTRY_VERIFY_WITH_TIMEOUT(!device, 15000);
            QCOMPARE(m_group->deviceCount(), 1);
        } else {
            QSignalSpy controllerChanged(device, &Device::controllerChanged);
            QSignalSpy runningChanged(device, &Device::runningChanged);
            QPointer<ScrcpyServer> server = device->server();
            // Whatever the ended session's sockets still hold must not reach the device.
            QPointer<StreamPipeline> pipeline = device->pipeline();
            bool cutOff = false;
            QObject scope;
            connect(device, &Device::runningChanged, &scope,
                    [&] { cutOff = !device->pipeline() && (!pipeline || pipeline->isClosed()); });
            QCOMPARE(m_fleet->shell(gone, "pkill -f com.genymobile.scrcpy.Server").exitCode, 0);
            QTRY_VERIFY_WITH_TIMEOUT(!device->running(), 10000);
            QVERIFY(cutOff);
            QTRY_VERIFY(!pipeline); // and then gone from its thread
            QTRY_VERIFY(!server);   // released once its own signal returned
            QCOMPARE(controllerChanged.count(), 1);
            QCOMPARE(runningChanged.count(), 1);
            // Still attached: it stays in its group, not mirrored, past the tile message's time.
            QVERIFY(!QTest::qWaitFor([&] { return m_group->deviceCount() != 2; },
                                     UserMessage::timeoutMs(UserMessage::Kind::Error) + 1000));
            QVERIFY(!device->controller());
            // What was recorded up to the end is kept whole once the user stops.
            QVERIFY(device->videoRecorder()->isRecording());
            device->stopRecord();
            QTRY_VERIFY_WITH_TIMEOUT(told(gone).contains("Record Stopped"), 10000);
            QTRY_VERIFY(!device->videoRecorder()->recordingThread());
        }
        QVERIFY(TestSupport::moreFrames(other, 3, 20000));
        QCOMPARE(told(stays, "error"), QStringList());
        const QStringList files = QDir(videos()).entryList({"*.mkv"}, QDir::Files);
        QCOMPARE(files.size(), 1);
        QCOMPARE(RecordingReader::playProblem(videos() + '/' + files.first(), recorded), QString());

        if (unplugged)
            QVERIFY(m_fleet->plug(gone, true));
        QVERIFY(startAndStream(device ? device.data() : add(gone)));
        QCOMPARE(m_fleet->liveServers(), 2);
    }

    void diskFillsWhileRecording()
    {
        // A busy picture, so that the disk fills within seconds.
        const QString phone = m_fleet->serial(), clip = m_data.filePath("busy.h264");
        QCOMPARE(m_fleet
                     ->adb({"make-clip", "--size", "320x640", "--fps", "15", "--bitrate", "400000",
                            "--seconds", "4", "--key-interval", "1", "--out", clip})
                     .exitCode,
                 0);
        QCOMPARE(m_fleet->adb({"set-clip", "--home", m_fleet->home(), phone, clip}).exitCode, 0);
        Device *device = add(phone);
        QVERIFY(startAndStream(device));
        constexpr qint64 room = 96 * 1024;
        SmallDisk disk(videos(), room);
        if (!disk.isValid())
            QSKIP(qPrintable("no way to fill a disk here: " + disk.errorString()));
        device->startRecord();
        QTRY_VERIFY_WITH_TIMEOUT(told(phone).contains("Record Started"), 10000);
        const QString why =
            disk.reportsDiskFull() ? "the disk is full" : "the file could not be written";
        QTRY_VERIFY_WITH_TIMEOUT(told(phone, "error").contains("Record Failed: " + why), 30000);
        // The phone goes on streaming (the recorder and its file: MediaRecorderTest).
        QVERIFY(device->running() && TestSupport::moreFrames(device, 3, 20000));
        QCOMPARE(told(phone, "error"), QStringList{"Record Failed: " + why});
    }
};

PARVIX_TEST(SessionFaultsTest)
#include "faultstest.moc"
