// Phones on three virtual adb hosts (127.0.0.2-4) in one group: sessions through adb
// forwards, group control rescaled on each phone, a batch install, and one host cut off and
// restored while everything streams.
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
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

namespace {
const QList<QSize> kScreens{{1080, 2400}, {720, 1600}, {1440, 3200}};
const QStringList kHosts{"127.0.0.2:5037", "127.0.0.3:5037", "127.0.0.4:5037"};
constexpr int kPress = 2;
constexpr int kRelease = 3;
} // namespace

class MultiHostFleetTest : public QObject
{
    Q_OBJECT

    std::vector<std::unique_ptr<VirtualFleet>> m_fleets;
    std::unique_ptr<DeviceGroup> m_group;

    Device *device(int row) const { return m_group->devices().value(row); }

private slots:
    void initTestCase()
    {
        if (TestSupport::phonesimPath().isEmpty())
            QSKIP("the virtual phones are not built");
        // The console's own server, without phones.
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
        AdbHostWatch::instance()->watch({});
        AdbServers::setConfigured({});
        m_fleets.clear();
    }

    void phonesOfEveryHostStreamInOneGroup()
    {
        const QList<ADBDeviceInfo> listed = ADBRunner::getPhones();
        QStringList serials;
        for (const ADBDeviceInfo &info : listed)
            serials << info.adb_serial;
        QStringList expected;
        for (const auto &fleet : m_fleets)
            expected += fleet->serials();
        // The same serial on every host, told apart by the host.
        QCOMPARE(serials, expected);
        m_group = std::make_unique<DeviceGroup>();
        m_group->setMaxSize(3200);
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

    void groupControlReachesEveryHostRescaled()
    {
        QVERIFY(m_group && m_group->deviceCount() == 3);
        m_group->startGroupControl();
        Controller *host = device(0)->controller();
        host->handleMouseEvent(kPress, 135.0, 900.0, Qt::LeftButton, Qt::LeftButton, 540, 1200);
        host->handleMouseEvent(kRelease, 135.0, 900.0, Qt::LeftButton, Qt::NoButton, 540, 1200);
        for (int row = 0; row < 3; ++row) {
            const VirtualFleet &fleet = *m_fleets.at(row + 1);
            auto touches = [&fleet] {
                QList<QJsonObject> entries = fleet.controlLog(fleet.serials().first());
                entries.removeIf([](const QJsonObject &entry) {
                    return entry.value("type").toString() != QLatin1String("inject_touch_event");
                });
                return entries;
            };
            QTRY_COMPARE_WITH_TIMEOUT(touches().size(), 2, 10000);
            const QJsonObject press = touches().first();
            QCOMPARE(press.value("x").toInt(), kScreens.at(row).width() / 4);
            QCOMPARE(press.value("y").toInt(), kScreens.at(row).height() * 3 / 4);
            QVERIFY(!press.value("dropped").toBool());
        }
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
