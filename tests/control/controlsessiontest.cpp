// End to end: a real mirroring session with a virtual phone; what the controller sends must
// arrive at the phone and act there.
#include "controller.h"
#include "device.h"
#include "testregistry.h"
#include "testsupport.h"
#include "virtualfleet.h"

#include <QtTest>
#include <memory>

class ControlSessionTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;
    std::unique_ptr<Device> m_device;
    QTemporaryDir m_files;
    int m_seen = 0; // control log lines already looked at

    QString serial() const { return m_fleet->serials().at(0); }
    QString phoneDir() const { return m_fleet->home() + "/" + serial(); }
    QList<QJsonObject> controlLog() const { return m_fleet->controlLog(serial()); }
    // The lines logged since the last call, once at least count of them are there.
    QList<QJsonObject> newLines(int count)
    {
        QList<QJsonObject> lines;
        if (QTest::qWaitFor([&] { return (lines = controlLog().mid(m_seen)).size() >= count; },
                            10000))
            m_seen += int(lines.size());
        return lines;
    }
    Controller *controller() const { return m_device->controller(); }

    QString writeFile(const QString &name, const QByteArray &content)
    {
        return TestSupport::writeFile(m_files.filePath(name), content);
    }

private slots:
    void initTestCase()
    {
        m_fleet =
            std::make_unique<VirtualFleet>(TestSupport::phonesimPath(), VirtualFleet::Options{});
        if (!m_fleet->isValid())
            QSKIP(qPrintable(m_fleet->errorString()));
        m_device = std::make_unique<Device>(nullptr, m_fleet->serials().at(0));
        m_device->startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(m_device->controller() != nullptr, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(m_device->frameSize().isValid(), 20000);
        m_seen = int(controlLog().size());
    }

    // A session that ended would take the controller with it.
    void init() { QVERIFY(m_device && m_device->controller()); }

    void cleanupTestCase()
    {
        if (m_device)
            m_device->stopScrcpySession();
        m_device.reset();
        m_fleet.reset();
    }

    void pointerKeysTextAndSwipe()
    {
        const QSize frame = m_device->frameSize();
        const QSize view = frame / 2;
        controller()->handleMouseEvent(2, 20, 40, 1, 1, view.width(), view.height());
        controller()->handleMouseEvent(5, 30, 60, 0, 1, view.width(), view.height());
        controller()->handleMouseEvent(3, 30, 60, 1, 0, view.width(), view.height());
        controller()->actionHome();
        controller()->handleKeyEvent(6, Qt::Key_A, Qt::ShiftModifier, "A");
        controller()->handleKeyEvent(7, Qt::Key_A, Qt::ShiftModifier, "A");
        const QString text = QString::fromUtf8("群控 ✓ phonesim");
        controller()->actionInputText(text);
        controller()->actionSwipeUp();
        // The message fields are pinned by ControllerTest; here the phone takes each one: the
        // touches carry the size of the picture it really sends, so none is dropped.
        const QList<QJsonObject> lines = newLines(3 + 4 + 1 + 7);
        QStringList seen;
        for (const QJsonObject &line : lines) {
            seen << line.value("type").toString() + QString::number(line.value("action").toInt());
            if (line.value("type") == "inject_touch_event")
                QVERIFY(line.value("screenWidth").toInt() == frame.width() &&
                        line.value("screenHeight").toInt() == frame.height() &&
                        !line.value("dropped").toBool());
        }
        const QString touch = "inject_touch_event", key = "inject_keycode";
        QCOMPARE(seen,
                 QStringList({touch + "0", touch + "2", touch + "1", key + "0", key + "1",
                              key + "0", key + "1", "set_clipboard0", touch + "0", touch + "2",
                              touch + "2", touch + "2", touch + "2", touch + "2", touch + "1"}));
        QCOMPARE(QPoint(lines.at(0)["x"].toInt(), lines.at(0)["y"].toInt()), QPoint(40, 80));
        QCOMPARE(lines.at(7).value("text").toString(), text);
        QVERIFY(lines.at(7).value("pasted").toBool());
    }

    void rotationChangesTheSizeTouchesUse()
    {
        const QSize before = m_device->frameSize();
        controller()->actionRotateScreen();
        QTRY_VERIFY_WITH_TIMEOUT(m_device->frameSize() == before.transposed(), 10000);
        const QSize view = m_device->frameSize();
        controller()->handleMouseEvent(2, 5, 5, 1, 1, view.width(), view.height());
        controller()->handleMouseEvent(3, 5, 5, 1, 0, view.width(), view.height());
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

    void longChineseTextKeepsTheSessionAlive()
    {
        // Far beyond what one message may carry once encoded.
        const QString text = QString(262130, QChar(0x4E2D));
        controller()->actionInputText(text);
        controller()->actionBack();
        const QList<QJsonObject> lines = newLines(3);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0).value("length").toInt(), 87376 * 3);
        QCOMPARE(lines.at(0).value("text").toString(), text.left(87376));
        QCOMPARE(lines.at(1).value("keycode").toInt(), 4);
        QVERIFY(m_device->running());
    }

    // AutoJS run and stop on the phone: AutojsFleetTest and the journeys.
    void installAndUploadReachThePhone()
    {
        QSignalSpy said(m_device.get(), &Device::deviceMessage);
        controller()->installApk(writeFile("tool.apk", "PK apk bytes"));
        controller()->uploadFile(writeFile(QString::fromUtf8("清单.txt"), "list"));
        QTRY_COMPARE_WITH_TIMEOUT(said.count(), 3, 20000);
        QStringList texts;
        for (const QVariantList &call : said)
            texts << call.at(0).toString();
        QVERIFY(texts.contains("APK installed") && texts.contains("File uploaded"));
        for (const auto &[file, content] :
             {std::pair<QString, QByteArray>{"/fs/data/local/tmp/tool.apk", "PK apk bytes"},
              {QString::fromUtf8("/fs/sdcard/Download/清单.txt"), "list"}}) {
            QCOMPARE(TestSupport::readFile(phoneDir() + file), content);
        }
    }
};

PARVIX_TEST(ControlSessionTest)
#include "controlsessiontest.moc"
