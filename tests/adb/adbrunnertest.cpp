// ADBRunner against the scripted fake adb; success is the exit code, whatever "error" it prints.
#include "adbrunner.h"
#include "adbdeviceinfo.h"
#include "adblane.h"
#include "adbpaths.h"
#include "adbserver.h"
#include "batterystatus.h"
#include "datatable.h"
#include "fakeadb.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QtTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>

using Operation = std::function<bool(const QString &file)>;
Q_DECLARE_METATYPE(Operation)
Q_DECLARE_METATYPE(FakeAdb::Reply)

namespace {
const QString kSerial = QStringLiteral("terror-0042");
const QString kTimedOut = QStringLiteral("[error] adb command timed out after 3 seconds");

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

class AdbRunnerTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { ADBRunner::setFinishTimeoutsForTesting(0, 0); }

    void pathsResolveBesideTheApplicationOnce()
    {
        QCOMPARE(AdbPaths::resolve(QString(), "/opt/px", AdbPaths::adbRelativePath(), {"/no/adb"}),
                 QStringLiteral("/opt/px/third_party/adb/linux/adb"));
        // Installed without a copy beside it: the first fallback that exists; beside wins.
        QTemporaryDir dir;
        QVERIFY(!TestSupport::writeFile(dir.filePath("adb"), "apk").isEmpty());
        QCOMPARE(AdbPaths::resolve({}, "/opt/px", "/adb", {"", dir.filePath("adb")}),
                 dir.filePath("adb"));
        QCOMPARE(AdbPaths::resolve({}, dir.path(), "/adb", {"/bin/sh"}), dir.filePath("adb"));
        QCOMPARE(AdbPaths::installedServerPath("/usr/bin"), "/usr/share/parvix/scrcpy-server");
        QCOMPARE(AdbPaths::resolve("tools/adb", "/opt/px", AdbPaths::adbRelativePath()),
                 QDir::current().absoluteFilePath("tools/adb"));

        // The path is computed once: a later environment change is not seen.
        const QString first = ADBRunner::adbExecutablePath();
        const QByteArray saved = qgetenv("PARVIX_ADB");
        qputenv("PARVIX_ADB", "/somewhere/else/adb");
        const QString second = ADBRunner::adbExecutablePath();
        saved.isNull() ? qunsetenv("PARVIX_ADB") : qputenv("PARVIX_ADB", saved);
        QCOMPARE(second, first);
        if (saved.isNull() && !qEnvironmentVariableIsSet("PARVIX_SCRCPY_SERVER"))
            QCOMPARE(ADBRunner::scrcpyServerFilePath(),
                     QCoreApplication::applicationDirPath() + "/third_party/scrcpy-server");
    }

    void missingCrashingOrRefusingAdbFails()
    {
        QTemporaryDir dir;
        ADBRunner::setExecutablePathForTesting(dir.filePath("no-such-adb"));
        const QString output = ADBRunner::runCommand({"devices"});
        QVERIFY2(output.startsWith("[error] failed to start adb: ") && output.size() > 30,
                 qPrintable(output));
        ADBRunner::setExecutablePathForTesting(QString());

        FakeAdb adb;
        adb.respond({"reboot"}, {"partial output", 0, {}, 0, 9});
        const QString crashed = ADBRunner::runCommand({"reboot"});
        QVERIFY2(crashed.startsWith("[error] adb command failed (exit code ") &&
                     crashed.endsWith("unknown error"),
                 qPrintable(crashed));
        adb.respond({"devices", "-l"}, {{}, 1, "adb: cannot connect to daemon\n"});
        try {
            ADBRunner::getDevices();
            QFAIL("a failed listing must raise");
        } catch (const std::runtime_error &error) {
            QCOMPARE(QString(error.what()),
                     "[error] adb command failed (exit code 1): adb: cannot connect to daemon\n");
        }
    }

    void commandOutput_data()
    {
        addColumns<FakeAdb::Reply, QString>({"reply", "expected"});
        const QString failed = "[error] adb command failed (exit code ";
        QTest::newRow("trimmed, stderr dropped")
            << FakeAdb::Reply{"\n line one\nline two  \n\n", 0, "warning: error\n"}
            << "line one\nline two";
        QTest::newRow("silent failure") << FakeAdb::Reply{{}, 1} << failed + "1): unknown error";
        QTest::newRow("stderr kept untrimmed")
            << FakeAdb::Reply{"stdout ignored", 255, "  device 'X' not found\n"}
            << failed + "255):   device 'X' not found\n";
        QTest::newRow("reason on stdout while adb started its server")
            << FakeAdb::Reply{"error: wrong password\n", 1,
                              "* daemon not running; starting now at tcp:5037\n"
                              "* daemon started successfully\n"}
            << failed + "1): error: wrong password";
    }

    void commandOutput()
    {
        QFETCH(FakeAdb::Reply, reply);
        QFETCH(QString, expected);
        FakeAdb adb;
        adb.respond(onDevice({"get-state"}), reply);
        const QString output = ADBRunner::runCommand(onDevice({"get-state"}));
        QCOMPARE(output, expected);
        QCOMPARE(ADBRunner::isSuccess(output), !expected.startsWith("[error]"));
    }

    // Missing files never reach adb (no stale copy installed); only "push"/"install" wait long.
    void transfers()
    {
        FakeAdb adb;
        QTemporaryDir dir;
        QVERIFY(!ADBRunner::push(kSerial, dir.filePath("missing.bin"), "/sdcard/"));
        QVERIFY(!ADBRunner::install(kSerial, dir.filePath("missing.apk")));
        QVERIFY(ADBRunner::push(kSerial, dir.path(), "/sdcard/folder")); // folders are fine
        QCOMPARE(adb.calls(), QList<QStringList>{onDevice({"push", dir.path(), "/sdcard/folder"})});
        const QString apk = dir.filePath("app.apk");
        QVERIFY(!TestSupport::writeFile(apk, "apk").isEmpty());
        ADBRunner::setFinishTimeoutsForTesting(3000, 8000);
        adb.respondByDefault(FakeAdb::slow("1 file pushed", 4));
        QVERIFY(ADBRunner::push(kSerial, apk, "/sdcard/app.apk"));
        QCOMPARE(ADBRunner::runCommand({"install", apk}), QStringLiteral("1 file pushed"));
        QCOMPARE(ADBRunner::runCommand({"Push", apk}), kTimedOut);
        const QStringList pm = onDevice({"shell", "pm install -r '/data/local/tmp/app.apk'"});
        adb.respond(pm, FakeAdb::slow("Success", 4));
        QVERIFY(!ADBRunner::install(kSerial, apk)); // pm had the short limit
    }

    // Unscripted calls get a success full of "error"; "FILE" is a local error-log.apk.
    void operations_data()
    {
        addColumns<Operation, QList<QStringList>, QList<FakeAdb::Reply>, QList<QStringList>, bool>(
            {"operation", "asked", "answers", "calls", "succeeds"});
        const auto row = [](const char *name, const Operation &op, const QList<QStringList> &asked,
                            const QList<FakeAdb::Reply> &answers, const QList<QStringList> &calls,
                            bool succeeds) {
            QTest::newRow(name) << op << asked << answers << calls << succeeds;
        };
        // adb exits 0 when it could not connect: connect reads its words.
        const Operation connect = [](auto) {
            return ADBRunner::connect(kSerial, "10.0.0.2", 5555);
        };
        const QList<QStringList> connecting{onDevice({"connect", "10.0.0.2:5555"})};
        row("connect", connect, {}, {}, connecting, true);
        row("connect refused", connect, connecting,
            {{"failed to connect to '10.0.0.2:5555': Connection refused"}}, connecting, false);
        // The emulator is killed, a phone powered off.
        const Operation shutdown = [](auto) { return ADBRunner::shutdown(kSerial); };
        const QStringList qemu = onDevice({"shell", "getprop", "ro.kernel.qemu"});
        const QStringList kill = onDevice({"emu", "kill"}),
                          off = onDevice({"shell", "reboot", "-p"});
        row("emulator", shutdown, {qemu}, {{"1\n"}}, {qemu, kill}, true);
        row("phone, power-off fails", shutdown, {qemu, off}, {{"11"}, FakeAdb::failure({})},
            {qemu, off}, false);
        // The server starts only after a successful kill.
        const Operation restart = [](auto) { return ADBRunner::restartServer(); };
        const QStringList killServer{"kill-server"}, startServer{"start-server"};
        row("kill fails", restart, {killServer}, {FakeAdb::failure({})}, {killServer}, false);
        row("start fails", restart, {startServer}, {FakeAdb::failure("could not bind")},
            {killServer, startServer}, false);
        row("restarted", restart, {}, {}, {killServer, startServer}, true);
        // An install needs "Success" in pm's words and the exit code 0.
        const Operation install = [](const QString &file) {
            return ADBRunner::install(kSerial, file);
        };
        const QStringList push = onDevice({"push", "FILE", "/data/local/tmp/"});
        const QStringList pm = onDevice({"shell", "pm install -r '/data/local/tmp/error-log.apk'"});
        row("installed", install, {pm}, {{"Performing Streamed Install\r\nSuccess\r\n"}},
            {push, pm}, true);
        row("Success inside a failure", install, {pm},
            {{"Failure [INSTALL_FAILED_CONFLICTING_PROVIDER: Success]"}}, {push, pm}, false);
        row("push fails", install, {push}, {FakeAdb::failure("error: no space")}, {push}, false);
        // The wallpaper is uploaded, then offered; the intent's outcome is not consulted.
        const Operation wallpaper = [](const QString &file) {
            return ADBRunner::pushWallpaper(kSerial, file);
        };
        const QStringList upload =
            onDevice({"push", "FILE", "/data/local/tmp/wallpaper_phonefleet.png"});
        const QStringList intent =
            onDevice({"shell", "am", "start", "-a", "android.intent.action.ATTACH_DATA", "-c",
                      "android.intent.category.DEFAULT", "-d",
                      "file:///data/local/tmp/wallpaper_phonefleet.png", "-t", "image/*",
                      "--grant-read-uri-permission"});
        row("wallpaper", wallpaper, {intent}, {FakeAdb::failure("Error: Activity not started")},
            {upload, intent}, true);
        row("wallpaper upload fails", wallpaper, {upload}, {FakeAdb::failure({})}, {upload}, false);
    }

    void operations()
    {
        QFETCH(Operation, operation);
        QFETCH(QList<QStringList>, asked);
        QFETCH(QList<FakeAdb::Reply>, answers);
        QFETCH(QList<QStringList>, calls);
        QTemporaryDir dir;
        const QString file = dir.filePath("error-log.apk");
        QVERIFY(!TestSupport::writeFile(file, "apk").isEmpty());
        for (QList<QStringList> *list : {&asked, &calls})
            for (QStringList &call : *list)
                std::replace(call.begin(), call.end(), QStringLiteral("FILE"), file);
        ADBRunner::setFinishTimeoutsForTesting(3000, 8000);
        FakeAdb adb;
        adb.respondByDefault({"error-log.apk: 1 file pushed, 0 skipped. (error free)\n"
                              "Success\nconnected to 10.0.0.2:5555\n",
                              0, "warning: error ignored\n"});
        for (int i = 0; i < asked.size(); ++i)
            adb.respond(asked.at(i), answers.at(i));
        QTEST(operation(file), "succeeds");
        QCOMPARE(adb.calls(), calls);
        if (!asked.isEmpty())
            return;
        // Words of success, but adb failed.
        adb.respondByDefault({"Success\nconnected to 10.0.0.2:5555\n", 1, "adb: error: closed\n"});
        QVERIFY(!operation(file));
    }

    void installQuotesTheFileNameForThePhoneShell()
    {
        const QString fileName = "$(touch pwned)`touch pwned`'\"*?\\ x'.apk";
        QTemporaryDir dir;
        QVERIFY(!TestSupport::writeFile(dir.filePath(fileName), "apk").isEmpty());
        FakeAdb adb;
        adb.respondByDefault({"Success\n"});
        QVERIFY(ADBRunner::install(kSerial, dir.filePath(fileName)));
        const QStringList pm = adb.calls().value(1);
        QCOMPARE(pm.mid(0, 3) << pm.value(3).left(14), onDevice({"shell", "pm install -r "}));
        // What a POSIX shell makes of it: the one path pm receives.
        QProcess sh;
        sh.setWorkingDirectory(dir.path());
        sh.start("/bin/sh", {"-c", "printf '<%s>' " + pm.value(3).mid(14)});
        QVERIFY(sh.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(sh.readAllStandardOutput()),
                 "</data/local/tmp/" + fileName + ">");
        QVERIFY(!QFile::exists(dir.filePath("pwned")));
    }

    // Phones' adb lanes run side by side: a phone whose adb hangs holds back no other phone.
    void aHungLaneHoldsNoOtherLane()
    {
        // More hung phones than the shared adb pool has threads; the tasks outlive a failure.
        constexpr int kHung = 12;
        auto started = std::make_shared<QSemaphore>();
        auto release = std::make_shared<QSemaphore>();
        const auto releaseAll = qScopeGuard([release] { release->release(kHung); });
        for (int i = 0; i < kHung; ++i)
            AdbLane::post(QStringLiteral("hung-%1").arg(i), [started, release] {
                started->release();
                release->acquire();
            });
        AdbLane::post(QStringLiteral("healthy"), [started] { started->release(100); });
        QTRY_COMPARE(started->available(), kHung + 100);
    }

    // Expected: serial|model|product|usb or net|transport id|nickname per phone.
    void parseDevices_data()
    {
        addColumns<QString, QString>({"text", "expected"});
        // Daemon chatter, blank lines, other states and serial-only lines are skipped.
        QTest::newRow("mixed listing")
            << "* daemon not running; starting now at tcp:5037\nList of devices attached\n"
               "R58M123 device usb:1-1 product:a51 model:SM_A515F device:a51 transport_id:3\n\n"
               "192.168.1.7:5555 device product:x model:Y transport_id:abc\n"
               "ZX1 unauthorized usb:2-1\nB no permissions (user in plugdev group)\nE Device\n"
               "LONELY\n"
            << "R58M123|SM_A515F|a51|usb|3| 192.168.1.7:5555|Y|x|net|-1|";
        QTest::newRow("network needs a full stop and no usb path")
            << "10.0.0.3:5555 device 1-1.4\n10.0.0.4:5555 device a-1.4\n"
               "10.0.0.5:5555 device usb:3-2\nfe80::1:5555 device\n"
            << "10.0.0.3:5555|||usb|-1| 10.0.0.4:5555|||net|-1| 10.0.0.5:5555|||usb|-1| "
               "fe80::1:5555|||usb|-1|";
        QTest::newRow("exact, case-sensitive prefixes")
            << "S2 device Model:Up Product:Up TRANSPORT_ID:9 model: product:p:q transport_id:\n"
            << "S2||p:q|usb|-1|";
    }

    void parseDevices()
    {
        QFETCH(QString, text);
        QTEST(describe(ADBRunner::parseDevices(text)), "expected");
    }

    void samePhoneMergesAcrossConnections_data()
    {
        // serialNumbers: "adb serial=ro.serialno"; expected: "adb serial:connections" per phone
        addColumns<QString, QStringList, QString>({"listing", "serialNumbers", "expected"});
        // What phones call themselves ("error2") does not make the listing fail.
        const QString both = "P1 device usb:1-1\n10.0.0.3:5555 device\nerror2 device usb:1-2\n";
        QTest::newRow("usb first")
            << both << QStringList{"P1=P1", "10.0.0.3:5555=P1", "error2=error2"}
            << "P1:P1,10.0.0.3:5555 error2:error2";
        QTest::newRow("wifi first, usb kept")
            << "10.0.0.3:5555 device\nP1 device usb:1-1\n"
            << QStringList{"10.0.0.3:5555=P1", "P1=P1"} << "P1:P1,10.0.0.3:5555";
        QTest::newRow("unknown serial stays apart")
            << both << QStringList{"P1=P1", "error2=error2"}
            << "P1:P1 10.0.0.3:5555:10.0.0.3:5555 error2:error2";
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
        FakeAdb adb;
        const QByteArray listing = "[ro.product.name]: [two\r\nlines]\r\n[ro.unrelated]: []\n"
                                   "[ro.product.model]: [ Pixel 7]\n[ro.boot.ddr_size]: [8GB]\n";
        adb.respond(onDevice({"shell", "getprop"}), listing);
        adb.respond(onDevice({"shell", "wm", "size"}), "Physical size: 1080x2400\n");
        DeviceInfo info = ADBRunner::getDeviceInfo(kSerial);
        QCOMPARE(adb.calls(), QList<QStringList>({onDevice({"shell", "getprop"}),
                                                  onDevice({"shell", "wm", "size"})}));
        QCOMPARE(QStringList({info.model, info.ddr_size, info.manufacturer}),
                 QStringList({"Pixel 7", "8GB", ""}));
        QCOMPARE(info.screen_size, QSize(1080, 2400));
        QCOMPARE(ADBRunner::parsePropertyListing(listing).value("ro.product.name"), "two\r\nlines");

        adb.respond(onDevice({"shell", "getprop"}), {{}, 1, "error: closed", 0, 0});
        info = ADBRunner::getDeviceInfo(kSerial);
        QCOMPARE(info.hardward_serial,
                 QStringLiteral("[error] adb command failed (exit code 1): error: closed"));
        QCOMPARE(info.ddr_size, info.hardward_serial);

        const QList<QPair<QString, QSize>> sizes{
            {"Physical size: 1440x3200\r\nOverride size: 720x1600\r\n", QSize(1440, 3200)},
            {"size unknown", QSize(0, 0)}};
        for (const auto &[out, size] : sizes)
            QCOMPARE(ADBRunner::parseScreenSize(out), size);
    }

    void deviceIpFallsThroughItsSources_data()
    {
        // answers: ip addr|ifconfig|dhcp|eth0
        addColumns<QString, QString, int>({"answers", "expected", "queries"});
        QTest::newRow("ip addr")
            << "3: wlan0: <UP>\n    inet 192.168.1.23/24 brd 192.168.1.255\n    inet 10.9.9.9/8\n"
               "|||"
            << "192.168.1.23" << 1;
        QTest::newRow("inet6 only, ifconfig")
            << "    inet6 fe80::1/64 scope link\n|wlan0 Link encap:Ethernet\n  inet addr:10.0.0.5  "
               "Bcast:10.0.0.255\n||"
            << "10.0.0.5" << 2;
        QTest::newRow("dhcp property")
            << "Device \"wlan0\" does not exist.|wlan0: No such device| 192.168.0.9 \n|"
            << "192.168.0.9" << 3;
        QTest::newRow("dhcp must be the whole text")
            << "||192.168.0.9 lease|    inet 10.1.2.3/16 scope global"
            << "10.1.2.3" << 4;
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
        addColumns<QString, int, bool>({"output", "level", "charging"});
        const QString usbCharging = "Current Battery Service state:\n  AC powered: false\n"
                                    "  USB powered: true\n  Max charging current: 500000\n"
                                    "  status: 2\n  level: 87\n  scale: 100\n";
        QTest::newRow("USB charging") << usbCharging << 87 << true;
        QTest::newRow("discharging, CRLF")
            << "  AC powered: false\r\n  USB powered: false\r\n  status: 3\r\n  level: 14\r\n"
               "  scale: 100\r\n"
            << 14 << false;
        QTest::newRow("full on AC")
            << "  AC powered: true\n  status: 5\n  level: 100\n  scale: 100\n"
            << 100 << true;
        QTest::newRow("full, unplugged") << "  status: 5\n  level: 100\n" << 100 << false;
        QTest::newRow("no status, powered") << "  Wireless powered: true\n  level: 40\n"
                                            << 40 << true;
        QTest::newRow("scale of 50") << "  level: 25\n  scale: 50\n  status: 3\n" << 50 << false;
        QTest::newRow("level over scale") << "  level: 150\n  scale: 100\n" << -1 << false;
        QTest::newRow("no level") << "  status: 2\n  scale: 100\n" << -1 << true;
    }
    void batteryStatus()
    {
        QFETCH(QString, output);
        const BatteryStatus status = BatteryStatus::parse(output);
        QTEST(status.level, "level");
        QTEST(status.charging, "charging");
    }

    void entries_data()
    {
        // server: "" when the entry is refused
        addColumns<QString, QString, QStringList>({"entry", "server", "phoneOptions"});
        // options: what reaches that server, none for the local one's plain -s.
        const auto row = [](const char *name, const char *entry, const char *server = "",
                            const QString &options = {}) {
            QTest::newRow(name) << QString(entry) << QString(server)
                                << (options + " -s R58M").split(' ', Qt::SkipEmptyParts);
        };
        row("host and port", "192.168.1.20:5038", "192.168.1.20:5038", "-H 192.168.1.20 -P 5038");
        row("blanks around", "  farm2:5037\t", "farm2:5037", "-H farm2 -P 5037");
        row("IPv6 in brackets", "[fd00::7]:5037", "[fd00::7]:5037", "-H fd00::7 -P 5037");
        row("the local server", "localhost:5037", "localhost:5037");
        row("loopback, default port", "127.0.0.1", "127.0.0.1:5037");
        row("loopback, other port", "127.0.0.1:5038", "127.0.0.1:5038", "-H 127.0.0.1 -P 5038");
        for (const char *refused : {" ", ":5037", "farm2:", "farm2:0", "farm2:65536", "farm2:50x",
                                    "farm 2:5037", "fd00::7", "a@b:5037"})
            row(refused, refused);
    }

    void entries()
    {
        QFETCH(QString, entry);
        const std::optional<AdbServer> parsed = AdbServer::parse(entry);
        QTEST(parsed ? parsed->text() : QString(), "server");
        if (!parsed)
            return;
        const QString phone = AdbServers::qualified("R58M", *parsed);
        QTEST(AdbServers::phoneOptions(phone), "phoneOptions");
        QCOMPARE(AdbServers::plainSerial(phone), QStringLiteral("R58M"));
        QCOMPARE(AdbServers::serverOf(phone), *parsed);
        QCOMPARE(AdbServers::hostLabel(phone).isEmpty(), parsed->isLocal());
        // Local phones keep their plain serials, so stored names stay valid.
        QCOMPARE(phone == QLatin1String("R58M"), parsed->isLocal());
    }

    void theLocalServerStaysFirstAndEntriesDoNotRepeat()
    {
        const QList<AdbServer> servers = AdbServers::normalized(
            {"farm2", "bad:port", "127.0.0.1:5037", "farm2:5037", "farm3:6000"});
        QCOMPARE(TestSupport::mapped(servers, &AdbServer::text),
                 QStringList({"localhost:5037", "farm2:5037", "farm3:6000"}));
    }
};

PARVIX_TEST(AdbRunnerTest)
#include "adbrunnertest.moc"
