// The virtual fleet seen from adb's caller: output formats, error texts and exit codes,
// the call log, files, installs, tunnels, Wi-Fi adb, the AutoJS service and state changes.
#include "simsession.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QtConcurrent>
#include <QtTest>

using namespace Sim;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

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
    void initTestCase()
    {
        if (TestSupport::phonesimPath().isEmpty())
            QSKIP("phonesim is not built");
    }

    void listingAndTargets()
    {
        VirtualFleet fleet(3);
        const QStringList serials = fleet.serials();
        const AdbRun run = fleet.adb({"devices", "-l"});
        QVERIFY(run.exitCode == 0 && run.out.startsWith("List of devices attached\n"));
        QVERIFY2(run.out.endsWith("\n\n"), "adb ends the list with an empty line");
        QVERIFY(prints(fleet.adb({"devices"}), serials.first().toUtf8() + "\tdevice\n"));
        // Every phone distinct in each field a caller tells phones apart by.
        QMap<QString, QSet<QString>> distinct;
        for (const ListedDevice &device : fleet.devices()) {
            QVERIFY(device.state == "device" && device.tokens.contains("usb") &&
                    device.tokens.contains("device"));
            QVERIFY2(!device.tokens.value("model").contains(' '), "model token carries no spaces");
            QVERIFY(device.tokens.value("transport_id").toInt() > 0);
            distinct["serial"] << device.serial;
            for (const char *key : {"model", "product", "transport_id"})
                distinct[key] << device.tokens.value(key);
        }
        for (const QSet<QString> &values : std::as_const(distinct))
            QCOMPARE(values.size(), 3);

        QVERIFY(fleet.setPhoneOption(1, "state", "unauthorized"));
        QVERIFY(fleet.setPhoneOption(2, "state", "offline"));
        const QList<ListedDevice> devices = fleet.devices();
        QCOMPARE(devices.size(), 3);
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

    void shellCommands()
    {
        VirtualFleet fleet(2, {"--size", "720x1600"});
        const QString serial = fleet.serial(1);
        // Properties a caller shows for each phone, one line each.
        const QByteArray properties =
            fleet
                .shell(serial, "getprop ro.product.manufacturer; getprop ro.product.model; "
                               "getprop ro.build.version.release; getprop ro.build.fingerprint; "
                               "getprop ro.csc.country_code; getprop ro.csc.sales_code; "
                               "getprop gsm.operator.alpha; getprop sys.usb.config; "
                               "getprop ro.boot.ddr_size")
                .out;
        QVERIFY2(properties.count('\n') == 9 && !properties.contains("\n\n") &&
                     !properties.startsWith('\n'),
                 properties);
        const QString model = QString::fromUtf8(properties.split('\n').at(1));
        QCOMPARE(fleet.entry(serial)->tokens.value("model"), QString(model).replace(' ', '_'));

        // The arguments are joined into one line that the phone's shell interprets.
        const QList<std::pair<QStringList, QByteArray>> lines{
            {{"echo", "a", "b"}, "a b\n"},
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
        QVERIFY(fleet.setPhoneOption(1, "overrideSize", "540x1200"));
        QCOMPARE(fleet.shell(serial, "wm size").out,
                 QByteArray("Physical size: 720x1600\nOverride size: 540x1200\n"));

        const AdbRun unknown = fleet.on(serial, {"shell", "frobnicate", "--now"});
        QVERIFY(unknown.exitCode == 127 && unknown.err.contains("frobnicate: inaccessible or not"));
        QVERIFY(failsWith(fleet.shell(serial, "ls /nowhere"), "No such file or directory"));
        QCOMPARE(fleet.on(serial, {"unknown-command"}).exitCode, 1);

        const QString wallpaper = QStringLiteral("file:///data/local/tmp/wallpaper_phonefleet.png");
        QVERIFY(prints(
            fleet.on(serial, {"shell", "am", "start", "-a", "android.intent.action.ATTACH_DATA",
                              "-c", "android.intent.category.DEFAULT", "-d", wallpaper, "-t",
                              "image/*", "--grant-read-uri-permission"}),
            "Starting: Intent {"));
        const QList<QJsonObject> intents = fleet.jsonLines(serial + "/intents.jsonl");
        QCOMPARE(intents.size(), 1);
        QCOMPARE(jsonDifferences(intents.first(), {{"action", "android.intent.action.ATTACH_DATA"},
                                                   {"data", wallpaper}}),
                 QString());

        // The Wi-Fi address, in the order callers try the lookups; each lookup setting of
        // the first phone answers at its own place.
        const QString ipv4 = QStringLiteral("(\\d+\\.\\d+\\.\\d+\\.\\d+)");
        const QList<std::pair<QString, QString>> sources{
            {"ip addr show wlan0", "inet\\s+" + ipv4},
            {"ifconfig wlan0", "inet\\s+(?:addr:)?" + ipv4},
            {"getprop dhcp.wlan0.ipaddress", "^" + ipv4 + "\\s*$"},
            {"ip addr show eth0", "inet\\s+" + ipv4}};
        const QStringList lookups{"none", "ip", "ifconfig", "dhcp", "eth0"};
        for (int answering = 0; answering < lookups.size(); ++answering) {
            QVERIFY(fleet.setPhoneOption(0, "ipLookup", lookups.at(answering)) &&
                    fleet.setPhoneOption(0, "ip", "10.1.2.3"));
            int first = 0;
            QString found;
            for (int i = 0; i < sources.size() && found.isEmpty(); ++i) {
                const QByteArray out = fleet.shell(fleet.serial(), sources.at(i).first).out;
                found = QRegularExpression(sources.at(i).second).match(out).captured(1);
                first = found.isEmpty() ? 0 : i + 1;
            }
            QVERIFY2(first == answering && found == (first ? "10.1.2.3" : ""),
                     qPrintable(lookups.at(answering) + ": " + found));
            // There the Wi-Fi interface has only an IPv6 line, which must not pass for IPv4.
            if (lookups.at(answering) == "dhcp")
                QVERIFY(fleet.shell(fleet.serial(), "ip addr show wlan0").out.contains("inet6"));
        }
    }

    void callLogHoldsEveryInvocation()
    {
        VirtualFleet fleet(2);
        const QString serial = fleet.serial();
        QList<QStringList> calls{{"-s", serial, "shell", "nosuchcommand"},
                                 {"-s", "GONE", "get-state"}};
        for (int i = 0; i < 8; ++i)
            calls << QStringList{"-s", serial, "shell", QStringLiteral("echo call %1").arg(i)};
        // Concurrent calls must neither lose nor mix lines.
        const QList<AdbRun> runs = QtConcurrent::blockingMapped<QList<AdbRun>>(
            calls, [&](const QStringList &args) { return fleet.adb(args); });
        // Each call once, with its own exit code and its own sequence number.
        QMultiMap<QString, int> expected, logged;
        for (int i = 0; i < calls.size(); ++i)
            expected.insert(calls.at(i).join('|'), runs.at(i).exitCode);
        QSet<qint64> seqs;
        for (const QJsonObject &line : fleet.adbLog()) {
            logged.insert(line.value("args").toVariant().toStringList().join('|'),
                          line.value("exit").toInt());
            seqs << qint64(line.value("seq").toDouble());
        }
        QCOMPARE(logged, expected);
        QCOMPARE(seqs.size(), calls.size());

        // A call killed by its caller leaves no exit code; the next call records it.
        fleet.setFault(serial, "delayMs", 20000);
        QProcess *slow = fleet.startAdb({"-s", serial, "shell", "echo", "late"});
        QTRY_VERIFY_WITH_TIMEOUT(fleet.status().value("processes").toArray().size() == 1, 10000);
        slow->kill();
        slow->waitForFinished();
        fleet.adb({"devices"});
        QJsonObject killed;
        for (const QJsonObject &line : fleet.adbLog()) {
            if (line.value("args").toArray().contains("late"))
                killed = line;
        }
        QVERIFY(killed.value("exit").isNull() && killed.value("killed").toBool());
    }

    void pushAndInstall()
    {
        VirtualFleet fleet(1);
        const QString serial = fleet.serial();
        QTemporaryDir local;
        const QStringList names{"photo.jpg", "game.apk", "my app.apk", "notes.txt"};
        for (const QString &name : names)
            QVERIFY(!TestSupport::writeFile(local.filePath(name), name.toUtf8()).isEmpty());
        const auto push = [&](const QString &name, const QString &to) {
            return fleet.on(serial, {"push", local.filePath(name), to});
        };
        const auto exists = [&](const QString &path) {
            return QFileInfo::exists(fleet.phoneFile(serial, path));
        };
        QVERIFY(prints(push("photo.jpg", "/sdcard/Download"), "1 file pushed"));
        QVERIFY2(exists("/sdcard/Download/photo.jpg"), "a folder takes the file by its own name");
        QCOMPARE(push("photo.jpg", "/data/local/tmp/new/").exitCode, 0);
        QVERIFY2(exists("/data/local/tmp/new/photo.jpg"), "a path ending in / is a folder");
        QCOMPARE(push("photo.jpg", "/data/local/tmp/renamed.bin").exitCode, 0);
        QCOMPARE(TestSupport::readFile(fleet.phoneFile(serial, "/data/local/tmp/renamed.bin")),
                 QByteArray("photo.jpg"));
        QVERIFY(failsWith(push("missing.txt", "/sdcard/"), "cannot stat"));
        QVERIFY(failsWith(push("photo.jpg", "/system/photo.jpg"), "Permission denied"));
        QVERIFY(!exists("/system/photo.jpg"));
        // A path climbing out of the phone must not reach the computer's files.
        push("photo.jpg", "/data/local/tmp/../../../../../escape.jpg");
        QVERIFY(!QFileInfo::exists(fleet.home() + "/escape.jpg"));
        QVERIFY(!QFileInfo::exists(fleet.home() + "/" + serial + "/escape.jpg"));

        for (const QString &name : names.mid(1))
            QCOMPARE(push(name, "/data/local/tmp/").exitCode, 0);
        // Unquoted, the space splits the name and the phone finds no such package.
        const QStringList apks{"game.apk", "'my app.apk'", "my app.apk", "notes.txt", "never.apk"};
        for (int i = 0; i < apks.size(); ++i) {
            const AdbRun run = fleet.shell(serial, "pm install -r /data/local/tmp/" + apks.at(i));
            QVERIFY2(i < 2 ? run.exitCode == 0 && run.out.trimmed() == "Success"
                           : run.exitCode == 1 && run.out.startsWith("Failure ["),
                     qPrintable(apks.at(i)));
        }
        QCOMPARE(fleet.jsonLines(serial + "/installed.jsonl").size(), 2);
        // A failing push: GroupFleetTest.
    }

    void tunnelsForwardsAndFaults()
    {
        VirtualFleet fleet(2);
        const QString serial = fleet.serial(), other = fleet.serial(1);
        const QString name = QStringLiteral("localabstract:scrcpy_00000005");
        QCOMPARE(fleet.on(serial, {"reverse", name, "tcp:40001"}).exitCode, 0);
        QCOMPARE(fleet.on(serial, {"reverse", name, "tcp:40002"}).exitCode, 0);
        const QJsonArray reverses = fleet.status().value("reverse").toArray();
        QCOMPARE(reverses.size(), 1);
        QCOMPARE(reverses.at(0).toObject().value("local").toString(), QStringLiteral("tcp:40002"));
        QCOMPARE(fleet.on(serial, {"reverse", "--remove", name}).exitCode, 0);
        QVERIFY(fleet.status().value("reverse").toArray().isEmpty());
        QVERIFY(failsWith(fleet.on(serial, {"reverse", "--remove", name}), "not found"));
        QCOMPARE(fleet.on(serial, {"reverse", "localabstract:x", "nonsense"}).exitCode, 1);

        fleet.setFault(serial, "shellPrintsError", true);
        fleet.setFault(serial, "reverseFails", true);
        const AdbRun echo = fleet.on(serial, {"shell", "echo", "fine"});
        QVERIFY(prints(echo, "error") && echo.out.endsWith("fine\n"));
        QVERIFY(failsWith(fleet.on(serial, {"reverse", "localabstract:x", "tcp:1234"}), "error"));
        QVERIFY(fleet.status().value("reverse").toArray().isEmpty());
        // The faults belong to that phone only.
        QCOMPARE(fleet.shell(other, "echo fine").out, QByteArray("fine\n"));
        QCOMPARE(fleet.on(other, {"reverse", "localabstract:x", "tcp:1234"}).exitCode, 0);

        // The AutoJS service behind a forward (its commands: the AutoJS fleet test). A length
        // counted in characters instead of bytes cuts the JSON short.
        const quint16 port = freePort(), last = freePort();
        const QString local = QStringLiteral("tcp:%1").arg(port);
        QCOMPARE(fleet.on(serial, {"forward", local, "tcp:7347"}).exitCode, 0);
        QTcpSocket shortened;
        shortened.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(shortened.waitForConnected(5000));
        const QByteArray text = QStringLiteral("{\"script\":\"你好世界\"}").toUtf8();
        send(&shortened, "17" + QByteArray(12, '\0') + QByteArray("1\0", 2) + text);
        QVERIFY(waitForClose(&shortened));
        const QList<QJsonObject> lines = fleet.jsonLines(serial + "/autojs.jsonl");
        QVERIFY(lines.size() == 1 && lines[0].contains("error") && !lines[0].contains("message"));
        // Forwarding the same port again replaces the first forward.
        QCOMPARE(fleet.on(other, {"forward", local, "tcp:7347"}).exitCode, 0);
        const QJsonArray forwards = fleet.status().value("forward").toArray();
        QCOMPARE(forwards.size(), 1);
        QCOMPARE(forwards.at(0).toObject().value("transport").toString(), other);
        QVERIFY(connects(port));
        // Unplugging a phone ends its forwards; kill-server ends all of them.
        QVERIFY(fleet.plug(other, false));
        QTRY_VERIFY_WITH_TIMEOUT(!connects(port), 5000);
        QCOMPARE(
            fleet.on(serial, {"forward", QStringLiteral("tcp:%1").arg(last), "tcp:7347"}).exitCode,
            0);
        QVERIFY(connects(last));
        QCOMPARE(fleet.adb({"kill-server"}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!connects(last), 5000);
        QVERIFY(fleet.status().value("forward").toArray().isEmpty());
    }

    void wifiAdb()
    {
        VirtualFleet fleet(2);
        // Long enough for the listing below to see adbd away even on a loaded machine.
        fleet.setTop("restartMs", 2000);
        const QString serial = fleet.serial(), ip = fleet.phone(serial).value("ip").toString();
        const QString wifi = ip + ":5555";
        const QString usbTransport = fleet.entry(serial)->tokens.value("transport_id");
        QVERIFY2(prints(fleet.on(serial, {"connect", wifi}), "failed to connect"),
                 "nothing listens on Wi-Fi before tcpip");

        const AdbRun tcpip = fleet.on(serial, {"tcpip", "5555"});
        QVERIFY(tcpip.exitCode == 0 && !tcpip.out.contains("error"));
        QVERIFY2(!fleet.entry(serial), "adbd restarts: the USB entry leaves for a moment");
        QVERIFY(fleet.entry(fleet.serial(1)));
        QTRY_VERIFY_WITH_TIMEOUT(fleet.entry(serial).has_value(), 10000);
        const ListedDevice usb = *fleet.entry(serial);
        QVERIFY2(usb.tokens.value("transport_id") != usbTransport, "reconnected: a new id");
        QCOMPARE(fleet.shell(serial, "getprop service.adb.tcp.port").out.trimmed(),
                 QByteArray("5555"));

        QCOMPARE(fleet.on(serial, {"connect", wifi}).out, "connected to " + wifi.toUtf8() + "\n");
        const auto wifiEntry = fleet.entry(wifi);
        QVERIFY(wifiEntry && wifiEntry->state == "device");
        QVERIFY2(!wifiEntry->tokens.contains("usb"), "a TCP entry has no USB path");
        QCOMPARE(wifiEntry->tokens.value("model"), usb.tokens.value("model"));
        QVERIFY(wifiEntry->tokens.value("transport_id") != usb.tokens.value("transport_id"));
        // Same phone behind both entries.
        QCOMPARE(fleet.shell(wifi, "getprop ro.serialno").out.trimmed(), serial.toUtf8());
        QVERIFY(prints(fleet.on(serial, {"connect", wifi}), "already connected"));
        QVERIFY(prints(fleet.on(serial, {"connect", ip + ":5556"}), "failed to connect"));

        QCOMPARE(fleet.adb({"disconnect", wifi}).exitCode, 0);
        QVERIFY(!fleet.entry(wifi));
        QVERIFY(failsWith(fleet.adb({"disconnect", wifi}), "no such device"));
        QVERIFY(prints(fleet.adb({"connect", wifi}), "connected to") && fleet.entry(wifi));
        const AdbRun back = fleet.on(serial, {"usb"});
        QVERIFY(back.exitCode == 0 && !back.out.contains("error"));
        QVERIFY2(!fleet.entry(wifi), "back to USB only: the Wi-Fi entry is gone");
        QTRY_VERIFY_WITH_TIMEOUT(fleet.entry(serial).has_value(), 10000);
        QVERIFY(prints(fleet.adb({"connect", wifi}), "failed to connect"));
    }
};

PARVIX_TEST(PhonesimAdbTest)
#include "phonesimadbtest.moc"
