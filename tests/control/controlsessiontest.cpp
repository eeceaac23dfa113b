// A phone's AutoJS run still forwarding when the phone leaves its group, on a virtual phone.
#include "adbrunner.h"
#include "controller.h"
#include "device.h"
#include "devicegroup.h"
#include "testregistry.h"
#include "testsupport.h"
#include "virtualfleet.h"

#include <QtTest>
#include <memory>

class ControlSessionTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;

private slots:
    void initTestCase() { PARVIX_START_FLEET(m_fleet, VirtualFleet::Options{1}); }
    void cleanupTestCase() { m_fleet.reset(); }

    // The phone, streaming in a group, runs a script and leaves the group while its
    // slow adb still forwards: nothing touches the deleted runner.
    void phoneLeavesItsGroupWhileItsRunForwards()
    {
        const QString serial = m_fleet->serials().at(0);
        DeviceGroup group;
        QList<ADBDeviceInfo> phones = ADBRunner::getDevices();
        phones.removeIf([&](const ADBDeviceInfo &phone) { return phone.adb_serial != serial; });
        QVERIFY(group.addDevices(phones));
        QTRY_COMPARE(group.deviceCount(), 1);
        QPointer<Device> device = group.devices().first();
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(device->controller(), 30000);

        auto late = std::make_shared<QStringList>();
        connect(device, &Device::deviceMessage, this,
                [late](const QString &text) { late->append(text); });
        QVERIFY(m_fleet->setPhoneOption(0, "faults", QJsonObject{{"delayMs", 1500}}));
        group.runAutojs(
            TestSupport::writeFile(m_fleet->home() + "/daily.checkin.js", "toast('hi');\n"));
        group.stopAllAutojs();
        // The forward is on its way to the slow adb.
        QTRY_VERIFY(ADBRunner::phonePool()->activeThreadCount() > 0);
        late->clear(); // the session's own words on stopping are not the point
        group.removeDevice(device);
        QTRY_VERIFY_WITH_TIMEOUT(device.isNull(), 30000);
        ADBRunner::phonePool()->waitForDone(); // no forward runs any more
        QCoreApplication::processEvents();     // and whatever it posted is delivered
        QCOMPARE(*late, QStringList());
        QVERIFY(m_fleet->jsonLines(serial + "/autojs.jsonl").isEmpty());
    }
};

PARVIX_TEST(ControlSessionTest)
#include "controlsessiontest.moc"
