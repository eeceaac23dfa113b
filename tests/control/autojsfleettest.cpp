// The AutoJS runner of a phone that leaves its group while adb, answering slowly, is still
// forwarding its port: nothing touches the deleted runner.
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
        ADBRunner::phonePool()->waitForDone();
        QCoreApplication::processEvents();
    }

private slots:
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
        // The forward is on its way to the slow adb.
        QTRY_VERIFY(ADBRunner::phonePool()->activeThreadCount() > 0);
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
