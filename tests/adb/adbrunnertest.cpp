// ADBRunner's process handling, failure texts, time-outs and the argument lists of its
// per-device commands, against the scripted fake adb; success is adb's exit code, also for
// serials, file names and outputs that contain "error".
#include "adbrunner.h"
#include "adblane.h"
#include "adbpaths.h"
#include "fakeadb.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QtConcurrent>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>

using Operation = std::function<bool(const QString &file)>;
Q_DECLARE_METATYPE(Operation)
Q_DECLARE_METATYPE(FakeAdb::Reply)
Q_DECLARE_METATYPE(QList<FakeAdb::Reply>)

namespace {
const QString kSerial = QStringLiteral("terror-0042");
const QString kTimedOut = QStringLiteral("[error] adb command timed out after 1 seconds");

QStringList onDevice(const QStringList &args)
{
    return QStringList{"-s", kSerial} + args;
}

FakeAdb::Reply slow(const QByteArray &out, double seconds)
{
    return {out, 0, {}, seconds};
}

bool touch(const QString &path, const QByteArray &content = "apk")
{
    return !TestSupport::writeFile(path, content).isEmpty();
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
        QVERIFY(touch(dir.filePath("adb")));
        QCOMPARE(AdbPaths::resolve({}, "/opt/px", "/adb", {"", dir.filePath("adb")}),
                 dir.filePath("adb"));
        QCOMPARE(AdbPaths::resolve({}, dir.path(), "/adb", {"/bin/sh"}), dir.filePath("adb"));
        QCOMPARE(AdbPaths::installedServerPath("/usr/bin"), "/usr/share/parvix/scrcpy-server");
        QCOMPARE(AdbPaths::resolve(QString(), "/opt/px", AdbPaths::scrcpyServerRelativePath()),
                 QStringLiteral("/opt/px/third_party/scrcpy-server"));
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

    void missingOrCrashingAdbFails()
    {
        QTemporaryDir dir;
        ADBRunner::setExecutablePathForTesting(dir.filePath("no-such-adb"));
        const QString output = ADBRunner::runCommand({"devices"});
        QVERIFY2(output.startsWith("[error] failed to start adb: ") && output.size() > 30,
                 qPrintable(output));
        QVERIFY(!ADBRunner::startServer());
        QVERIFY(!ADBRunner::connect(kSerial, "192.168.1.7", 5555));
        ADBRunner::setExecutablePathForTesting(QString());

        FakeAdb adb;
        adb.respond({"reboot"}, {"partial output", 0, {}, 0, 9});
        const QString crashed = ADBRunner::runCommand({"reboot"});
        QVERIFY2(crashed.startsWith("[error] adb command failed (exit code ") &&
                     crashed.endsWith("unknown error"),
                 qPrintable(crashed));
    }

    void commandOutput_data()
    {
        QTest::addColumn<FakeAdb::Reply>("reply");
        QTest::addColumn<QString>("expected");
        const QString failed = "[error] adb command failed (exit code ";
        QTest::newRow("trimmed, stderr dropped")
            << FakeAdb::Reply{"\n line one\nline two  \n\n", 0, "warning: error\n"}
            << "line one\nline two";
        QTest::newRow("silent failure") << FakeAdb::Reply{{}, 1} << failed + "1): unknown error";
        QTest::newRow("stderr kept untrimmed")
            << FakeAdb::Reply{"stdout ignored", 255, "  device 'X' not found\n"}
            << failed + "255):   device 'X' not found\n";
        QTest::newRow("utf-8") << FakeAdb::failure("设备未找到", 2)
                               << failed + QString::fromUtf8("2): 设备未找到");
        QTest::newRow("time-out") << slow("too late", 3) << kTimedOut;
    }

    void commandOutput()
    {
        QFETCH(FakeAdb::Reply, reply);
        QFETCH(QString, expected);
        FakeAdb adb;
        ADBRunner::setFinishTimeoutsForTesting(1000, 5000);
        adb.respond(onDevice({"get-state"}), reply);
        const QString output = ADBRunner::runCommand(onDevice({"get-state"}));
        QCOMPARE(output, expected);
        QCOMPARE(ADBRunner::isSuccess(output), !expected.startsWith("[error]"));
    }

    // Only whole "push"/"install" elements get the long limit.
    void transfersGetTheLongTimeout()
    {
        FakeAdb adb;
        QTemporaryDir dir;
        const QString apk = dir.filePath("app.apk");
        QVERIFY(touch(apk));
        ADBRunner::setFinishTimeoutsForTesting(1000, 6000);
        adb.respondByDefault(slow("1 file pushed", 2));
        QVERIFY(ADBRunner::push(kSerial, apk, "/sdcard/app.apk"));
        QCOMPARE(ADBRunner::runCommand({"install", apk}), QStringLiteral("1 file pushed"));
        QCOMPARE(ADBRunner::runCommand({"Push", apk}), kTimedOut);
        const QStringList pm = onDevice({"shell", "pm install -r '/data/local/tmp/app.apk'"});
        adb.respond(pm, slow("Success", 2));
        QVERIFY(!ADBRunner::install(kSerial, apk));
        QCOMPARE(ADBRunner::runCommand(pm), kTimedOut);
    }

    // The exact arguments, each call answered as scripted or else as adb prints a success
    // (with "error" in the serial and file names): the exit code decides, and for some
    // operations adb's words. "FILE" stands for a local file named error-log.apk.
    void operations_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QList<QStringList>>("asked");
        QTest::addColumn<QList<FakeAdb::Reply>>("answers");
        QTest::addColumn<QList<QStringList>>("calls");
        QTest::addColumn<bool>("succeeds");
        const auto row = [](const char *name, const Operation &op, const QList<QStringList> &asked,
                            const QList<FakeAdb::Reply> &answers, const QList<QStringList> &calls,
                            bool succeeds) {
            QTest::newRow(name) << op << asked << answers << calls << succeeds;
        };
        // Nothing scripted: then every failure of adb fails them.
        const auto simple = [&](const char *name, const QStringList &call, const Operation &op) {
            row(name, op, {}, {}, {call}, true);
        };
        simple("reboot", onDevice({"reboot"}), [](auto) { return ADBRunner::reboot(kSerial); });
        simple("reverse", onDevice({"reverse", "localabstract:scrcpy_0a1b2c3d", "tcp:27183"}),
               [](auto) { return ADBRunner::reverse(kSerial, "scrcpy_0a1b2c3d", 27183); });
        simple("removeReverse", onDevice({"reverse", "--remove", "localabstract:scrcpy_0a1b2c3d"}),
               [](auto) { return ADBRunner::removeReverse(kSerial, "scrcpy_0a1b2c3d"); });
        simple("forward", onDevice({"forward", "tcp:17347", "tcp:7347"}),
               [](auto) { return ADBRunner::forward(kSerial, 17347, 7347); });
        simple("tcpip", onDevice({"tcpip", "5555"}),
               [](auto) { return ADBRunner::tcpip(kSerial, 5555); });
        simple("connect", onDevice({"connect", "10.0.0.7:5555"}),
               [](auto) { return ADBRunner::connect(kSerial, "10.0.0.7", 5555); });
        simple("disconnect", onDevice({"disconnect"}),
               [](auto) { return ADBRunner::disconnect(kSerial); });
        simple("usb", onDevice({"usb"}), [](auto) { return ADBRunner::usb(kSerial); });
        simple("push", onDevice({"push", "FILE", "/sdcard/D"}),
               [](const QString &file) { return ADBRunner::push(kSerial, file, "/sdcard/D"); });
        // adb exits 0 when it could not connect: connect reads its words.
        const Operation connect = [](auto) {
            return ADBRunner::connect(kSerial, "10.0.0.2", 5555);
        };
        const QList<QStringList> connecting{onDevice({"connect", "10.0.0.2:5555"})};
        row("connected", connect, connecting, {{"connected to 10.0.0.2:5555"}}, connecting, true);
        row("already connected", connect, connecting, {{"already connected to 10.0.0.2:5555"}},
            connecting, true);
        row("connect refused", connect, connecting,
            {{"failed to connect to '10.0.0.2:5555': Connection refused"}}, connecting, false);
        row("connect no route", connect, connecting,
            {{"cannot connect to 10.0.0.2:5555: No route to host"}}, connecting, false);
        row("connect times out", connect, connecting, {slow("connected", 3)}, connecting, false);
        // The emulator is killed, a phone powered off.
        const Operation shutdown = [](auto) { return ADBRunner::shutdown(kSerial); };
        const QStringList qemu = onDevice({"shell", "getprop", "ro.kernel.qemu"});
        const QStringList kill = onDevice({"emu", "kill"}),
                          off = onDevice({"shell", "reboot", "-p"});
        row("emulator", shutdown, {qemu}, {{"1\n"}}, {qemu, kill}, true);
        row("emulator, kill fails", shutdown, {qemu, kill}, {{"1\n"}, FakeAdb::failure({})},
            {qemu, kill}, false);
        for (const char *answer : {"", "11"}) {
            row(qPrintable(QStringLiteral("phone %1").arg(answer)), shutdown, {qemu}, {{answer}},
                {qemu, off}, true);
            row(qPrintable(QStringLiteral("phone %1, power-off fails").arg(answer)), shutdown,
                {qemu, off}, {{answer}, FakeAdb::failure({})}, {qemu, off}, false);
        }
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
        row("downgrade", install, {pm}, {{"Failure [INSTALL_FAILED_VERSION_DOWNGRADE]"}},
            {push, pm}, false);
        row("Success inside a failure", install, {pm},
            {{"Failure [INSTALL_FAILED_CONFLICTING_PROVIDER: Success]"}}, {push, pm}, false);
        row("Success, exit code 1", install, {pm}, {{"Success", 1}}, {push, pm}, false);
        row("push fails", install, {push}, {FakeAdb::failure("error: no space")}, {push}, false);
        // The wallpaper: uploaded, then offered to the phone; the intent's outcome is not
        // consulted.
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
        QVERIFY(touch(file));
        for (QList<QStringList> *list : {&asked, &calls})
            for (QStringList &call : *list)
                std::replace(call.begin(), call.end(), QStringLiteral("FILE"), file);
        ADBRunner::setFinishTimeoutsForTesting(1000, 5000);
        FakeAdb adb;
        adb.respondByDefault({"error-log.apk: 1 file pushed, 0 skipped. (error free)\n"
                              "Success\nconnected to 10.0.0.7:5555\n",
                              0, "warning: error ignored\n"});
        for (int i = 0; i < asked.size(); ++i)
            adb.respond(asked.at(i), answers.at(i));
        QTEST(operation(file), "succeeds");
        QCOMPARE(adb.calls(), calls);
        if (!asked.isEmpty())
            return;
        for (const FakeAdb::Reply &failure :
             {FakeAdb::failure("no devices/emulators found\n"), FakeAdb::Reply{{}, 255},
              FakeAdb::Reply{"Success\nconnected to 10.0.0.7:5555\n", 1, "adb: error: closed\n"}}) {
            adb.respondByDefault(failure);
            QVERIFY(!operation(file));
        }
    }

    // Missing local files never reach adb: a stale copy on the phone must not be installed.
    void transfersOfMissingFilesRunNothing()
    {
        FakeAdb adb;
        adb.respondByDefault({"Success"});
        QTemporaryDir dir;
        QVERIFY(!ADBRunner::push(kSerial, dir.filePath("missing.bin"), "/sdcard/"));
        QVERIFY(!ADBRunner::push(kSerial, QString(), "/sdcard/"));
        QVERIFY(!ADBRunner::install(kSerial, dir.filePath("missing.apk")));
        QVERIFY(!ADBRunner::pushWallpaper(kSerial, dir.filePath("missing.png")));
        QVERIFY(adb.calls().isEmpty());
        QVERIFY(ADBRunner::push(kSerial, dir.path(), "/sdcard/folder")); // folders are fine
        QCOMPARE(adb.calls(), QList<QStringList>{onDevice({"push", dir.path(), "/sdcard/folder"})});
    }

    void installQuotesTheFileNameForThePhoneShell_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("space") << "my app.apk";
        QTest::newRow("semicolon") << "a;touch pwned.apk";
        QTest::newRow("substitution") << "$(touch pwned)`touch pwned`.apk";
        QTest::newRow("single quote") << "it's.apk";
        QTest::newRow("quotes and glob") << "'\"*?\\ x'.apk";
    }

    void installQuotesTheFileNameForThePhoneShell()
    {
        QFETCH(QString, fileName);
        QTemporaryDir dir;
        const QString apk = dir.filePath(fileName);
        QVERIFY(touch(apk));
        FakeAdb adb;
        adb.respondByDefault({"Performing Streamed Install\nSuccess\n"});
        QVERIFY(ADBRunner::install(kSerial, apk));
        const QList<QStringList> calls = adb.calls();
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls.at(0), onDevice({"push", apk, "/data/local/tmp/"}));
        QCOMPARE(calls.at(1).mid(0, 3), onDevice({"shell"}));
        QCOMPARE(calls.at(1).size(), 4);
        const QString command = calls.at(1).at(3);
        QVERIFY(command.startsWith("pm install -r "));
        // What a POSIX shell makes of it: the one path pm receives.
        QTemporaryDir shellDir;
        QProcess sh;
        sh.setWorkingDirectory(shellDir.path());
        sh.start("/bin/sh", {"-c", "printf '<%s>' " + command.mid(14)});
        QVERIFY(sh.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(sh.readAllStandardOutput()),
                 "</data/local/tmp/" + fileName + ">");
        QVERIFY(!QFile::exists(shellDir.filePath("pwned")));
    }

    void concurrentCommandsKeepTheirOwnResults()
    {
        FakeAdb adb;
        QList<int> ids;
        for (int i = 0; i < 16; ++i) {
            ids << i;
            adb.respond({"echo", QString::number(i)}, slow("result " + QByteArray::number(i), 0.2));
        }
        const QStringList results = QtConcurrent::blockingMapped<QStringList>(ids, [](int i) {
            return ADBRunner::runCommand({"echo", QString::number(i)});
        });
        for (int i : ids)
            QCOMPARE(results.at(i), QStringLiteral("result %1").arg(i));
    }

    // Phones' adb lanes run side by side: a phone whose adb hangs holds back no other phone.
    void aHungLaneHoldsNoOtherLane()
    {
        // More hung phones than the shared adb pool has threads; the tasks outlive a failure.
        constexpr int kHung = 12;
        auto started = std::make_shared<QSemaphore>();
        auto release = std::make_shared<QSemaphore>();
        auto done = std::make_shared<std::atomic<bool>>(false);
        const auto releaseAll = qScopeGuard([release] { release->release(kHung); });
        for (int i = 0; i < kHung; ++i)
            AdbLane::post(QStringLiteral("hung-%1").arg(i), [started, release] {
                started->release();
                release->acquire();
            });
        AdbLane::post(QStringLiteral("healthy"), [done] { done->store(true); });
        QTRY_VERIFY(done->load());
        QTRY_COMPARE(started->available(), kHung);
    }
};

PARVIX_TEST(AdbRunnerTest)
#include "adbrunnertest.moc"
