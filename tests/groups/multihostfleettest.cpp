// Phones with different screens on three virtual adb hosts (127.0.0.2-4) in one group:
// sessions through adb forwards; group control, where what the host's pointer, keys and text
// do reaches every other phone rescaled and in order, also with a click delay, until the host
// leaves; a batch install; one host cut off and restored while everything streams. Each
// phone's own log of the control messages it received is the evidence.
#include "adbhostwatch.h"
#include "adblane.h"
#include "adbrunner.h"
#include "autojs.h"
#include "batterymonitor.h"
#include "controller.h"
#include "device.h"
#include "devicegroup.h"
#include "serverparams.h"
#include "testregistry.h"
#include "testsupport.h"
#include "virtualfleet.h"

#include <QTcpServer>
#include <QtTest>

#include <cmath>
#include <vector>

namespace {
const QList<QSize> kScreens{{1080, 2400}, {720, 1600}, {1440, 3200}};
const QStringList kHosts{"127.0.0.2:5037", "127.0.0.3:5037", "127.0.0.4:5037"};
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

// The group's own random draws finish on the GUI thread after the pool walk.
void waitForSettingsApplied()
{
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
}
} // namespace

class MultiHostFleetTest : public QObject
{
    Q_OBJECT

    std::vector<std::unique_ptr<VirtualFleet>> m_fleets; // the console's own, then one per host
    std::unique_ptr<DeviceGroup> m_group;
    QList<int> m_seen; // control log lines already looked at, per host

    Device *device(int row) const { return m_group->devices().value(row); }
    QList<QJsonObject> controlLog(int host) const
    {
        const VirtualFleet &fleet = *m_fleets.at(host + 1);
        return fleet.controlLog(fleet.serial());
    }
    // Waits for n new entries on the host's phone and returns them (fewer on time-out).
    QList<QJsonObject> newEntries(int host, int n)
    {
        QList<QJsonObject> entries;
        (void)QTest::qWaitFor([&] {
            entries = controlLog(host).mid(m_seen.at(host));
            return entries.size() >= n;
        });
        m_seen[host] += int(entries.size());
        return entries;
    }
    void markSeen()
    {
        m_seen.clear();
        for (int host = 0; host < kHosts.size(); ++host)
            m_seen << int(controlLog(host).size());
    }

private slots:
    void initTestCase()
    {
        if (TestSupport::phonesimPath().isEmpty())
            QSKIP("the virtual phones are not built");
        // The console's own server, without phones; cached loops: no encoding per frame.
        m_fleets.push_back(std::make_unique<VirtualFleet>(
            TestSupport::phonesimPath(), VirtualFleet::Options{0, kScreens.first(), 30, true}));
        QVERIFY(m_fleets.back()->isValid());
        QList<VirtualFleet *> fleets{m_fleets.back().get()};
        QList<AdbServer> servers;
        for (int i = 0; i < kHosts.size(); ++i) {
            m_fleets.push_back(std::make_unique<VirtualFleet>(
                TestSupport::phonesimPath(), VirtualFleet::Options{1, kScreens.at(i), 30, true},
                kHosts.at(i)));
            QVERIFY2(m_fleets.back()->isValid(), qPrintable(m_fleets.back()->errorString()));
            fleets << m_fleets.back().get();
            servers << *AdbServer::parse(kHosts.at(i));
        }
        VirtualFleet::serveTogether(fleets);
        AdbServers::setConfigured(servers);
        AdbHostWatch::instance()->watch(AdbServers::configured());
    }

    void cleanupTestCase()
    {
        m_group.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThreadPool::globalInstance()->waitForDone();
        AdbHostWatch::instance()->watch({});
        AdbServers::setConfigured({});
        m_fleets.clear();
    }

    void phonesOfEveryHostStreamInOneGroup()
    {
        const QList<ADBDeviceInfo> listed = ADBRunner::getPhones();
        QStringList serials, expected;
        for (const ADBDeviceInfo &info : listed)
            serials << info.adb_serial;
        for (const auto &fleet : m_fleets)
            expected += fleet->serials();
        // The same serial on every host, told apart by the host.
        QCOMPARE(serials, expected);
        m_group = std::make_unique<DeviceGroup>();
        m_group->setName("Fleet");
        // Full-size pictures, so that the three phones' frames differ in size.
        m_group->setMaxSize(3200);
        m_group->setMaxFPS(5);
        QVERIFY(m_group->addDevices(listed));
        QTRY_COMPARE(m_group->deviceCount(), 3);
        for (Device *member : m_group->devices())
            QCOMPARE(member->serverParamsSmallView()->maxSize(), 3200);
        m_group->startAllDevices();
        for (int row = 0; row < 3; ++row) {
            QTRY_VERIFY_WITH_TIMEOUT(device(row)->controller(), 30000);
            QTRY_COMPARE_WITH_TIMEOUT(device(row)->frameSize(), kScreens.at(row), 30000);
            device(row)->battery()->refresh(); // read through the phone's own server
            QTRY_VERIFY_WITH_TIMEOUT(device(row)->battery()->known(), 10000);
        }
    }

    void hostInputReachesEveryPhoneRescaledInOrder()
    {
        QVERIFY(m_group && m_group->deviceCount() == 3);
        m_group->startGroupControl();
        Device *host = device(0);
        QCOMPARE(m_group->hostDevice(), host);
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
        const QList<QJsonObject> sent = newEntries(0, count);
        QCOMPARE(sent.size(), count);
        QCOMPARE(QPoint(sent[0]["x"].toInt(), sent[0]["y"].toInt()), QPoint(540, 1200));
        QCOMPARE(sent.at(touches - 1).value("x").toInt(), 1);
        QCOMPARE(sent.at(touches + 2).value("text").toString(), QStringLiteral("Grüße 你好"));
        for (int row = 1; row < 3; ++row) {
            const QSize screen = kScreens.at(row);
            const double sx = double(screen.width()) / kScreens.at(0).width();
            const double sy = double(screen.height()) / kScreens.at(0).height();
            const QList<QJsonObject> received = newEntries(row, count);
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

    void aClickDelayIsDrawnForEachPhoneButTheHost()
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

        // That each phone's messages wait their delay in order: ControllerTest.
        m_group->setClickDelaySeconds(0);
        waitForSettingsApplied();
        m_group->stopGroupControl();
    }

    void aBatchInstallReachesEveryHost()
    {
        QVERIFY(m_group && m_group->deviceCount() == 3);
        QTemporaryDir dir;
        const QString apk = dir.filePath("app.apk");
        QVERIFY(!TestSupport::writeFile(apk, "PK").isEmpty());
        m_group->installApk(apk);
        for (size_t i = 1; i < m_fleets.size(); ++i) {
            const auto &fleet = m_fleets.at(i);
            const QString phone = fleet->serials().first().section('@', 0, 0);
            QTRY_COMPARE_WITH_TIMEOUT(fleet->jsonLines(phone + "/installed.jsonl").size(), 1,
                                      20000);
        }
    }

    void aHostCutWhileStreamingComesBack_data()
    {
        QTest::addColumn<QJsonValue>("cut");
        QTest::newRow("connections close") << QJsonValue(true);
        QTest::newRow("pulled cable") << QJsonValue("silent"); // nothing closes
    }

    void aHostCutWhileStreamingComesBack()
    {
        QVERIFY(m_group && m_group->deviceCount() == 3);
        QFETCH(QJsonValue, cut);
        QVERIFY(m_fleets.at(2)->setHostCut(cut));
        QTRY_VERIFY_WITH_TIMEOUT(AdbHostWatch::instance()->isHostAway(kHosts.at(1)), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!device(1)->running(), 10000);
        QVERIFY(device(0)->controller() && device(2)->controller());
        // Its session's clean-up ran while the host was away.
        QVERIFY(AdbLane::waitForIdle(device(1)->adbConnectionSerial(), 20000));
        QVERIFY(m_fleets.at(2)->setHostCut(false));
        QTRY_VERIFY_WITH_TIMEOUT(!AdbHostWatch::instance()->isHostAway(kHosts.at(1)), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(device(1)->controller(), 30000);
        // The forward the cut left behind is gone: one, the new session's.
        QCOMPARE(m_fleets.at(2)->status().value("forward").toArray().size(), 1);
        // The tile stayed, and the other hosts never noticed.
        QCOMPARE(m_group->deviceCount(), 3);
        QVERIFY(device(0)->controller() && device(2)->controller());
        // The host's own device tracking saw the cut; nothing lists its phones now and then.
        const QList<QJsonObject> calls = m_fleets.at(2)->adbLog();
        const auto count = [&calls](const char *command) {
            return std::count_if(calls.cbegin(), calls.cend(), [command](const QJsonObject &c) {
                return c.value("args").toArray().contains(QLatin1String(command));
            });
        };
        QVERIFY(count("track-devices") >= 1);
        QVERIFY2(count("devices") <= 2, qPrintable(QString::number(count("devices"))));
    }

    void theHostLeavingEndsGroupControl()
    {
        QVERIFY(m_group && m_group->deviceCount() == 3);
        m_group->startGroupControl();
        QSignalSpy mode(m_group.get(), &DeviceGroup::groupControlModeChanged);
        QPointer<Device> host = device(0);
        host->removeFromDeviceGroup();
        QCOMPARE(mode.size(), 1);
        QVERIFY(!m_group->groupControlMode());
        QCOMPARE(m_group->deviceCount(), 2);

        // What the new first phone sends now stays on that phone.
        markSeen();
        device(0)->controller()->handleKeyEvent(kKeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QCOMPARE(newEntries(1, 1).size(), 1);
        // The other phone's own Home comes first on its connection: nothing came before it.
        device(1)->controller()->actionHome();
        QList<QJsonObject> keys;
        QVERIFY(QTest::qWaitFor([&] {
            keys = controlLog(2).mid(m_seen.at(2));
            keys.removeIf([](const QJsonObject &entry) { return !entry.contains("keycode"); });
            return keys.size() >= 2;
        }));
        QCOMPARE(keys.size(), 2);
        QCOMPARE(keys.first().value("keycode").toInt(), 3);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!host);
    }

    // Both go through the phone's own server, whose ports are its own.
    void scriptsAndWifiUseThePhonesHost()
    {
        QVERIFY(m_group && m_group->deviceCount() == 2);
        Device *phone = device(1);
        const VirtualFleet &fleet = *m_fleets.at(3);
        QTcpServer taken; // the port chosen here is in use over there
        QVERIFY(taken.listen(QHostAddress("127.0.0.4"), phone->autojs()->localPort()));
        QTemporaryDir dir;
        QVERIFY(!TestSupport::writeFile(dir.filePath("hi.js"), "toast('hi');\n").isEmpty());
        phone->autojs()->run(dir.filePath("hi.js"));
        const QString plain = fleet.serials().first().section('@', 0, 0);
        QTRY_COMPARE_WITH_TIMEOUT(fleet.jsonLines(plain + "/autojs.jsonl").size(), 1, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!phone->ipAddress().isEmpty(), 10000);
        phone->setWiFiConnection();
        const QString wifi = phone->ipAddress() + ":5555";
        QTRY_COMPARE_WITH_TIMEOUT(phone->wifiSerial(), wifi + "@" + kHosts.at(2), 15000);
        QVERIFY(fleet.entry(wifi));
    }
};

PARVIX_TEST(MultiHostFleetTest)
#include "multihostfleettest.moc"
