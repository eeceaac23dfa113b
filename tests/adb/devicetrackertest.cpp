// adb's device change feed: the blocks of its host format, and the tracker following the
// virtual phones' states, coming back after the adb server was killed. Also a virtual phone's
// wireless pairing and battery through the adb bridge: bad pairing input is refused before adb
// runs, adb's failures come back as words a user can act on, and the battery set in the fleet
// file is what the phone reports.
#include "devicetracker.h"
#include "adbrunner.h"
#include "batterystatus.h"
#include "testregistry.h"
#include "testsupport.h"
#include "virtualfleet.h"
#include "wirelesspairing.h"

#include <QtTest>
#include <memory>

using States = DeviceTracker::States;
Q_DECLARE_METATYPE(QList<DeviceTracker::States>)

namespace {
// One block as adb frames it: the payload's length in 4 hex digits, then the payload.
QByteArray block(const QByteArray &payload)
{
    return QByteArray::number(payload.size(), 16).rightJustified(4, '0') + payload;
}
} // namespace

class DeviceTrackerTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;
    const QString m_ip = "192.168.1.77";

private slots:
    void initTestCase()
    {
        if (TestSupport::phonesimPath().isEmpty())
            QSKIP("the virtual phones are not built");
        m_fleet = std::make_unique<VirtualFleet>(TestSupport::phonesimPath(),
                                                 VirtualFleet::Options{1, {720, 1600}, 30, true});
        QVERIFY2(m_fleet->isValid(), qPrintable(m_fleet->errorString()));
        QVERIFY(m_fleet->setPhoneOption(0, "ip", m_ip));
        QVERIFY(m_fleet->setPhoneOption(0, "pairCode", "482913"));
        QVERIFY(m_fleet->setPhoneOption(0, "tcpipPort", 40111));
    }

    void takeBlocks_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QList<States>>("blocks");
        QTest::addColumn<int>("left");
        QTest::addColumn<bool>("broken");
        const States two{{"R58M1", "device"}, {"10.0.0.7:5555", "unauthorized"}};
        QTest::newRow("empty list") << block("") << QList<States>{States{}} << 0 << false;
        QTest::newRow("two phones") << block("R58M1\tdevice\n10.0.0.7:5555\tunauthorized\n")
                                    << QList<States>{two} << 0 << false;
        QTest::newRow("long format")
            << block("R58M1               offline usb:1-1 transport_id:3\nEMU\trecovery\n")
            << QList<States>{{{"R58M1", "offline"}, {"EMU", "recovery"}}} << 0 << false;
        QTest::newRow("a block and a half")
            << block("R58M1\tdevice\n") + block("R58M1\toffline\n").left(10)
            << QList<States>{{{"R58M1", "device"}}} << 10 << false;
        QTest::newRow("length cut") << QByteArray("00") << QList<States>{} << 2 << false;
        QTest::newRow("upper-case hex") << QByteArray("000DR58M1\tdevice\n")
                                        << QList<States>{{{"R58M1", "device"}}} << 0 << false;
        QTest::newRow("not a length")
            << QByteArray("* daemon started\n") << QList<States>{} << 0 << true;
        QTest::newRow("negative length") << QByteArray("-001x") << QList<States>{} << 0 << true;
    }

    void takeBlocks()
    {
        QFETCH(QByteArray, stream);
        bool broken = false;
        QTEST(DeviceTracker::takeBlocks(stream, &broken), "blocks");
        QTEST(int(stream.size()), "left");
        QTEST(broken, "broken");
    }

    void retryPausesDoubleUpToHalfAMinute()
    {
        QList<int> pauses;
        for (int failures : {0, 1, 2, 4, 5, 40})
            pauses << DeviceTracker::retryDelayMs(failures);
        QCOMPARE(pauses, (QList<int>{1000, 2000, 4000, 16000, 30000, 30000}));
    }

    void batteryFromTheFleetFile()
    {
        QVERIFY(m_fleet->setPhoneOption(0, "battery", 9));
        QVERIFY(m_fleet->setPhoneOption(0, "charging", false));
        const BatteryStatus status = BatteryStatus::read(m_fleet->serials().first());
        QVERIFY(status.level == 9 && !status.charging);
    }

    void pairing_data()
    {
        QTest::addColumn<QString>("address"); // "IP" stands for the phone's address
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("adbRuns");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("says");
        const auto row = [](const char *name, const char *address, const char *code,
                            const char *port, bool adbRuns, bool ok, const char *says) {
            QTest::newRow(name) << QString(address) << QString(code) << QString(port) << adbRuns
                                << ok << QString(says);
        };
        row("no port", "IP", "482913", "40111", false, false, "pairing address");
        row("host with a space", "192.168.1 .77:37000", "482913", "40111", false, false,
            "pairing address");
        row("octet over 255", "192.168.1.777:37000", "482913", "40111", false, false,
            "pairing address");
        row("connect port 0", "IP:37000", "482913", "0", false, false, "Wireless debugging");
        row("wrong code", "IP:37000", "111111", "40111", true, false, "Wrong pairing code");
        row("nobody there", "10.9.9.9:37000", "482913", "40111", true, false,
            "Cannot reach 10.9.9.9:37000");
        row("paired, wrong connect port", "IP:37000", "482913", "40112", true, false,
            "connecting to");
        row("paired and connected", " IP:37000 ", " 482913", "40111", true, true,
            "Connected to IP:40111");
    }
    void pairing()
    {
        QFETCH(QString, address);
        QFETCH(QString, code);
        QFETCH(QString, port);
        QFETCH(bool, adbRuns);
        QFETCH(QString, says);
        address.replace("IP", m_ip);
        says.replace("IP", m_ip);
        WirelessPairing pairing;
        QSignalSpy finished(&pairing, &WirelessPairing::finished);
        QCOMPARE(pairing.start(address, code, port), adbRuns);
        if (adbRuns)
            QVERIFY(finished.wait(30000));
        QTEST(pairing.succeeded(), "ok");
        QVERIFY2(pairing.message().contains(says), qPrintable(pairing.message()));
    }
    void followsThePhonesAndOutlivesTheAdbServer()
    {
        m_fleet.reset();
        VirtualFleet fleet(TestSupport::phonesimPath(), {2, {540, 1200}, 30, true});
        QVERIFY2(fleet.isValid(), qPrintable(fleet.errorString()));
        const QStringList serials = fleet.serials();
        DeviceTracker tracker;
        QSignalSpy live(&tracker, &DeviceTracker::liveChanged);
        tracker.start();
        const States ready{{serials.at(0), "device"}, {serials.at(1), "device"}};
        QTRY_COMPARE(tracker.states(), ready);
        QVERIFY(tracker.isLive());

        QVERIFY(fleet.setPhoneOption(1, "state", "unauthorized"));
        QTRY_COMPARE(tracker.states().value(serials.at(1)), QString("unauthorized"));
        QVERIFY(fleet.plug(serials.at(0), false));
        QTRY_VERIFY(!tracker.states().contains(serials.at(0)));

        live.clear();
        QVERIFY(ADBRunner::killServer());
        QTRY_VERIFY(!tracker.isLive());
        QVERIFY(fleet.plug(serials.at(0), true));
        QTRY_VERIFY_WITH_TIMEOUT(tracker.isLive(), 10000);
        QCOMPARE(live.size(), 2);
        QCOMPARE(tracker.states().value(serials.at(0)), QString("device"));
    }
};

PARVIX_TEST(DeviceTrackerTest)
#include "devicetrackertest.moc"
