// The device group on its own: model rows, settings and their way to the devices,
// membership changes, group control with its rescaling, and the timed batch commands.
#include "devicegroup.h"
#include "controlmsg.h"
#include "device.h"
#include "fakeadb.h"
#include "groupharness.h"
#include "serverparams.h"
#include "signallog.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QtTest>

#include <memory>

using GroupTest::addMember;
using GroupTest::LoopbackPhone;

namespace {
ADBDeviceInfo entry(const QString &serial, bool usb)
{
    ADBDeviceInfo info;
    info.adb_serial = serial;
    info.is_usb_connection = usb;
    return info;
}

QStringList serials(const DeviceGroup &group)
{
    QStringList result;
    for (int row = 0; row < group.rowCount(); ++row) {
        auto *device = group.data(group.index(row), DeviceGroup::DeviceRole).value<Device *>();
        result << (device ? device->adbConnectionSerial() : QStringLiteral("<null>"));
    }
    return result;
}

// The devices whose running state changed, in order.
struct RunningTimes
{
    QObject context;
    QStringList order;

    explicit RunningTimes(const QList<QPointer<Device>> &devices)
    {
        for (Device *device : devices)
            if (device)
                QObject::connect(device, &Device::runningChanged, &context,
                                 [this, device] { order << device->adbConnectionSerial(); });
    }
};

QList<QPointer<Device>> members(DeviceGroup &group, const QStringList &names)
{
    QList<QPointer<Device>> devices;
    for (const QString &serial : names)
        devices << addMember(&group, serial);
    return devices;
}

void processDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Every background settings walk has posted its work, and that work has run.
void settleSettings()
{
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
}
} // namespace

class DeviceGroupTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeAdb> m_adb;

private slots:
    void init()
    {
        FakeAdb::serverFile();
        m_adb = std::make_unique<FakeAdb>();
        m_adb->answerAsPhones({});
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
        QVERIFY(!group.addDevices({}));
        // One row at a time, later: never the whole batch in one event.
        QList<int> rowsSeen;
        connect(&group, &DeviceGroup::deviceAddedIntoGroup, this,
                [&](Device *) { rowsSeen << group.rowCount(); });
        QVERIFY(group.addDevices({entry("A", true), entry("B", false), entry("C", true)}));
        QCOMPARE(group.rowCount(), 0);
        QTRY_COMPARE(rowsSeen, QList<int>({1, 2, 3}));

        QCOMPARE(serials(group), QStringList({"A", "B", "C"}));
        const QList<Device::ConnectionType> types{Device::USB, Device::WiFi, Device::USB};
        for (int row = 0; row < 3; ++row) {
            Device *device = group.devices().at(row);
            QCOMPARE(device->connectionType(), types.at(row));
            QCOMPARE(device->indexInGroup(), row);
            QCOMPARE(device->serverParamsSmallView()->maxSize(), 1000);
            QCOMPARE(device->serverParamsBigView()->maxSize(), 720);
        }
        // One phone is one member, whichever connection offers it again (also within one call).
        ADBDeviceInfo wifi = entry("10.0.0.3:5555", false);
        wifi.hardware_serial = "A";
        QVERIFY(group.addDevices({wifi, entry("B", true), entry("D", true), entry("D", true)}));
        QTRY_COMPARE(serials(group), QStringList({"A", "B", "C", "D"}));
    }

    void settingsLoadAndSave()
    {
        // Every setting is saved under its key (the values are a new group's own).
        const QJsonObject defaults = DeviceGroup().toJson().value("settings").toObject();
        QCOMPARE(defaults.keys(),
                 QStringList({"bigViewWidth", "bitRate", "bitRateBigView", "cellWidth",
                              "clickDelaySeconds", "enableAudio", "matchTileSize", "maxFPS",
                              "maxFPSBigView", "maxSize", "maxSizeBigView", "orientation",
                              "showControlButtons"}));

        // Mistyped values fall back; a missing width means the wide enlarged view, and a group
        // stored without tile matching keeps its stream size.
        DeviceGroup loaded;
        QVERIFY(!loaded.loadSettings({{"maxSize", "1000"},
                                      {"maxFPS", 29.5},
                                      {"bitRate", true},
                                      {"maxSizeBigView", 1e12},
                                      {"showControlButtons", 0},
                                      {"enableAudio", "true"},
                                      {"orientation", 5},
                                      {"bigViewWidth", QJsonValue::Null},
                                      {"cellWidth", 300},
                                      {"clickDelaySeconds", 2},
                                      {"maxFPSBigView", 60.0}}));
        QJsonObject expected = defaults;
        expected.insert("bigViewWidth", 960);
        expected.insert("cellWidth", 300);
        expected.insert("clickDelaySeconds", 2);
        expected.insert("maxFPSBigView", 60);
        expected.insert("matchTileSize", false);
        QCOMPARE(loaded.toJson().value("settings").toObject(), expected);
    }

    void settersSaveAndApplyOnlyForNamedGroups()
    {
        DeviceGroup group;
        Device *device = addMember(&group, "A");
        SignalLog log(&group);
        group.setMaxSize(1000);
        QCOMPARE(log.names, QStringList({"maxSizeChanged"}));
        settleSettings();
        QCOMPARE(device->serverParamsSmallView()->maxSize(), 720);

        group.setName("G");
        log.names.clear();
        QThread *appliedOn = nullptr;
        connect(
            device->serverParamsSmallView(), &ServerParams::maxSizeChanged, this,
            [&] { appliedOn = QThread::currentThread(); }, Qt::DirectConnection);
        const auto setAll = [&] {
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
        };
        setAll();
        // Each change is saved (settingsChanged) once.
        QCOMPARE(log.names.count("settingsChanged"), 12);
        // Handed to the background; it comes back to the GUI thread later.
        QCOMPARE(device->serverParamsSmallView()->maxSize(), 720);
        ServerParams *small = device->serverParamsSmallView();
        ServerParams *big = device->serverParamsBigView();
        QTRY_COMPARE(small->maxSize(), 1024);
        QCOMPARE(appliedOn, QThread::currentThread());
        QCOMPARE(QList<int>({small->maxFps(), small->bitRate(), big->maxSize(), big->maxFps(),
                             big->bitRate()}),
                 QList<int>({15, 1500000, 1920, 60, 8000000}));
        QVERIFY(small->audio() && big->audio());
        log.names.clear();
        setAll(); // the same values again
        QVERIFY(log.names.isEmpty());

        // Every value set survives the way through its saved form.
        DeviceGroup copy;
        QVERIFY(copy.loadSettings(group.toJson().value("settings").toObject()));
        QCOMPARE(copy.toJson().value("settings"), group.toJson().value("settings"));
        QCOMPARE(copy.orientation(), DeviceGroup::Landscape);
        QCOMPARE(copy.bigViewWidth(), 777);

        group.setName(QString());
        log.names.clear();
        group.setMaxSize(1200);
        QCOMPARE(log.names, QStringList({"maxSizeChanged"}));
    }

    void settingsReachOnlyCurrentMembers()
    {
        DeviceGroup source;
        source.setName("S");
        DeviceGroup target;
        target.setName("T");
        target.setMaxSize(500);
        const QList<QPointer<Device>> d = members(source, {"A", "B", "C"});
        Device *a = d.at(0), *b = d.at(1);
        const QPointer<Device> &c = d.at(2);
        source.setMaxSize(1234);
        // Both happen before the background application comes back.
        source.moveDevicesToGroup({"A"}, &target);
        source.removeDevice(c);
        processDeferredDeletes();
        QVERIFY(!c);
        QTRY_COMPARE(b->serverParamsSmallView()->maxSize(), 1234);
        settleSettings();
        QCOMPARE(a->serverParamsSmallView()->maxSize(), 500);

        // Sound is pushed to every member even when the group value stays.
        b->setEnableAudio(true);
        QSignalSpy messages(b, &Device::deviceMessage);
        source.setEnableAudio(false);
        QVERIFY(!b->isAudioEnabled());
        QCOMPARE(messages.size(), 1);
    }

    void groupControlHostsRowZeroUntilItLeaves()
    {
        DeviceGroup group;
        SignalLog log(&group);
        group.startGroupControl(); // empty: nothing to host
        QVERIFY(log.names.isEmpty());
        QPointer<Device> a = addMember(&group, "A");
        Device *b = addMember(&group, "B");
        log.names.clear();
        QSignalSpy hostFlag(a, &Device::isHostDeviceChanged);
        group.startGroupControl();
        group.startGroupControl();
        Device *c = addMember(&group, "C");
        QCOMPARE(group.hostDevice(), a.data());
        QCOMPARE(hostFlag.size(), 1);
        group.stopGroupControl();
        group.stopGroupControl();
        QVERIFY(!a->isHostDevice());
        QCOMPARE(log.names, QStringList({"hostDeviceChanged", "groupControlModeChanged",
                                         "deviceCountChanged", "deviceAddedIntoGroup",
                                         "hostDeviceChanged", "groupControlModeChanged"}));

        // Removing the host ends group control first.
        group.startGroupControl();
        log.names.clear();
        connect(b, &Device::indexInGroupChanged, this, [&] { log.names << "B.index"; });
        connect(c, &Device::indexInGroupChanged, this, [&] { log.names << "C.index"; });
        group.removeDevice(a);
        QCOMPARE(log.names,
                 QStringList({"hostDeviceChanged", "groupControlModeChanged", "deviceCountChanged",
                              "deviceRemovedFromGroup", "B.index", "C.index"}));
        QCOMPARE(serials(group), QStringList({"B", "C"}));
        QCOMPARE(b->indexInGroup(), 0);
        QVERIFY(a); // deleted later, not at once
        processDeferredDeletes();
        QVERIFY(!a);

        log.names.clear();
        Device stranger(nullptr, "X");
        group.removeDevice(&stranger);
        group.removeDevice(nullptr);
        QVERIFY(log.names.isEmpty());

        // A host deleted elsewhere leaves no empty row and ends group control.
        group.startGroupControl();
        QSignalSpy count(&group, &DeviceGroup::deviceCountChanged);
        delete b;
        QCOMPARE(serials(group), QStringList({"C"}));
        QCOMPARE(count.size(), 1);
        QVERIFY(!group.groupControlMode());
    }

    void clearingRemovesFiveHundredMillisecondsApart()
    {
        DeviceGroup group;
        const QList<QPointer<Device>> d = members(group, {"A", "B", "C"});
        group.startGroupControl();
        SignalLog log(&group);
        QStringList removed;
        connect(&group, &DeviceGroup::deviceRemovedFromGroup, this,
                [&](Device *device) { removed << device->adbConnectionSerial(); });
        group.clearDevices();
        QCOMPARE(log.names, QStringList({"hostDeviceChanged", "groupControlModeChanged"}));
        QVERIFY(d.at(0)->isHostDevice()); // left to the device, which is going anyway
        delete d.at(1).data();            // gone before its turn
        QTRY_COMPARE_WITH_TIMEOUT(group.deviceCount(), 0, 10000);
        QCOMPARE(removed, QStringList({"A", "C"}));
        processDeferredDeletes();
        QVERIFY(!d.at(2));
        log.names.clear();
        group.clearDevices();
        QVERIFY(log.names.isEmpty());

        // A group deleted with an insertion and a removal still scheduled takes its devices.
        auto other = std::make_unique<DeviceGroup>();
        QVERIFY(other->addDevices({entry("A", true), entry("B", true)}));
        QTRY_COMPARE(other->deviceCount(), 1);
        QPointer<Device> a = other->devices().first();
        addMember(other.get(), "C");
        other->clearDevices();
        other.reset();
        QVERIFY(!a);
    }

    void movingRowsZeroAndTwo()
    {
        DeviceGroup source;
        DeviceGroup target;
        target.setMaxSize(480);
        Device *a = addMember(&source, "A");
        Device *b = addMember(&source, "B");
        Device *c = addMember(&source, "C");
        source.startGroupControl();
        SignalLog sourceLog(&source);
        SignalLog targetLog(&target);
        QList<Device *> added;
        connect(&target, &DeviceGroup::deviceAddedIntoGroup, this, [&](Device *d) { added << d; });

        source.moveDevicesToGroup({"A", "C", "b"}, &target); // "b" is not B
        QCOMPARE(serials(source), QStringList({"B"}));
        QCOMPARE(added, QList<Device *>({c, a}));
        QCOMPARE(sourceLog.names, QStringList({"deviceRemovedFromGroup", "hostDeviceChanged",
                                               "groupControlModeChanged", "deviceRemovedFromGroup",
                                               "deviceCountChanged"}));
        QCOMPARE(targetLog.names, QStringList({"deviceAddedIntoGroup", "deviceAddedIntoGroup",
                                               "deviceCountChanged"}));
        QVERIFY(!a->isHostDevice());
        QVERIFY(!target.groupControlMode());
        QCOMPARE(target.indexOfDevice(a), 1);
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

    void replayRoundsHalvesAwayFromZeroAndSparesUnsizedPhones()
    {
        DeviceGroup group;
        const QList<QPointer<Device>> d = members(group, {"HOST", "B", "C", "NOCONTROLLER"});
        Device *host = d.at(0), *b = d.at(1), *c = d.at(2); // the last one is skipped quietly
        LoopbackPhone phoneB(b);
        LoopbackPhone phoneC(c);
        QVERIFY(phoneB.connect());
        QVERIFY(phoneC.connect());
        group.startGroupControl();
        TestSupport::deliverFrame(host, QSize(4, 4));
        TestSupport::deliverFrame(b, QSize(6, 6));
        // C has not decoded a frame yet: it gets the host's positions as they are.

        // x 1.5: 3 -> 4.5 -> 5, 1 -> 1.5 -> 2, and the same away from zero below it.
        ControlMsg touch(ControlMsg::InjectTouchEvent);
        touch.setInjectTouchEvent(1, 0, 0, 0, QRect(QPoint(3, 1), QSize(4, 4)), 1.0f);
        group.forwardHostMessage(touch);
        touch.setTouchPosition(QRect(QPoint(-3, -1), QSize(4, 4)));
        group.forwardHostMessage(touch);
        QCOMPARE(phoneB.takeTouches(2), QList<QRect>({{5, 2, 6, 6}, {-5, -2, 6, 6}}));
        QCOMPARE(phoneC.takeTouches(2), QList<QRect>({{3, 1, 4, 4}, {-3, -1, 4, 4}}));
    }

    void startsAndStopsAreSpacedAndSkipGoneDevices()
    {
        DeviceGroup group;
        const QList<QPointer<Device>> d = members(group, {"A", "B", "C", "D", "E"});
        d.at(0)->startScrcpySession();
        d.at(2)->startScrcpySession();
        QVERIFY(d.at(0)->running() && d.at(2)->running());
        {
            RunningTimes times(d);
            group.startAllDevices(); // B at 0, D at 200, E at 400 ms: running ones are skipped
            delete d.at(3).data();   // D goes before its turn
            QTRY_VERIFY(d.at(1)->running() && d.at(4)->running());
            QCOMPARE(times.order, QStringList({"B", "E"}));
        }
        d.at(1)->stopScrcpySession(); // not running, yet keeps its slot
        RunningTimes times(d);
        group.stopAllDevices(); // A at 0, B at 300, C at 600, E at 900 ms
        delete d.at(2).data();  // C goes before its turn
        QCOMPARE(group.deviceCount(), 3);
        QTRY_VERIFY_WITH_TIMEOUT(!d.at(4)->running(), 10000);
        QCOMPARE(times.order, QStringList({"C", "A", "E"})); // C: by its own destructor, at once
    }

    void adbCommandOutputIsNumberedPerDevice()
    {
        DeviceGroup group;
        QCOMPARE(group.executeADBCommand("shell echo hi"), QString());
        members(group, {"A", "B"});
        for (const QString serial : {"A", "B"})
            m_adb->respond({"-s", serial, "shell", "echo", "hi", "there"},
                           serial.toUtf8() + ":hi there\n");
        const QString hyphens(32, QLatin1Char('-'));
        group.devices().at(1)->setNickName("Desk");
        QCOMPARE(group.executeADBCommand("shell echo hi there"),
                 "Device 1: A\n" + hyphens + "\nA:hi there\n\n\n" + "Device 2: Desk (B)\n" +
                     hyphens + "\nB:hi there\n\n\n");
    }

    void adbCommandsRunOffTheGuiThread()
    {
        DeviceGroup group;
        members(group, {"A", "B", "C"});
        m_adb->respondMatching("*' shell sleep '*", FakeAdb::Reply({}, 0, {}, 0.5));
        for (const QString serial : {"A", "B", "C"})
            m_adb->respond({"-s", serial, "shell", "echo", "hi", "there"},
                           serial.toUtf8() + ":hi there\n");
        const QString input = QStringLiteral("shell sleep 0.5\nshell echo hi there");
        const QString expected = group.executeADBCommand(input);
        QVERIFY(expected.contains("C:hi there"));

        QSignalSpy finished(&group, &DeviceGroup::adbCommandFinished);
        QSignalSpy running(&group, &DeviceGroup::adbCommandRunningChanged);
        int ticksBeforeTheEnd = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, &group,
                [&] { ticksBeforeTheEnd += finished.isEmpty(); });
        ticker.start(20);
        group.executeADBCommandAsync(input);
        QVERIFY(group.adbCommandRunning());
        group.executeADBCommandAsync(QStringLiteral("shell echo again")); // one at a time
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        // The GUI thread kept turning while the phones slept.
        QVERIFY2(ticksBeforeTheEnd >= 5, qPrintable(QString::number(ticksBeforeTheEnd)));
        QCOMPARE(finished.first().first().toString(), expected);
        QVERIFY(!group.adbCommandRunning());
        QCOMPARE(running.size(), 2);
    }
};

PARVIX_TEST(DeviceGroupTest)
#include "devicegrouptest.moc"
