// The virtual fleet seen from adb's caller: output formats, error texts and exit codes,
// the call log, files, installs, tunnels and the phone state changes.
#include "simharness.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtConcurrent>
#include <QtTest>

using namespace Sim;

namespace {

QString firstMatch(const QByteArray &text, const QString &pattern)
{
    return QRegularExpression(pattern).match(QString::fromUtf8(text)).captured(1);
}

bool listed(const TestFleet &fleet, const QString &serial)
{
    for (const ListedDevice &device : fleet.devices()) {
        if (device.serial == serial)
            return true;
    }
    return false;
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

    void deviceListFollowsAdbFormat()
    {
        TestFleet fleet(3);
        QVERIFY(fleet.isValid());
        const Run run = fleet.adb({"devices", "-l"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith("List of devices attached\n"));
        QVERIFY2(run.out.endsWith("\n\n"), "adb ends the list with an empty line");

        const QList<ListedDevice> devices = fleet.devices();
        QCOMPARE(devices.size(), 3);
        // Every phone distinct in each field a caller tells phones apart by.
        QMap<QString, QSet<QString>> distinct;
        for (const ListedDevice &device : devices) {
            QCOMPARE(device.state, QStringLiteral("device"));
            QVERIFY(device.tokens.contains("usb") && device.tokens.contains("device"));
            QVERIFY2(!device.tokens.value("model").contains(' '), "model token carries no spaces");
            bool ok = false;
            device.tokens.value("transport_id").toInt(&ok);
            QVERIFY(ok);
            distinct["serial"] << device.serial;
            for (const char *key : {"model", "product", "transport_id"})
                distinct[key] << device.tokens.value(key);
        }
        for (const QSet<QString> &values : std::as_const(distinct))
            QCOMPARE(values.size(), 3);

        // Plain listing: serial, a tab, the state.
        const Run plain = fleet.adb({"devices"});
        QVERIFY(plain.out.contains(fleet.serials().first().toUtf8() + "\tdevice\n"));
    }

    void deviceStatesAndTargets()
    {
        TestFleet fleet(3);
        QVERIFY(fleet.isValid());
        const QStringList serials = fleet.serials();
        fleet.editPhone(serials.at(1), [](QJsonObject &phone) { phone["state"] = "unauthorized"; });
        fleet.editPhone(serials.at(2), [](QJsonObject &phone) { phone["state"] = "offline"; });

        const QList<ListedDevice> devices = fleet.devices();
        QCOMPARE(devices.size(), 3);
        QCOMPARE(devices.at(1).state, QStringLiteral("unauthorized"));
        QVERIFY2(!devices.at(1).tokens.contains("model"),
                 "an unauthorized phone tells nothing about itself");
        QCOMPARE(devices.at(2).state, QStringLiteral("offline"));

        const Run unauthorized = fleet.adb({"-s", serials.at(1), "shell", "echo", "hi"});
        QVERIFY2(failsWith(unauthorized, "unauthorized"), unauthorized.err);
        QVERIFY(unauthorized.out.isEmpty());
        const Run offline = fleet.adb({"-s", serials.at(2), "shell", "echo", "hi"});
        QVERIFY2(failsWith(offline, "error: device offline"), offline.err);

        const Run unknown = fleet.adb({"-s", "NOSUCH", "shell", "echo", "hi"});
        QCOMPARE(unknown.exitCode, 1);
        QVERIFY(unknown.out.isEmpty());
        QVERIFY(unknown.err.contains("error: device 'NOSUCH' not found"));

        const Run ambiguous = fleet.adb({"shell", "echo", "hi"});
        QVERIFY2(failsWith(ambiguous, "more than one device"), ambiguous.err);
    }

    void propertiesAndScreen()
    {
        TestFleet fleet(2, {"--size", "720x1600"});
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().at(1);
        const QStringList keys{"ro.product.manufacturer",  "ro.product.model",
                               "ro.build.version.release", "ro.serialno",
                               "ro.build.fingerprint",     "ro.csc.country_code",
                               "ro.csc.sales_code",        "gsm.operator.alpha",
                               "sys.usb.config",           "ro.boot.ddr_size"};
        for (const QString &key : keys) {
            const Run run = fleet.adb({"-s", serial, "shell", "getprop", key});
            QCOMPARE(run.exitCode, 0);
            QVERIFY2(!run.out.trimmed().isEmpty(), qPrintable(key));
        }
        QCOMPARE(fleet.adb({"-s", serial, "shell", "getprop", "ro.serialno"}).out,
                 serial.toUtf8() + "\n");
        const QString model = QString::fromUtf8(
            fleet.adb({"-s", serial, "shell", "getprop", "ro.product.model"}).out.trimmed());
        QCOMPARE(fleet.devices().at(1).tokens.value("model"), QString(model).replace(' ', '_'));
        // A property the phone lacks prints an empty line.
        QCOMPARE(fleet.adb({"-s", serial, "shell", "getprop", "no.such.key"}).out,
                 QByteArray("\n"));

        QCOMPARE(fleet.adb({"-s", serial, "shell", "wm", "size"}).out,
                 QByteArray("Physical size: 720x1600\n"));
        fleet.editPhone(serial, [](QJsonObject &phone) { phone["overrideSize"] = "540x1200"; });
        QCOMPARE(fleet.adb({"-s", serial, "shell", "wm", "size"}).out,
                 QByteArray("Physical size: 720x1600\nOverride size: 540x1200\n"));
    }

    void ipLookups_data()
    {
        QTest::addColumn<QString>("lookup");
        QTest::addColumn<int>("answeringSource"); // 1..4 in the order callers try them, 0: none
        QTest::newRow("ip") << "ip" << 1;
        QTest::newRow("ifconfig") << "ifconfig" << 2;
        QTest::newRow("dhcp") << "dhcp" << 3;
        QTest::newRow("eth0") << "eth0" << 4;
        QTest::newRow("none") << "none" << 0;
    }

    void ipLookups()
    {
        QFETCH(QString, lookup);
        QFETCH(int, answeringSource);
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        fleet.editPhone(serial, [&](QJsonObject &phone) {
            phone["ipLookup"] = lookup;
            phone["ip"] = "10.1.2.3";
        });
        const QString inet = QStringLiteral("inet\\s+(\\d+\\.\\d+\\.\\d+\\.\\d+)");
        const QString inetAddr = QStringLiteral("inet\\s+(?:addr:)?(\\d+\\.\\d+\\.\\d+\\.\\d+)");
        const QStringList found{
            firstMatch(fleet.adb({"-s", serial, "shell", "ip addr show wlan0"}).out, inet),
            firstMatch(fleet.adb({"-s", serial, "shell", "ifconfig wlan0"}).out, inetAddr),
            firstMatch(fleet.adb({"-s", serial, "shell", "getprop", "dhcp.wlan0.ipaddress"}).out,
                       "^(\\d+\\.\\d+\\.\\d+\\.\\d+)\\s*$"),
            firstMatch(fleet.adb({"-s", serial, "shell", "ip addr show eth0"}).out, inet)};
        int first = 0;
        for (int i = 0; i < found.size() && first == 0; ++i) {
            if (!found.at(i).isEmpty())
                first = i + 1;
        }
        QCOMPARE(first, answeringSource);
        if (first > 0)
            QCOMPARE(found.at(first - 1), QStringLiteral("10.1.2.3"));
        // The Wi-Fi interface always has an IPv6 line, which must never pass for IPv4.
        if (lookup == "dhcp")
            QVERIFY(fleet.adb({"-s", serial, "shell", "ip addr show wlan0"}).out.contains("inet6"));
    }

    void shellInterpretsTheJoinedLine()
    {
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        QCOMPARE(fleet.adb({"-s", serial, "shell", "echo", "a", "b"}).out, QByteArray("a b\n"));
        QCOMPARE(fleet.adb({"-s", serial, "shell", "echo a   b"}).out, QByteArray("a b\n"));
        QCOMPARE(fleet.adb({"-s", serial, "shell", "echo 'a   b'"}).out, QByteArray("a   b\n"));
        QCOMPARE(fleet.adb({"-s", serial, "shell", "echo one; echo two"}).out,
                 QByteArray("one\ntwo\n"));
        QCOMPARE(fleet.adb({"-s", serial, "shell", "false && echo no || echo yes"}).out,
                 QByteArray("yes\n"));
        QCOMPARE(fleet.adb({"-s", serial, "shell", "getprop | grep ro.serialno"}).out,
                 QStringLiteral("[ro.serialno]: [%1]\n").arg(serial).toUtf8());

        const Run unknown = fleet.adb({"-s", serial, "shell", "frobnicate", "--now"});
        QCOMPARE(unknown.exitCode, 127);
        QVERIFY(unknown.err.contains("frobnicate: inaccessible or not found"));
        const Run missing = fleet.adb({"-s", serial, "shell", "ls", "/nowhere"});
        QVERIFY2(failsWith(missing, "No such file or directory"), missing.err);
        QCOMPARE(fleet.adb({"-s", serial, "unknown-command"}).exitCode, 1);
    }

    void callLogHoldsEveryInvocation()
    {
        TestFleet fleet(2);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        QList<QStringList> calls;
        for (int i = 0; i < 8; ++i)
            calls << QStringList{"-s", serial, "shell", QStringLiteral("echo call %1").arg(i)};
        calls << QStringList{"-s", serial, "shell", "nosuchcommand"}
              << QStringList{"-s", "GONE", "get-state"};
        // Concurrent calls must neither lose nor mix lines.
        const QList<Run> runs = QtConcurrent::blockingMapped<QList<Run>>(
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

    void pushPlacesFilesLikeAPhone()
    {
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        QTemporaryDir local;
        QFile file(local.filePath("photo.jpg"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("jpeg bytes");
        file.close();

        Run run = fleet.adb({"-s", serial, "push", file.fileName(), "/sdcard/Download"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains("1 file pushed"));
        QVERIFY2(QFileInfo(fleet.phoneFile(serial, "/sdcard/Download/photo.jpg")).isFile(),
                 "an existing folder receives the file under its own name");
        run = fleet.adb({"-s", serial, "push", file.fileName(), "/data/local/tmp/new/"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(QFileInfo(fleet.phoneFile(serial, "/data/local/tmp/new/photo.jpg")).isFile(),
                 "a path ending in / is a folder");
        run = fleet.adb({"-s", serial, "push", file.fileName(), "/data/local/tmp/renamed.bin"});
        QCOMPARE(run.exitCode, 0);
        QFile pushed(fleet.phoneFile(serial, "/data/local/tmp/renamed.bin"));
        QVERIFY(pushed.open(QIODevice::ReadOnly));
        QCOMPARE(pushed.readAll(), QByteArray("jpeg bytes"));

        run = fleet.adb({"-s", serial, "push", local.filePath("missing.txt"), "/sdcard/"});
        QVERIFY2(failsWith(run, "cannot stat"), run.err);
        run = fleet.adb({"-s", serial, "push", file.fileName(), "/system/photo.jpg"});
        QVERIFY2(failsWith(run, "Permission denied"), run.err);
        QVERIFY(!QFileInfo::exists(fleet.phoneFile(serial, "/system/photo.jpg")));
        // A path climbing out of the phone must not reach the computer's files.
        run = fleet.adb(
            {"-s", serial, "push", file.fileName(), "/data/local/tmp/../../../../../escape.jpg"});
        QVERIFY(!QFileInfo::exists(fleet.home() + "/escape.jpg"));
        QVERIFY(!QFileInfo::exists(fleet.home() + "/" + serial + "/escape.jpg"));

        fleet.setFault(serial, "pushFails", true);
        run = fleet.adb({"-s", serial, "push", file.fileName(), "/data/local/tmp/again.jpg"});
        QVERIFY2(failsWith(run, "error"), run.err);
        QVERIFY(!QFileInfo::exists(fleet.phoneFile(serial, "/data/local/tmp/again.jpg")));
    }

    void installAcceptsOnlyPushedApks()
    {
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        QTemporaryDir local;
        for (const QString &name : {QStringLiteral("game.apk"), QStringLiteral("my app.apk"),
                                    QStringLiteral("notes.txt")}) {
            QFile file(local.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("PK");
            file.close();
            QCOMPARE(
                fleet.adb({"-s", serial, "push", file.fileName(), "/data/local/tmp/"}).exitCode, 0);
        }
        Run run = fleet.adb({"-s", serial, "shell", "pm install -r /data/local/tmp/game.apk"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.trimmed(), QByteArray("Success"));
        run = fleet.adb({"-s", serial, "shell", "pm install -r /data/local/tmp/'my app.apk'"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.trimmed(), QByteArray("Success"));
        QCOMPARE(fleet.jsonLines(serial, "installed.jsonl").size(), 2);

        // Unquoted, the space splits the name and the phone finds no such package.
        run = fleet.adb({"-s", serial, "shell", "pm install -r /data/local/tmp/my app.apk"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.startsWith("Failure ["));
        run = fleet.adb({"-s", serial, "shell", "pm install -r /data/local/tmp/notes.txt"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.startsWith("Failure ["));
        run = fleet.adb({"-s", serial, "shell", "pm install -r /data/local/tmp/never-pushed.apk"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.startsWith("Failure ["));
        QCOMPARE(fleet.jsonLines(serial, "installed.jsonl").size(), 2);
    }

    void faultsShowInOutput()
    {
        TestFleet fleet(2);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        const QString other = fleet.serials().at(1);
        fleet.setFault(serial, "shellPrintsError", true);
        fleet.setFault(serial, "reverseFails", true);
        const Run echo = fleet.adb({"-s", serial, "shell", "echo", "fine"});
        QCOMPARE(echo.exitCode, 0);
        QVERIFY(echo.out.contains("error"));
        QVERIFY(echo.out.endsWith("fine\n"));

        const Run reverse = fleet.adb({"-s", serial, "reverse", "localabstract:x", "tcp:1234"});
        QVERIFY2(failsWith(reverse, "error"), reverse.err);
        QVERIFY(fleet.status().value("reverse").toArray().isEmpty());

        // The faults belong to that phone only.
        QCOMPARE(fleet.adb({"-s", other, "shell", "echo", "fine"}).out, QByteArray("fine\n"));
        QCOMPARE(fleet.adb({"-s", other, "reverse", "localabstract:x", "tcp:1234"}).exitCode, 0);
    }

    void tunnelsAreRegistered()
    {
        TestFleet fleet(2);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        QCOMPARE(fleet.adb({"-s", serial, "reverse", "localabstract:scrcpy_00000005", "tcp:40001"})
                     .exitCode,
                 0);
        QCOMPARE(fleet.adb({"-s", serial, "reverse", "localabstract:scrcpy_00000005", "tcp:40002"})
                     .exitCode,
                 0);
        QJsonArray reverses = fleet.status().value("reverse").toArray();
        QCOMPARE(reverses.size(), 1);
        QCOMPARE(reverses.at(0).toObject().value("local").toString(), QStringLiteral("tcp:40002"));
        QCOMPARE(fleet.adb({"-s", serial, "reverse", "--remove", "localabstract:scrcpy_00000005"})
                     .exitCode,
                 0);
        QVERIFY(fleet.status().value("reverse").toArray().isEmpty());
        const Run again =
            fleet.adb({"-s", serial, "reverse", "--remove", "localabstract:scrcpy_00000005"});
        QVERIFY2(failsWith(again, "not found"), again.err);
        QCOMPARE(fleet.adb({"-s", serial, "reverse", "localabstract:x", "nonsense"}).exitCode, 1);
    }

    void rebootPowerOffAndEmulator()
    {
        TestFleet fleet(2);
        QVERIFY(fleet.isValid());
        fleet.setTop("rebootMs", 800);
        const QString phone = fleet.serials().at(0);
        const QString emulator = fleet.serials().at(1);

        QCOMPARE(fleet.adb({"-s", phone, "reboot"}).exitCode, 0);
        QVERIFY(!listed(fleet, phone));
        QTRY_VERIFY_WITH_TIMEOUT(listed(fleet, phone), 10000);

        // Power-off the way a caller decides it: an empty qemu property means a real phone.
        QCOMPARE(fleet.adb({"-s", phone, "shell", "getprop", "ro.kernel.qemu"}).out.trimmed(),
                 QByteArray());
        const Run emuOnPhone = fleet.adb({"-s", phone, "emu", "kill"});
        QCOMPARE(emuOnPhone.exitCode, 1);
        QVERIFY(listed(fleet, phone));
        QCOMPARE(fleet.adb({"-s", phone, "shell", "reboot", "-p"}).exitCode, 0);
        QVERIFY(!listed(fleet, phone));
        QCOMPARE(fleet.adb({"-s", phone, "get-state"}).exitCode, 1);
        QCOMPARE(fleet.tool({"plug", "--home", fleet.home(), phone}).exitCode, 0);
        QVERIFY(listed(fleet, phone));

        fleet.editPhone(emulator, [](QJsonObject &json) {
            QJsonObject properties = json["properties"].toObject();
            properties["ro.kernel.qemu"] = "1";
            json["properties"] = properties;
        });
        QCOMPARE(fleet.adb({"-s", emulator, "shell", "getprop", "ro.kernel.qemu"}).out.trimmed(),
                 QByteArray("1"));
        const Run kill = fleet.adb({"-s", emulator, "emu", "kill"});
        QCOMPARE(kill.exitCode, 0);
        QVERIFY(!listed(fleet, emulator));
        QVERIFY(listed(fleet, phone));
    }

    void wallpaperIntentIsRecorded()
    {
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        const Run run =
            fleet.adb({"-s", serial, "shell", "am", "start", "-a",
                       "android.intent.action.ATTACH_DATA", "-c", "android.intent.category.DEFAULT",
                       "-d", "file:///data/local/tmp/wallpaper_phonefleet.png", "-t", "image/*",
                       "--grant-read-uri-permission"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith("Starting: Intent {"));
        const QList<QJsonObject> intents = fleet.jsonLines(serial, "intents.jsonl");
        QCOMPARE(intents.size(), 1);
        QCOMPARE(differences(intents.first(),
                             {{"action", "android.intent.action.ATTACH_DATA"},
                              {"data", "file:///data/local/tmp/wallpaper_phonefleet.png"}}),
                 QString());
    }
};

PARVIX_TEST(PhonesimAdbTest)
#include "tst_adbconformance.moc"
