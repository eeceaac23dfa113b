// The reconnect policy while no device tracker runs: a phone waiting to come back is found by
// listing adb every few seconds.
#include "reconnectpolicy.h"
#include "adbrunner.h"
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
        FakeAdb::serverFile();
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
        QStringList unready;
        for (const QVariant &phone : policy.unreadyPhones())
            unready << phone.toMap()["serial"].toString() + " " + phone.toMap()["state"].toString();
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
        ADBRunner::workPool()->waitForDone();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(device->link()->adbState(), QString("device"));
        device.reset();
        ADBRunner::workPool()->waitForDone();
        QThreadPool::globalInstance()->waitForDone();
    }
};

PARVIX_TEST(ReconnectPolicyTest)
#include "reconnectpolicytest.moc"
