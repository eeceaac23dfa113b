// End to end with a virtual phone: touches follow a rotation, and a text beyond one message's
// limit keeps the session (what reaches the phones otherwise: GroupControlFleetTest, journeys).
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
    int m_seen = 0; // control log lines already looked at

    QString serial() const { return m_fleet->serials().at(0); }
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
};

PARVIX_TEST(ControlSessionTest)
#include "controlsessiontest.moc"
