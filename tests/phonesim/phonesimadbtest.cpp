// The virtual fleet seen from adb's caller: the texts and exit codes the product parses.
#include "simsession.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QtConcurrent>
#include <QtTest>

using namespace Sim;

namespace {

// A forward with nothing behind it accepts and closes at once.
bool connects(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(2000) && !waitForClose(&socket, 500);
}

} // namespace

class PhonesimAdbTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { PARVIX_NEEDS_PHONESIM(); }

    void listingShellFilesTunnelsAndWifi()
    {
        VirtualFleet fleet(3, {"--size", "720x1600"});
        const QStringList serials = fleet.serials();
        const QString serial = serials.at(1), other = serials.at(2);
        // Concurrent calls: each logged once with its own exit code, none lost or mixed.
        QList<QStringList> calls{{"-s", serial, "shell", "nosuchcommand"},
                                 {"-s", "GONE", "get-state"}};
        for (int i = 0; i < 8; ++i)
            calls << QStringList{"-s", serial, "shell", QStringLiteral("echo call %1").arg(i)};
        const QList<AdbRun> runs = QtConcurrent::blockingMapped<QList<AdbRun>>(
            calls, [&](const QStringList &args) { return fleet.adb(args); });
        QMultiMap<QString, int> expected, logged;
        for (int i = 0; i < calls.size(); ++i)
            expected.insert(calls.at(i).join('|'), runs.at(i).exitCode);
        for (const QJsonObject &line : fleet.adbLog())
            logged.insert(line.value("args").toVariant().toStringList().join('|'),
                          line.value("exit").toInt());
        QCOMPARE(logged, expected);

        const AdbRun run = fleet.adb({"devices", "-l"});
        QVERIFY(run.exitCode == 0 && run.out.startsWith("List of devices attached\n"));
        QVERIFY2(run.out.endsWith("\n\n"), "adb ends the list with an empty line");
        QVERIFY(prints(fleet.adb({"devices"}), serials.first().toUtf8() + "\tdevice\n"));
        // Every phone distinct in each field a caller tells phones apart by.
        QMap<QString, QSet<QString>> distinct;
        for (const ListedDevice &device : fleet.devices()) {
            QVERIFY(device.state == "device" && device.tokens.contains("usb"));
            QVERIFY(device.tokens.value("transport_id").toInt() > 0);
            distinct["serial"] << device.serial;
            for (const char *key : {"model", "product", "transport_id"})
                distinct[key] << device.tokens.value(key);
        }
        for (const QSet<QString> &values : std::as_const(distinct))
            QCOMPARE(values.size(), 3);

        // Properties a caller shows for each phone, one line each.
        const QStringList keys{
            "ro.product.manufacturer", "ro.product.model",    "ro.build.version.release",
            "ro.build.fingerprint",    "ro.csc.country_code", "ro.csc.sales_code",
            "gsm.operator.alpha",      "sys.usb.config",      "ro.boot.ddr_size"};
        const QByteArray properties = fleet.shell(serial, "getprop " + keys.join("; getprop ")).out;
        QVERIFY2(properties.count('\n') == 9 && !properties.contains("\n\n") &&
                     !properties.startsWith('\n'),
                 properties);
        const QString model = QString::fromUtf8(properties.split('\n').at(1));
        QCOMPARE(fleet.entry(serial)->tokens.value("model"), QString(model).replace(' ', '_'));
        // The arguments are joined into one line that the phone's shell interprets.
        const QList<std::pair<QStringList, QByteArray>> lines{
            {{"echo a   b"}, "a b\n"},
            {{"echo 'a   b'"}, "a   b\n"},
            {{"echo one; echo two"}, "one\ntwo\n"},
            {{"false && echo no || echo yes"}, "yes\n"},
            {{"getprop", "ro.serialno"}, serial.toUtf8() + "\n"},
            {{"getprop | grep ro.serialno"}, "[ro.serialno]: [" + serial.toUtf8() + "]\n"},
            {{"getprop no.such.key"}, "\n"},
            {{"wm", "size"}, "Physical size: 720x1600\n"}};
        for (const auto &[args, out] : lines)
            QCOMPARE(fleet.on(serial, QStringList{"shell"} + args).out, out);
        QVERIFY(fleet.setPhoneOption(1, "ip", "10.1.2.3"));
        QVERIFY(fleet.shell(serial, "ip addr show wlan0").out.contains("inet 10.1.2.3/"));
        QVERIFY(fleet.shell(serial, "ip addr show lo").out.contains("inet 127.0.0.1/"));
        QVERIFY(failsWith(fleet.shell(serial, "ip addr show eth0"), "does not exist"));
        const AdbRun unknown = fleet.on(serial, {"shell", "frobnicate", "--now"});
        QVERIFY(unknown.exitCode == 127 && unknown.err.contains("frobnicate: inaccessible or not"));
        QVERIFY(failsWith(fleet.shell(serial, "ls /nowhere"), "No such file or directory"));
        QCOMPARE(fleet.on(serial, {"unknown-command"}).exitCode, 1);

        QTemporaryDir local;
        const QStringList names{"photo.jpg", "game.apk", "my app.apk", "notes.txt"};
        for (const QString &name : names)
            QVERIFY(!TestSupport::writeFile(local.filePath(name), name.toUtf8()).isEmpty());
        const auto push = [&](const QString &name, const QString &to) {
            return fleet.on(serial, {"push", local.filePath(name), to});
        };
        QVERIFY(prints(push("photo.jpg", "/sdcard/Download"), "1 file pushed"));
        QVERIFY2(QFileInfo::exists(fleet.home() + "/" + serial + "/fs/sdcard/Download/photo.jpg"),
                 "a folder takes the file by its own name");
        QVERIFY(failsWith(push("missing.txt", "/sdcard/"), "cannot stat"));
        // A path climbing out of the phone must not reach the computer's files.
        push("photo.jpg", "/data/local/tmp/../../../../../escape.jpg");
        QVERIFY(!QFileInfo::exists(fleet.home() + "/escape.jpg"));
        QVERIFY(!QFileInfo::exists(fleet.home() + "/" + serial + "/escape.jpg"));

        for (const QString &name : names.mid(1))
            QCOMPARE(push(name, "/data/local/tmp/").exitCode, 0);
        // Unquoted, the space splits the name and the phone finds no such package.
        const QStringList apks{"game.apk", "'my app.apk'", "my app.apk", "notes.txt"};
        for (int i = 0; i < apks.size(); ++i) {
            const AdbRun run = fleet.shell(serial, "pm install -r /data/local/tmp/" + apks.at(i));
            QVERIFY2(i < 2 ? run.exitCode == 0 && run.out.trimmed() == "Success"
                           : run.exitCode == 1 && run.out.startsWith("Failure ["),
                     qPrintable(apks.at(i)));
        }
        QCOMPARE(fleet.jsonLines(serial + "/installed.jsonl").size(), 2);

        const QString tunnel = QStringLiteral("localabstract:scrcpy_00000005");
        QCOMPARE(fleet.on(serial, {"reverse", tunnel, "tcp:40001"}).exitCode, 0);
        QCOMPARE(fleet.on(serial, {"reverse", tunnel, "tcp:40002"}).exitCode, 0);
        const QJsonArray reverses = fleet.status().value("reverse").toArray();
        QCOMPARE(reverses.size(), 1);
        QCOMPARE(reverses.at(0).toObject().value("local").toString(), QStringLiteral("tcp:40002"));
        QCOMPARE(fleet.on(serial, {"reverse", "--remove", tunnel}).exitCode, 0);
        QVERIFY(fleet.status().value("reverse").toArray().isEmpty());
        QVERIFY(failsWith(fleet.on(serial, {"reverse", "--remove", tunnel}), "not found"));

        // The AutoJS service behind a forward: a length in characters, not bytes, cuts it short.
        const quint16 port = [] {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            return probe.serverPort();
        }();
        const QString forward = QStringLiteral("tcp:%1").arg(port);
        QCOMPARE(fleet.on(serial, {"forward", forward, "tcp:7347"}).exitCode, 0);
        QTcpSocket shortened;
        shortened.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(shortened.waitForConnected(5000));
        const QByteArray text = QStringLiteral("{\"script\":\"你好世界\"}").toUtf8();
        send(&shortened, "17" + QByteArray(12, '\0') + QByteArray("1\0", 2) + text);
        QVERIFY(waitForClose(&shortened));
        const QList<QJsonObject> replies = fleet.jsonLines(serial + "/autojs.jsonl");
        QVERIFY(replies.size() == 1 && replies[0].contains("error") &&
                !replies[0].contains("message"));
        // Forwarding the same port again replaces the first forward; unplugging ends it.
        QCOMPARE(fleet.on(other, {"forward", forward, "tcp:7347"}).exitCode, 0);
        const QJsonArray forwards = fleet.status().value("forward").toArray();
        QCOMPARE(forwards.size(), 1);
        QCOMPARE(forwards.at(0).toObject().value("transport").toString(), other);
        QVERIFY(connects(port));
        QVERIFY(fleet.plug(other, false));
        QTRY_VERIFY_WITH_TIMEOUT(!connects(port), 5000);
        QVERIFY(fleet.plug(other, true));

        // Wi-Fi adb. Long enough for the listing below to see adbd away on a loaded machine.
        fleet.setTop("restartMs", 2000);
        const QString wifi = fleet.phone(serial).value("ip").toString() + ":5555";
        const QString usbTransport = fleet.entry(serial)->tokens.value("transport_id");
        QVERIFY2(prints(fleet.on(serial, {"connect", wifi}), "failed to connect"),
                 "nothing listens on Wi-Fi before tcpip");
        QCOMPARE(fleet.on(serial, {"tcpip", "5555"}).exitCode, 0);
        QVERIFY2(!fleet.entry(serial), "adbd restarts: the USB entry leaves for a moment");
        QTRY_VERIFY_WITH_TIMEOUT(fleet.entry(serial).has_value(), 10000);
        QVERIFY2(fleet.entry(serial)->tokens.value("transport_id") != usbTransport,
                 "reconnected: a new id");
        QCOMPARE(fleet.on(serial, {"connect", wifi}).out, "connected to " + wifi.toUtf8() + "\n");
        QVERIFY2(!fleet.entry(wifi)->tokens.contains("usb"), "a TCP entry has no USB path");
        QVERIFY(prints(fleet.on(serial, {"connect", wifi}), "already connected"));
        QCOMPARE(fleet.adb({"disconnect", wifi}).exitCode, 0);
        QVERIFY(failsWith(fleet.adb({"disconnect", wifi}), "no such device"));

        QVERIFY(fleet.setPhoneOption(1, "state", "unauthorized"));
        QVERIFY(fleet.setPhoneOption(2, "state", "offline"));
        const QList<ListedDevice> devices = fleet.devices();
        QCOMPARE((QStringList{devices.at(1).state, devices.at(2).state}),
                 (QStringList{"unauthorized", "offline"}));
        QVERIFY2(!devices.at(1).tokens.contains("model"), "an unauthorized phone tells nothing");
        const QList<std::pair<QString, QByteArray>> refused{
            {serials.at(1), "unauthorized"},
            {serials.at(2), "error: device offline"},
            {"NOSUCH", "error: device 'NOSUCH' not found"},
            {QString(), "more than one device"}};
        for (const auto &[serial, error] : refused) {
            const QStringList echo{"shell", "echo", "hi"};
            const AdbRun run = serial.isEmpty() ? fleet.adb(echo) : fleet.on(serial, echo);
            QVERIFY2(failsWith(run, error) && run.out.isEmpty(), run.err);
        }
    }
};

PARVIX_TEST(PhonesimAdbTest)
#include "phonesimadbtest.moc"
