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
struct PhoneScreen
{
    QString serial;
    QSize size;
};

const QList<PhoneScreen> kScreens{
    {"PXSIM0001", {1080, 2400}}, {"PXSIM0002", {720, 1600}}, {"PXSIM0003", {1440, 3200}}};

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
        for (const PhoneScreen &screen : kScreens)
            m_seen[screen.serial] = int(m_fleet->controlLog(screen.serial).size());
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
        QCOMPARE(m_fleet->serials(), QStringList({kScreens.at(0).serial, kScreens.at(1).serial,
                                                  kScreens.at(2).serial}));
        for (int i = 1; i < kScreens.size(); ++i) {
            const QSize size = kScreens.at(i).size;
            QVERIFY(m_fleet->setPhoneOption(
                i, "size", QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
        }
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
            QTRY_COMPARE_WITH_TIMEOUT(device(row)->frameSize(), kScreens.at(row).size, 30000);
        }
    }

    void hostInputReachesEveryPhoneRescaledInOrder()
    {
        QVERIFY(m_group && m_group->deviceCount() == 3);
        m_group->startGroupControl();
        Device *host = device(0);
        QCOMPARE(m_group->hostDevice(), host);
        QCOMPARE(host->adbConnectionSerial(), kScreens.at(0).serial);
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
            const PhoneScreen &screen = kScreens.at(row);
            const double sx = double(screen.size.width()) / kScreens.at(0).size.width();
            const double sy = double(screen.size.height()) / kScreens.at(0).size.height();
            const QList<QJsonObject> received = newEntries(screen.serial, count);
            QCOMPARE(received.size(), count);
            for (int i = 0; i < count; ++i) {
                const QJsonObject &in = received.at(i);
                const QJsonObject &out = sent.at(i);
                QCOMPARE(content(in), content(out));
                QVERIFY(!in.value("dropped").toBool());
                if (i >= touches)
                    continue;
                QCOMPARE(in.value("type").toString(), QStringLiteral("inject_touch_event"));
                QCOMPARE(in.value("x").toInt(), int(std::lround(sx * out.value("x").toInt())));
                QCOMPARE(in.value("y").toInt(), int(std::lround(sy * out.value("y").toInt())));
                QCOMPARE(in.value("screenWidth").toInt(), screen.size.width());
                QCOMPARE(in.value("screenHeight").toInt(), screen.size.height());
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
        const QList<QJsonObject> sent = newEntries(kScreens.at(0).serial, 3);
        QCOMPARE(sent.size(), 3);
        for (int row = 1; row < 3; ++row) {
            const int delay = device(row)->controller()->clickDelayMilliSeconds();
            const QList<QJsonObject> received = newEntries(kScreens.at(row).serial, 3);
            QCOMPARE(received.size(), 3);
            for (int i = 0; i < 3; ++i) {
                QCOMPARE(received.at(i).value("action").toInt(),
                         sent.at(i).value("action").toInt());
                const qint64 late =
                    qint64(received.at(i).value("timeMs").toDouble()) - givenAt.at(i);
                // Whole milliseconds on both sides: one may be rounded down.
                QVERIFY2(
                    late >= delay - 1,
                    qPrintable(
                        QStringLiteral("row %1: %2 ms, delay %3").arg(row).arg(late).arg(delay)));
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
        QCOMPARE(newEntries(kScreens.at(1).serial, 1).size(), 1);
        // The other phone's own Home comes first on its connection: nothing came before it.
        device(1)->controller()->actionHome();
        const QList<QJsonObject> other = newEntries(kScreens.at(2).serial, 2);
        QCOMPARE(other.size(), 2);
        QCOMPARE(other.first().value("keycode").toInt(), 3);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!host);
    }
};

PARVIX_TEST(GroupControlFleetTest)
#include "groupcontrolfleettest.moc"
