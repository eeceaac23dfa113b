// End to end: a real mirroring session with a virtual phone; what the controller and the
// AutoJS client send must arrive at the phone and act there.
#include "autojs.h"
#include "controller.h"
#include "device.h"
#include "keymapping.h"
#include "testregistry.h"
#include "testsupport.h"

#include "adbrunner.h"

#include <QtTest>

#include <memory>

namespace {
QList<QJsonObject> readJsonLines(const QString &path)
{
    QList<QJsonObject> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    }
    return lines;
}
} // namespace

class ControlSessionTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_fleet;
    QString m_serial;
    std::unique_ptr<Device> m_device;
    QTemporaryDir m_files;
    int m_seen = 0; // control log lines already looked at

    QString phoneDir() const { return m_fleet.filePath(m_serial); }
    QList<QJsonObject> controlLog() const { return readJsonLines(phoneDir() + "/control.jsonl"); }
    // The lines logged since the last call, once at least count of them are there.
    QList<QJsonObject> newLines(int count)
    {
        QList<QJsonObject> lines;
        const bool arrived = QTest::qWaitFor(
            [&] {
                lines = controlLog().mid(m_seen);
                return lines.size() >= count;
            },
            10000);
        if (arrived)
            m_seen += int(lines.size());
        return lines;
    }
    Controller *controller() const { return m_device->controller(); }

    QString writeFile(const QString &name, const QByteArray &content)
    {
        QFile file(m_files.filePath(name));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(content);
        return file.fileName();
    }

private slots:
    void initTestCase()
    {
        const QString phonesim = TestSupport::phonesimPath();
        if (phonesim.isEmpty())
            QSKIP("the virtual phone is not built");
        QProcess init;
        init.start(phonesim,
                   {"init", "--home", m_fleet.path(), "--phones", "1", "--size", "1080x2400"});
        QVERIFY(init.waitForFinished(30000));
        QCOMPARE(init.exitCode(), 0);
        m_serial = QString::fromUtf8(init.readAllStandardOutput()).section('\t', 0, 0);
        QVERIFY(!m_serial.isEmpty());
        qputenv("PHONESIM_HOME", m_fleet.path().toUtf8());
        qputenv("PARVIX_SCRCPY_SERVER", m_fleet.filePath("scrcpy-server").toUtf8());
        ADBRunner::setExecutablePathForTesting(phonesim);

        m_device = std::make_unique<Device>(nullptr, nullptr, m_serial);
        m_device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(m_device->controller() != nullptr, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(m_device->frameSize().isValid(), 20000);
        m_seen = int(controlLog().size());
    }

    void init()
    {
        // A session that ended would take the controller with it.
        QVERIFY(m_device && m_device->controller());
    }

    void cleanupTestCase()
    {
        if (m_device)
            m_device->stopScrcpySession();
        m_device.reset();
        if (!m_serial.isEmpty())
            ADBRunner::runCommand({"kill-server"});
        ADBRunner::setExecutablePathForTesting(QString());
    }

    void touchLandsOnThePhonesScreen()
    {
        const QSize frame = m_device->frameSize();
        m_device->setShowSize(frame / 2);
        controller()->handleMouseEvent(2, 20, 40, 1, 1);
        controller()->handleMouseEvent(5, 30, 60, 0, 1);
        controller()->handleMouseEvent(3, 30, 60, 1, 0);
        const QList<QJsonObject> lines = newLines(3);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0).value("type").toString(), "inject_touch_event");
        QCOMPARE(lines.at(0).value("action").toInt(), 0);
        QCOMPARE(lines.at(0).value("pointerId").toDouble(), -2.0);
        QCOMPARE(lines.at(0).value("x").toInt(), 40);
        QCOMPARE(lines.at(0).value("y").toInt(), 80);
        QCOMPARE(lines.at(0).value("pressure").toDouble(), 1.0);
        QCOMPARE(lines.at(1).value("action").toInt(), 2);
        QCOMPARE(lines.at(2).value("action").toInt(), 1);
        for (const QJsonObject &line : lines) {
            QCOMPARE(line.value("screenWidth").toInt(), frame.width());
            QCOMPARE(line.value("screenHeight").toInt(), frame.height());
            QVERIFY(!line.value("dropped").toBool());
        }
    }

    void keysTextAndSwipe()
    {
        m_device->setShowSize(QSize(300, 600));
        controller()->actionHome();
        controller()->handleKeyEvent(6, Qt::Key_A, Qt::ShiftModifier, "A");
        controller()->handleKeyEvent(7, Qt::Key_A, Qt::ShiftModifier, "A");
        const QString text = QString::fromUtf8("群控 ✓ phonesim");
        controller()->actionInputText(text);
        controller()->actionSwipeUp();
        const QList<QJsonObject> lines = newLines(4 + 1 + 7);
        QCOMPARE(lines.size(), 12);
        QCOMPARE(lines.at(0).value("keycode").toInt(), 3);
        QCOMPARE(lines.at(1).value("action").toInt(), 1);
        QCOMPARE(lines.at(2).value("keycode").toInt(), 29);
        QCOMPARE(lines.at(2).value("metaState").toInt(), 1);
        QCOMPARE(lines.at(4).value("type").toString(), "set_clipboard");
        QCOMPARE(lines.at(4).value("text").toString(), text);
        QVERIFY(lines.at(4).value("pasted").toBool());
        for (int i = 5; i < 12; ++i) {
            QCOMPARE(lines.at(i).value("type").toString(), "inject_touch_event");
            QVERIFY(!lines.at(i).value("dropped").toBool());
        }
        QCOMPARE(lines.at(11).value("action").toInt(), 1);
    }

    void mappedSwipeFromAProfile()
    {
        QTemporaryDir dir;
        KeyMapping store(dir.filePath("keymappings.json"));
        QVERIFY(store.addProfile("Game"));
        KeyMappingProfile *game = store.getProfile("Game");
        QVERIFY(game->addSwipeMapping(Qt::Key_W, 0, "W", 0.5, 0.8, 0.5, 0.2, 160));
        m_device->setCurrentKeyMappingProfile(game);
        m_device->setShowSize(m_device->frameSize());
        controller()->handleKeyEvent(6, Qt::Key_W, 0, "w");
        QTest::qWait(300);
        controller()->handleKeyEvent(7, Qt::Key_W, 0, "w");
        const QList<QJsonObject> lines = newLines(1 + 10 + 1);
        QCOMPARE(lines.size(), 12);
        const QSize frame = m_device->frameSize();
        QCOMPARE(lines.first().value("y").toInt(), int(frame.height() * 0.8));
        QCOMPARE(lines.last().value("action").toInt(), 1);
        QCOMPARE(lines.last().value("y").toInt(), int(frame.height() * 0.2f));
        for (const QJsonObject &line : lines)
            QCOMPARE(line.value("pointerId").toInt(), lines.first().value("pointerId").toInt());
        m_device->setCurrentKeyMappingProfile(nullptr);
    }

    void rotationChangesTheSizeTouchesUse()
    {
        const QSize before = m_device->frameSize();
        controller()->actionRotateScreen();
        QTRY_VERIFY_WITH_TIMEOUT(m_device->frameSize() == before.transposed(), 10000);
        m_device->setShowSize(m_device->frameSize());
        controller()->handleMouseEvent(2, 5, 5, 1, 1);
        controller()->handleMouseEvent(3, 5, 5, 1, 0);
        QList<QJsonObject> lines = newLines(3);
        QCOMPARE(lines.at(0).value("type").toString(), "rotate_device");
        QCOMPARE(lines.at(1).value("screenWidth").toInt(), before.height());
        QVERIFY(!lines.at(1).value("dropped").toBool());

        controller()->actionRotateScreen();
        QTRY_VERIFY_WITH_TIMEOUT(m_device->frameSize() == before, 10000);
        controller()->resetVideo();
        lines = newLines(2);
        QCOMPARE(lines.at(1).value("type").toString(), "reset_video");
    }

    void groupSendArrivesLaterInOrder()
    {
        controller()->setClickDelayMilliSeconds(400);
        for (int keycode : {7, 8, 9}) {
            ControlMsg msg(ControlMsg::InjectKeycode);
            msg.setInjectKeycode(0, keycode, 0, 0);
            controller()->groupSend(msg);
        }
        const qint64 givenAt = QDateTime::currentMSecsSinceEpoch();
        const QList<QJsonObject> lines = newLines(3);
        controller()->setClickDelayMilliSeconds(0);
        QCOMPARE(lines.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(lines.at(i).value("keycode").toInt(), 7 + i);
        QVERIFY(lines.at(0).value("timeMs").toDouble() - givenAt >= 350);
    }

    void longChineseTextKeepsTheSessionAlive()
    {
        // Far beyond what one message may carry once encoded.
        const QString text = QString(262130, QChar(0x4E2D));
        controller()->actionInputText(text);
        controller()->actionBack();
        const QList<QJsonObject> lines = newLines(3);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0).value("type").toString(), "set_clipboard");
        QCOMPARE(lines.at(0).value("length").toInt(), 87376 * 3);
        QCOMPARE(lines.at(0).value("text").toString(), text.left(87376));
        QCOMPARE(lines.at(1).value("keycode").toInt(), 4);
        QVERIFY(m_device->running());
    }

    void installAndUploadReachThePhone()
    {
        QSignalSpy said(m_device.get(), &Device::deviceMessage);
        controller()->installApk(writeFile("tool.apk", "PK apk bytes"));
        controller()->uploadFile(writeFile(QString::fromUtf8("清单.txt"), "list"));
        QTRY_COMPARE_WITH_TIMEOUT(said.count(), 3, 20000);
        QStringList texts;
        for (const QVariantList &call : said)
            texts << call.at(0).toString();
        QVERIFY(texts.contains("APK installed"));
        QVERIFY(texts.contains("File uploaded"));
        QFile apk(phoneDir() + "/fs/data/local/tmp/tool.apk");
        QVERIFY(apk.open(QIODevice::ReadOnly));
        QCOMPARE(apk.readAll(), QByteArray("PK apk bytes"));
        QFile upload(phoneDir() + QString::fromUtf8("/fs/sdcard/Download/清单.txt"));
        QVERIFY(upload.open(QIODevice::ReadOnly));
        QCOMPARE(upload.readAll(), QByteArray("list"));
    }

    void autojsScriptReachesTheApp()
    {
        const QByteArray script = QString::fromUtf8("toast('自动签到');\n").toUtf8();
        m_device->runAutojs(writeFile("daily.sign.js", script));
        QTRY_VERIFY_WITH_TIMEOUT(m_device->autojs()->isRunning(), 20000);
        QList<QJsonObject> commands;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(commands = readJsonLines(phoneDir() + "/autojs.jsonl")).isEmpty(), 10000);
        const QString dump = QJsonDocument(commands.first()).toJson(QJsonDocument::Compact);
        QVERIFY2(dump.contains("daily"), qPrintable(dump));
        QVERIFY2(dump.contains(QString::fromUtf8("自动签到")), qPrintable(dump));
        m_device->stopAutojs();
        QTRY_VERIFY_WITH_TIMEOUT(!m_device->autojs()->isRunning(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(readJsonLines(phoneDir() + "/autojs.jsonl").size() >= 2, 10000);
        const QString stopDump = QJsonDocument(readJsonLines(phoneDir() + "/autojs.jsonl").last())
                                     .toJson(QJsonDocument::Compact);
        QVERIFY2(stopDump.contains("stopAll"), qPrintable(stopDump));
    }
};

PARVIX_TEST(ControlSessionTest)
#include "tst_controlsession.moc"
