// ADBRunner's process handling, failure texts, time-outs and the argument lists
// of its per-device commands, against the scripted fake adb.
#include "adbpaths.h"
#include "adbrunner.h"
#include "fakeadb.h"
#include "testregistry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>
#include <functional>

using FlagOperation = std::function<bool()>;
Q_DECLARE_METATYPE(FlagOperation)

namespace {
const QString kSerial = QStringLiteral("R58M123");

QStringList onDevice(const QStringList &args)
{
    return QStringList{"-s", kSerial} + args;
}

bool touch(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("apk") == 3;
}

// What a POSIX shell makes of the install command: the path pm would receive,
// printed once per word.
QString shellWords(const QString &command, const QString &workDir)
{
    const QString prefix = QStringLiteral("pm install -r ");
    if (!command.startsWith(prefix))
        return QStringLiteral("<unexpected command: %1>").arg(command);
    QProcess sh;
    sh.setWorkingDirectory(workDir);
    sh.start("/bin/sh", {"-c", "printf '<%s>' " + command.mid(prefix.size())});
    sh.waitForFinished(10000);
    return QString::fromUtf8(sh.readAllStandardOutput());
}
} // namespace

class AdbRunnerTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void pathsResolveBesideTheApplicationUnlessOverridden();
    void executablePathIsComputedOnce();
    void missingExecutableFailsEveryOperation();
    void outputIsTrimmedAndStandardErrorDiscardedOnSuccess();
    void nonZeroExitGivesTheExitCodeText_data();
    void nonZeroExitGivesTheExitCodeText();
    void crashedAdbIsAFailure();
    void slowCommandTimesOutWithItsLimitInSeconds();
    void pushAndInstallArgumentsGetTheTransferTimeout();
    void flagOperationsSendExactArguments_data();
    void flagOperationsSendExactArguments();
    void flagOperationsFailOnOutputMentioningError();
    void shutdownKillsEmulatorButPowersOffPhone();
    void restartServerStartsOnlyAfterSuccessfulKill();
    void pushRunsAdbOnlyForExistingLocalPaths();
    void installQuotesTheFileNameForThePhoneShell_data();
    void installQuotesTheFileNameForThePhoneShell();
    void installNeedsSuccessInTheOutput_data();
    void installNeedsSuccessInTheOutput();
    void installStopsWhenThePushFails();
    void pushWallpaperSendsTheImageIntent();
    void concurrentCommandsKeepTheirOwnResults();
};

void AdbRunnerTest::cleanup()
{
    ADBRunner::setFinishTimeoutsForTesting(0, 0);
}

void AdbRunnerTest::pathsResolveBesideTheApplicationUnlessOverridden()
{
    QCOMPARE(AdbPaths::platformFolder(), QStringLiteral("linux"));
    QCOMPARE(AdbPaths::resolve(QString(), "/opt/parvix", AdbPaths::adbRelativePath()),
             QStringLiteral("/opt/parvix/third_party/adb/linux/adb"));
    QCOMPARE(AdbPaths::resolve(QString(), "/opt/parvix", AdbPaths::scrcpyServerRelativePath()),
             QStringLiteral("/opt/parvix/third_party/scrcpy-server"));
    QCOMPARE(AdbPaths::resolve("/usr/bin/adb", "/opt/parvix", AdbPaths::adbRelativePath()),
             QStringLiteral("/usr/bin/adb"));
    QCOMPARE(AdbPaths::resolve("tools/adb", "/opt/parvix", AdbPaths::adbRelativePath()),
             QDir::current().absoluteFilePath("tools/adb"));

    if (qEnvironmentVariableIsSet("PARVIX_ADB") || qEnvironmentVariableIsSet("PARVIX_SCRCPY_SERVER"))
        QSKIP("the environment overrides the default locations");
    QCOMPARE(ADBRunner::adbExecutablePath(),
             QCoreApplication::applicationDirPath() + "/third_party/adb/linux/adb");
    QCOMPARE(ADBRunner::scrcpyServerFilePath(),
             QCoreApplication::applicationDirPath() + "/third_party/scrcpy-server");
}

void AdbRunnerTest::executablePathIsComputedOnce()
{
    const QString first = ADBRunner::adbExecutablePath();
    const QByteArray saved = qgetenv("PARVIX_ADB");
    qputenv("PARVIX_ADB", "/somewhere/else/adb");
    const QString second = ADBRunner::adbExecutablePath();
    if (saved.isNull())
        qunsetenv("PARVIX_ADB");
    else
        qputenv("PARVIX_ADB", saved);
    QCOMPARE(second, first);
}

void AdbRunnerTest::missingExecutableFailsEveryOperation()
{
    QTemporaryDir dir;
    ADBRunner::setExecutablePathForTesting(dir.filePath("no-such-adb"));
    const QString output = ADBRunner::runCommand({"devices"});
    QVERIFY2(output.startsWith("[error] failed to start adb: "), qPrintable(output));
    QVERIFY(output.size() > QStringLiteral("[error] failed to start adb: ").size());
    QVERIFY(!ADBRunner::startServer());
    QVERIFY(!ADBRunner::killServer());
    QVERIFY(!ADBRunner::reboot(kSerial));
    QVERIFY(!ADBRunner::forward(kSerial, 7347, 7347));
    QVERIFY(!ADBRunner::connect(kSerial, "192.168.1.7", 5555));
    ADBRunner::setExecutablePathForTesting(QString());
}

void AdbRunnerTest::outputIsTrimmedAndStandardErrorDiscardedOnSuccess()
{
    FakeAdb adb;
    QVERIFY(adb.isValid());
    adb.respond({"version"}, {"  abc\n", 0, "warning: an error on stderr\n", 0, 0});
    QCOMPARE(ADBRunner::runCommand({"version"}), QStringLiteral("abc"));
    QVERIFY(ADBRunner::isSuccess(ADBRunner::runCommand({"version"})));
    adb.respond({"multi"}, "\n line one\nline two  \n\n");
    QCOMPARE(ADBRunner::runCommand({"multi"}), QStringLiteral("line one\nline two"));
}

void AdbRunnerTest::nonZeroExitGivesTheExitCodeText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<QString>("expected");
    QTest::newRow("silent") << 1 << QByteArray() << QByteArray()
                            << "[error] adb command failed (exit code 1): unknown error";
    QTest::newRow("stderr kept untrimmed")
        << 255 << QByteArray("stdout ignored") << QByteArray("  device 'X' not found\n")
        << "[error] adb command failed (exit code 255):   device 'X' not found\n";
    QTest::newRow("utf-8") << 2 << QByteArray() << QByteArray("设备未找到")
                           << QString::fromUtf8("[error] adb command failed (exit code 2): 设备未找到");
}

void AdbRunnerTest::nonZeroExitGivesTheExitCodeText()
{
    QFETCH(int, code);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QFETCH(QString, expected);
    FakeAdb adb;
    adb.respond({"get-state"}, {out, code, err, 0, 0});
    const QString output = ADBRunner::runCommand({"get-state"});
    QCOMPARE(output, expected);
    QVERIFY(!ADBRunner::isSuccess(output));
}

void AdbRunnerTest::crashedAdbIsAFailure()
{
    FakeAdb adb;
    adb.respond({"reboot"}, {"partial output", 0, {}, 0, 9});
    const QString output = ADBRunner::runCommand({"reboot"});
    QVERIFY2(output.startsWith("[error] adb command failed (exit code "), qPrintable(output));
    QVERIFY(output.endsWith("unknown error"));
}

void AdbRunnerTest::slowCommandTimesOutWithItsLimitInSeconds()
{
    FakeAdb adb;
    ADBRunner::setFinishTimeoutsForTesting(1000, 5000);
    adb.respond(onDevice({"shell", "sleep"}), {"too late", 0, {}, 3, 0});
    QCOMPARE(ADBRunner::runCommand(onDevice({"shell", "sleep"})),
             QStringLiteral("[error] adb command timed out after 1 seconds"));
    adb.respond(onDevice({"reboot"}), {"", 0, {}, 3, 0});
    QVERIFY(!ADBRunner::reboot(kSerial));
}

void AdbRunnerTest::pushAndInstallArgumentsGetTheTransferTimeout()
{
    FakeAdb adb;
    QTemporaryDir dir;
    const QString apk = dir.filePath("app.apk");
    QVERIFY(touch(apk));
    ADBRunner::setFinishTimeoutsForTesting(1000, 6000);
    const FakeAdb::Reply slowOk{"1 file pushed", 0, {}, 2, 0};

    adb.respond(onDevice({"push", apk, "/sdcard/app.apk"}), slowOk);
    QVERIFY(ADBRunner::push(kSerial, apk, "/sdcard/app.apk"));
    adb.respond({"install", apk}, slowOk);
    QCOMPARE(ADBRunner::runCommand({"install", apk}), QStringLiteral("1 file pushed"));
    // Whole elements only: a shell command that mentions install keeps the short limit.
    adb.respond(onDevice({"push", apk, "/data/local/tmp/"}), slowOk);
    adb.respond(onDevice({"shell", "pm install -r '/data/local/tmp/app.apk'"}),
                {"Success", 0, {}, 2, 0});
    QVERIFY(!ADBRunner::install(kSerial, apk));
    QCOMPARE(ADBRunner::runCommand(onDevice({"shell", "pm install -r '/data/local/tmp/app.apk'"})),
             QStringLiteral("[error] adb command timed out after 1 seconds"));
    adb.respond({"Push", apk}, slowOk);
    QCOMPARE(ADBRunner::runCommand({"Push", apk}),
             QStringLiteral("[error] adb command timed out after 1 seconds"));
}

void AdbRunnerTest::flagOperationsSendExactArguments_data()
{
    QTest::addColumn<FlagOperation>("operation");
    QTest::addColumn<QStringList>("expected");
    using Op = FlagOperation;
    QTest::newRow("startServer") << Op([] { return ADBRunner::startServer(); })
                                 << QStringList{"start-server"};
    QTest::newRow("killServer") << Op([] { return ADBRunner::killServer(); })
                                << QStringList{"kill-server"};
    QTest::newRow("reboot") << Op([] { return ADBRunner::reboot(kSerial); })
                            << onDevice({"reboot"});
    QTest::newRow("reverse")
        << Op([] { return ADBRunner::reverse(kSerial, "scrcpy_0a1b2c3d", 27183); })
        << onDevice({"reverse", "localabstract:scrcpy_0a1b2c3d", "tcp:27183"});
    QTest::newRow("removeReverse")
        << Op([] { return ADBRunner::removeReverse(kSerial, "scrcpy_0a1b2c3d"); })
        << onDevice({"reverse", "--remove", "localabstract:scrcpy_0a1b2c3d"});
    QTest::newRow("forward") << Op([] { return ADBRunner::forward(kSerial, 17347, 7347); })
                             << onDevice({"forward", "tcp:17347", "tcp:7347"});
    QTest::newRow("tcpip") << Op([] { return ADBRunner::tcpip(kSerial, 5555); })
                           << onDevice({"tcpip", "5555"});
    QTest::newRow("connect") << Op([] { return ADBRunner::connect(kSerial, "192.168.1.7", 5555); })
                             << onDevice({"connect", "192.168.1.7:5555"});
    QTest::newRow("disconnect") << Op([] { return ADBRunner::disconnect(kSerial); })
                                << onDevice({"disconnect"});
    QTest::newRow("usb") << Op([] { return ADBRunner::usb(kSerial); }) << onDevice({"usb"});
}

void AdbRunnerTest::flagOperationsSendExactArguments()
{
    QFETCH(FlagOperation, operation);
    QFETCH(QStringList, expected);
    FakeAdb adb;
    QVERIFY(operation());
    QCOMPARE(adb.calls(), QList<QStringList>{expected});

    adb.respondByDefault({{}, 1, "no devices/emulators found\n", 0, 0});
    QVERIFY(!operation());
}

void AdbRunnerTest::flagOperationsFailOnOutputMentioningError()
{
    FakeAdb adb;
    adb.respondByDefault({"/sdcard/error.txt\n", 0, {}, 0, 0});
    QVERIFY(!ADBRunner::reboot(kSerial));
    QVERIFY(!ADBRunner::usb(kSerial));
    adb.respondByDefault({"Error: upper case is not the rule", 0, {}, 0, 0});
    QVERIFY(ADBRunner::usb(kSerial));

    // connect reads its own words: adb exits 0 when it could not connect.
    const QStringList connectArgs = onDevice({"connect", "10.0.0.2:5555"});
    adb.respond(connectArgs, "connected to 10.0.0.2:5555");
    QVERIFY(ADBRunner::connect(kSerial, "10.0.0.2", 5555));
    adb.respond(connectArgs, "already connected to 10.0.0.2:5555");
    QVERIFY(ADBRunner::connect(kSerial, "10.0.0.2", 5555));
    adb.respond(connectArgs, "failed to connect to '10.0.0.2:5555': Connection refused");
    QVERIFY(!ADBRunner::connect(kSerial, "10.0.0.2", 5555));
    adb.respond(connectArgs, "cannot connect to 10.0.0.2:5555: No route to host");
    QVERIFY(!ADBRunner::connect(kSerial, "10.0.0.2", 5555));
    adb.respond(connectArgs, {{}, 1, {}, 0, 0});
    QVERIFY(!ADBRunner::connect(kSerial, "10.0.0.2", 5555));
    // A time-out is no connection either.
    ADBRunner::setFinishTimeoutsForTesting(500, 500);
    adb.respond(connectArgs, {"connected", 0, {}, 2, 0});
    QVERIFY(!ADBRunner::connect(kSerial, "10.0.0.2", 5555));
}

void AdbRunnerTest::shutdownKillsEmulatorButPowersOffPhone()
{
    const QStringList qemuQuery = onDevice({"shell", "getprop", "ro.kernel.qemu"});
    {
        FakeAdb adb;
        adb.respond(qemuQuery, "1\n");
        QVERIFY(ADBRunner::shutdown(kSerial));
        QCOMPARE(adb.calls(), (QList<QStringList>{qemuQuery, onDevice({"emu", "kill"})}));
        adb.respond(onDevice({"emu", "kill"}), {{}, 1, "error: not an emulator", 0, 0});
        QVERIFY(!ADBRunner::shutdown(kSerial));
    }
    for (const QByteArray &answer : {QByteArray(""), QByteArray("0"), QByteArray("11")}) {
        FakeAdb adb;
        adb.respond(qemuQuery, answer);
        QVERIFY(ADBRunner::shutdown(kSerial));
        QCOMPARE(adb.calls(), (QList<QStringList>{qemuQuery, onDevice({"shell", "reboot", "-p"})}));
    }
}

void AdbRunnerTest::restartServerStartsOnlyAfterSuccessfulKill()
{
    FakeAdb adb;
    adb.respond({"kill-server"}, {{}, 1, {}, 0, 0});
    QVERIFY(!ADBRunner::restartServer());
    QCOMPARE(adb.calls(), QList<QStringList>{{"kill-server"}});

    adb.clearCalls();
    adb.respond({"kill-server"}, "");
    adb.respond({"start-server"}, {{}, 1, "could not bind", 0, 0});
    QVERIFY(!ADBRunner::restartServer());
    QCOMPARE(adb.calls(), (QList<QStringList>{{"kill-server"}, {"start-server"}}));

    adb.respond({"start-server"}, "");
    QVERIFY(ADBRunner::restartServer());
}

void AdbRunnerTest::pushRunsAdbOnlyForExistingLocalPaths()
{
    FakeAdb adb;
    QTemporaryDir dir;
    QVERIFY(!ADBRunner::push(kSerial, dir.filePath("missing.bin"), "/sdcard/"));
    QVERIFY(!ADBRunner::push(kSerial, QString(), "/sdcard/"));
    QVERIFY(adb.calls().isEmpty());

    const QString file = dir.filePath("data file.bin");
    QVERIFY(touch(file));
    QVERIFY(ADBRunner::push(kSerial, file, "/sdcard/Download/"));
    QVERIFY(ADBRunner::push(kSerial, dir.path(), "/sdcard/folder"));
    QCOMPARE(adb.calls(), (QList<QStringList>{onDevice({"push", file, "/sdcard/Download/"}),
                                              onDevice({"push", dir.path(), "/sdcard/folder"})}));
}

void AdbRunnerTest::installQuotesTheFileNameForThePhoneShell_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("plain") << "app.apk";
    QTest::newRow("space") << "my app.apk";
    QTest::newRow("semicolon") << "a;touch pwned.apk";
    QTest::newRow("substitution") << "$(touch pwned).apk";
    QTest::newRow("backticks") << "`touch pwned`.apk";
    QTest::newRow("single quote") << "it's.apk";
    QTest::newRow("quotes and glob") << "'\"*?\\ x'.apk";
}

void AdbRunnerTest::installQuotesTheFileNameForThePhoneShell()
{
    QFETCH(QString, fileName);
    QTemporaryDir dir;
    const QString apk = dir.filePath(fileName);
    QVERIFY(touch(apk));
    FakeAdb adb;
    adb.respondByDefault({"Performing Streamed Install\nSuccess\n", 0, {}, 0, 0});

    QVERIFY(ADBRunner::install(kSerial, apk));
    const QList<QStringList> calls = adb.calls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls.at(0), onDevice({"push", apk, "/data/local/tmp/"}));
    QCOMPARE(calls.at(1).mid(0, 3), onDevice({"shell"}));
    QCOMPARE(calls.at(1).size(), 4);

    QTemporaryDir shellDir;
    QCOMPARE(shellWords(calls.at(1).at(3), shellDir.path()), "</data/local/tmp/" + fileName + ">");
    QVERIFY(!QFile::exists(shellDir.filePath("pwned")));
}

void AdbRunnerTest::installNeedsSuccessInTheOutput_data()
{
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("installed");
    QTest::newRow("success") << QByteArray("Success") << 0 << true;
    QTest::newRow("streamed") << QByteArray("Performing Streamed Install\r\nSuccess\r\n") << 0
                              << true;
    QTest::newRow("failure without the word error")
        << QByteArray("Failure [INSTALL_FAILED_VERSION_DOWNGRADE]") << 0 << false;
    QTest::newRow("empty") << QByteArray() << 0 << false;
    QTest::newRow("success mentioning error") << QByteArray("Success\nerror: stale session") << 0
                                              << false;
    QTest::newRow("exit code") << QByteArray("Success") << 1 << false;
}

void AdbRunnerTest::installNeedsSuccessInTheOutput()
{
    QFETCH(QByteArray, out);
    QFETCH(int, code);
    QFETCH(bool, installed);
    QTemporaryDir dir;
    const QString apk = dir.filePath("app.apk");
    QVERIFY(touch(apk));
    FakeAdb adb;
    adb.respond(onDevice({"shell", "pm install -r '/data/local/tmp/app.apk'"}), {out, code, {}, 0, 0});
    QCOMPARE(ADBRunner::install(kSerial, apk), installed);
}

void AdbRunnerTest::installStopsWhenThePushFails()
{
    QTemporaryDir dir;
    FakeAdb adb;
    adb.respondByDefault({"Success", 0, {}, 0, 0});
    // A stale copy on the phone must not be installed in place of a missing file.
    QVERIFY(!ADBRunner::install(kSerial, dir.filePath("missing.apk")));
    QVERIFY(adb.calls().isEmpty());

    const QString apk = dir.filePath("app.apk");
    QVERIFY(touch(apk));
    adb.respond(onDevice({"push", apk, "/data/local/tmp/"}), {{}, 1, "error: no space left", 0, 0});
    QVERIFY(!ADBRunner::install(kSerial, apk));
    QCOMPARE(adb.calls().size(), 1);
}

void AdbRunnerTest::pushWallpaperSendsTheImageIntent()
{
    QTemporaryDir dir;
    FakeAdb adb;
    QVERIFY(!ADBRunner::pushWallpaper(kSerial, dir.filePath("missing.png")));
    QVERIFY(adb.calls().isEmpty());

    const QString image = dir.filePath("nick.png");
    QVERIFY(touch(image));
    const QStringList pushArgs = onDevice({"push", image, "/data/local/tmp/wallpaper_phonefleet.png"});
    const QStringList intent = onDevice(
        {"shell", "am", "start", "-a", "android.intent.action.ATTACH_DATA", "-c",
         "android.intent.category.DEFAULT", "-d", "file:///data/local/tmp/wallpaper_phonefleet.png",
         "-t", "image/*", "--grant-read-uri-permission"});
    adb.respond(intent, {{}, 1, "Error: Activity not started", 0, 0});
    QVERIFY(ADBRunner::pushWallpaper(kSerial, image)); // the intent's outcome is not consulted
    QCOMPARE(adb.calls(), (QList<QStringList>{pushArgs, intent}));

    adb.clearCalls();
    adb.respond(pushArgs, {{}, 1, {}, 0, 0});
    QVERIFY(!ADBRunner::pushWallpaper(kSerial, image));
    QCOMPARE(adb.calls(), QList<QStringList>{pushArgs});
}

void AdbRunnerTest::concurrentCommandsKeepTheirOwnResults()
{
    FakeAdb adb;
    constexpr int kCalls = 16;
    QList<int> ids;
    for (int i = 0; i < kCalls; ++i) {
        ids << i;
        adb.respond({"echo", QString::number(i)}, {"result " + QByteArray::number(i), 0, {}, 0.2, 0});
    }
    const QStringList results = QtConcurrent::blockingMapped<QStringList>(
        ids, [](int i) { return ADBRunner::runCommand({"echo", QString::number(i)}); });
    for (int i = 0; i < kCalls; ++i)
        QCOMPARE(results.at(i), QStringLiteral("result %1").arg(i));
    QCOMPARE(adb.calls().size(), kCalls);
}

PARVIX_TEST(AdbRunnerTest)
#include "tst_adbrunner.moc"
