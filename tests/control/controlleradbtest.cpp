// The controller's adb jobs: install, upload, reboot, power-off and the nickname wallpaper,
// against a scripted adb.
#include "adblane.h"
#include "adbrunner.h"
#include "controller.h"
#include "controlwire.h"
#include "device.h"
#include "fakeadb.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QImageReader>
#include <QtTest>
#include <memory>

class ControllerAdbTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeAdb> m_adb;
    QTemporaryDir m_files;

    QString writeFile(const QString &name, const QByteArray &content)
    {
        return TestSupport::writeFile(m_files.filePath(name), content);
    }

    static QString desktop()
    {
        return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    }

private slots:
    void initTestCase()
    {
        m_adb = std::make_unique<FakeAdb>();
        m_adb->respondMatching("*'pm install'*", {"Success\n"});
        m_adb->respondMatching("*broken*", FakeAdb::failure("error: device 'broken' not found\n"));
        QVERIFY(QDir().mkpath(desktop()));
    }
    void cleanupTestCase() { m_adb.reset(); }
    void init() { m_adb->clearCalls(); }

    void installReportsProgressThenOutcome()
    {
        Device device(nullptr, "apk-phone");
        ControlLink link;
        auto *controller = new Controller(&device, link.hostSocket());
        QSignalSpy said(&device, &Device::deviceMessage);
        const QString apk = writeFile("game.apk", "PK fake apk");
        controller->installApk(apk);
        QCOMPARE(said, (QList<QVariantList>{{"Installing APK", "info", 100000}}));
        QTRY_COMPARE(said.count(), 2);
        QCOMPARE(said.at(1), QVariantList({"APK installed", "success", 2000}));
        QCOMPARE(m_adb->calls(),
                 (QList<QStringList>{
                     {"-s", "apk-phone", "push", apk, "/data/local/tmp/"},
                     {"-s", "apk-phone", "shell", "pm install -r '/data/local/tmp/game.apk'"}}));
        QVERIFY(link.settle(20).isEmpty()); // the job never touched the control connection

        // A failure stays long on screen.
        Device broken(nullptr, "broken-apk-phone");
        QSignalSpy failed(&broken, &Device::deviceMessage);
        (new Controller(&broken, nullptr))->installApk(writeFile("bad.apk", "x"));
        QTRY_COMPARE(failed.count(), 2);
        QCOMPARE(failed.at(1), QVariantList({"APK installation failed", "error", 100000}));
    }

    void uploadGoesToDownloads()
    {
        Device device(nullptr, "upload-phone");
        auto *controller = new Controller(&device, nullptr);
        QSignalSpy said(&device, &Device::deviceMessage);
        controller->uploadFile(m_files.filePath("not-there.txt"));
        QTRY_COMPARE(said, (QList<QVariantList>{{"File upload failed", "error", 5000}}));
        QVERIFY(m_adb->calls().isEmpty());
        const QString file = writeFile(QString::fromUtf8("报告 2024.txt"), "report");
        controller->uploadFile(file);
        QTRY_COMPARE(said.count(), 2);
        QCOMPARE(said.at(1), QVariantList({"File uploaded", "success", 2000}));
        QCOMPARE(m_adb->calls(),
                 (QList<QStringList>{{"-s", "upload-phone", "push", file, "/sdcard/Download"}}));
    }

    void jobsRunSideBySideAndOutliveTheSession()
    {
        Device device(nullptr, "busy-phone");
        auto *controller = new Controller(&device, nullptr);
        QSignalSpy said(&device, &Device::deviceMessage);
        QStringList parts;
        for (int i = 0; i < 4; ++i) {
            parts << writeFile(QString("part%1.bin").arg(i), QByteArray(i + 1, 'a'));
            controller->uploadFile(parts.last());
        }
        controller->installApk(writeFile("late.apk", "x"));
        delete controller; // mirroring stopped while adb was still busy
        QTRY_COMPARE(said.count(), 6);
        QStringList texts;
        for (const QVariantList &call : said)
            texts << call.at(0).toString();
        QCOMPARE(texts.count("File uploaded"), 4);
        QVERIFY(texts.contains("APK installed"));
        for (const QString &part : parts) // each job pushed its own file
            QCOMPARE(m_adb->callsWith({"push", part}).size(), 1);
    }

    void rebootAndPowerOff()
    {
        Device device(nullptr, "power-phone");
        auto *controller = new Controller(&device, nullptr);
        controller->actionReboot();
        controller->actionShutdown();
        // On the phone's adb lane, in the order asked for; the caller does not wait.
        QVERIFY(AdbLane::waitForIdle("power-phone", 10000));
        QCOMPARE(m_adb->calls(),
                 (QList<QStringList>{{"-s", "power-phone", "reboot"},
                                     {"-s", "power-phone", "shell", "getprop", "ro.kernel.qemu"},
                                     {"-s", "power-phone", "shell", "reboot", "-p"}}));
        // Made from QML without a phone: nothing runs, and an upload says why.
        Controller loose;
        QSignalSpy told(&loose, &Controller::userMessage);
        loose.actionReboot();
        loose.uploadFile("x");
        QCOMPARE(told.count(), 1);
    }

    void wallpaperShowsTheNicknameInYellow()
    {
        Device device(nullptr, "wall-phone");
        auto *controller = new Controller(&device, nullptr);
        const QString path = desktop() + "/wallpaper_Phone 7.png";
        QFile::remove(path);
        controller->setWallpaper("Phone 7", 1080, 2400);
        QVERIFY(!QFileInfo::exists(path)); // drawn off the GUI thread
        ADBRunner::workPool()->waitForDone();
        QImage image(path);
        QCOMPARE(image.size(), QSize(1080, 2400));
        QCOMPARE(QImageReader(path).format(), QByteArray("png"));
        int top = -1, left = image.width(), right = -1;
        bool onlyBlackOrYellow = true;
        for (int y = 0; y < image.height(); ++y) {
            const QRgb *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = QColor::fromRgb(row[x]);
                if (c.red() == 0 && c.green() == 0 && c.blue() == 0)
                    continue;
                // Ink is yellow, possibly antialiased towards black.
                onlyBlackOrYellow =
                    onlyBlackOrYellow && c.blue() < 40 && std::abs(c.red() - c.green()) < 40;
                if (top < 0)
                    top = y;
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        // A big bold text, not a speck, centred near the top.
        QVERIFY2(onlyBlackOrYellow && top >= 150 && top < 260 &&
                     std::abs((left + right) / 2 - 540) <= 12 && right - left > 200,
                 qPrintable(QString("ink from %1 to %2 below %3").arg(left).arg(right).arg(top)));
        ADBRunner::workPool()->waitForDone(); // the push runs off the GUI thread
        const QList<QStringList> calls = m_adb->calls();
        QCOMPARE(calls.value(0), QStringList({"-s", "wall-phone", "push", path,
                                              "/data/local/tmp/wallpaper_phonefleet.png"}));
        QVERIFY(calls.value(1).join(' ').contains("am start -a android.intent.action.ATTACH_DATA"));

        m_adb->clearCalls(); // an unknown screen size pushes nothing, not the earlier file
        controller->setWallpaper("Phone 7", -1, -1);
        ADBRunner::workPool()->waitForDone();
        QVERIFY(m_adb->calls().isEmpty());
        controller->setWallpaper("Phone 7", 12000, 6000); // the phone's size is not trusted
        ADBRunner::workPool()->waitForDone();
        QCOMPARE(QImage(path).size(), QSize(4096, 2048));

        m_adb->clearCalls();
        // The name rule's cases are MediaRecorderTest's; here only that the wallpaper obeys it.
        const QString fileName = "wallpaper_..-..-escape-x.png";
        controller->setWallpaper("../../escape/x", 64, 64);
        ADBRunner::workPool()->waitForDone(); // the push runs off the GUI thread
        QVERIFY(QFileInfo::exists(desktop() + "/" + fileName));
        QVERIFY(m_adb->calls().value(0).contains(desktop() + "/" + fileName));
        QVERIFY(!QFileInfo::exists(desktop() + "/../../escape"));

        controller->setWallpaper(QString(300, QChar(0x957F)), 32, 32); // 900 bytes of UTF-8
        ADBRunner::workPool()->waitForDone();
        const QStringList files = QDir(desktop()).entryList({"wallpaper_长*"}, QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY(files.at(0).toUtf8().size() <= 255 && files.at(0).endsWith(".png"));
    }
};

PARVIX_TEST(ControllerAdbTest)
#include "controlleradbtest.moc"
