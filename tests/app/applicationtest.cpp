// The main scene must load (a failing one ends the process); a stop quits and ends adb's server.
#include "testregistry.h"
#include "testsupport.h"

#include <QtTest>
#include <csignal>

class ApplicationTest : public QObject
{
    Q_OBJECT

private slots:
    // SIGINT and SIGTERM share one handler. kill-server takes 60 s: quitting does not wait.
    void stopRequestQuitsCleanlyDespiteASlowAdb()
    {
        const QString app = QStringLiteral(PARVIX_BINARY_DIR) + "/parvix";
        const QString phonesim = TestSupport::phonesimPath();
        if (!QFile::exists(app) || phonesim.isEmpty())
            QSKIP("the application or the virtual phone is not built");
        QTemporaryDir fleet;
        QCOMPARE(QProcess::execute(phonesim, {"init", "--home", fleet.path(), "--phones", "1"}), 0);

        qputenv("PHONESIM_HOME", fleet.path().toUtf8()); // the application inherits both
        const QByteArray script = "#!/bin/sh\n'" + phonesim.toUtf8() +
                                  "' \"$@\"\n[ \"$1\" != kill-server ] || exec sleep 60\n";
        const QString adb = TestSupport::writeFile(fleet.filePath("adb"), script);
        QVERIFY(QFile::setPermissions(adb, QFile::ExeOwner | QFile::ReadOwner));
        qputenv("PARVIX_ADB", adb.toUtf8());
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(app, {});
        QVERIFY(process.waitForStarted());
        QVERIFY(!process.waitForFinished(4000)); // a failing scene ends it within this time
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(15000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(TestSupport::readFile(fleet.filePath("adb.log")).contains("\"kill-server\""),
                 "adb kill-server did not run");
    }
};

PARVIX_TEST(ApplicationTest)
#include "applicationtest.moc"
