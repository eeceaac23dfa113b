// ADBRunner against Debian's adb, on a private server port so that no other adb server on this
// machine is disturbed: failures come as exit codes, except connect's.
#include "adbrunner.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

class RealAdbTest : public QObject
{
    Q_OBJECT

private slots:
    void serverListsStopsAndFailuresComeAsExitCodes()
    {
        QString adb = "/usr/lib/android-sdk/platform-tools/adb";
        if (!QFileInfo(adb).isExecutable())
            adb = "/usr/bin/adb";
        if (!QFileInfo(adb).isExecutable())
            QSKIP("adb is not installed");
        const QByteArray savedPort = qgetenv("ANDROID_ADB_SERVER_PORT");
        qputenv("ANDROID_ADB_SERVER_PORT",
                QByteArray::number(20000 + QRandomGenerator::global()->bounded(20000)));
        ADBRunner::setExecutablePathForTesting(adb);
        const auto restore = qScopeGuard([&] {
            ADBRunner::killServer();
            ADBRunner::setExecutablePathForTesting(QString());
            savedPort.isNull() ? qunsetenv("ANDROID_ADB_SERVER_PORT")
                               : qputenv("ANDROID_ADB_SERVER_PORT", savedPort);
        });

        QVERIFY(ADBRunner::startServer());
        try {
            QVERIFY(ADBRunner::getDevices().isEmpty());
        } catch (const std::exception &failure) {
            QFAIL(failure.what());
        }
        QTemporaryDir dir;
        const QString log = TestSupport::writeFile(dir.filePath("error-log.txt"), "x");
        QVERIFY(!ADBRunner::push("no-such-phone", log, "/sdcard/"));
        QVERIFY(!ADBRunner::forward("no-such-phone", 17347, 7347));
        QVERIFY(!ADBRunner::reverse("no-such-phone", "scrcpy_1", 27183));
        QVERIFY(!ADBRunner::tcpip("no-such-phone", 5555));
        QVERIFY(!ADBRunner::reboot("no-such-phone"));

        // A port nobody listens on: adb says "failed to connect" and exits with 0.
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        const ADBRunner::Outcome refused =
            ADBRunner::run({"connect", QStringLiteral("127.0.0.1:%1").arg(port)});
        QVERIFY2(refused.succeeded && refused.output.contains("failed to connect"),
                 qPrintable(refused.output));
        QVERIFY(!ADBRunner::connect("no-such-phone", "127.0.0.1", port));

        QVERIFY(ADBRunner::restartServer());
        QVERIFY(ADBRunner::killServer());
        // With the server gone, a device command fails with adb's own words.
        const QString noDevice = ADBRunner::runCommand({"-s", "no-such-phone", "get-state"});
        QVERIFY2(noDevice.startsWith("[error] adb command failed (exit code "),
                 qPrintable(noDevice));
    }
};

PARVIX_TEST(RealAdbTest)
#include "realadbtest.moc"
