// Group control on three virtual phones with different screens: what the host's
// pointer, keys and text do reaches every other phone, rescaled and in order, also
// with a click delay; and the host leaving ends it. Each phone's own log of the
// control messages it received is the evidence.
#include "adbrunner.h"
#include "controller.h"
#include "device.h"
#include "devicegroup.h"
#include "serverparams.h"
#include "testregistry.h"
#include "testsupport.h"
#include "virtualfleet.h"

#include <QDateTime>
#include <QJsonObject>
#include <QSignalSpy>
#include <QThreadPool>
#include <QtTest>

#include <cmath>
#include <memory>
#include <tuple>

namespace {
const QList<QSize> kScreens{{1080, 2400}, {720, 1600}, {1440, 3200}};
const QStringList kSerials{"PXSIM0001", "PXSIM0002", "PXSIM0003"};

constexpr int kPress = 2;
constexpr int kRelease = 3;
constexpr int kMove = 5;
constexpr int kKeyPress = 6;
constexpr int kKeyRelease = 7;

// What a replayed message must keep: everything but where, when and through which session.
QJsonObject content(QJsonObject entry)
{
    for (const char *key : {"timeMs", "session", "transport", "x", "y", "screenWidth",
                            "screenHeight", "videoWidth", "videoHeight", "dropped"})
        entry.remove(QLatin1String(key));
    return entry;
}
} // namespace

class GroupControlFleetTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;
    std::unique_ptr<DeviceGroup> m_group;
    QMap<QString, int> m_seen; // control log lines already looked at, per phone

    // Waits for n new entries on the phone and returns them (fewer on time-out).
    QList<QJsonObject> newEntries(const QString &serial, int n)
    {
        QList<QJsonObject> entries;
        (void)QTest::qWaitFor([&] {
            entries = m_fleet->controlLog(serial).mid(m_seen.value(serial));
            return entries.size() >= n;
        });
        m_seen[serial] += int(entries.size());
        return entries;
    }

    void markSeen()
    {
        for (const QString &serial : kSerials)
            m_seen[serial] = int(m_fleet->controlLog(serial).size());
    }

    Device *device(int row) const { return m_group->devices().value(row); }

    // The group's own random draws finish on the GUI thread after the pool walk.
    static void waitForSettingsApplied()
    {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase()
    {
        if (TestSupport::phonesimPath().isEmpty())
            QSKIP("the virtual phones are not built");
        // A cached loop: no encoding per frame.
        m_fleet = std::make_unique<VirtualFleet>(TestSupport::phonesimPath(),
                                                 VirtualFleet::Options{3, {1080, 2400}, 30, true});
        QVERIFY2(m_fleet->isValid(), qPrintable(m_fleet->errorString()));
        QCOMPARE(m_fleet->serials(), kSerials);
        for (int i = 1; i < kScreens.size(); ++i)
            QVERIFY(m_fleet->setPhoneOption(
                i, "size",
                QStringLiteral("%1x%2").arg(kScreens.at(i).width()).arg(kScreens.at(i).height())));
    }

    void cleanupTestCase()
    {
        m_group.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThreadPool::globalInstance()->waitForDone();
        m_fleet.reset();
    }

    void allPhonesStartInOneGroup()
    {
        m_group = std::make_unique<DeviceGroup>();
        m_group->setName("Fleet");
        // Full-size pictures, so that the three phones' frames differ in size.
        m_group->setMaxSize(3200);
        m_group->setMaxFPS(5);
        const QList<ADBDeviceInfo> listed = ADBRunner::getDevices();
        QCOMPARE(listed.size(), 3);
        QVERIFY(m_group->addDevices(listed));
        QTRY_COMPARE(m_group->deviceCount(), 3);
        for (Device *member : m_group->devices())
            QCOMPARE(member->serverParamsSmallView()->maxSize(), 3200);

        m_group->startAllDevices();
        for (int row = 0; row < 3; ++row) {
            QTRY_VERIFY_WITH_TIMEOUT(device(row)->controller(), 30000);
            QTRY_COMPARE_WITH_TIMEOUT(device(row)->frameSize(), kScreens.at(row), 30000);
        }
    }

    void hostInputReachesEveryPhoneRescaledInOrder()
    {
        QVERIFY(m_group && m_group->deviceCount() == 3);
        m_group->startGroupControl();
        Device *host = device(0);
        QCOMPARE(m_group->hostDevice(), host);
        QCOMPARE(host->adbConnectionSerial(), kSerials.at(0));
        markSeen();

        Controller *controller = host->controller();
        controller->handleMouseEvent(kPress, 270.0, 600.0, Qt::LeftButton, Qt::LeftButton, 540,
                                     1200);
        for (int step = 1; step <= 4; ++step)
            controller->handleMouseEvent(kMove, 270.0 + 37.3 * step, 600.0 - 51.7 * step,
                                         Qt::NoButton, Qt::LeftButton, 540, 1200);
        // Half a view pixel is one host pixel: 2/3 of it on the smaller phone rounds to 1.
        controller->handleMouseEvent(kMove, 0.5, 0.5, Qt::NoButton, Qt::LeftButton, 540, 1200);
        controller->handleMouseEvent(kRelease, 0.5, 0.5, Qt::LeftButton, Qt::NoButton, 540, 1200);
        controller->handleKeyEvent(kKeyPress, Qt::Key_H, Qt::ShiftModifier, "H");
        controller->handleKeyEvent(kKeyRelease, Qt::Key_H, Qt::ShiftModifier, "H");
        controller->actionInputText(QStringLiteral("Grüße 你好"));
        controller->handleKeyEvent(kKeyPress, Qt::Key_Return, Qt::NoModifier, "\r");

        const int touches = 7; // press, five moves, release
        const int count = touches + 4;
        const QList<QJsonObject> sent = newEntries(host->adbConnectionSerial(), count);
        QCOMPARE(sent.size(), count);
        QCOMPARE(sent.at(touches - 1).value("x").toInt(), 1);
        QCOMPARE(sent.at(touches + 2).value("text").toString(), QStringLiteral("Grüße 你好"));
        for (int row = 1; row < 3; ++row) {
            const QSize screen = kScreens.at(row);
            const double sx = double(screen.width()) / kScreens.at(0).width();
            const double sy = double(screen.height()) / kScreens.at(0).height();
            const QList<QJsonObject> received = newEntries(kSerials.at(row), count);
            QCOMPARE(received.size(), count);
            for (int i = 0; i < count; ++i) {
                const QJsonObject &in = received.at(i);
                const QJsonObject &out = sent.at(i);
                QCOMPARE(content(in), content(out));
                QVERIFY(!in.value("dropped").toBool());
                if (i >= touches)
                    continue;
                QCOMPARE(in.value("type").toString(), QStringLiteral("inject_touch_event"));
                QCOMPARE(QPoint(in.value("x").toInt(), in.value("y").toInt()),
                         QPoint(int(std::lround(sx * out.value("x").toInt())),
                                int(std::lround(sy * out.value("y").toInt()))));
                QCOMPARE(QSize(in.value("screenWidth").toInt(), in.value("screenHeight").toInt()),
                         screen);
            }
            QCOMPARE(received.at(touches - 1).value("x").toInt(), 1);
        }
    }

    void aClickDelayMakesEachPhoneLateButInOrder()
    {
        QVERIFY(m_group && m_group->groupControlMode());
        Controller *hostController = device(0)->controller();

        // Every application draws afresh, and independently for each phone.
        m_group->setClickDelaySeconds(1);
        waitForSettingsApplied();
        bool drawsDiffer = false;
        for (int round = 0; round < 3; ++round) {
            m_group->applySettingsToAllDevices();
            waitForSettingsApplied();
            const int delayB = device(1)->controller()->clickDelayMilliSeconds();
            const int delayC = device(2)->controller()->clickDelayMilliSeconds();
            QVERIFY(delayB >= 0 && delayB <= 999 && delayC >= 0 && delayC <= 999);
            drawsDiffer = drawsDiffer || delayB != delayC;
        }
        QVERIFY(drawsDiffer);
        QCOMPARE(hostController->clickDelayMilliSeconds(), 0);

        // Each message is stamped before it is given to the host; a phone's log entry
        // cannot come earlier than that stamp plus the phone's delay.
        markSeen();
        QList<qint64> givenAt;
        for (const auto &[type, x, y] :
             {std::tuple{kPress, 100.0, 100.0}, {kMove, 120.0, 140.0}, {kRelease, 120.0, 140.0}}) {
            givenAt << QDateTime::currentMSecsSinceEpoch();
            hostController->handleMouseEvent(
                type, x, y, type == kMove ? Qt::NoButton : Qt::LeftButton,
                type == kRelease ? Qt::NoButton : Qt::LeftButton, 540, 1200);
        }
        const QList<QJsonObject> sent = newEntries(kSerials.at(0), 3);
        QCOMPARE(sent.size(), 3);
        for (int row = 1; row < 3; ++row) {
            const int delay = device(row)->controller()->clickDelayMilliSeconds();
            const QList<QJsonObject> received = newEntries(kSerials.at(row), 3);
            QCOMPARE(received.size(), 3);
            for (int i = 0; i < 3; ++i) {
                QCOMPARE(received.at(i).value("action").toInt(),
                         sent.at(i).value("action").toInt());
                // Whole milliseconds on both sides: one may be rounded down.
                QCOMPARE_GE(qint64(received.at(i).value("timeMs").toDouble()) - givenAt.at(i),
                            delay - 1);
            }
        }
        m_group->setClickDelaySeconds(0);
        waitForSettingsApplied();
    }

    void theHostLeavingEndsGroupControl()
    {
        QVERIFY(m_group && m_group->groupControlMode());
        QSignalSpy mode(m_group.get(), &DeviceGroup::groupControlModeChanged);
        QPointer<Device> host = device(0);
        host->removeFromDeviceGroup();
        QCOMPARE(mode.size(), 1);
        QVERIFY(!m_group->groupControlMode());
        QCOMPARE(m_group->deviceCount(), 2);

        // What the new first phone sends now stays on that phone.
        markSeen();
        device(0)->controller()->handleKeyEvent(kKeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QCOMPARE(newEntries(kSerials.at(1), 1).size(), 1);
        // The other phone's own Home comes first on its connection: nothing came before it.
        device(1)->controller()->actionHome();
        const QList<QJsonObject> other = newEntries(kSerials.at(2), 2);
        QCOMPARE(other.size(), 2);
        QCOMPARE(other.first().value("keycode").toInt(), 3);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!host);
    }
};

PARVIX_TEST(GroupControlFleetTest)
#include "groupcontrolfleettest.moc"
