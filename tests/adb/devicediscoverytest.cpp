// The device listing parser, device properties, IP lookup, and the two value types as QML
// sees them.
#include "adbdeviceinfo.h"
#include "adbrunner.h"
#include "devicesettings.h"
#include "fakeadb.h"
#include "testregistry.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQml/QQmlExtensionPlugin>
#include <QtTest>
#include <memory>
#include <stdexcept>

Q_IMPORT_QML_PLUGIN(ParvixPlugin)

namespace {
const QString kSerial = QStringLiteral("R58M123");

QStringList onDevice(const QStringList &args)
{
    return QStringList{"-s", kSerial} + args;
}

ADBDeviceInfo entry(const QString &serial, bool usb, const QString &product = {},
                    const QString &model = {}, int transportId = -1)
{
    ADBDeviceInfo info;
    info.adb_serial = serial;
    info.is_usb_connection = usb;
    info.product = product;
    info.model = model;
    info.transport_id = transportId;
    return info;
}

// Every member, not only the serial that operator== looks at.
QString describe(const QList<ADBDeviceInfo> &list)
{
    QStringList lines;
    for (const ADBDeviceInfo &d : list)
        lines << QStringLiteral("%1|%2|%3|%4|%5|%6")
                     .arg(d.adb_serial, d.model, d.product)
                     .arg(d.is_usb_connection)
                     .arg(d.transport_id)
                     .arg(d.nickname);
    return lines.join('\n');
}
} // namespace

Q_DECLARE_METATYPE(QList<ADBDeviceInfo>)

// Hands lists and records to QML the way the application's objects do.
class ValueProbe : public QObject
{
    Q_OBJECT
public:
    QList<ADBDeviceInfo> list;
    DeviceInfo info;
    Q_INVOKABLE QList<ADBDeviceInfo> entries() const { return list; }
    Q_INVOKABLE DeviceInfo deviceInfo() const { return info; }
};

class DeviceDiscoveryTest : public QObject
{
    Q_OBJECT

private slots:
    void parseDevices_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<ADBDeviceInfo>>("expected");
        // Daemon chatter, blank lines, other states and serial-only lines are skipped.
        QTest::newRow("mixed listing")
            << "* daemon not running; starting now at tcp:5037\nList of devices attached\n"
               "R58M123 device usb:1-1 product:a51 model:SM_A515F device:a51 transport_id:3\n\n"
               "192.168.1.7:5555 device product:x model:Y transport_id:abc\n"
               "ZX1 unauthorized usb:2-1\nB no permissions (user in plugdev group)\nE Device\n"
               "LONELY\n"
            << QList<ADBDeviceInfo>{entry("R58M123", true, "a51", "SM_A515F", 3),
                                    entry("192.168.1.7:5555", false, "x", "Y", -1)};
        QTest::newRow("crlf, tabs, indents")
            << "List of devices attached\r\nA1 device model:M transport_id:7\r\n"
               "emulator-5554\tdevice\n\t P9  \t device  \n"
            << QList<ADBDeviceInfo>{entry("A1", true, {}, "M", 7), entry("emulator-5554", true),
                                    entry("P9", true)};
        QTest::newRow("network needs a full stop and no usb path")
            << "10.0.0.3:5555 device 1-1.4\n10.0.0.4:5555 device a-1.4\n"
               "10.0.0.5:5555 device usb:3-2\nfe80::1:5555 device\n"
            << QList<ADBDeviceInfo>{entry("10.0.0.3:5555", true), entry("10.0.0.4:5555", false),
                                    entry("10.0.0.5:5555", true), entry("fe80::1:5555", true)};
        QTest::newRow("exact, case-sensitive prefixes")
            << "S2 device Model:Up Product:Up TRANSPORT_ID:9 model: product:p:q transport_id:\n"
               "T2 device transport_id:99999999999\nT3 device transport_id:0x1\n"
            << QList<ADBDeviceInfo>{entry("S2", true, "p:q", "", -1), entry("T2", true),
                                    entry("T3", true)};
    }

    void parseDevices()
    {
        QFETCH(QString, text);
        QFETCH(QList<ADBDeviceInfo>, expected);
        QCOMPARE(describe(ADBRunner::parseDevices(text)), describe(expected));
    }

    void listingRaisesFailures()
    {
        FakeAdb adb;
        // What phones call themselves does not make the listing fail.
        adb.respond({"devices", "-l"},
                    "List of devices attached\nX1 device model:M\nerror0001 device model:Terror\n");
        QCOMPARE(describe(ADBRunner::getDevices()),
                 describe({entry("X1", true, {}, "M"), entry("error0001", true, {}, "Terror")}));
        adb.respond({"devices", "-l"}, {{}, 1, "adb: cannot connect to daemon\n", 0, 0});
        try {
            ADBRunner::getDevices();
            QFAIL("no error raised");
        } catch (const std::runtime_error &error) {
            QCOMPARE(QString::fromStdString(error.what()),
                     QStringLiteral("[error] adb command failed (exit code 1): adb: cannot "
                                    "connect to daemon\n"));
        }
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
        QFETCH(QString, expected);
        FakeAdb adb;
        adb.respond({"devices", "-l"}, listing.toUtf8());
        for (const QString &pair : serialNumbers)
            adb.respond({"-s", pair.section('=', 0, 0), "shell", "getprop", "ro.serialno"},
                        pair.section('=', 1).toUtf8() + "\n");
        QStringList phones;
        for (const ADBDeviceInfo &phone : ADBRunner::getPhones())
            phones << phone.adb_serial + ":" + phone.connections.join(',');
        QCOMPARE(phones.join(' '), expected);
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
    }

    void screenSize()
    {
        const QList<QPair<QByteArray, QSize>> answers{
            {"Physical size: 1440x3200\r\nOverride size: 720x1600\r\n", QSize(1440, 3200)},
            {"720x1280", QSize(720, 1280)},
            {"Physical size: 1080x", QSize(1080, 0)},
            {"size unknown", QSize(0, 0)}};
        FakeAdb adb;
        for (const auto &[out, size] : answers) {
            adb.respond(onDevice({"shell", "wm", "size"}), out);
            QCOMPARE(ADBRunner::getDeviceInfo(kSerial).screen_size, size);
        }
    }

    void deviceIpFallsThroughItsSources_data()
    {
        QTest::addColumn<QList<QByteArray>>("answers"); // ip addr, ifconfig, dhcp, eth0
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("queries");
        QTest::newRow("ip addr") << QList<QByteArray>{"3: wlan0: <UP>\n    inet 192.168.1.23/24 "
                                                      "brd 192.168.1.255\n    inet 10.9.9.9/8\n",
                                                      {},
                                                      {},
                                                      {}}
                                 << "192.168.1.23" << 1;
        QTest::newRow("inet6 only, ifconfig")
            << QList<QByteArray>{"    inet6 fe80::1/64 scope link\n",
                                 "wlan0 Link encap:Ethernet\n  inet addr:10.0.0.5  "
                                 "Bcast:10.0.0.255\n",
                                 {},
                                 {}}
            << "10.0.0.5" << 2;
        QTest::newRow("ifconfig without addr:")
            << QList<QByteArray>{{}, "wlan0: flags=4163\n  inet 172.16.0.9  netmask", {}, {}}
            << "172.16.0.9" << 2;
        QTest::newRow("dhcp property") << QList<QByteArray>{"Device \"wlan0\" does not exist.",
                                                            "wlan0: No such device",
                                                            " 192.168.0.9 \n",
                                                            {}}
                                       << "192.168.0.9" << 3;
        QTest::newRow("dhcp must be the whole text")
            << QList<QByteArray>{{}, {}, "192.168.0.9 lease", "    inet 10.1.2.3/16 scope global"}
            << "10.1.2.3" << 4;
        QTest::newRow("nothing") << QList<QByteArray>{{}, {}, {}, "inet6 ::1"} << QString() << 4;
    }

    void deviceIpFallsThroughItsSources()
    {
        QFETCH(QList<QByteArray>, answers);
        QFETCH(QString, expected);
        QFETCH(int, queries);
        FakeAdb adb;
        const QList<QStringList> sources{onDevice({"shell", "ip addr show wlan0"}),
                                         onDevice({"shell", "ifconfig wlan0"}),
                                         onDevice({"shell", "getprop", "dhcp.wlan0.ipaddress"}),
                                         onDevice({"shell", "ip addr show eth0"})};
        for (int i = 0; i < sources.size(); ++i)
            adb.respond(sources.at(i), answers.at(i));
        QCOMPARE(ADBRunner::getDeviceIp(kSerial), expected);
        QCOMPARE(adb.calls(), sources.mid(0, queries));
    }

    void qmlSeesValueTypesAndLists()
    {
        ValueProbe probe;
        probe.list = {entry("R58M123", true, "a51", "SM_A515F", 3),
                      entry("192.168.1.7:5555", false, "x", "Y", -1)};
        probe.list[0].nickname = "Desk";
        probe.info.model = "Pixel 7";
        probe.info.screen_size = QSize(1080, 2400);
        QQmlEngine engine;
        engine.rootContext()->setContextProperty("probe", &probe);
        QQmlComponent component(&engine);
        component.setData(R"(
            import QtQml
            import Parvix
            QtObject {
                property var list: probe.entries()
                property string text: list.length + list[0].nickname + list[1].model
                                      + list[1].is_usb_connection + list[1].transport_id
                                      + probe.deviceInfo().model
                                      + probe.deviceInfo().screen_size.height
            })",
                          QUrl());
        std::unique_ptr<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        QCOMPARE(root->property("text").toString(), QStringLiteral("2DeskYfalse-1Pixel 72400"));
    }
};

PARVIX_TEST(DeviceDiscoveryTest)
#include "devicediscoverytest.moc"
