// The device listing parser, device properties, IP lookup, and the two value
// types as QML sees them.
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

// Compares every member, not only the serial that operator== looks at.
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
    void parseDevices_data();
    void parseDevices();
    void parseDevicesFillsNicknames();
    void entriesAreEqualBySerial();
    void getDevicesRaisesTheOutputOnFailure();
    void getDeviceInfoQueriesPropertiesInOrder();
    void getDeviceInfoKeepsFailuresPerField();
    void screenSize_data();
    void screenSize();
    void getDeviceIpFallsThroughItsSources_data();
    void getDeviceIpFallsThroughItsSources();
    void qmlSeesValueTypesAndLists();
};

void DeviceDiscoveryTest::parseDevices_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<ADBDeviceInfo>>("expected");

    QTest::newRow("mixed listing")
        << "List of devices attached\n"
           "R58M123 device usb:1-1 product:a51 model:SM_A515F device:a51 transport_id:3\n"
           "\n"
           "192.168.1.7:5555 device product:x model:Y transport_id:abc\n"
           "ZX1 unauthorized usb:2-1 transport_id:4\n"
        << QList<ADBDeviceInfo>{entry("R58M123", true, "a51", "SM_A515F", 3),
                                entry("192.168.1.7:5555", false, "x", "Y", -1)};
    QTest::newRow("crlf") << "List of devices attached\r\nA1 device model:M transport_id:7\r\n\r\n"
                          << QList<ADBDeviceInfo>{entry("A1", true, {}, "M", 7)};
    QTest::newRow("emulator") << "emulator-5554\tdevice\n"
                              << QList<ADBDeviceInfo>{entry("emulator-5554", true)};
    QTest::newRow("serial only") << "List of devices attached\nLONELY\n" << QList<ADBDeviceInfo>{};
    QTest::newRow("bare port path")
        << "10.0.0.3:5555 device 1-1.4\n10.0.0.4:5555 device a-1.4\n10.0.0.5:5555 device usb:3-2\n"
        << QList<ADBDeviceInfo>{entry("10.0.0.3:5555", true), entry("10.0.0.4:5555", false),
                                entry("10.0.0.5:5555", true)};
    QTest::newRow("other states")
        << "A offline\nB no permissions (user in plugdev group)\nC recovery\nD sideload\n"
           "E Device\nF device\n"
        << QList<ADBDeviceInfo>{entry("F", true)};
    QTest::newRow("daemon chatter on stdout")
        << "* daemon not running; starting now at tcp:5037\n* daemon started successfully\n"
           "List of devices attached\nS1 device\n"
        << QList<ADBDeviceInfo>{entry("S1", true)};
    QTest::newRow("prefixes are case-sensitive and exact")
        << "S2 device Model:Up Product:Up TRANSPORT_ID:9 model: product:p:q transport_id:\n"
        << QList<ADBDeviceInfo>{entry("S2", true, "p:q", "", -1)};
    QTest::newRow("transport id forms")
        << "T1 device transport_id:12\nT2 device transport_id:99999999999\n"
           "T3 device transport_id:0x1\n"
        << QList<ADBDeviceInfo>{entry("T1", true, {}, {}, 12), entry("T2", true),
                                entry("T3", true)};
    QTest::newRow("ipv6-ish serial without full stop stays usb")
        << "fe80::1:5555 device\nhost.local device\n"
        << QList<ADBDeviceInfo>{entry("fe80::1:5555", true), entry("host.local", true)};
    QTest::newRow("indented and spaced") << "   List of devices attached   \n\t P9  \t device  \n"
                                         << QList<ADBDeviceInfo>{entry("P9", true)};
    QTest::newRow("empty") << "" << QList<ADBDeviceInfo>{};
}

void DeviceDiscoveryTest::parseDevices()
{
    QFETCH(QString, text);
    QFETCH(QList<ADBDeviceInfo>, expected);
    QCOMPARE(describe(ADBRunner::parseDevices(text)), describe(expected));
}

void DeviceDiscoveryTest::parseDevicesFillsNicknames()
{
    DeviceSettings *nicknames = DeviceSettings::instance();
    nicknames->setDeviceNickname("N1", "Front desk");
    const QList<ADBDeviceInfo> list =
        ADBRunner::parseDevices("N1 device\nN2 device\n192.168.0.2:5555 device\n");
    QCOMPARE(list.size(), 3);
    QCOMPARE(list.at(0).nickname, QStringLiteral("Front desk"));
    QCOMPARE(list.at(1).nickname, QString());
    nicknames->removeDeviceNickname("N1");
    QCOMPARE(ADBRunner::parseDevices("N1 device").at(0).nickname, QString());
}

void DeviceDiscoveryTest::entriesAreEqualBySerial()
{
    const ADBDeviceInfo usb = entry("S1", true, "p", "m", 1);
    const ADBDeviceInfo other = entry("S1", false, "q", "n", 2);
    QVERIFY(usb == other);
    QVERIFY(usb != entry("S2", true, "p", "m", 1));
    QVERIFY(QVariant::fromValue(usb) == QVariant::fromValue(other));
    const QList<ADBDeviceInfo> list{entry("A", true), entry("B", true)};
    QVERIFY(list.contains(entry("B", false)));
}

void DeviceDiscoveryTest::getDevicesRaisesTheOutputOnFailure()
{
    FakeAdb adb;
    adb.respond({"devices", "-l"}, "List of devices attached\nX1 device model:M\n");
    QCOMPARE(describe(ADBRunner::getDevices()), describe({entry("X1", true, {}, "M")}));

    adb.respond({"devices", "-l"}, {{}, 1, "adb: cannot connect to daemon\n", 0, 0});
    try {
        ADBRunner::getDevices();
        QFAIL("no error raised");
    } catch (const std::runtime_error &error) {
        QCOMPARE(QString::fromStdString(error.what()),
                 QStringLiteral("[error] adb command failed (exit code 1): adb: cannot connect to "
                                "daemon\n"));
    }
    // A listing that mentions error is refused even though adb exited with 0.
    adb.respond({"devices", "-l"}, "List of devices attached\nerror: protocol fault\n");
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, ADBRunner::getDevices());
}

void DeviceDiscoveryTest::getDeviceInfoQueriesPropertiesInOrder()
{
    const QStringList keys{"ro.product.manufacturer", "ro.product.model",
                           "ro.build.version.release", "ro.serialno",
                           "ro.build.fingerprint",     "ro.csc.country_code",
                           "ro.csc.sales_code",        "gsm.operator.alpha",
                           "service.adb.tcp.port",     "sys.usb.config",
                           "ro.boot.ddr_size"};
    FakeAdb adb;
    for (const QString &key : keys)
        adb.respond(onDevice({"shell", "getprop", key}), " value of " + key.toUtf8() + "\n");
    adb.respond(onDevice({"shell", "wm", "size"}), "Physical size: 1080x2400\n");

    const DeviceInfo info = ADBRunner::getDeviceInfo(kSerial);
    QList<QStringList> expectedCalls;
    for (const QString &key : keys)
        expectedCalls << onDevice({"shell", "getprop", key});
    expectedCalls << onDevice({"shell", "wm", "size"});
    QCOMPARE(adb.calls(), expectedCalls);

    QCOMPARE(info.manufacturer, QStringLiteral("value of ro.product.manufacturer"));
    QCOMPARE(info.model, QStringLiteral("value of ro.product.model"));
    QCOMPARE(info.build_version, QStringLiteral("value of ro.build.version.release"));
    QCOMPARE(info.hardward_serial, QStringLiteral("value of ro.serialno"));
    QCOMPARE(info.build_fingerprint, QStringLiteral("value of ro.build.fingerprint"));
    QCOMPARE(info.country_code, QStringLiteral("value of ro.csc.country_code"));
    QCOMPARE(info.sales_code, QStringLiteral("value of ro.csc.sales_code"));
    QCOMPARE(info.gsm_operator_alpha, QStringLiteral("value of gsm.operator.alpha"));
    QCOMPARE(info.adb_tcp_port, QStringLiteral("value of service.adb.tcp.port"));
    QCOMPARE(info.usb_config, QStringLiteral("value of sys.usb.config"));
    QCOMPARE(info.ddr_size, QStringLiteral("value of ro.boot.ddr_size"));
    QCOMPARE(info.screen_size, QSize(1080, 2400));
}

void DeviceDiscoveryTest::getDeviceInfoKeepsFailuresPerField()
{
    FakeAdb adb;
    adb.respond(onDevice({"shell", "getprop", "ro.product.model"}), "Pixel 7");
    adb.respond(onDevice({"shell", "getprop", "ro.serialno"}), {{}, 1, "error: closed", 0, 0});
    adb.respond(onDevice({"shell", "wm", "size"}), {{}, 1, {}, 0, 0});
    const DeviceInfo info = ADBRunner::getDeviceInfo(kSerial);
    QCOMPARE(info.model, QStringLiteral("Pixel 7"));
    QCOMPARE(info.hardward_serial, QStringLiteral("[error] adb command failed (exit code 1): error: closed"));
    QCOMPARE(info.manufacturer, QString()); // property the phone does not have
    QCOMPARE(info.screen_size, QSize(0, 0));
    QVERIFY(!DeviceInfo().screen_size.isValid());
}

void DeviceDiscoveryTest::screenSize_data()
{
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("physical") << QByteArray("Physical size: 1080x2400") << QSize(1080, 2400);
    QTest::newRow("override line ignored")
        << QByteArray("Physical size: 1080x2400\nOverride size: 720x1600\n") << QSize(1080, 2400);
    QTest::newRow("crlf override") << QByteArray("Physical size: 1440x3200\r\nOverride size: 1x1\r\n")
                                   << QSize(1440, 3200);
    QTest::newRow("bare") << QByteArray("720x1280") << QSize(720, 1280);
    QTest::newRow("missing height") << QByteArray("Physical size: 1080x") << QSize(1080, 0);
    QTest::newRow("garbage") << QByteArray("size unknown") << QSize(0, 0);
}

void DeviceDiscoveryTest::screenSize()
{
    QFETCH(QByteArray, out);
    QFETCH(QSize, expected);
    FakeAdb adb;
    adb.respond(onDevice({"shell", "wm", "size"}), out);
    QCOMPARE(ADBRunner::getDeviceInfo(kSerial).screen_size, expected);
}

void DeviceDiscoveryTest::getDeviceIpFallsThroughItsSources_data()
{
    QTest::addColumn<QByteArray>("ipAddr");
    QTest::addColumn<QByteArray>("ifconfig");
    QTest::addColumn<QByteArray>("dhcp");
    QTest::addColumn<QByteArray>("eth0");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("queries");

    QTest::newRow("ip addr")
        << QByteArray("3: wlan0: <UP>\n    inet 192.168.1.23/24 brd 192.168.1.255 scope global wlan0\n"
                      "    inet 10.9.9.9/8 scope global wlan0\n")
        << QByteArray() << QByteArray() << QByteArray() << "192.168.1.23" << 1;
    QTest::newRow("inet6 only falls through to ifconfig")
        << QByteArray("    inet6 fe80::1/64 scope link\n")
        << QByteArray("wlan0 Link encap:Ethernet\n  inet addr:10.0.0.5  Bcast:10.0.0.255\n")
        << QByteArray() << QByteArray() << "10.0.0.5" << 2;
    QTest::newRow("ifconfig without addr:") << QByteArray()
                                            << QByteArray("wlan0: flags=4163\n  inet 172.16.0.9  netmask")
                                            << QByteArray() << QByteArray() << "172.16.0.9" << 2;
    QTest::newRow("dhcp property") << QByteArray("Device \"wlan0\" does not exist.")
                                   << QByteArray("wlan0: No such device") << QByteArray(" 192.168.0.9 \n")
                                   << QByteArray() << "192.168.0.9" << 3;
    QTest::newRow("dhcp must be the whole text")
        << QByteArray() << QByteArray() << QByteArray("192.168.0.9 lease")
        << QByteArray("    inet 10.1.2.3/16 scope global eth0") << "10.1.2.3" << 4;
    QTest::newRow("nothing") << QByteArray() << QByteArray() << QByteArray()
                             << QByteArray("inet6 ::1") << QString() << 4;
}

void DeviceDiscoveryTest::getDeviceIpFallsThroughItsSources()
{
    QFETCH(QByteArray, ipAddr);
    QFETCH(QByteArray, ifconfig);
    QFETCH(QByteArray, dhcp);
    QFETCH(QByteArray, eth0);
    QFETCH(QString, expected);
    QFETCH(int, queries);
    FakeAdb adb;
    const QList<QStringList> sources{onDevice({"shell", "ip addr show wlan0"}),
                                     onDevice({"shell", "ifconfig wlan0"}),
                                     onDevice({"shell", "getprop", "dhcp.wlan0.ipaddress"}),
                                     onDevice({"shell", "ip addr show eth0"})};
    adb.respond(sources.at(0), ipAddr);
    adb.respond(sources.at(1), ifconfig);
    adb.respond(sources.at(2), dhcp);
    adb.respond(sources.at(3), eth0);
    QCOMPARE(ADBRunner::getDeviceIp(kSerial), expected);
    QCOMPARE(adb.calls(), sources.mid(0, queries));
}

void DeviceDiscoveryTest::qmlSeesValueTypesAndLists()
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
            property int count: list.length
            property string models: {
                var names = [];
                for (var i = 0; i < list.length; ++i)
                    names.push(list[i].model);
                return names.join(",");
            }
            property string firstNickname: list[0].nickname
            property bool secondUsb: list[1].is_usb_connection
            property int secondTransport: list[1].transport_id
            property string model: probe.deviceInfo().model
            property int height: probe.deviceInfo().screen_size.height
        })",
                      QUrl());
    std::unique_ptr<QObject> root(component.create());
    QVERIFY2(root, qPrintable(component.errorString()));
    QCOMPARE(root->property("count").toInt(), 2);
    QCOMPARE(root->property("models").toString(), QStringLiteral("SM_A515F,Y"));
    QCOMPARE(root->property("firstNickname").toString(), QStringLiteral("Desk"));
    QCOMPARE(root->property("secondUsb").toBool(), false);
    QCOMPARE(root->property("secondTransport").toInt(), -1);
    QCOMPARE(root->property("model").toString(), QStringLiteral("Pixel 7"));
    QCOMPARE(root->property("height").toInt(), 2400);
}

PARVIX_TEST(DeviceDiscoveryTest)
#include "tst_devicediscovery.moc"
