// Twelve virtual phones: batch transfers end each row as its adb calls did; dropped phones come
// back with their tile and roles unless the user stopped them; groups outlive a restart.
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
#include "videoframefeed.h"
#include "virtualfleet.h"

#include <QtTest>

namespace {
constexpr int kBackMs = 30000; // a reboot (3 s) plus the first pauses, on a loaded machine

bool newFrames(Device *device, quint64 after)
{
    return QTest::qWaitFor([&] { return device->videoFeed()->publishedCount() > after; }, kBackMs);
}
} // namespace

class GroupFleetTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;
    QTemporaryDir m_data;

    QString serial() const { return m_fleet->serials().constFirst(); }

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
        m_fleet->plug(serial(), true); // also after a row that failed half-way
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
        for (const QJsonObject &call : m_fleet->adbLog()) {
            const QStringList args = call.value("args").toVariant().toStringList();
            if (args.contains("push"))
                pushedTo << args.value(args.indexOf("-s") + 1);
        }
        pushedTo.removeDuplicates();
        started.sort();
        pushedTo.sort();
        QCOMPARE(pushedTo, started); // each phone a transfer reached, once
    }
    void aDroppedPhoneComesBack_data()
    {
        addColumns<QString, bool, bool>({"drop", "stoppedFirst", "wifi"});
        const auto row = [](const char *name, const char *drop, bool stoppedFirst = false,
                            bool wifi = false) {
            QTest::newRow(name) << QString(drop) << stoppedFirst << wifi;
        };
        row("unplugged and plugged back", "unplug");
        row("rebooted", "reboot");
        row("adb server restarted", "adb restart");
        row("over Wi-Fi, adb server restarted", "adb restart", false, true);
        row("stopped by the user, then replugged", "unplug", true);
    }

    void aDroppedPhoneComesBack()
    {
        QFETCH(QString, drop);
        QFETCH(bool, stoppedFirst);
        QFETCH(bool, wifi);
        QString wifiSerial;
        if (wifi) { // adb forgets Wi-Fi phones when its server restarts
            const QString ip = ADBRunner::getDeviceIp(serial());
            QVERIFY(ADBRunner::tcpip(serial(), 5555));
            QVERIFY(ADBRunner::connect(serial(), ip, 5555));
            wifiSerial = ip + ":5555";
        }
        const auto disconnect = qScopeGuard([&] {
            if (wifi)
                ADBRunner::disconnect(wifiSerial);
        });
        DeviceGroupManager manager;
        manager.startTracking();
        DeviceGroup *group = manager.currentSelectedGroup();
        auto *device = new Device(nullptr, wifi ? wifiSerial : serial());
        group->addDevice(device);
        group->startGroupControl();
        device->setIsBigView(true);
        device->startScrcpySession();
        QVERIFY(newFrames(device, 0));
        if (stoppedFirst)
            device->stopScrcpySession();

        QSignalSpy dropped(device->link(), &DeviceLink::reconnectingChanged);
        if (drop == "unplug") {
            QVERIFY(m_fleet->plug(serial(), false));
            QTRY_COMPARE(device->link()->adbState(), QString("gone"));
            QTRY_VERIFY(!device->running());
            QVERIFY(m_fleet->plug(serial(), true));
        } else if (drop == "reboot") {
            QVERIFY(ADBRunner::reboot(serial()));
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
        const quint64 before = device->videoFeed()->publishedCount();
        QVERIFY(newFrames(device, before));
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
            auto *device = new Device(nullptr, serial());
            farm->addDevice(device);
            farm->addDevice(new Device(nullptr, "192.168.9.9:5555")); // away for now
            device->startScrcpySession();
            QVERIFY(newFrames(device, 0));
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
        QCOMPARE(members.size(), 2);
        QCOMPARE(members.at(0)->adbConnectionSerial(), serial());
        QCOMPARE(members.at(1)->connectionType(), Device::WiFi);
        QVERIFY(newFrames(members.at(0), 0));
        QTRY_COMPARE(members.at(1)->link()->adbState(), QString("gone"));
        QVERIFY(!members.at(1)->running());
    }
};

PARVIX_TEST(GroupFleetTest)
#include "groupfleettest.moc"
