// Twelve virtual phones: batch transfers, dropped phones coming back, groups across a restart.
#include "adbrunner.h"
#include "appconfig.h"
#include "batchjob.h"
#include "datatable.h"
#include "device.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "devicelink.h"
#include "devicetracker.h"
#include "testregistry.h"
#include "testsupport.h"
#include "virtualfleet.h"

#include <QtTest>

namespace {
constexpr int kBackMs = 30000; // adb's first pauses before a phone is back, on a loaded machine
} // namespace

class GroupFleetTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;
    QTemporaryDir m_data;

private slots:
    void initTestCase()
    {
        // Cached loops: no encoding per frame.
        PARVIX_START_FLEET(m_fleet, VirtualFleet::Options{12, {720, 1600}, 30, true});
        for (int phone : {4, 9})
            QVERIFY(m_fleet->setPhoneOption(phone, "faults", QJsonObject{{"pushFails", true}}));
        AppConfig::instance()->setDeviceGroupSavePath(m_data.path());
    }

    void cleanup()
    {
        m_fleet->plug(m_fleet->serial(), true); // also after a row that failed half-way
        QFile::remove(DeviceGroupManager::filePath());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void phonesEndAsTheirAdbCallsDid_data()
    {
        addColumns<QString, bool, QList<int>>({"file", "cancelAtOnce", "doneFailedCancelled"});
        QTest::newRow("group upload, two failing") << "notes.txt" << false << QList{10, 2, 0};
        // The first eight start at once; the other four never do.
        QTest::newRow("group install cancelled while the first run")
            << "game.apk" << true << QList{7, 1, 4};
    }
    void phonesEndAsTheirAdbCallsDid()
    {
        QFETCH(QString, file);
        QFETCH(bool, cancelAtOnce);
        const QString path = m_data.filePath(file);
        QVERIFY(!TestSupport::writeFile(path, "PK zip bytes").isEmpty());
        QFile::remove(m_fleet->home() + "/adb.log");

        DeviceGroup group;
        for (const QString &serial : m_fleet->serials())
            group.addDevice(new Device(nullptr, serial));
        if (file.endsWith(".apk"))
            group.installApk(path);
        else
            group.uploadFile(path);
        QCOMPARE(group.jobs()->rowCount(), 1);
        BatchJob *job = group.jobs()->at(0);
        if (cancelAtOnce)
            job->cancel();
        QTRY_VERIFY_WITH_TIMEOUT(job->isFinished(), 60000);

        QTEST((QList<int>{job->doneCount(), job->failedCount(), job->cancelledCount()}),
              "doneFailedCancelled");
        QStringList started, pushedTo;
        for (int row = 0; row < job->rowCount(); ++row) {
            const BatchJob::State state = job->state(row);
            QCOMPARE(state == BatchJob::Failed, !job->outcome(row).reason.isEmpty());
            if (state != BatchJob::Cancelled)
                started << job->target(row).serial;
        }
        for (const QStringList &args : m_fleet->adbCalls({"push"}))
            pushedTo << args.value(args.indexOf("-s") + 1);
        pushedTo.removeDuplicates();
        started.sort();
        pushedTo.sort();
        QCOMPARE(pushedTo, started); // each phone a transfer reached, once
    }
    void aDroppedPhoneComesBack_data()
    {
        // Over Wi-Fi the phone drops with an adb server restart (adb forgets it), else unplugged.
        addColumns<bool, bool>({"stoppedFirst", "wifi"});
        QTest::newRow("unplugged and plugged back") << false << false;
        QTest::newRow("over Wi-Fi, adb server restarted") << false << true;
        QTest::newRow("stopped by the user, then replugged") << true << false;
    }

    void aDroppedPhoneComesBack()
    {
        QFETCH(bool, stoppedFirst);
        QFETCH(bool, wifi);
        QString wifiSerial;
        if (wifi) {
            const QString ip = ADBRunner::getDeviceIp(m_fleet->serial());
            QVERIFY(ADBRunner::tcpip(m_fleet->serial(), 5555));
            QVERIFY(ADBRunner::connect(m_fleet->serial(), ip, 5555));
            wifiSerial = ip + ":5555";
        }
        const auto disconnect = qScopeGuard([&] {
            if (wifi)
                ADBRunner::disconnect(wifiSerial);
        });
        DeviceGroupManager manager;
        manager.startTracking();
        DeviceGroup *group = manager.currentSelectedGroup();
        auto *device = new Device(nullptr, wifi ? wifiSerial : m_fleet->serial());
        group->addDevice(device);
        group->startGroupControl();
        device->setIsBigView(true);
        device->startScrcpySession();
        QVERIFY(TestSupport::moreFrames(device, 1, kBackMs));
        if (stoppedFirst)
            device->stopScrcpySession();

        QSignalSpy dropped(device->link(), &DeviceLink::reconnectingChanged);
        if (!wifi) {
            QVERIFY(m_fleet->plug(m_fleet->serial(), false));
            QTRY_COMPARE(device->link()->adbState(), QString("gone"));
            QTRY_VERIFY(!device->running());
            QVERIFY(m_fleet->plug(m_fleet->serial(), true));
        } else {
            QVERIFY(ADBRunner::restartServer());
        }
        if (stoppedFirst) {
            QTRY_COMPARE(device->link()->adbState(), QString("device"));
            QSignalSpy started(device, &Device::runningChanged);
            QVERIFY(!started.wait(DeviceTracker::kFirstRetryMs * 3));
            QVERIFY(!device->running() && dropped.isEmpty());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(device->link()->reconnecting(), kBackMs);
        QVERIFY(TestSupport::moreFrames(device, 1, kBackMs));
        QVERIFY(!device->link()->reconnecting());
        // The same tile in the same group, still its host and still enlarged.
        QCOMPARE(group->devices(), QList<Device *>{device});
        QCOMPARE(group->hostDevice(), device);
        QVERIFY(device->isBigView());
    }

    void groupsKeepTheirPhonesAcrossARestart()
    {
        {
            DeviceGroupManager manager;
            manager.createDeviceGroup("Farm");
            DeviceGroup *farm = manager.deviceGroups().last();
            auto *device = new Device(nullptr, m_fleet->serial());
            farm->addDevice(device);
            farm->addDevice(new Device(nullptr, "192.168.9.9:5555")); // away for now
            device->startScrcpySession();
            QVERIFY(TestSupport::moreFrames(device, 1, kBackMs));
            QTRY_VERIFY(TestSupport::readJson(
                            DeviceGroupManager::filePath())["device_groups"][1]["streaming"]
                            .toBool());
        } // the application closes: its sessions end, the file keeps what it was doing

        DeviceGroupManager manager;
        manager.startTracking();
        const QList<DeviceGroup *> groups = manager.deviceGroups();
        QCOMPARE(groups.size(), 2);
        QCOMPARE(groups.first()->deviceCount(), 0);
        const QList<Device *> members = groups.last()->devices();
        QCOMPARE(TestSupport::mapped(members, &Device::adbConnectionSerial),
                 QStringList({m_fleet->serial(), "192.168.9.9:5555"}));
        QCOMPARE(members.at(1)->connectionType(), Device::WiFi);
        QVERIFY(TestSupport::moreFrames(members.at(0), 1, kBackMs));
        QTRY_COMPARE(members.at(1)->link()->adbState(), QString("gone"));
        QVERIFY(!members.at(1)->running());
    }
};

PARVIX_TEST(GroupFleetTest)
#include "groupfleettest.moc"
