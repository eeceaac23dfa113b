// adb's device feed, the tracker outliving a killed adb server, wireless pairing and battery.
#include "devicetracker.h"
#include "adbrunner.h"
#include "batterystatus.h"
#include "datatable.h"
#include "testregistry.h"
#include "testsupport.h"
#include "virtualfleet.h"
#include "wirelesspairing.h"

#include <QtTest>
#include <memory>

using States = DeviceTracker::States;

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
        PARVIX_START_FLEET(m_fleet, VirtualFleet::Options{1, {720, 1600}, 30, true});
        QVERIFY(m_fleet->setPhoneOption(0, "ip", m_ip));
        QVERIFY(m_fleet->setPhoneOption(0, "pairCode", "482913"));
        QVERIFY(m_fleet->setPhoneOption(0, "tcpipPort", 40111));
    }

    void takeBlocks_data()
    {
        addColumns<QByteArray, QList<States>, int, bool>({"stream", "blocks", "left", "broken"});
        const auto row = [](const char *name, const QByteArray &stream, const QList<States> &blocks,
                            int left = 0, bool broken = false) {
            QTest::newRow(name) << stream << blocks << left << broken;
        };
        row("empty list", block(""), {States{}});
        row("long format",
            block("R58M1               offline usb:1-1 transport_id:3\nEMU\trecovery\n"),
            {{{"R58M1", "offline"}, {"EMU", "recovery"}}});
        row("a block and a half", block("R58M1\tdevice\n") + block("R58M1\toffline\n").left(10),
            {States{{"R58M1", "device"}}}, 10);
        row("length cut", "00", {}, 2);
        row("not a length", "* daemon started\n", {}, 0, true);
        row("negative length", "-001x", {}, 0, true);
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
        // address: "IP" stands for the phone's address
        addColumns<QString, QString, QString, bool, bool, QString>(
            {"address", "code", "port", "adbRuns", "ok", "says"});
        // The code and connect port default to the phone's own.
        const auto row = [](const char *name, const char *address, const char *says, bool adbRuns,
                            bool ok, const char *code = "482913", const char *port = "40111") {
            QTest::newRow(name) << QString(address) << QString(code) << QString(port) << adbRuns
                                << ok << QString(says);
        };
        row("no port", "IP", "pairing address", false, false);
        row("host with a space", "192.168.1 .77:37000", "pairing address", false, false);
        row("octet over 255", "192.168.1.777:37000", "pairing address", false, false);
        row("connect port 0", "IP:37000", "Wireless debugging", false, false, "482913", "0");
        row("wrong code", "IP:37000", "Wrong pairing code", true, false, "111111");
        row("nobody there", "10.9.9.9:37000", "Cannot reach 10.9.9.9:37000", true, false);
        row("paired, wrong connect port", "IP:37000", "connecting to", true, false, "482913",
            "40112");
        row("paired and connected", " IP:37000 ", "Connected to IP:40111", true, true, " 482913");
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
        // As on a fresh login: adb's lines about starting its server are not its answer.
        QVERIFY(!adbRuns || ADBRunner::killServer());
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
        m_fleet.reset(); // before the next one points adb at itself
        PARVIX_START_FLEET(m_fleet, VirtualFleet::Options{2, {540, 1200}, 30, true});
        const QStringList serials = m_fleet->serials();
        DeviceTracker tracker;
        QSignalSpy live(&tracker, &DeviceTracker::liveChanged);
        tracker.start();
        const States ready{{serials.at(0), "device"}, {serials.at(1), "device"}};
        QTRY_COMPARE(tracker.states(), ready);
        QVERIFY(tracker.isLive());

        QVERIFY(m_fleet->plug(serials.at(0), false));
        QTRY_VERIFY(!tracker.states().contains(serials.at(0)));

        live.clear();
        QVERIFY(ADBRunner::killServer());
        QTRY_VERIFY(!tracker.isLive());
        QVERIFY(m_fleet->plug(serials.at(0), true));
        QTRY_VERIFY_WITH_TIMEOUT(tracker.isLive(), 10000);
        QCOMPARE(live.size(), 2);
        QCOMPARE(tracker.states().value(serials.at(0)), QString("device"));
    }
};

PARVIX_TEST(DeviceTrackerTest)
#include "devicetrackertest.moc"
