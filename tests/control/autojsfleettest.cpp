// The AutoJS runner deleted while adb is still forwarding its port to a phone that answers
// adb slowly.
#include "adbrunner.h"
#include "autojs.h"
#include "device.h"
#include "devicegroup.h"
#include "testregistry.h"
#include "testsupport.h"
#include "virtualfleet.h"

#include <QFile>
#include <QJsonObject>
#include <QThreadPool>
#include <QtTest>

#include <memory>

namespace {
// What the phone's AutoJS service received, in order.
QList<QJsonObject> received(const VirtualFleet &fleet, const QString &serial)
{
    return fleet.jsonLines(serial + "/autojs.jsonl");
}
} // namespace

class AutojsFleetTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString script()
    {
        QFile file(m_dir.filePath("daily.checkin.js"));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write("toast('hi');\n");
        return file.fileName();
    }

    // Waits until no forward runs on the pool any more and whatever it posted is delivered.
    static void settle()
    {
        QThreadPool::globalInstance()->waitForDone();
        QTest::qWait(300);
    }

private slots:
    // A device leaving its group is deleted while its run still waits for adb: nothing may
    // touch the deleted object and no message may arrive afterwards.
    void deletedWhileAdbStillForwards_data()
    {
        QTest::addColumn<bool>("withStop");
        QTest::addColumn<bool>("throughDevice");
        QTest::newRow("run") << false << false;
        QTest::newRow("run, then stop") << true << false;
        QTest::newRow("device deleted later") << true << true;
    }

    void deletedWhileAdbStillForwards()
    {
        QFETCH(bool, withStop);
        QFETCH(bool, throughDevice);
        VirtualFleet fleet(TestSupport::phonesimPath(), {});
        if (!fleet.isValid())
            QSKIP(qPrintable(fleet.errorString()));
        const QString serial = fleet.serials().first();
        QVERIFY(fleet.setPhoneOption(0, "faults", QJsonObject{{"delayMs", 1500}}));

        auto late = std::make_shared<QStringList>();
        auto *device = new Device(nullptr, serial);
        connect(device, &Device::deviceMessage, this,
                [late](const QString &text) { late->append(text); });
        QPointer<Autojs> autojs = device->autojs();
        connect(autojs, &Autojs::userMessage, this,
                [late](const QString &text) { late->append(text); });
        autojs->run(script());
        if (withStop)
            autojs->stop();
        QTest::qWait(300); // well into the slow forward
        if (throughDevice) {
            device->deleteLater();
            QTRY_VERIFY(autojs.isNull());
        } else {
            delete autojs.data();
            QVERIFY(autojs.isNull());
            delete device;
        }
        settle();
        QCOMPARE(*late, QStringList());
        QVERIFY(received(fleet, serial).isEmpty());

        // Another runner for the phone still works once adb answers.
        QVERIFY(fleet.setPhoneOption(0, "faults", QJsonObject()));
        Autojs again(serial, nullptr);
        again.run(script());
        QTRY_VERIFY_WITH_TIMEOUT(again.isRunning(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(received(fleet, serial).size(), 1, 10000);
    }

    // The whole road: a streaming phone in a group runs a script, and leaves the group while
    // adb still forwards; the group deletes it.
    void phoneLeavesItsGroupWhileItsRunForwards()
    {
        VirtualFleet fleet(TestSupport::phonesimPath(), {1, {1080, 2400}, 30, true});
        if (!fleet.isValid())
            QSKIP(qPrintable(fleet.errorString()));
        const QString serial = fleet.serials().first();
        DeviceGroup group;
        QVERIFY(group.addDevices(ADBRunner::getDevices()));
        QTRY_COMPARE(group.deviceCount(), 1);
        QPointer<Device> device = group.devices().first();
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(device->controller(), 30000);

        auto late = std::make_shared<QStringList>();
        connect(device, &Device::deviceMessage, this,
                [late](const QString &text) { late->append(text); });
        QVERIFY(fleet.setPhoneOption(0, "faults", QJsonObject{{"delayMs", 1500}}));
        group.runAutojs(script());
        group.stopAllAutojs();
        QTest::qWait(300);
        late->clear(); // the session's own words on stopping are not the point
        group.removeDevice(device);
        QTRY_VERIFY_WITH_TIMEOUT(device.isNull(), 30000);
        settle();
        QCOMPARE(*late, QStringList());
        QVERIFY(received(fleet, serial).isEmpty());
    }
};

PARVIX_TEST(AutojsFleetTest)
#include "autojsfleettest.moc"
