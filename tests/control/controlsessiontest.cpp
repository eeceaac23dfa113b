// End to end with virtual phones: touches follow a rotation, a text beyond one message's
// limit keeps the session (what reaches the phones otherwise: MultiHostFleetTest,
// journeys), and a phone's AutoJS run still forwarding when the phone leaves its group.
#include "adbrunner.h"
#include "autojs.h"
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
    std::unique_ptr<Device> m_device;
    int m_seen = 0; // control log lines already looked at

    QList<QJsonObject> controlLog() const { return m_fleet->controlLog(m_fleet->serials().at(0)); }
    // The lines logged since the last call, once at least count of them are there.
    QList<QJsonObject> newLines(int count)
    {
        QList<QJsonObject> lines;
        if (QTest::qWaitFor([&] { return (lines = controlLog().mid(m_seen)).size() >= count; },
                            10000))
            m_seen += int(lines.size());
        return lines;
    }
    Controller *controller() const { return m_device->controller(); }

private slots:
    void initTestCase()
    {
        m_fleet =
            std::make_unique<VirtualFleet>(TestSupport::phonesimPath(), VirtualFleet::Options{2});
        if (!m_fleet->isValid())
            QSKIP(qPrintable(m_fleet->errorString()));
        m_device = std::make_unique<Device>(nullptr, m_fleet->serials().at(0));
        m_device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(m_device->controller() != nullptr, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(m_device->frameSize().isValid(), 20000);
        m_seen = int(controlLog().size());
    }

    // A session that ended would take the controller with it.
    void init() { QVERIFY(m_device && m_device->controller()); }

    void cleanupTestCase()
    {
        if (m_device)
            m_device->stopScrcpySession();
        m_device.reset();
        m_fleet.reset();
    }

    void rotationChangesTheSizeTouchesUse()
    {
        const QSize before = m_device->frameSize();
        controller()->actionRotateScreen();
        QTRY_VERIFY_WITH_TIMEOUT(m_device->frameSize() == before.transposed(), 10000);
        const QSize view = m_device->frameSize();
        controller()->handleMouseEvent(2, 5, 5, 1, 1, view.width(), view.height());
        controller()->handleMouseEvent(3, 5, 5, 1, 0, view.width(), view.height());
        QList<QJsonObject> lines = newLines(3);
        QCOMPARE(lines.at(0).value("type").toString(), "rotate_device");
        QCOMPARE(lines.at(1).value("screenWidth").toInt(), before.height());
        QVERIFY(!lines.at(1).value("dropped").toBool());

        controller()->actionRotateScreen();
        QTRY_VERIFY_WITH_TIMEOUT(m_device->frameSize() == before, 10000);
        controller()->resetVideo();
        lines = newLines(2);
        QCOMPARE(lines.at(1).value("type").toString(), "reset_video");
    }

    void longChineseTextKeepsTheSessionAlive()
    {
        // Far beyond what one message may carry once encoded.
        const QString text = QString(262130, QChar(0x4E2D));
        controller()->actionInputText(text);
        controller()->actionBack();
        const QList<QJsonObject> lines = newLines(3);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0).value("length").toInt(), 87376 * 3);
        QCOMPARE(lines.at(0).value("text").toString(), text.left(87376));
        QCOMPARE(lines.at(1).value("keycode").toInt(), 4);
        QVERIFY(m_device->running());
    }

    // The second phone, streaming in a group, runs a script and leaves the group while its
    // slow adb still forwards: nothing touches the deleted runner.
    void phoneLeavesItsGroupWhileItsRunForwards()
    {
        const QString serial = m_fleet->serials().at(1);
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
        QVERIFY(m_fleet->setPhoneOption(1, "faults", QJsonObject{{"delayMs", 1500}}));
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
