// Success is adb's exit code: serials, file names and models that contain "error" pass, and
// failures are still failures — against the scripted fake, the virtual phone and Debian's adb.
#include "adbrunner.h"
#include "fakeadb.h"
#include "testregistry.h"
#include "testsupport.h"
#include "virtualfleet.h"

#include <QtTest>
#include <functional>

using Operation = std::function<bool(const QString &serial, const QString &file)>;
Q_DECLARE_METATYPE(Operation)

class AdbSuccessRuleTest : public QObject
{
    Q_OBJECT

private slots:
    // The flag operations' own rows are in AdbRunnerTest.
    void wordsInTheOutputDoNotDecide_data()
    {
        QTest::addColumn<Operation>("operation");
        using Op = Operation;
        QTest::newRow("push") << Op([](const QString &serial, const QString &file) {
            return ADBRunner::push(serial, file, "/sdcard/Download");
        });
        QTest::newRow("install") << Op([](const QString &serial, const QString &file) {
            return ADBRunner::install(serial, file);
        });
        QTest::newRow("shutdown") << Op(
            [](const QString &serial, const QString &) { return ADBRunner::shutdown(serial); });
        QTest::newRow("connect") << Op([](const QString &serial, const QString &) {
            return ADBRunner::connect(serial, "10.0.0.7", 5555);
        });
    }

    void wordsInTheOutputDoNotDecide()
    {
        QFETCH(Operation, operation);
        QTemporaryDir dir;
        const QString file = dir.filePath("error-log.apk");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write("x") == 1);
        out.close();
        const QString serial = QStringLiteral("terror-0042");

        FakeAdb adb;
        // What adb prints on success, with the serial and file name in it.
        adb.respondByDefault({"error-log.apk: 1 file pushed, 0 skipped. (error free)\n"
                              "Success\nconnected to 10.0.0.7:5555\n",
                              0, "warning: error ignored\n", 0, 0});
        QVERIFY(operation(serial, file));
        adb.respondByDefault(
            {"Success\nconnected to 10.0.0.7:5555\n", 1, "adb: error: closed\n", 0, 0});
        QVERIFY(!operation(serial, file));
        adb.respondByDefault({{}, 255, {}, 0, 0});
        QVERIFY(!operation(serial, file));
    }

    // The virtual phone answers with adb's texts and exit codes.
    void virtualPhoneWithErrorInItsNames()
    {
        VirtualFleet fleet(TestSupport::phonesimPath(), {});
        if (!fleet.isValid())
            QSKIP(qPrintable(fleet.errorString()));
        const QString serial = fleet.serials().first();
        QVERIFY(fleet.setPhoneOption(0, "model", "Terror_X"));

        QList<ADBDeviceInfo> listed;
        try {
            listed = ADBRunner::getDevices();
        } catch (const std::exception &failure) {
            QFAIL(failure.what());
        }
        QCOMPARE(listed.size(), 1);
        QCOMPARE(listed.first().adb_serial, serial);
        QCOMPARE(listed.first().model, QStringLiteral("Terror_X"));

        QTemporaryDir dir;
        const QString log = dir.filePath("error-log.txt");
        QFile out(log);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write("no errors today\n") > 0);
        out.close();
        QVERIFY(ADBRunner::push(serial, log, "/sdcard/Download"));
        QFile pushed(fleet.home() + "/" + serial + "/fs/sdcard/Download/error-log.txt");
        QVERIFY(pushed.open(QIODevice::ReadOnly));
        QCOMPARE(pushed.readAll(), QByteArray("no errors today\n"));
        QVERIFY(!ADBRunner::push(serial, log, "/system/error-log.txt")); // read-only there
        QVERIFY(!ADBRunner::push("no-such-phone", log, "/sdcard/Download"));

        // Shell commands that print a line with "error" and end well.
        QVERIFY(fleet.setPhoneOption(0, "faults", QJsonObject{{"shellPrintsError", true}}));
        const QString apk = dir.filePath("error-report.apk");
        QVERIFY(QFile::copy(log, apk));
        QVERIFY(ADBRunner::install(serial, apk));
        QVERIFY(ADBRunner::shutdown(serial));
    }
};

PARVIX_TEST(AdbSuccessRuleTest)
#include "successruletest.moc"
