// ADBRunner against Debian's adb, on a private server port so that no other
// adb server on this machine is disturbed.
#include "adbrunner.h"
#include "testregistry.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QtTest>

class RealAdbTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void serverStartsListsAndStops();

private:
    QByteArray m_savedPort;
};

void RealAdbTest::initTestCase()
{
    QString adb;
    for (const char *candidate : {"/usr/lib/android-sdk/platform-tools/adb", "/usr/bin/adb"}) {
        if (QFileInfo(candidate).isExecutable()) {
            adb = candidate;
            break;
        }
    }
    if (adb.isEmpty())
        QSKIP("adb is not installed");
    ADBRunner::setExecutablePathForTesting(adb);
    m_savedPort = qgetenv("ANDROID_ADB_SERVER_PORT");
    const int port = 20000 + int(QRandomGenerator::global()->bounded(20000));
    qputenv("ANDROID_ADB_SERVER_PORT", QByteArray::number(port));
}

void RealAdbTest::cleanupTestCase()
{
    ADBRunner::killServer();
    ADBRunner::setExecutablePathForTesting(QString());
    if (m_savedPort.isNull())
        qunsetenv("ANDROID_ADB_SERVER_PORT");
    else
        qputenv("ANDROID_ADB_SERVER_PORT", m_savedPort);
}

void RealAdbTest::serverStartsListsAndStops()
{
    QVERIFY(ADBRunner::startServer());
    const QString listing = ADBRunner::runCommand({"devices", "-l"});
    QVERIFY2(listing.startsWith("List of devices attached"), qPrintable(listing));

    QList<ADBDeviceInfo> devices;
    try {
        devices = ADBRunner::getDevices();
    } catch (const std::runtime_error &error) {
        QFAIL(error.what());
    }
    for (const ADBDeviceInfo &device : devices)
        QVERIFY(!device.adb_serial.isEmpty());

    QVERIFY(ADBRunner::killServer());
    QVERIFY(ADBRunner::restartServer());
    QVERIFY(ADBRunner::killServer());
    // With the server gone, a device command fails with adb's own words.
    const QString noDevice = ADBRunner::runCommand({"-s", "no-such-phone", "get-state"});
    QVERIFY2(noDevice.startsWith("[error] adb command failed (exit code "), qPrintable(noDevice));
    ADBRunner::killServer();
}

PARVIX_TEST(RealAdbTest)
#include "tst_realadb.moc"
