// ADBRunner's process handling, failure texts, time-outs and the argument lists of its
// per-device commands, against the scripted fake adb; success is adb's exit code, also for
// serials, file names and outputs that contain "error".
#include "adbrunner.h"
#include "adblane.h"
#include "adbpaths.h"
#include "fakeadb.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QSemaphore>
#include <QtConcurrent>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>

using Operation = std::function<bool(const QString &file)>;
Q_DECLARE_METATYPE(Operation)
Q_DECLARE_METATYPE(FakeAdb::Reply)

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

    // The exact arguments; then the exit code decides, not words in the output ("FILE" stands
    // for a local file named error-log.apk).
    void operationsSucceedByExitCode_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QList<QStringList>>("calls");
        const auto row = [](const char *name, const Operation &op,
                            const QList<QStringList> &calls) {
            QTest::newRow(name) << op << calls;
        };
        row("reboot", [](auto) { return ADBRunner::reboot(kSerial); }, {onDevice({"reboot"})});
        row("reverse", [](auto) { return ADBRunner::reverse(kSerial, "scrcpy_0a1b2c3d", 27183); },
            {onDevice({"reverse", "localabstract:scrcpy_0a1b2c3d", "tcp:27183"})});
        row("removeReverse",
            [](auto) { return ADBRunner::removeReverse(kSerial, "scrcpy_0a1b2c3d"); },
            {onDevice({"reverse", "--remove", "localabstract:scrcpy_0a1b2c3d"})});
        row("forward", [](auto) { return ADBRunner::forward(kSerial, 17347, 7347); },
            {onDevice({"forward", "tcp:17347", "tcp:7347"})});
        row("tcpip", [](auto) { return ADBRunner::tcpip(kSerial, 5555); },
            {onDevice({"tcpip", "5555"})});
        row("connect", [](auto) { return ADBRunner::connect(kSerial, "10.0.0.7", 5555); },
            {onDevice({"connect", "10.0.0.7:5555"})});
        row("disconnect", [](auto) { return ADBRunner::disconnect(kSerial); },
            {onDevice({"disconnect"})});
        row("usb", [](auto) { return ADBRunner::usb(kSerial); }, {onDevice({"usb"})});
        row("push", [](const QString &file) { return ADBRunner::push(kSerial, file, "/sdcard/D"); },
            {onDevice({"push", "FILE", "/sdcard/D"})});
        row("install", [](const QString &file) { return ADBRunner::install(kSerial, file); },
            {onDevice({"push", "FILE", "/data/local/tmp/"}),
             onDevice({"shell", "pm install -r '/data/local/tmp/error-log.apk'"})});
        row("shutdown", [](auto) { return ADBRunner::shutdown(kSerial); },
            {onDevice({"shell", "getprop", "ro.kernel.qemu"}),
             onDevice({"shell", "reboot", "-p"})});
    }

    void operationsSucceedByExitCode()
    {
        QFETCH(Operation, operation);
        QFETCH(QList<QStringList>, calls);
        QTemporaryDir dir;
        const QString file = dir.filePath("error-log.apk");
        QVERIFY(touch(file));
        for (QStringList &call : calls)
            std::replace(call.begin(), call.end(), QStringLiteral("FILE"), file);
        FakeAdb adb;
        // What adb prints on success, with the serial and file name in it.
        adb.respondByDefault({"error-log.apk: 1 file pushed, 0 skipped. (error free)\n"
                              "Success\nconnected to 10.0.0.7:5555\n",
                              0, "warning: error ignored\n"});
        QVERIFY(operation(file));
        QCOMPARE(adb.calls(), calls);
        for (const FakeAdb::Reply &failure :
             {FakeAdb::failure("no devices/emulators found\n"), FakeAdb::Reply{{}, 255},
              FakeAdb::Reply{"Success\nconnected to 10.0.0.7:5555\n", 1, "adb: error: closed\n"}}) {
            adb.respondByDefault(failure);
            QVERIFY(!operation(file));
        }
    }

    // adb exits 0 when it could not connect: connect reads its words.
    void connectReadsTheOutput()
    {
        FakeAdb adb;
        const QStringList args = onDevice({"connect", "10.0.0.2:5555"});
        const QList<QPair<QByteArray, bool>> answers{
            {"connected to 10.0.0.2:5555", true},
            {"already connected to 10.0.0.2:5555", true},
            {"failed to connect to '10.0.0.2:5555': Connection refused", false},
            {"cannot connect to 10.0.0.2:5555: No route to host", false}};
        for (const auto &[out, connected] : answers) {
            adb.respond(args, out);
            QCOMPARE(ADBRunner::connect(kSerial, "10.0.0.2", 5555), connected);
        }
        ADBRunner::setFinishTimeoutsForTesting(500, 500);
        adb.respond(args, slow("connected", 2));
        QVERIFY(!ADBRunner::connect(kSerial, "10.0.0.2", 5555));
    }

    void shutdownKillsEmulatorButPowersOffPhone()
    {
        const QStringList qemu = onDevice({"shell", "getprop", "ro.kernel.qemu"});
        for (const QByteArray &answer : {QByteArray("1\n"), QByteArray(""), QByteArray("11")}) {
            FakeAdb adb;
            adb.respond(qemu, answer);
            QVERIFY(ADBRunner::shutdown(kSerial));
            const QStringList off =
                answer == "1\n" ? onDevice({"emu", "kill"}) : onDevice({"shell", "reboot", "-p"});
            QCOMPARE(adb.calls(), (QList<QStringList>{qemu, off}));
            adb.respond(off, FakeAdb::failure({}));
            QVERIFY(!ADBRunner::shutdown(kSerial));
        }
    }

    void restartServerStartsOnlyAfterSuccessfulKill()
    {
        FakeAdb adb;
        adb.respond({"kill-server"}, FakeAdb::failure({}));
        QVERIFY(!ADBRunner::restartServer());
        QCOMPARE(adb.calls(), QList<QStringList>{{"kill-server"}});
        adb.clearCalls();
        adb.respond({"kill-server"}, "");
        adb.respond({"start-server"}, FakeAdb::failure("could not bind"));
        QVERIFY(!ADBRunner::restartServer());
        QCOMPARE(adb.calls(), (QList<QStringList>{{"kill-server"}, {"start-server"}}));
        adb.respond({"start-server"}, "");
        QVERIFY(ADBRunner::restartServer());
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

    void installNeedsSuccessInTheOutputAndWallpaperTheIntent()
    {
        QTemporaryDir dir;
        const QString apk = dir.filePath("app.apk");
        QVERIFY(touch(apk));
        const QStringList push = onDevice({"push", apk, "/data/local/tmp/"});
        const QStringList pm = onDevice({"shell", "pm install -r '/data/local/tmp/app.apk'"});
        const QList<QPair<FakeAdb::Reply, bool>> answers{
            {{"Performing Streamed Install\r\nSuccess\r\n"}, true},
            {{"Failure [INSTALL_FAILED_VERSION_DOWNGRADE]"}, false},
            {{"Failure [INSTALL_FAILED_CONFLICTING_PROVIDER: Success]"}, false},
            {{"Success", 1}, false}};
        for (const auto &[reply, installed] : answers) {
            FakeAdb adb;
            adb.respond(pm, reply);
            QCOMPARE(ADBRunner::install(kSerial, apk), installed);
            QCOMPARE(adb.calls(), (QList<QStringList>{push, pm}));
        }
        FakeAdb adb;
        adb.respondByDefault({"Success"});
        adb.respond(push, FakeAdb::failure("error: no space"));
        QVERIFY(!ADBRunner::install(kSerial, apk));
        QCOMPARE(adb.calls(), QList<QStringList>{push});

        const QString image = dir.filePath("nick.png");
        QVERIFY(touch(image));
        const QStringList upload =
            onDevice({"push", image, "/data/local/tmp/wallpaper_phonefleet.png"});
        const QStringList intent =
            onDevice({"shell", "am", "start", "-a", "android.intent.action.ATTACH_DATA", "-c",
                      "android.intent.category.DEFAULT", "-d",
                      "file:///data/local/tmp/wallpaper_phonefleet.png", "-t", "image/*",
                      "--grant-read-uri-permission"});
        adb.clearCalls();
        adb.respond(intent, FakeAdb::failure("Error: Activity not started"));
        QVERIFY(ADBRunner::pushWallpaper(kSerial, image)); // the intent's outcome is not consulted
        QCOMPARE(adb.calls(), (QList<QStringList>{upload, intent}));
        adb.clearCalls();
        adb.respond(upload, FakeAdb::failure({}));
        QVERIFY(!ADBRunner::pushWallpaper(kSerial, image));
        QCOMPARE(adb.calls(), QList<QStringList>{upload});
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
