// A phone leaves its group while slow adb forwards its AutoJS run: nothing uses the dead runner.
#include "adbrunner.h"
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

    void phoneLeavesItsGroupWhileItsRunForwards()
    {
        const QString serial = m_fleet->serials().at(0);
        DeviceGroup group;
        QPointer<Device> device = new Device(nullptr, serial);
        group.addDevice(device);
        device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(device->controller(), 30000);

        QSignalSpy late(device, &Device::deviceMessage);
        QVERIFY(m_fleet->setPhoneOption(0, "faults", QJsonObject{{"delayMs", 1500}}));
        group.runAutojs(
            TestSupport::writeFile(m_fleet->home() + "/daily.checkin.js", "toast('hi');\n"));
        group.stopAllAutojs();
        // The forward is on its way to the slow adb.
        QTRY_VERIFY(ADBRunner::phonePool()->activeThreadCount() > 0);
        late.clear(); // the session's own words on stopping are not the point
        group.removeDevice(device);
        QTRY_VERIFY_WITH_TIMEOUT(device.isNull(), 30000);
        ADBRunner::phonePool()->waitForDone(); // no forward runs any more
        QCoreApplication::processEvents();     // and whatever it posted is delivered
        QCOMPARE(late, QList<QVariantList>());
        QVERIFY(m_fleet->jsonLines(serial + "/autojs.jsonl").isEmpty());
    }
};

PARVIX_TEST(ControlSessionTest)
#include "controlsessiontest.moc"
