// A virtual phone's wireless pairing and battery through the adb bridge: bad pairing input is
// refused before adb runs, adb's failures come back as words a user can act on, and the
// battery set in the fleet file is what the phone reports.
#include "batterystatus.h"
#include "testregistry.h"
#include "testsupport.h"
#include "virtualfleet.h"
#include "wirelesspairing.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

class PhoneFleetAdbTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;
    QString m_ip;

private slots:
    void initTestCase()
    {
        if (TestSupport::phonesimPath().isEmpty())
            QSKIP("the virtual phones are not built");
        m_fleet = std::make_unique<VirtualFleet>(TestSupport::phonesimPath(),
                                                 VirtualFleet::Options{1, {720, 1600}, 30, true});
        QVERIFY2(m_fleet->isValid(), qPrintable(m_fleet->errorString()));
        m_ip = "192.168.1.77";
        QVERIFY(m_fleet->setPhoneOption(0, "ip", m_ip));
        QVERIFY(m_fleet->setPhoneOption(0, "pairCode", "482913"));
        QVERIFY(m_fleet->setPhoneOption(0, "tcpipPort", 40111));
    }

    void batteryFromTheFleetFile()
    {
        QVERIFY(m_fleet->setPhoneOption(0, "battery", 9));
        QVERIFY(m_fleet->setPhoneOption(0, "charging", false));
        const BatteryStatus status = BatteryStatus::read(m_fleet->serials().first());
        QCOMPARE(status.level, 9);
        QVERIFY(!status.charging);
    }

    void pairing_data()
    {
        QTest::addColumn<QString>("address"); // "IP" stands for the phone's address
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("adbRuns");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("says");
        QTest::newRow("no port") << "IP"
                                 << "482913"
                                 << "40111" << false << false << "pairing address";
        QTest::newRow("host with a space") << "192.168.1 .77:37000"
                                           << "482913"
                                           << "40111" << false << false << "pairing address";
        QTest::newRow("octet over 255") << "192.168.1.777:37000"
                                        << "482913"
                                        << "40111" << false << false << "pairing address";
        QTest::newRow("five digits") << "IP:37000"
                                     << "48291"
                                     << "40111" << false << false << "six digits";
        QTest::newRow("connect port 0") << "IP:37000"
                                        << "482913"
                                        << "0" << false << false << "Wireless debugging";
        QTest::newRow("wrong code") << "IP:37000"
                                    << "111111"
                                    << "40111" << true << false << "Wrong pairing code";
        QTest::newRow("nobody there") << "10.9.9.9:37000"
                                      << "482913"
                                      << "40111" << true << false << "Cannot reach 10.9.9.9:37000";
        QTest::newRow("paired, wrong connect port") << "IP:37000"
                                                    << "482913"
                                                    << "40112" << true << false << "connecting to";
        QTest::newRow("paired and connected") << " IP:37000 "
                                              << " 482913"
                                              << "40111" << true << true << "Connected to IP:40111";
    }
    void pairing()
    {
        QFETCH(QString, address);
        QFETCH(QString, code);
        QFETCH(QString, port);
        QFETCH(bool, adbRuns);
        QFETCH(bool, ok);
        QFETCH(QString, says);
        address.replace("IP", m_ip);
        says.replace("IP", m_ip);
        WirelessPairing pairing;
        QSignalSpy finished(&pairing, &WirelessPairing::finished);
        QCOMPARE(pairing.start(address, code, port), adbRuns);
        if (adbRuns)
            QVERIFY(finished.wait(30000));
        QCOMPARE(pairing.succeeded(), ok);
        QVERIFY2(pairing.message().contains(says), qPrintable(pairing.message()));
    }
};

PARVIX_TEST(PhoneFleetAdbTest)
#include "phonefleetadbtest.moc"
