// ADBRunner against Debian's adb, on a private server port so that no other adb server on this
// machine is disturbed.
#include "adbrunner.h"
#include "testregistry.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QtTest>

class RealAdbTest : public QObject
{
    Q_OBJECT

private slots:
    void serverStartsListsAndStops()
    {
        QString adb;
        for (const char *candidate : {"/usr/lib/android-sdk/platform-tools/adb", "/usr/bin/adb"}) {
            if (adb.isEmpty() && QFileInfo(candidate).isExecutable())
                adb = candidate;
        }
        if (adb.isEmpty())
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
            for (const ADBDeviceInfo &device : ADBRunner::getDevices())
                QVERIFY(!device.adb_serial.isEmpty());
        } catch (const std::runtime_error &error) {
            QFAIL(error.what());
        }
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
