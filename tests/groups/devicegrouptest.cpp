// The device group on its own: model rows, settings and their way to the devices,
// membership changes, group control with its rescaling, and the timed batch commands.
#include "devicegroup.h"
#include "controlmsg.h"
#include "device.h"
#include "groupharness.h"
#include "serverparams.h"
#include "signallog.h"
#include "testregistry.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QThread>
#include <QThreadPool>
#include <QtTest>

#include <functional>
#include <memory>

using GroupTest::LoopbackPhone;

namespace {
ADBDeviceInfo entry(const QString &serial, bool usb)
{
    ADBDeviceInfo info;
    info.adb_serial = serial;
    info.is_usb_connection = usb;
    return info;
}

// Milliseconds after start() at which each device got runningChanged, by serial. The
// batch timers never fire early, so each step may be checked against its earliest
// slot; how late it comes is the machine's business, not the group's.
struct RunningTimes
{
    QObject context; // connections end with this record
    QElapsedTimer clock;
    QMap<QString, qint64> at;

    void watch(Device *device)
    {
        QObject::connect(device, &Device::runningChanged, &context, [this, device] {
            at.insert(device->adbConnectionSerial(), clock.elapsed());
        });
    }
};

// Timer slots are whole milliseconds; allow for the clock reading rounded down.
bool notBefore(qint64 elapsedMs, int slotMs)
{
    return elapsedMs >= slotMs - 1;
}

void processDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

class DeviceGroupTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<GroupTest::ScriptedAdb> m_adb;

    // A member added at once, the way the timed insertion finally does it.
    static Device *addMember(DeviceGroup &group, const QString &serial)
    {
        auto *device = new Device(nullptr, &group, serial);
        group.addDevice(device);
        return device;
    }

    static QStringList serials(const DeviceGroup &group)
    {
        QStringList result;
        for (int row = 0; row < group.rowCount(); ++row) {
            auto *device = group.data(group.index(row), DeviceGroup::DeviceRole).value<Device *>();
            result << (device ? device->adbConnectionSerial() : QStringLiteral("<null>"));
        }
        return result;
    }

private slots:
    void init()
    {
        m_adb = std::make_unique<GroupTest::ScriptedAdb>();
        QVERIFY(m_adb->isValid());
    }

    void cleanup()
    {
        processDeferredDeletes();
        // Background refreshes of devices still talk to the scripted adb.
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        m_adb.reset();
    }

    void rowsArriveTwoHundredMillisecondsApart()
    {
        DeviceGroup group;
        group.setMaxSize(1000); // unnamed: stored only, yet applied on insertion
        SignalLog log(&group);
        QList<qint64> addedAt;
        QElapsedTimer clock;
        connect(&group, &DeviceGroup::deviceAddedIntoGroup, this,
                [&](Device *) { addedAt << clock.elapsed(); });

        clock.start();
        QVERIFY(group.addDevices({entry("A", true), entry("B", false), entry("C", true)}));
        QCOMPARE(group.rowCount(), 0);
        QTRY_COMPARE(addedAt.size(), 3);
        QVERIFY2(
            notBefore(addedAt.at(1), 200) && notBefore(addedAt.at(2), 400),
            qPrintable(QStringLiteral("rows at %1, %2 ms").arg(addedAt.at(1)).arg(addedAt.at(2))));
        const QStringList pair{"deviceCountChanged", "deviceAddedIntoGroup"};
        QCOMPARE(log.names, pair + pair + pair);

        QCOMPARE(serials(group), QStringList({"A", "B", "C"}));
        const QList<Device::ConnectionType> types{Device::USB, Device::WiFi, Device::USB};
        const QVariantList repeater = group.getDevicesForRepeater();
        QCOMPARE(repeater.size(), 3);
        for (int row = 0; row < 3; ++row) {
            Device *device = group.devices().at(row);
            QCOMPARE(repeater.at(row).value<Device *>(), device);
            QCOMPARE(device->connectionType(), types.at(row));
            QCOMPARE(device->deviceGroup(), &group);
            QCOMPARE(device->indexInGroup(), row);
            QVERIFY(!device->parent());
            QCOMPARE(device->serverParamsSmallView()->maxSize(), 1000);
            QCOMPARE(device->serverParamsBigView()->maxSize(), 720);
        }

        QCOMPARE(group.roleNames(), (QHash<int, QByteArray>{{257, "device"}}));
        QVERIFY(!group.data(group.index(0), Qt::DisplayRole).isValid());
        QVERIFY(!group.data(group.index(3), DeviceGroup::DeviceRole).isValid());
        QVERIFY(!group.data(QModelIndex(), DeviceGroup::DeviceRole).isValid());
        QCOMPARE(group.rowCount(group.index(0)), 0);
    }

    void anEmptyListAddsNothing()
    {
        DeviceGroup group;
        SignalLog log(&group);
        QVERIFY(!group.addDevices({}));
        QTest::qWait(50);
        QVERIFY(log.names.isEmpty());
        QCOMPARE(group.rowCount(), 0);
    }

    void aGroupGoneBeforeAnInsertionTakesItsDevices()
    {
        auto group = std::make_unique<DeviceGroup>();
        QVERIFY(group->addDevices({entry("A", true), entry("B", true)}));
        QTRY_COMPARE(group->deviceCount(), 1);
        QPointer<Device> a = group->devices().first();
        group.reset(); // B is still waiting for its turn
        QVERIFY(!a);
        QTest::qWait(300); // B's insertion time passes without a group
    }

    void settingsHaveTheirDefaults()
    {
        DeviceGroup group;
        const QJsonObject json = group.toJson();
        QCOMPARE(json.keys(), QStringList({"name", "settings"}));
        QCOMPARE(json.value("name").toString(), QString());
        const QJsonObject expected{
            {"maxSize", 720},         {"maxFPS", 30},        {"bitRate", 4000000},
            {"maxSizeBigView", 720},  {"maxFPSBigView", 30}, {"bitRateBigView", 4000000},
            {"clickDelaySeconds", 0}, {"cellWidth", 220},    {"showControlButtons", true},
            {"enableAudio", false},   {"orientation", 0},    {"bigViewWidth", 400}};
        QCOMPARE(json.value("settings").toObject(), expected);

        // Loaded without the key, the enlarged view is the wide one.
        DeviceGroup loaded;
        SignalLog log(&loaded);
        loaded.loadSettings({});
        QJsonObject loadedExpected = expected;
        loadedExpected.insert("bigViewWidth", 960);
        QCOMPARE(loaded.toJson().value("settings").toObject(), loadedExpected);
        QCOMPARE(log.names,
                 QStringList({"maxSizeChanged", "maxFPSChanged", "bitRateChanged",
                              "maxSizeBigViewChanged", "maxFPSBigViewChanged",
                              "bitRateBigViewChanged", "clickDelaySecondsChanged",
                              "cellWidthChanged", "showControlButtonsChanged", "enableAudioChanged",
                              "orientationChanged", "bigViewWidthChanged"}));
    }

    void loadingIgnoresValuesOfTheWrongType()
    {
        DeviceGroup group;
        group.loadSettings({{"maxSize", "1000"},
                            {"maxFPS", 29.5},
                            {"bitRate", true},
                            {"maxSizeBigView", 1e12},
                            {"showControlButtons", 0},
                            {"enableAudio", "true"},
                            {"orientation", 5},
                            {"bigViewWidth", QJsonValue::Null},
                            {"cellWidth", 300},
                            {"clickDelaySeconds", 2},
                            {"maxFPSBigView", 60.0}});
        QCOMPARE(group.maxSize(), 720);
        QCOMPARE(group.maxFPS(), 30);
        QCOMPARE(group.bitRate(), 4000000);
        QCOMPARE(group.maxSizeBigView(), 720);
        QCOMPARE(group.showControlButtons(), true);
        QCOMPARE(group.enableAudio(), false);
        QCOMPARE(group.orientation(), DeviceGroup::Portrait);
        QCOMPARE(group.bigViewWidth(), 960);
        QCOMPARE(group.cellWidth(), 300);
        QCOMPARE(group.clickDelaySeconds(), 2);
        QCOMPARE(group.maxFPSBigView(), 60);
    }

    void settingsSurviveTheirJsonForm()
    {
        DeviceGroup group;
        group.setShowControlButtons(false);
        group.setClickDelaySeconds(4);
        group.setMaxSize(1024);
        group.setMaxFPS(15);
        group.setBitRate(1500000);
        group.setMaxSizeBigView(1920);
        group.setMaxFPSBigView(60);
        group.setBitRateBigView(8000000);
        group.setCellWidth(333);
        group.setEnableAudio(true);
        group.setOrientation(DeviceGroup::Landscape);
        group.setBigViewWidth(777);

        DeviceGroup copy;
        copy.loadSettings(group.toJson().value("settings").toObject());
        QCOMPARE(copy.toJson().value("settings"), group.toJson().value("settings"));
        QCOMPARE(copy.orientation(), DeviceGroup::Landscape);
        QCOMPARE(copy.bigViewWidth(), 777);
    }

    void settersSaveAndApplyOnlyForNamedGroups()
    {
        DeviceGroup group;
        Device *device = addMember(group, "A");
        SignalLog log(&group);

        group.setMaxSize(1000);
        QCOMPARE(log.names, QStringList({"maxSizeChanged"}));
        QTest::qWait(100);
        QCOMPARE(device->serverParamsSmallView()->maxSize(), 720);

        group.setName("G");
        log.names.clear();
        group.setMaxSize(1000); // unchanged
        QVERIFY(log.names.isEmpty());

        QThread *appliedOn = nullptr;
        connect(
            device->serverParamsSmallView(), &ServerParams::maxSizeChanged, this,
            [&] { appliedOn = QThread::currentThread(); }, Qt::DirectConnection);
        group.setMaxSize(1100);
        QCOMPARE(log.names, QStringList({"settingsChanged", "maxSizeChanged"}));
        // The application is handed to the background and comes back later.
        QCOMPARE(device->serverParamsSmallView()->maxSize(), 720);
        QTRY_COMPARE(device->serverParamsSmallView()->maxSize(), 1100);
        QCOMPARE(appliedOn, QThread::currentThread());

        // Emptying the name stops both again.
        group.setName(QString());
        log.names.clear();
        group.setMaxSize(1200);
        QCOMPARE(log.names, QStringList({"maxSizeChanged"}));
    }

    void everySetterReachesItsTarget_data()
    {
        QTest::addColumn<QString>("signal");
        QTest::addColumn<std::function<void(DeviceGroup &)>>("change");
        QTest::addColumn<std::function<bool(Device *)>>("applied");

        using Change = std::function<void(DeviceGroup &)>;
        using Check = std::function<bool(Device *)>;
        const Check none = [](Device *) { return true; };
        QTest::newRow("maxSize") << "maxSizeChanged" << Change([](DeviceGroup &g) {
            g.setMaxSize(480);
        }) << Check([](Device *d) { return d->serverParamsSmallView()->maxSize() == 480; });
        QTest::newRow("maxFPS") << "maxFPSChanged" << Change([](DeviceGroup &g) {
            g.setMaxFPS(12);
        }) << Check([](Device *d) { return d->serverParamsSmallView()->maxFps() == 12; });
        QTest::newRow("bitRate") << "bitRateChanged" << Change([](DeviceGroup &g) {
            g.setBitRate(123456);
        }) << Check([](Device *d) { return d->serverParamsSmallView()->bitRate() == 123456; });
        QTest::newRow("maxSizeBigView")
            << "maxSizeBigViewChanged" << Change([](DeviceGroup &g) { g.setMaxSizeBigView(1600); })
            << Check([](Device *d) {
                   return d->serverParamsBigView()->maxSize() == 1600 &&
                          d->serverParamsSmallView()->maxSize() == 720;
               });
        QTest::newRow("maxFPSBigView")
            << "maxFPSBigViewChanged" << Change([](DeviceGroup &g) { g.setMaxFPSBigView(50); })
            << Check([](Device *d) { return d->serverParamsBigView()->maxFps() == 50; });
        QTest::newRow("bitRateBigView") << "bitRateBigViewChanged" << Change([](DeviceGroup &g) {
            g.setBitRateBigView(9000000);
        }) << Check([](Device *d) { return d->serverParamsBigView()->bitRate() == 9000000; });
        QTest::newRow("enableAudio")
            << "enableAudioChanged" << Change([](DeviceGroup &g) { g.setEnableAudio(true); })
            << Check([](Device *d) {
                   return d->serverParamsSmallView()->audio() && d->serverParamsBigView()->audio();
               });
        QTest::newRow("clickDelaySeconds")
            << "clickDelaySecondsChanged"
            << Change([](DeviceGroup &g) { g.setClickDelaySeconds(2); }) << none;
        QTest::newRow("cellWidth")
            << "cellWidthChanged" << Change([](DeviceGroup &g) { g.setCellWidth(250); }) << none;
        QTest::newRow("showControlButtons")
            << "showControlButtonsChanged"
            << Change([](DeviceGroup &g) { g.setShowControlButtons(false); }) << none;
        QTest::newRow("orientation")
            << "orientationChanged"
            << Change([](DeviceGroup &g) { g.setOrientation(DeviceGroup::Landscape); }) << none;
        QTest::newRow("bigViewWidth")
            << "bigViewWidthChanged" << Change([](DeviceGroup &g) { g.setBigViewWidth(500); })
            << none;
    }

    void everySetterReachesItsTarget()
    {
        QFETCH(QString, signal);
        QFETCH(std::function<void(DeviceGroup &)>, change);
        QFETCH(std::function<bool(Device *)>, applied);
        DeviceGroup group;
        group.setName("G");
        Device *device = addMember(group, "A");
        SignalLog log(&group);
        change(group);
        QCOMPARE(log.names, QStringList({"settingsChanged", signal}));
        QTRY_VERIFY(applied(device));
        log.names.clear();
        change(group); // the same value again
        QVERIFY(log.names.isEmpty());
    }

    void settingsReachOnlyDevicesStillInTheGroup()
    {
        DeviceGroup source;
        source.setName("S");
        DeviceGroup target;
        target.setName("T");
        target.setMaxSize(500);
        Device *a = addMember(source, "A");
        Device *b = addMember(source, "B");
        QPointer<Device> c = addMember(source, "C");

        source.setMaxSize(1234);
        // Both happen before the background application comes back.
        source.moveDevicesToGroup({"A"}, &target);
        source.removeDevice(c);
        processDeferredDeletes();
        QVERIFY(!c);

        QTRY_COMPARE(b->serverParamsSmallView()->maxSize(), 1234);
        QTest::qWait(50);
        QCOMPARE(a->serverParamsSmallView()->maxSize(), 500);
    }

    void audioReachesEveryDeviceEvenWhenTheGroupValueStays()
    {
        DeviceGroup group;
        group.setName("G");
        Device *a = addMember(group, "A");
        Device *b = addMember(group, "B");
        a->setEnableAudio(true);
        QSignalSpy messagesA(a, &Device::deviceMessage);
        QSignalSpy messagesB(b, &Device::deviceMessage);
        QSignalSpy groupSignal(&group, &DeviceGroup::enableAudioChanged);
        group.setEnableAudio(false);
        QVERIFY(!a->isAudioEnabled());
        QCOMPARE(messagesA.size(), 1);
        QCOMPARE(messagesB.size(), 1);
        QCOMPARE(groupSignal.size(), 0);
    }

    void removingTheHostEndsGroupControlFirst()
    {
        DeviceGroup group;
        QPointer<Device> a = addMember(group, "A");
        Device *b = addMember(group, "B");
        Device *c = addMember(group, "C");
        group.startGroupControl();
        QCOMPARE(group.hostDevice(), a.data());

        SignalLog log(&group);
        connect(b, &Device::indexInGroupChanged, this,
                [&] { log.names << "B.indexInGroupChanged"; });
        connect(c, &Device::indexInGroupChanged, this,
                [&] { log.names << "C.indexInGroupChanged"; });
        group.removeDevice(a);
        QCOMPARE(log.names, QStringList({"hostDeviceChanged", "groupControlModeChanged",
                                         "deviceCountChanged", "deviceRemovedFromGroup",
                                         "B.indexInGroupChanged", "C.indexInGroupChanged"}));
        QVERIFY(!group.groupControlMode());
        QCOMPARE(serials(group), QStringList({"B", "C"}));
        QCOMPARE(b->indexInGroup(), 0);
        QVERIFY(a); // deleted later, not at once
        processDeferredDeletes();
        QVERIFY(!a);

        log.names.clear();
        Device stranger(nullptr, &group, "X");
        group.removeDevice(&stranger);
        group.removeDevice(nullptr);
        QVERIFY(log.names.isEmpty());
    }

    void aMemberDeletedElsewhereLeavesNoEmptyRow()
    {
        DeviceGroup group;
        Device *a = addMember(group, "A");
        addMember(group, "B");
        group.startGroupControl();
        QSignalSpy count(&group, &DeviceGroup::deviceCountChanged);
        QSignalSpy mode(&group, &DeviceGroup::groupControlModeChanged);
        delete a;
        QCOMPARE(serials(group), QStringList({"B"}));
        QCOMPARE(count.size(), 1);
        QCOMPARE(mode.size(), 1);
        QVERIFY(!group.groupControlMode());
    }

    void clearingRemovesFiveHundredMillisecondsApart()
    {
        DeviceGroup group;
        Device *a = addMember(group, "A");
        QPointer<Device> b = addMember(group, "B");
        QPointer<Device> c = addMember(group, "C");
        group.startGroupControl();
        SignalLog log(&group);
        QMap<QString, qint64> removedAt;
        QElapsedTimer clock;
        connect(&group, &DeviceGroup::deviceRemovedFromGroup, this, [&](Device *device) {
            removedAt.insert(device->adbConnectionSerial(), clock.elapsed());
        });

        clock.start();
        group.clearDevices();
        QCOMPARE(log.names, QStringList({"hostDeviceChanged", "groupControlModeChanged"}));
        QVERIFY(a->isHostDevice()); // the flag is left to the device, which is going anyway
        delete b.data();            // gone before its turn
        QTRY_COMPARE_WITH_TIMEOUT(group.deviceCount(), 0, 10000);
        QCOMPARE(removedAt.keys(), QStringList({"A", "C"}));
        QVERIFY2(notBefore(removedAt.value("C"), 1000),
                 qPrintable(QString::number(removedAt.value("C"))));
        processDeferredDeletes();
        QVERIFY(!c);

        // Nothing to clear: nothing happens.
        log.names.clear();
        group.clearDevices();
        QVERIFY(log.names.isEmpty());
    }

    void clearingOutlivedByNothing()
    {
        auto group = std::make_unique<DeviceGroup>();
        QPointer<Device> a = addMember(*group, "A");
        QPointer<Device> b = addMember(*group, "B");
        group->clearDevices();
        QTest::qWait(50);
        group.reset(); // B's removal is still scheduled
        QVERIFY(!a);
        QVERIFY(!b);
        QTest::qWait(600);
    }

    void movingRowsZeroAndTwo()
    {
        DeviceGroup source;
        DeviceGroup target;
        target.setMaxSize(480);
        Device *a = addMember(source, "A");
        Device *b = addMember(source, "B");
        Device *c = addMember(source, "C");
        source.startGroupControl();
        SignalLog sourceLog(&source);
        SignalLog targetLog(&target);
        QList<Device *> added;
        connect(&target, &DeviceGroup::deviceAddedIntoGroup, this, [&](Device *d) { added << d; });

        source.moveDevicesToGroup({"A", "C", "b"}, &target); // "b" is not B
        QCOMPARE(serials(source), QStringList({"B"}));
        QCOMPARE(serials(target), QStringList({"C", "A"}));
        QCOMPARE(added, QList<Device *>({c, a}));
        QCOMPARE(sourceLog.names, QStringList({"deviceRemovedFromGroup", "hostDeviceChanged",
                                               "groupControlModeChanged", "deviceRemovedFromGroup",
                                               "deviceCountChanged"}));
        QCOMPARE(targetLog.names, QStringList({"deviceAddedIntoGroup", "deviceAddedIntoGroup",
                                               "deviceCountChanged"}));
        QVERIFY(!source.groupControlMode());
        QVERIFY(!a->isHostDevice());
        QVERIFY(!target.groupControlMode());
        QCOMPARE(a->deviceGroup(), &target);
        QCOMPARE(c->deviceGroup(), &target);
        QCOMPARE(b->indexInGroup(), 0);
        QCOMPARE(a->indexInGroup(), 1);
        QCOMPARE(a->serverParamsSmallView()->maxSize(), 480);
        QCOMPARE(b->serverParamsSmallView()->maxSize(), 720);
        processDeferredDeletes();
        QCOMPARE(target.devices(), QList<Device *>({c, a})); // moved, not deleted

        // Nothing to move: no target, no serials, the same group.
        sourceLog.names.clear();
        source.moveDevicesToGroup({"B"}, nullptr);
        source.moveDevicesToGroup({}, &target);
        source.moveDevicesToGroup({"B"}, &source);
        QVERIFY(sourceLog.names.isEmpty());
        QCOMPARE(serials(source), QStringList({"B"}));
    }

    void groupControlStartsAtRowZero()
    {
        DeviceGroup group;
        SignalLog log(&group);
        group.startGroupControl();
        QVERIFY(log.names.isEmpty());

        Device *a = addMember(group, "A");
        addMember(group, "B");
        log.names.clear();
        QSignalSpy hostFlag(a, &Device::isHostDeviceChanged);
        group.startGroupControl();
        QCOMPARE(log.names, QStringList({"hostDeviceChanged", "groupControlModeChanged"}));
        QCOMPARE(group.hostDevice(), a);
        QVERIFY(a->isHostDevice());
        QCOMPARE(hostFlag.size(), 1);

        log.names.clear();
        group.startGroupControl();
        addMember(group, "C");
        QCOMPARE(group.hostDevice(), a);
        QCOMPARE(log.names, QStringList({"deviceCountChanged", "deviceAddedIntoGroup"}));

        log.names.clear();
        group.stopGroupControl();
        QCOMPARE(log.names, QStringList({"hostDeviceChanged", "groupControlModeChanged"}));
        QVERIFY(!a->isHostDevice());
        log.names.clear();
        group.stopGroupControl();
        QVERIFY(log.names.isEmpty());
    }

    void replayRoundsHalvesAwayFromZeroAndSparesUnsizedPhones()
    {
        DeviceGroup group;
        Device *host = addMember(group, "HOST");
        Device *b = addMember(group, "B");
        Device *c = addMember(group, "C");
        addMember(group, "NOCONTROLLER"); // skipped quietly
        LoopbackPhone phoneB(b);
        LoopbackPhone phoneC(c);
        QVERIFY(phoneB.connect());
        QVERIFY(phoneC.connect());
        group.startGroupControl();
        GroupTest::setFrameSize(host, QSize(4, 4));
        GroupTest::setFrameSize(b, QSize(6, 6));
        // C has not decoded a frame yet: it gets the host's positions as they are.

        // x 1.5 times: 3 -> 4.5 -> 5, 1 -> 1.5 -> 2, and the same away from zero below it.
        ControlMsg touch(ControlMsg::InjectTouchEvent);
        touch.setInjectTouchEvent(1, 0, 0, 0, QRect(QPoint(3, 1), QSize(4, 4)), 1.0f);
        group.forwardHostMessage(touch);
        touch.setTouchPosition(QRect(QPoint(-3, -1), QSize(4, 4)));
        group.forwardHostMessage(touch);
        const QList<QByteArray> messages = phoneB.takeMessages(2);
        QCOMPARE(messages.size(), 2);
        const LoopbackPhone::Touch up = LoopbackPhone::parseTouch(messages.at(0));
        const LoopbackPhone::Touch down = LoopbackPhone::parseTouch(messages.at(1));
        QCOMPARE(QList<int>({up.x, up.y, up.width, up.height}), QList<int>({5, 2, 6, 6}));
        QCOMPARE(QList<int>({down.x, down.y}), QList<int>({-5, -2}));
        const QList<QByteArray> unsized = phoneC.takeMessages(2);
        QCOMPARE(unsized.size(), 2);
        const LoopbackPhone::Touch asSent = LoopbackPhone::parseTouch(unsized.at(0));
        QCOMPARE(QList<int>({asSent.x, asSent.y, asSent.width, asSent.height}),
                 QList<int>({3, 1, 4, 4}));
    }

    void startsSkipRunningDevicesAndSkipDestroyedOnes()
    {
        DeviceGroup group;
        QList<QPointer<Device>> devices;
        for (const char *serial : {"A", "B", "C", "D", "E"})
            devices << addMember(group, serial);
        devices.at(0)->startScrcpySession();
        devices.at(2)->startScrcpySession();
        QVERIFY(devices.at(0)->running() && devices.at(2)->running());

        RunningTimes times;
        for (Device *device : devices)
            times.watch(device);
        times.clock.start();
        group.startAllDevices();     // B at 0, D at 200, E at 400 ms
        delete devices.at(3).data(); // D goes before its turn
        QTRY_VERIFY(devices.at(1)->running() && devices.at(4)->running());
        QCOMPARE(times.at.keys(), QStringList({"B", "E"}));
        QVERIFY2(notBefore(times.at.value("E"), 400),
                 qPrintable(QString::number(times.at.value("E"))));
    }

    void stopsComeThreeHundredApartAndSkipDestroyedDevices()
    {
        DeviceGroup group;
        QList<QPointer<Device>> devices;
        for (const char *serial : {"A", "B", "C", "D"})
            devices << addMember(group, serial);
        for (int row : {0, 2, 3}) { // B is not running, yet keeps its slot
            devices.at(row)->startScrcpySession();
            QVERIFY(devices.at(row)->running());
        }
        RunningTimes times;
        for (Device *device : devices)
            times.watch(device);
        times.clock.start();
        group.stopAllDevices();
        delete devices.at(2).data(); // C goes before its turn at 600 ms
        QCOMPARE(group.deviceCount(), 3);
        QTRY_VERIFY_WITH_TIMEOUT(!devices.at(3)->running(), 10000);
        QCOMPARE(times.at.keys(), QStringList({"A", "C", "D"})); // C: by its own destructor
        QVERIFY2(notBefore(times.at.value("D"), 900),
                 qPrintable(QString::number(times.at.value("D"))));
    }

    void adbCommandOutputIsNumberedPerDevice()
    {
        DeviceGroup group;
        QCOMPARE(group.executeADBCommand("shell echo hi"), QString());
        addMember(group, "A");
        addMember(group, "B");
        const QString hyphens(32, QLatin1Char('-'));
        QCOMPARE(group.executeADBCommand("shell echo hi there"),
                 "Device 1:\n" + hyphens + "\nA:hi there\n\n\n" + "Device 2:\n" + hyphens +
                     "\nB:hi there\n\n\n");
    }
};

PARVIX_TEST(DeviceGroupTest)
#include "devicegrouptest.moc"
