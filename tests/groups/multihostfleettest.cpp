// One group of phones on three adb hosts (127.0.0.2-4): group control rescaled, a cut host back.
#include "adbhostwatch.h"
#include "adblane.h"
#include "adbrunner.h"
#include "autojs.h"
#include "batterymonitor.h"
#include "controller.h"
#include "device.h"
#include "devicegroup.h"
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

// What a replayed message must keep: everything but where, when and through which session.
QJsonObject content(QJsonObject entry)
{
    for (const char *key : {"timeMs", "session", "transport", "x", "y", "screenWidth",
                            "screenHeight", "videoWidth", "videoHeight", "dropped"})
        entry.remove(QLatin1String(key));
    return entry;
}
} // namespace

class MultiHostFleetTest : public QObject
{
    Q_OBJECT

    std::vector<std::unique_ptr<VirtualFleet>> m_fleets; // the console's own, then one per host
    std::unique_ptr<DeviceGroup> m_group;

    Device *device(int row) const { return m_group->devices().value(row); }
    QList<QJsonObject> controlLog(int host) const
    {
        const VirtualFleet &fleet = *m_fleets.at(host + 1);
        return fleet.controlLog(fleet.serial());
    }
    // n entries past the first `seen` (fewer on time-out), less a busy phone's own key-frame asks.
    QList<QJsonObject> entriesAfter(int host, int seen, int n) const
    {
        QList<QJsonObject> entries;
        (void)QTest::qWaitFor([&] {
            entries = controlLog(host).mid(seen);
            entries.removeIf([](const QJsonObject &e) { return e["type"] == "reset_video"; });
            return entries.size() >= n;
        });
        return entries;
    }

private slots:
    void initTestCase()
    {
        // The console's own server, without phones; cached loops: no encoding per frame.
        m_fleets.resize(kHosts.size() + 1);
        PARVIX_START_FLEET(m_fleets[0], VirtualFleet::Options{0, kScreens.first(), 30, true});
        QList<VirtualFleet *> fleets{m_fleets[0].get()};
        QList<AdbServer> servers;
        for (int i = 0; i < kHosts.size(); ++i) {
            PARVIX_START_FLEET(m_fleets[i + 1], VirtualFleet::Options{1, kScreens.at(i), 30, true},
                               kHosts.at(i));
            fleets << m_fleets[i + 1].get();
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
        QStringList expected;
        for (const auto &fleet : m_fleets)
            expected += fleet->serials();
        // The same serial on every host, told apart by the host.
        QCOMPARE(TestSupport::mapped(listed, &ADBDeviceInfo::adb_serial), expected);
        m_group = std::make_unique<DeviceGroup>();
        m_group->setName("Fleet");
        // Full-size pictures, so that the three phones' frames differ in size.
        m_group->setMaxSize(3200);
        m_group->setMaxFPS(5);
        QVERIFY(m_group->addDevices(listed));
        QTRY_COMPARE(m_group->deviceCount(), 3);
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
        QList<int> seen;
        for (int host = 0; host < kHosts.size(); ++host)
            seen << int(controlLog(host).size());

        Controller *controller = device(0)->controller();
        controller->handleMouseEvent(QEvent::MouseButtonPress, 270.0, 600.0, Qt::LeftButton,
                                     Qt::LeftButton, 540, 1200);
        for (int step = 1; step <= 4; ++step)
            controller->handleMouseEvent(QEvent::MouseMove, 270.0 + 37.3 * step,
                                         600.0 - 51.7 * step, Qt::NoButton, Qt::LeftButton, 540,
                                         1200);
        // Half a view pixel is one host pixel: 2/3 of it on the smaller phone rounds to 1.
        controller->handleMouseEvent(QEvent::MouseButtonRelease, 0.5, 0.5, Qt::LeftButton,
                                     Qt::NoButton, 540, 1200);
        controller->handleKeyEvent(QEvent::KeyPress, Qt::Key_H, Qt::ShiftModifier, "H");
        controller->handleKeyEvent(QEvent::KeyRelease, Qt::Key_H, Qt::ShiftModifier, "H");
        controller->actionInputText(QStringLiteral("Grüße 你好"));
        controller->handleKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");

        const int touches = 6; // press, four moves, release
        const int count = touches + 4;
        const QList<QJsonObject> sent = entriesAfter(0, seen[0], count);
        QCOMPARE(sent.size(), count);
        QCOMPARE(sent.at(touches - 1).value("x").toInt(), 1);
        for (int row = 1; row < 3; ++row) {
            const QSize screen = kScreens.at(row);
            const double sx = double(screen.width()) / kScreens.at(0).width();
            const double sy = double(screen.height()) / kScreens.at(0).height();
            const QList<QJsonObject> received = entriesAfter(row, seen[row], count);
            QCOMPARE(received.size(), count);
            for (int i = 0; i < count; ++i) {
                const QJsonObject &in = received.at(i);
                const QJsonObject &out = sent.at(i);
                QCOMPARE(content(in), content(out));
                // A touch sized for another screen would be dropped by the phone.
                QVERIFY(!in.value("dropped").toBool());
                if (i < touches)
                    QCOMPARE(QPoint(in.value("x").toInt(), in.value("y").toInt()),
                             QPoint(int(std::lround(sx * out.value("x").toInt())),
                                    int(std::lround(sy * out.value("y").toInt()))));
            }
        }
        m_group->stopGroupControl();
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
        // Its session's clean-up ran while the host was away.
        QVERIFY(AdbLane::waitForIdle(device(1)->adbConnectionSerial(), 20000));
        QVERIFY(m_fleets.at(2)->setHostCut(false));
        QTRY_VERIFY_WITH_TIMEOUT(!AdbHostWatch::instance()->isHostAway(kHosts.at(1)), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(device(1)->controller(), 30000);
        // The forward the cut left behind is gone: one, the new session's.
        QCOMPARE(m_fleets.at(2)->status().value("forward").toArray().size(), 1);
        QCOMPARE(m_group->deviceCount(), 3);
        QVERIFY(device(0)->controller() && device(2)->controller());
        // The host's own device tracking saw the cut; nothing lists its phones now and then.
        QVERIFY(!m_fleets.at(2)->adbCalls({"track-devices"}).isEmpty());
        const qsizetype listings = m_fleets.at(2)->adbCalls({"devices"}).size();
        QVERIFY2(listings <= 2, qPrintable(QString::number(listings)));
    }

    // Both go through the phone's own server, whose ports are its own.
    void scriptsAndWifiUseThePhonesHost()
    {
        QVERIFY(m_group && m_group->deviceCount() == 3);
        Device *phone = device(2);
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
