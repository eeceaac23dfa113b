// What the tiles show of a phone's battery, from "dumpsys battery" as phones print it.
#include "batterystatus.h"
#include "testregistry.h"

#include <QtTest>

class BatteryStatusTest : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("charging");
        const QString usbCharging = "Current Battery Service state:\n  AC powered: false\n"
                                    "  USB powered: true\n  Wireless powered: false\n"
                                    "  Max charging current: 500000\n  status: 2\n  health: 2\n"
                                    "  present: true\n  level: 87\n  scale: 100\n"
                                    "  voltage: 4123\n  technology: Li-ion\n";
        QTest::newRow("USB charging") << usbCharging << 87 << true;
        QTest::newRow("discharging, CRLF")
            << "  AC powered: false\r\n  USB powered: false\r\n  status: 3\r\n  level: 14\r\n"
               "  scale: 100\r\n"
            << 14 << false;
        QTest::newRow("full on AC")
            << "  AC powered: true\n  status: 5\n  level: 100\n  scale: 100\n"
            << 100 << true;
        QTest::newRow("full, unplugged") << "  status: 5\n  level: 100\n" << 100 << false;
        QTest::newRow("plugged but not charging")
            << "  USB powered: true\n  status: 4\n  level: 80\n"
            << 80 << false;
        QTest::newRow("no status, powered") << "  Wireless powered: true\n  level: 40\n"
                                            << 40 << true;
        QTest::newRow("scale of 50") << "  level: 25\n  scale: 50\n  status: 3\n" << 50 << false;
        QTest::newRow("emulator's Max charging voltage line")
            << "  Max charging voltage: 5000000\n  level: 3\n  status: 3\n"
            << 3 << false;
        QTest::newRow("level over scale") << "  level: 150\n  scale: 100\n" << -1 << false;
        QTest::newRow("no level") << "  status: 2\n  scale: 100\n" << -1 << true;
        QTest::newRow("service missing") << "Can't find service: battery\n" << -1 << false;
        QTest::newRow("empty") << "" << -1 << false;
    }
    void parse()
    {
        QFETCH(QString, output);
        QFETCH(int, level);
        QFETCH(bool, charging);
        const BatteryStatus status = BatteryStatus::parse(output);
        QCOMPARE(status.level, level);
        QCOMPARE(status.charging, charging);
    }
};

PARVIX_TEST(BatteryStatusTest)
#include "batterystatustest.moc"
