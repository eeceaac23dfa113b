// adb's device change feed: the blocks of its host format, and the tracker following the
// virtual phones' states, coming back after the adb server was killed.
#include "devicetracker.h"
#include "adbrunner.h"
#include "testregistry.h"
#include "testsupport.h"
#include "virtualfleet.h"

#include <QSignalSpy>
#include <QtTest>

using States = DeviceTracker::States;
Q_DECLARE_METATYPE(QList<DeviceTracker::States>)

namespace {
// One block as adb frames it: the payload's length in 4 hex digits, then the payload.
QByteArray block(const QByteArray &payload)
{
    return QByteArray::number(payload.size(), 16).rightJustified(4, '0') + payload;
}
} // namespace

class DeviceTrackerTest : public QObject
{
    Q_OBJECT

private slots:
    void takeBlocks_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QList<States>>("blocks");
        QTest::addColumn<int>("left");
        QTest::addColumn<bool>("broken");
        const States two{{"R58M1", "device"}, {"10.0.0.7:5555", "unauthorized"}};
        QTest::newRow("empty list") << block("") << QList<States>{States{}} << 0 << false;
        QTest::newRow("two phones") << block("R58M1\tdevice\n10.0.0.7:5555\tunauthorized\n")
                                    << QList<States>{two} << 0 << false;
        QTest::newRow("long format")
            << block("R58M1               offline usb:1-1 transport_id:3\nEMU\trecovery\n")
            << QList<States>{{{"R58M1", "offline"}, {"EMU", "recovery"}}} << 0 << false;
        QTest::newRow("a block and a half")
            << block("R58M1\tdevice\n") + block("R58M1\toffline\n").left(10)
            << QList<States>{{{"R58M1", "device"}}} << 10 << false;
        QTest::newRow("length cut") << QByteArray("00") << QList<States>{} << 2 << false;
        QTest::newRow("upper-case hex") << QByteArray("000DR58M1\tdevice\n")
                                        << QList<States>{{{"R58M1", "device"}}} << 0 << false;
        QTest::newRow("not a length")
            << QByteArray("* daemon started\n") << QList<States>{} << 0 << true;
        QTest::newRow("negative length") << QByteArray("-001x") << QList<States>{} << 0 << true;
    }

    void takeBlocks()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QList<States>, blocks);
        bool broken = false;
        QCOMPARE(DeviceTracker::takeBlocks(stream, &broken), blocks);
        QTEST(int(stream.size()), "left");
        QTEST(broken, "broken");
    }

    void retryPausesDoubleUpToHalfAMinute()
    {
        QList<int> pauses;
        for (int failures : {0, 1, 2, 4, 5, 40})
            pauses << DeviceTracker::retryDelayMs(failures);
        QCOMPARE(pauses, (QList<int>{1000, 2000, 4000, 16000, 30000, 30000}));
    }

    void followsThePhonesAndOutlivesTheAdbServer()
    {
        if (TestSupport::phonesimPath().isEmpty())
            QSKIP("the virtual phones are not built");
        VirtualFleet fleet(TestSupport::phonesimPath(), {2, {540, 1200}, 30, true});
        QVERIFY2(fleet.isValid(), qPrintable(fleet.errorString()));
        const QStringList serials = fleet.serials();
        DeviceTracker tracker;
        QSignalSpy live(&tracker, &DeviceTracker::liveChanged);
        tracker.start();
        const States ready{{serials.at(0), "device"}, {serials.at(1), "device"}};
        QTRY_COMPARE(tracker.states(), ready);
        QVERIFY(tracker.isLive());

        QVERIFY(fleet.setPhoneOption(1, "state", "unauthorized"));
        QTRY_COMPARE(tracker.states().value(serials.at(1)), QString("unauthorized"));
        QVERIFY(fleet.plug(serials.at(0), false));
        QTRY_VERIFY(!tracker.states().contains(serials.at(0)));

        live.clear();
        QVERIFY(ADBRunner::killServer());
        QTRY_VERIFY(!tracker.isLive());
        QVERIFY(fleet.plug(serials.at(0), true));
        QTRY_VERIFY_WITH_TIMEOUT(tracker.isLive(), 10000);
        QCOMPARE(live.size(), 2);
        QCOMPARE(tracker.states().value(serials.at(0)), QString("device"));
    }
};

PARVIX_TEST(DeviceTrackerTest)
#include "devicetrackertest.moc"
