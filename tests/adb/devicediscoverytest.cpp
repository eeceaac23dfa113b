// The device listing parser, device properties, IP lookup, and what the tiles show of a
// phone's battery from "dumpsys battery" as phones print it.
#include "adbdeviceinfo.h"
#include "adbrunner.h"
#include "batterystatus.h"
#include "fakeadb.h"
#include "testregistry.h"

#include <QtTest>
#include <stdexcept>

namespace {
const QString kSerial = QStringLiteral("R58M123");

QStringList onDevice(const QStringList &args)
{
    return QStringList{"-s", kSerial} + args;
}

// Every member, not only the serial that operator== looks at.
QString describe(const QList<ADBDeviceInfo> &list)
{
    QStringList lines;
    for (const ADBDeviceInfo &d : list)
        lines << QStringLiteral("%1|%2|%3|%4|%5|%6")
                     .arg(d.adb_serial, d.model, d.product, d.is_usb_connection ? "usb" : "net")
                     .arg(d.transport_id)
                     .arg(d.nickname);
    return lines.join(' ');
}
} // namespace

class DeviceDiscoveryTest : public QObject
{
    Q_OBJECT

private slots:
    // Expected: serial|model|product|usb or net|transport id|nickname per phone.
    void parseDevices_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        // Daemon chatter, blank lines, other states and serial-only lines are skipped.
        QTest::newRow("mixed listing")
            << "* daemon not running; starting now at tcp:5037\nList of devices attached\n"
               "R58M123 device usb:1-1 product:a51 model:SM_A515F device:a51 transport_id:3\n\n"
               "192.168.1.7:5555 device product:x model:Y transport_id:abc\n"
               "ZX1 unauthorized usb:2-1\nB no permissions (user in plugdev group)\nE Device\n"
               "LONELY\n"
            << "R58M123|SM_A515F|a51|usb|3| 192.168.1.7:5555|Y|x|net|-1|";
        QTest::newRow("crlf, tabs, indents")
            << "List of devices attached\r\nA1 device model:M transport_id:7\r\n"
               "emulator-5554\tdevice\n\t P9  \t device  \n"
            << "A1|M||usb|7| emulator-5554|||usb|-1| P9|||usb|-1|";
        QTest::newRow("network needs a full stop and no usb path")
            << "10.0.0.3:5555 device 1-1.4\n10.0.0.4:5555 device a-1.4\n"
               "10.0.0.5:5555 device usb:3-2\nfe80::1:5555 device\n"
            << "10.0.0.3:5555|||usb|-1| 10.0.0.4:5555|||net|-1| 10.0.0.5:5555|||usb|-1| "
               "fe80::1:5555|||usb|-1|";
        QTest::newRow("exact, case-sensitive prefixes")
            << "S2 device Model:Up Product:Up TRANSPORT_ID:9 model: product:p:q transport_id:\n"
               "T2 device transport_id:99999999999\nT3 device transport_id:0x1\n"
            << "S2||p:q|usb|-1| T2|||usb|-1| T3|||usb|-1|";
    }

    void parseDevices()
    {
        QFETCH(QString, text);
        QTEST(describe(ADBRunner::parseDevices(text)), "expected");
    }

    void listingRaisesFailures()
    {
        FakeAdb adb;
        // What phones call themselves does not make the listing fail.
        adb.respond({"devices", "-l"},
                    "List of devices attached\nX1 device model:M\nerror0001 device model:Terror\n");
        QCOMPARE(describe(ADBRunner::getDevices()), "X1|M||usb|-1| error0001|Terror||usb|-1|");
        adb.respond({"devices", "-l"}, {{}, 1, "adb: cannot connect to daemon\n"});
        QString raised;
        try {
            ADBRunner::getDevices();
        } catch (const std::runtime_error &error) {
            raised = error.what();
        }
        QCOMPARE(raised,
                 "[error] adb command failed (exit code 1): adb: cannot connect to daemon\n");
        // adb's exit code decides; with 0, a line that is no ready phone is left out.
        adb.respond({"devices", "-l"}, "List of devices attached\nerror: protocol fault\n");
        QVERIFY(ADBRunner::getDevices().isEmpty());
    }

    void samePhoneMergesAcrossConnections_data()
    {
        QTest::addColumn<QString>("listing");
        QTest::addColumn<QStringList>("serialNumbers"); // "adb serial=ro.serialno"
        QTest::addColumn<QString>("expected");          // "adb serial:connections" per phone
        const QString both = "P1 device usb:1-1\n10.0.0.3:5555 device\nP2 device usb:1-2\n";
        QTest::newRow("usb first") << both << QStringList{"P1=P1", "10.0.0.3:5555=P1", "P2=P2"}
                                   << "P1:P1,10.0.0.3:5555 P2:P2";
        QTest::newRow("wifi first, usb kept")
            << "10.0.0.3:5555 device\nP1 device usb:1-1\n"
            << QStringList{"10.0.0.3:5555=P1", "P1=P1"} << "P1:P1,10.0.0.3:5555";
        QTest::newRow("unknown serial stays apart")
            << both << QStringList{"P1=P1", "P2=P2"} << "P1:P1 10.0.0.3:5555:10.0.0.3:5555 P2:P2";
    }

    void samePhoneMergesAcrossConnections()
    {
        QFETCH(QString, listing);
        QFETCH(QStringList, serialNumbers);
        FakeAdb adb;
        adb.respond({"devices", "-l"}, listing.toUtf8());
        for (const QString &pair : serialNumbers)
            adb.respond({"-s", pair.section('=', 0, 0), "shell", "getprop", "ro.serialno"},
                        pair.section('=', 1).toUtf8() + "\n");
        QStringList phones;
        for (const ADBDeviceInfo &phone : ADBRunner::getPhones())
            phones << phone.adb_serial + ":" + phone.connections.join(',');
        QTEST(phones.join(' '), "expected");
    }

    // One listing, then the screen; a failed listing keeps adb's text in every field.
    void deviceInfoReadsOneListing()
    {
        const QList<QPair<QString, QString DeviceInfo::*>> fields{
            {"ro.product.manufacturer", &DeviceInfo::manufacturer},
            {"ro.product.model", &DeviceInfo::model},
            {"ro.build.version.release", &DeviceInfo::build_version},
            {"ro.serialno", &DeviceInfo::hardward_serial},
            {"ro.build.fingerprint", &DeviceInfo::build_fingerprint},
            {"ro.csc.country_code", &DeviceInfo::country_code},
            {"ro.csc.sales_code", &DeviceInfo::sales_code},
            {"gsm.operator.alpha", &DeviceInfo::gsm_operator_alpha},
            {"service.adb.tcp.port", &DeviceInfo::adb_tcp_port},
            {"sys.usb.config", &DeviceInfo::usb_config},
            {"ro.boot.ddr_size", &DeviceInfo::ddr_size}};
        FakeAdb adb;
        QByteArray listing = "[ro.product.name]: [two\r\nlines]\r\n[ro.unrelated]: []\n";
        for (const auto &[key, member] : fields)
            listing += "[" + key.toUtf8() + "]: [ value of " + key.toUtf8() + "]\n";
        adb.respond(onDevice({"shell", "getprop"}), listing);
        adb.respond(onDevice({"shell", "wm", "size"}), "Physical size: 1080x2400\n");
        DeviceInfo info = ADBRunner::getDeviceInfo(kSerial);
        QCOMPARE(adb.calls(), QList<QStringList>({onDevice({"shell", "getprop"}),
                                                  onDevice({"shell", "wm", "size"})}));
        for (const auto &[key, member] : fields)
            QCOMPARE(info.*member, "value of " + key);
        QCOMPARE(info.screen_size, QSize(1080, 2400));
        QCOMPARE(ADBRunner::parsePropertyListing(listing).value("ro.product.name"), "two\r\nlines");

        adb.respond(onDevice({"shell", "getprop"}), {{}, 1, "error: closed", 0, 0});
        info = ADBRunner::getDeviceInfo(kSerial);
        QCOMPARE(info.hardward_serial,
                 QStringLiteral("[error] adb command failed (exit code 1): error: closed"));
        QCOMPARE(info.ddr_size, info.hardward_serial);

        const QList<QPair<QByteArray, QSize>> sizes{
            {"Physical size: 1440x3200\r\nOverride size: 720x1600\r\n", QSize(1440, 3200)},
            {"720x1280", QSize(720, 1280)},
            {"Physical size: 1080x", QSize(1080, 0)},
            {"size unknown", QSize(0, 0)}};
        for (const auto &[out, size] : sizes) {
            adb.respond(onDevice({"shell", "wm", "size"}), out);
            QCOMPARE(ADBRunner::getDeviceInfo(kSerial).screen_size, size);
        }
    }

    void deviceIpFallsThroughItsSources_data()
    {
        QTest::addColumn<QString>("answers"); // ip addr|ifconfig|dhcp|eth0
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("queries");
        const auto row = [](const char *name, const char *answers, const char *ip, int queries) {
            QTest::newRow(name) << QString(answers) << QString(ip) << queries;
        };
        row("ip addr",
            "3: wlan0: <UP>\n    inet 192.168.1.23/24 brd 192.168.1.255\n    inet 10.9.9.9/8\n|||",
            "192.168.1.23", 1);
        row("inet6 only, ifconfig",
            "    inet6 fe80::1/64 scope link\n|wlan0 Link encap:Ethernet\n  inet addr:10.0.0.5  "
            "Bcast:10.0.0.255\n||",
            "10.0.0.5", 2);
        row("ifconfig without addr:", "|wlan0: flags=4163\n  inet 172.16.0.9  netmask||",
            "172.16.0.9", 2);
        row("dhcp property",
            "Device \"wlan0\" does not exist.|wlan0: No such device| 192.168.0.9 \n|",
            "192.168.0.9", 3);
        row("dhcp must be the whole text", "||192.168.0.9 lease|    inet 10.1.2.3/16 scope global",
            "10.1.2.3", 4);
        row("nothing", "|||inet6 ::1", "", 4);
    }

    void deviceIpFallsThroughItsSources()
    {
        QFETCH(QString, answers);
        QFETCH(int, queries);
        FakeAdb adb;
        const QList<QStringList> sources{onDevice({"shell", "ip addr show wlan0"}),
                                         onDevice({"shell", "ifconfig wlan0"}),
                                         onDevice({"shell", "getprop", "dhcp.wlan0.ipaddress"}),
                                         onDevice({"shell", "ip addr show eth0"})};
        for (int i = 0; i < sources.size(); ++i)
            adb.respond(sources.at(i), answers.section('|', i, i).toUtf8());
        QTEST(ADBRunner::getDeviceIp(kSerial), "expected");
        QCOMPARE(adb.calls(), sources.mid(0, queries));
    }

    void batteryStatus_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("charging");
        const QString usbCharging = "Current Battery Service state:\n  AC powered: false\n"
                                    "  USB powered: true\n  Wireless powered: false\n"
                                    "  Max charging current: 500000\n  status: 2\n  health: 2\n"
                                    "  present: true\n  level: 87\n  scale: 100\n"
                                    "  voltage: 4123\n  technology: Li-ion\n";
        const auto row = [](const char *name, const QString &output, int level, bool charging) {
            QTest::newRow(name) << output << level << charging;
        };
        row("USB charging", usbCharging, 87, true);
        row("discharging, CRLF",
            "  AC powered: false\r\n  USB powered: false\r\n  status: 3\r\n  level: 14\r\n"
            "  scale: 100\r\n",
            14, false);
        row("full on AC", "  AC powered: true\n  status: 5\n  level: 100\n  scale: 100\n", 100,
            true);
        row("full, unplugged", "  status: 5\n  level: 100\n", 100, false);
        row("plugged but not charging", "  USB powered: true\n  status: 4\n  level: 80\n", 80,
            false);
        row("no status, powered", "  Wireless powered: true\n  level: 40\n", 40, true);
        row("scale of 50", "  level: 25\n  scale: 50\n  status: 3\n", 50, false);
        row("emulator's Max charging voltage line",
            "  Max charging voltage: 5000000\n  level: 3\n  status: 3\n", 3, false);
        row("level over scale", "  level: 150\n  scale: 100\n", -1, false);
        row("no level", "  status: 2\n  scale: 100\n", -1, true);
        row("service missing", "Can't find service: battery\n", -1, false);
        row("empty", "", -1, false);
    }
    void batteryStatus()
    {
        QFETCH(QString, output);
        const BatteryStatus status = BatteryStatus::parse(output);
        QTEST(status.level, "level");
        QTEST(status.charging, "charging");
    }
};

PARVIX_TEST(DeviceDiscoveryTest)
#include "devicediscoverytest.moc"
