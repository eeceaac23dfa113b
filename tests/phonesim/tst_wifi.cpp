// Wi-Fi adb the way a phone does it, and phones leaving and rejoining the list.
#include "simharness.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QtTest>

using namespace Sim;

namespace {

std::optional<ListedDevice> entry(const TestFleet &fleet, const QString &serial)
{
    for (const ListedDevice &device : fleet.devices()) {
        if (device.serial == serial)
            return device;
    }
    return std::nullopt;
}

} // namespace

class PhonesimWifiTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (TestSupport::phonesimPath().isEmpty())
            QSKIP("phonesim is not built");
    }

    void tcpipConnectDisconnectUsb()
    {
        TestFleet fleet(2);
        QVERIFY(fleet.isValid());
        fleet.setTop("restartMs", 1000);
        const QString serial = fleet.serials().first();
        const QString ip = fleet.phone(serial).value("ip").toString();
        const QString wifi = ip + ":5555";
        const QString usbTransport = entry(fleet, serial)->tokens.value("transport_id");

        // Before tcpip nothing listens on the phone's Wi-Fi address.
        Run connect = fleet.adb({"-s", serial, "connect", wifi});
        QCOMPARE(connect.exitCode, 0);
        QVERIFY(connect.out.contains("failed to connect"));

        const Run tcpip = fleet.adb({"-s", serial, "tcpip", "5555"});
        QCOMPARE(tcpip.exitCode, 0);
        QVERIFY(!tcpip.out.contains("error"));
        QVERIFY2(!entry(fleet, serial), "adbd restarts: the USB entry leaves for a moment");
        QVERIFY(entry(fleet, fleet.serials().at(1)));
        QTRY_VERIFY_WITH_TIMEOUT(entry(fleet, serial).has_value(), 10000);
        QVERIFY2(entry(fleet, serial)->tokens.value("transport_id") != usbTransport,
                 "a reconnected transport gets a new id");
        QCOMPARE(
            fleet.adb({"-s", serial, "shell", "getprop", "service.adb.tcp.port"}).out.trimmed(),
            QByteArray("5555"));

        connect = fleet.adb({"-s", serial, "connect", wifi});
        QCOMPARE(connect.exitCode, 0);
        QCOMPARE(connect.out, QStringLiteral("connected to %1\n").arg(wifi).toUtf8());
        const auto wifiEntry = entry(fleet, wifi);
        QVERIFY(wifiEntry);
        QCOMPARE(wifiEntry->state, QStringLiteral("device"));
        QVERIFY2(!wifiEntry->tokens.contains("usb"), "a TCP entry has no USB path");
        QCOMPARE(wifiEntry->tokens.value("model"), entry(fleet, serial)->tokens.value("model"));
        QVERIFY(wifiEntry->tokens.value("transport_id") !=
                entry(fleet, serial)->tokens.value("transport_id"));
        // Same phone behind both entries.
        QCOMPARE(fleet.adb({"-s", wifi, "shell", "getprop", "ro.serialno"}).out.trimmed(),
                 serial.toUtf8());
        QVERIFY(fleet.adb({"-s", serial, "connect", wifi}).out.startsWith("already connected"));
        QVERIFY(
            fleet.adb({"-s", serial, "connect", ip + ":5556"}).out.contains("failed to connect"));

        const Run disconnect = fleet.adb({"disconnect", wifi});
        QCOMPARE(disconnect.exitCode, 0);
        QVERIFY(!entry(fleet, wifi));
        const Run twice = fleet.adb({"disconnect", wifi});
        QVERIFY2(failsWith(twice, "no such device"), twice.err);

        QCOMPARE(fleet.adb({"connect", wifi}).exitCode, 0);
        QVERIFY(entry(fleet, wifi));
        const Run usb = fleet.adb({"-s", serial, "usb"});
        QCOMPARE(usb.exitCode, 0);
        QVERIFY(!usb.out.contains("error"));
        QVERIFY2(!entry(fleet, wifi), "back to USB only: the Wi-Fi entry is gone");
        QTRY_VERIFY_WITH_TIMEOUT(entry(fleet, serial).has_value(), 10000);
        QVERIFY(fleet.adb({"connect", wifi}).out.contains("failed to connect"));
    }

    void connectDuringRestartAndDisconnectAll()
    {
        TestFleet fleet(2);
        QVERIFY(fleet.isValid());
        fleet.setTop("restartMs", 1500);
        QStringList wifis;
        for (const QString &serial : fleet.serials()) {
            QCOMPARE(fleet.adb({"-s", serial, "tcpip", "5555"}).exitCode, 0);
            wifis << fleet.phone(serial).value("ip").toString() + ":5555";
        }
        // Connecting while adbd still restarts waits for it instead of failing.
        for (const QString &wifi : std::as_const(wifis))
            QCOMPARE(fleet.adb({"connect", wifi}).out, "connected to " + wifi.toUtf8() + "\n");
        QVERIFY(entry(fleet, wifis.at(0)) && entry(fleet, wifis.at(1)));
        // As with adb, -s does not narrow a disconnect without an address.
        const Run run = fleet.adb({"-s", wifis.at(0), "disconnect"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(!entry(fleet, wifis.at(0)));
        QVERIFY(!entry(fleet, wifis.at(1)));
        QTRY_VERIFY_WITH_TIMEOUT(entry(fleet, fleet.serials().at(1)).has_value(), 5000);
    }
};

PARVIX_TEST(PhonesimWifiTest)
#include "tst_wifi.moc"
