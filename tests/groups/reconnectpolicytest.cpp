// The reconnect policy without a device tracker: a waiting phone is found by listing adb.
#include "reconnectpolicy.h"
#include "device.h"
#include "devicelink.h"
#include "fakeadb.h"
#include "testregistry.h"

#include <QtTest>

class ReconnectPolicyTest : public QObject
{
    Q_OBJECT

private slots:
    void aWaitingPhoneIsListedUntilItIsReady()
    {
        TestSupport::serverFile();
        FakeAdb adb;
        adb.respondInTurn(
            {"devices"}, {{"* daemon started successfully *\nList of devices attached\nA\toffline\n"
                           "192.168.1.7:5555   unauthorized usb:1-1\nnoise\n\n"},
                          {"List of devices attached\r\nA\tdevice\r\n"},
                          FakeAdb::slow("List of devices attached\nA\toffline\n", 1)});
        auto device = std::make_unique<Device>(nullptr, "A");
        ReconnectPolicy policy;
        policy.setStates({}); // the tracker's last word before it went down: A is away
        policy.resume(device.get());
        const auto starts = [&] { return adb.callsWith({"-s", "A", "push"}).size(); };
        int startsWhenReady = -1;
        connect(device->link(), &DeviceLink::adbStateChanged, this, [&] {
            if (device->link()->adbState() == "device")
                startsWhenReady = int(starts());
        });

        policy.setTrackerLive(false);
        QTRY_COMPARE(device->link()->adbState(), QString("offline"));
        QStringList unready = TestSupport::mapped(policy.unreadyPhones(), [](const QVariant &p) {
            return p.toMap()["serial"].toString() + " " + p.toMap()["state"].toString();
        });
        unready.sort();
        QCOMPARE(unready, QStringList({"192.168.1.7:5555 unauthorized", "A offline"}));

        QTRY_COMPARE_WITH_TIMEOUT(device->link()->adbState(), QString("device"),
                                  ReconnectPolicy::kFallbackPollMs * 3);
        QCOMPARE(startsWhenReady, 0);
        QTRY_VERIFY(starts() > 0);

        // The tracker is back while a listing runs: its word wins over the late listing.
        QTRY_COMPARE_WITH_TIMEOUT(adb.calls().count({"devices"}), 3,
                                  ReconnectPolicy::kFallbackPollMs * 3);
        policy.setTrackerLive(true);
        policy.setStates({{"A", "device"}});
        TestSupport::settle();
        QCOMPARE(device->link()->adbState(), QString("device"));
        device.reset();
        TestSupport::settle();
    }
};

PARVIX_TEST(ReconnectPolicyTest)
#include "reconnectpolicytest.moc"
