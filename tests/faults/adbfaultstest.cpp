// adb answering slowly, or not within its time-out, while a phone starts, stops and while
// the phones are scanned: no crash, the tile or the scan dialog says what failed, and the
// phone streams again once adb answers.
#include "adbrunner.h"
#include "device.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "faultharness.h"
#include "testregistry.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {
// adb calls end after this in the hanging rows; the phone answers later still.
constexpr int kTimeoutMs = 2000;
constexpr int kHangMs = 4000;
constexpr int kSlowMs = 1500;
} // namespace

class AdbFaultsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FaultHarness> m_harness;

    static void addDelays()
    {
        QTest::addColumn<bool>("hangs");
        QTest::newRow("slow") << false;
        QTest::newRow("hanging past the time-out") << true;
    }

    // Slow phone adb calls from now on; past the time-out when `hangs`.
    void makeAdbSlow(bool hangs)
    {
        QVERIFY(m_harness->fleet().setPhoneOption(
            0, "faults", QJsonObject{{"delayMs", hangs ? kHangMs : kSlowMs}}));
        if (hangs)
            ADBRunner::setFinishTimeoutsForTesting(kTimeoutMs, kTimeoutMs);
    }

    void makeAdbWell()
    {
        QVERIFY(m_harness->fleet().setPhoneOption(0, "faults", QJsonObject()));
        QVERIFY(m_harness->setListingDelay(0));
        ADBRunner::setFinishTimeoutsForTesting(0, 0);
    }

private slots:
    void init()
    {
        m_harness = std::make_unique<FaultHarness>(FaultHarness::Options{1, 10});
        if (!m_harness->isValid())
            QSKIP(qPrintable(m_harness->errorString()));
    }

    void cleanup() { m_harness.reset(); }

    void start_data() { addDelays(); }

    void start()
    {
        QFETCH(bool, hangs);
        const QString serial = m_harness->serial(0);
        QVERIFY(m_harness->addScanned({serial}));
        QPointer<Device> device = m_harness->device(serial);
        makeAdbSlow(hangs);
        device->startScrcpySession();
        if (!hangs) {
            // Late, but it comes up, and nothing is reported.
            QTRY_VERIFY_WITH_TIMEOUT(device->controller(), 30000);
            QVERIFY(FaultHarness::streaming(device));
            QCOMPARE(m_harness->messages().errors(serial), QStringList());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            m_harness->messages().has(serial, "Mirroring could not start", QStringLiteral("error")),
            20000);
        QVERIFY(!device || !device->running());
        QCOMPARE(m_harness->messages().errors(serial).size(), 1);
        // A failed start leaves the group, after the tile has said why.
        QTRY_VERIFY_WITH_TIMEOUT(!device, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(m_harness->fleet().liveServers(), 0, 15000);

        makeAdbWell();
        QVERIFY(m_harness->addScanned({serial}));
        QVERIFY(m_harness->startAndStream(m_harness->device(serial)));
        QCOMPARE(m_harness->fleet().liveServers(), 1);
    }

    void stop_data() { addDelays(); }

    void stop()
    {
        QFETCH(bool, hangs);
        const QString serial = m_harness->serial(0);
        QVERIFY(m_harness->addScanned({serial}));
        Device *device = m_harness->device(serial);
        QVERIFY(m_harness->startAndStream(device));
        makeAdbSlow(hangs);
        device->stopScrcpySession();
        QVERIFY(!device->running());
        QVERIFY(!device->controller());
        // The phone's server ends even when adb does not answer in time.
        QTRY_COMPARE_WITH_TIMEOUT(m_harness->fleet().liveServers(), 0, 20000);
        QCOMPARE(m_harness->group()->deviceCount(), 1);

        makeAdbWell();
        QVERIFY(m_harness->startAndStream(device));
        QCOMPARE(m_harness->fleet().liveServers(), 1);
        QCOMPARE(m_harness->messages().errors(serial), QStringList());
    }

    void scan_data() { addDelays(); }

    void scan()
    {
        QFETCH(bool, hangs);
        DeviceGroupManager *manager = m_harness->manager();
        QVERIFY(m_harness->setListingDelay(hangs ? kHangMs : kSlowMs));
        if (hangs)
            ADBRunner::setFinishTimeoutsForTesting(kTimeoutMs, kTimeoutMs);
        QSignalSpy errors(manager, &DeviceGroupManager::scanError);
        manager->scanDevices();
        QVERIFY(manager->isScanning());
        // The window goes on meanwhile.
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] { ++ticks; });
        tick.start(50);
        QTRY_VERIFY_WITH_TIMEOUT(!manager->isScanning(), 20000);
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));

        const QString serial = m_harness->serial(0);
        if (hangs) {
            // The scan dialog shows why nothing was found.
            QCOMPARE(errors.count(), 1);
            const QString text = errors.first().first().toString();
            QVERIFY2(text.contains("timed out"), qPrintable(text));
            QVERIFY(manager->availableDeviceInfos().isEmpty());
        } else {
            QCOMPARE(errors.count(), 0);
            QCOMPARE(manager->availableDeviceInfos().size(), 1);
            QCOMPARE(manager->availableDeviceInfos().first().adb_serial, serial);
        }

        makeAdbWell();
        QVERIFY(m_harness->addScanned({serial}));
        QVERIFY(m_harness->startAndStream(m_harness->device(serial)));
    }
};

PARVIX_TEST(AdbFaultsTest)
#include "adbfaultstest.moc"
