// DeviceGroup and its manager: rows, settings, group control, batches, file, phones offered.
#include "devicegroup.h"
#include "appconfig.h"
#include "controller.h"
#include "controlmsg.h"
#include "controlwire.h"
#include "datatable.h"
#include "device.h"
#include "devicegroupmanager.h"
#include "devicesettings.h"
#include "fakeadb.h"
#include "scrcpyserver.h"
#include "serverparams.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QTcpSocket>
#include <QtTest>

namespace {

// The phone's end of a session: video, then control, in the server's order.
bool connectPhone(Device *device, QTcpSocket &video, QTcpSocket &control)
{
    device->startScrcpySession();
    if (!QTest::qWaitFor([&] { return device->server() && device->server()->isLaunched(); }))
        return false;
    const quint16 port = device->currentServerParams()->port();
    video.connectToHost(QHostAddress::LocalHost, port);
    if (!video.waitForConnected(3000) || !QTest::qWaitFor([&] { return device->videoDemuxer(); }))
        return false;
    control.connectToHost(QHostAddress::LocalHost, port);
    return control.waitForConnected(3000) && QTest::qWaitFor([&] { return device->controller(); });
}

QList<QRect> touchesOn(QTcpSocket &control, int n)
{
    QByteArray buffer;
    QList<QRect> touches;
    (void)QTest::qWaitFor([&] {
        buffer += control.readAll();
        QList<WireMessage> messages;
        decodeControlMessages(buffer, messages);
        for (const WireMessage &m : messages)
            if (m.type == 2)
                touches << QRect(m.x, m.y, m.width, m.height);
        return touches.size() >= n;
    });
    return touches;
}

ADBDeviceInfo entry(const QString &serial, bool usb = true, const QString &hardware = {})
{
    ADBDeviceInfo info;
    info.adb_serial = serial;
    info.is_usb_connection = usb;
    info.hardware_serial = hardware;
    return info;
}

QStringList serials(const QList<ADBDeviceInfo> &infos)
{
    return TestSupport::mapped(infos, &ADBDeviceInfo::adb_serial);
}

QStringList rows(const DeviceGroup &group)
{
    QStringList serials;
    for (int row = 0; row < group.rowCount(); ++row) {
        const auto *d = group.data(group.index(row), DeviceGroup::DeviceRole).value<Device *>();
        serials << (d ? d->adbConnectionSerial() : QStringLiteral("null"));
    }
    return serials;
}

QList<QPointer<Device>> members(DeviceGroup &group, const QStringList &names)
{
    QList<QPointer<Device>> devices;
    for (const QString &serial : names) {
        devices << new Device(nullptr, serial);
        group.addDevice(devices.last());
    }
    return devices;
}

} // namespace

// Every signal the object's own class declares, in emission order (QSignalSpy watches one).
class SignalLog : public QObject
{
    Q_OBJECT

public:
    explicit SignalLog(QObject *watched)
    {
        const QMetaObject *meta = watched->metaObject();
        const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("record()"));
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
            if (meta->method(i).methodType() == QMetaMethod::Signal)
                connect(watched, meta->method(i), this, slot);
    }
    QStringList names;
    Q_SLOT void record()
    {
        names << QString::fromLatin1(sender()->metaObject()->method(senderSignalIndex()).name());
    }
};

class DeviceGroupTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<FakeAdb> m_adb;

    QString file() const { return m_root->filePath("data/PX/DeviceGroup/device_groups.json"); }
    int listings() const { return int(m_adb->calls().count({"devices", "-l"})); }
    QStringList savedNames() const
    {
        const QJsonArray saved = TestSupport::readJson(file()).value("device_groups").toArray();
        return TestSupport::mapped(saved, [](const QJsonValue &g) { return g["name"].toString(); });
    }

private slots:
    void init()
    {
        TestSupport::serverFile();
        m_root = std::make_unique<QTemporaryDir>();
        // A folder that does not exist yet, some levels deep.
        AppConfig::instance()->setDeviceGroupSavePath(QFileInfo(file()).path());
        m_adb = std::make_unique<FakeAdb>();
        m_adb->answerAsPhones({});
    }

    void cleanup()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        TestSupport::settle(); // background refreshes of devices still talk to the scripted adb
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_adb.reset();
        m_root.reset();
    }

    void rowsArriveTwoHundredMillisecondsApart()
    {
        DeviceGroup group;
        group.setMaxSize(1000); // unnamed: stored only, yet applied on insertion
        QVERIFY(!group.addDevices({}));
        // One row at a time, later: never the whole batch in one event.
        QList<int> rowsSeen;
        connect(&group, &DeviceGroup::deviceAddedIntoGroup, this,
                [&](Device *) { rowsSeen << group.rowCount(); });
        QVERIFY(group.addDevices({entry("A"), entry("B", false), entry("C")}));
        QCOMPARE(group.rowCount(), 0);
        QTRY_COMPARE(rowsSeen, QList<int>({1, 2, 3}));

        QCOMPARE(rows(group), QStringList({"A", "B", "C"}));
        for (int row = 0; row < 3; ++row) {
            Device *device = group.devices().at(row);
            QCOMPARE(device->connectionType(), row == 1 ? Device::WiFi : Device::USB);
            QCOMPARE(device->serverParamsSmallView()->maxSize(), 1000);
        }
        // One phone is one member, whichever connection offers it again (also within one call).
        QVERIFY(group.addDevices(
            {entry("10.0.0.3:5555", false, "A"), entry("B"), entry("D"), entry("D")}));
        QTRY_COMPARE(rows(group), QStringList({"A", "B", "C", "D"}));
    }

    // Mistyped (loaded undefined): fallback, unsound file; absent width, matching: 960, off.
    void settingsLoad_data()
    {
        addColumns<QString, QJsonValue, QJsonValue>({"key", "stored", "loaded"});
        const QJsonValue fallback(QJsonValue::Undefined);
        QTest::newRow("fraction") << "maxFPS" << QJsonValue(29.5) << fallback;
        QTest::newRow("beyond int") << "maxSizeBigView" << QJsonValue(1e12) << fallback;
        QTest::newRow("int for bool") << "showControlButtons" << QJsonValue(0) << fallback;
        QTest::newRow("no such layout") << "orientation" << QJsonValue(5) << fallback;
        QTest::newRow("whole double") << "maxFPSBigView" << QJsonValue(60.0) << QJsonValue(60);
    }

    void settingsLoad()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, stored);
        QFETCH(QJsonValue, loaded);
        // The stored keys are the groups file's format: renaming one loses users' settings.
        QJsonObject expected = DeviceGroup().toJson().value("settings").toObject();
        QCOMPARE(expected.keys(),
                 QStringList({"bigViewWidth", "bitRate", "bitRateBigView", "cellWidth",
                              "clickDelaySeconds", "enableAudio", "matchTileSize", "maxFPS",
                              "maxFPSBigView", "maxSize", "maxSizeBigView", "orientation",
                              "showControlButtons"}));
        DeviceGroup group;
        QCOMPARE(group.loadSettings({{key, stored}}), !loaded.isUndefined());
        expected.insert("bigViewWidth", 960);
        expected.insert("matchTileSize", false);
        if (!loaded.isUndefined())
            expected.insert(key, loaded);
        QCOMPARE(group.toJson().value("settings").toObject(), expected);
    }

    void settersSaveAndApplyOnlyForNamedGroups()
    {
        DeviceGroup group;
        Device *device = members(group, {"A"}).first();
        SignalLog log(&group);
        group.setMaxSize(1000);
        QCOMPARE(log.names, QStringList({"maxSizeChanged"}));
        TestSupport::settle();
        QCOMPARE(device->serverParamsSmallView()->maxSize(), 720);

        group.setName("G");
        log.names.clear();
        QThread *appliedOn = nullptr;
        connect(
            device->serverParamsSmallView(), &ServerParams::maxSizeChanged, this,
            [&] { appliedOn = QThread::currentThread(); }, Qt::DirectConnection);
        const QStringList keys{
            "showControlButtons", "clickDelaySeconds", "maxSize",        "maxFPS",    "bitRate",
            "maxSizeBigView",     "maxFPSBigView",     "bitRateBigView", "cellWidth", "enableAudio",
            "orientation",        "bigViewWidth"};
        const QVariant landscape = QVariant::fromValue(DeviceGroup::Landscape);
        const QVariantList values{false, 4,       1024, 15,   1500000,   1920,
                                  60,    8000000, 333,  true, landscape, 777};
        const auto setAll = [&] {
            for (int i = 0; i < keys.size(); ++i)
                group.setProperty(qPrintable(keys[i]), values[i]);
        };
        setAll();
        QCOMPARE(log.names.count("settingsChanged"), 12); // each change saved once
        // Handed to the background; it comes back to the GUI thread later.
        ServerParams *small = device->serverParamsSmallView();
        ServerParams *big = device->serverParamsBigView();
        QCOMPARE(small->maxSize(), 720);
        QTRY_COMPARE(small->maxSize(), 1024);
        QCOMPARE(appliedOn, QThread::currentThread());
        QCOMPARE(QList<int>({small->maxFps(), small->bitRate(), big->maxSize(), big->maxFps(),
                             big->bitRate(), small->audio() && big->audio()}),
                 QList<int>({15, 1500000, 1920, 60, 8000000, true}));
        log.names.clear();
        setAll(); // the same values again
        QVERIFY(log.names.isEmpty());

        DeviceGroup copy;
        QVERIFY(copy.loadSettings(group.toJson().value("settings").toObject()));
        for (int i = 0; i < keys.size(); ++i)
            QCOMPARE(copy.property(qPrintable(keys[i])), values[i]);
    }

    void groupControlHostsRowZeroUntilItLeaves()
    {
        DeviceGroup group;
        SignalLog log(&group);
        group.startGroupControl(); // empty: nothing to host
        QVERIFY(log.names.isEmpty());
        QPointer<Device> a = members(group, {"A"}).first();
        Device *b = members(group, {"B"}).first();
        log.names.clear();
        group.startGroupControl();
        group.startGroupControl();
        Device *c = members(group, {"C"}).first();
        QCOMPARE(group.hostDevice(), a.data());
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
        QCOMPARE(rows(group), QStringList({"B", "C"}));
        QVERIFY(a); // deleted later, not at once
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!a);

        log.names.clear();
        group.removeDevice(nullptr); // not a member
        QVERIFY(log.names.isEmpty());

        // A host deleted elsewhere leaves no empty row and ends group control.
        group.startGroupControl();
        QSignalSpy count(&group, &DeviceGroup::deviceCountChanged);
        delete b;
        QCOMPARE(rows(group), QStringList({"C"}));
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
        delete d.at(1).data(); // gone before its turn
        QTRY_COMPARE_WITH_TIMEOUT(group.deviceCount(), 0, 10000);
        QCOMPARE(removed, QStringList({"A", "C"}));
        log.names.clear();
        group.clearDevices();
        QVERIFY(log.names.isEmpty());

        // A group deleted with an insertion and a removal still scheduled takes its devices.
        auto other = std::make_unique<DeviceGroup>();
        QVERIFY(other->addDevices({entry("A"), entry("B")}));
        QTRY_COMPARE(other->deviceCount(), 1);
        QPointer<Device> a = other->devices().first();
        members(*other, {"C"});
        other->clearDevices();
        other.reset();
        QVERIFY(!a);
    }

    void movingRowsZeroAndTwo()
    {
        DeviceGroup source;
        source.setName("S");
        DeviceGroup target;
        target.setName("T");
        target.setMaxSize(480);
        const QList<QPointer<Device>> d = members(source, {"A", "B", "C"});
        Device *a = d.at(0), *b = d.at(1), *c = d.at(2);
        source.startGroupControl();
        SignalLog sourceLog(&source);
        SignalLog targetLog(&target);
        source.setMaxSize(1234); // applied in the background, only to the members by then
        sourceLog.names.clear();

        source.moveDevicesToGroup({"A", "C", "b"}, &target); // "b" is not B
        QCOMPARE(rows(source), QStringList({"B"}));
        QCOMPARE(sourceLog.names, QStringList({"deviceRemovedFromGroup", "hostDeviceChanged",
                                               "groupControlModeChanged", "deviceRemovedFromGroup",
                                               "deviceCountChanged"}));
        QCOMPARE(targetLog.names, QStringList({"deviceAddedIntoGroup", "deviceAddedIntoGroup",
                                               "deviceCountChanged"}));
        QVERIFY(!a->isHostDevice() && !target.groupControlMode());
        QCOMPARE(QList<int>({target.indexOfDevice(a), b->indexInGroup(), a->indexInGroup(),
                             a->serverParamsSmallView()->maxSize(),
                             b->serverParamsSmallView()->maxSize()}),
                 QList<int>({1, 0, 1, 480, 720}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(target.devices(), QList<Device *>({c, a})); // moved, not deleted
        QTRY_COMPARE(b->serverParamsSmallView()->maxSize(), 1234);
        TestSupport::settle();
        QCOMPARE(a->serverParamsSmallView()->maxSize(), 480);

        sourceLog.names.clear();
        source.moveDevicesToGroup({"B"}, &source); // nothing to move
        source.moveDevicesToGroup({"B"}, nullptr);
        source.moveDevicesToGroup({}, &target);
        QVERIFY(sourceLog.names.isEmpty());

        // Sound is pushed to every member even when the group value stays.
        b->setEnableAudio(true);
        QSignalSpy messages(b, &Device::deviceMessage);
        source.setEnableAudio(false);
        QVERIFY(!b->isAudioEnabled());
        QCOMPARE(messages.size(), 1);
    }

    void replayRoundsHalvesAwayFromZeroAndEachPhoneDrawsItsClickDelay()
    {
        DeviceGroup group;
        const QList<QPointer<Device>> d = members(group, {"HOST", "B", "C", "NOCONTROLLER"});
        QTcpSocket video[3], control[3];
        for (int i = 0; i < 3; ++i)
            QVERIFY(connectPhone(d.at(i), video[i], control[i]));
        group.startGroupControl();
        TestSupport::deliverFrame(d.at(0), QSize(4, 4));
        TestSupport::deliverFrame(d.at(1), QSize(6, 6));
        // C, no frame yet, gets the host's positions as they are; no controller: skipped quietly.

        // x 1.5: 3 -> 4.5 -> 5, 1 -> 1.5 -> 2, and the same away from zero below it.
        ControlMsg touch(ControlMsg::InjectTouchEvent);
        touch.setInjectTouchEvent(1, 0, 0, 0, QRect(QPoint(3, 1), QSize(4, 4)), 1.0f);
        group.forwardHostMessage(touch);
        touch.setTouchPosition(QRect(QPoint(-3, -1), QSize(4, 4)));
        group.forwardHostMessage(touch);
        QCOMPARE(touchesOn(control[1], 2), QList<QRect>({{5, 2, 6, 6}, {-5, -2, 6, 6}}));
        QCOMPARE(touchesOn(control[2], 2), QList<QRect>({{3, 1, 4, 4}, {-3, -1, 4, 4}}));

        // A click delay: each phone but the host draws its own, afresh at every application.
        group.setName("G");
        group.setClickDelaySeconds(1);
        bool drawsDiffer = false;
        for (int round = 0; round < 3; ++round) {
            group.applySettingsToAllDevices();
            TestSupport::settle();
            const int b = d.at(1)->controller()->clickDelayMilliSeconds();
            const int c = d.at(2)->controller()->clickDelayMilliSeconds();
            QVERIFY(b >= 0 && b < 1000 && c >= 0 && c < 1000);
            drawsDiffer = drawsDiffer || b != c;
        }
        QVERIFY(drawsDiffer);
        QCOMPARE(d.at(0)->controller()->clickDelayMilliSeconds(), 0);
    }

    void startsAndStopsAreSpacedAndSkipGoneDevices()
    {
        DeviceGroup group;
        const QList<QPointer<Device>> d = members(group, {"A", "B", "C", "D", "E"});
        d.at(0)->startScrcpySession();
        d.at(2)->startScrcpySession();
        QStringList order;
        QObject context;
        for (Device *device : d)
            connect(device, &Device::runningChanged, &context,
                    [&order, device] { order << device->adbConnectionSerial(); });
        group.startAllDevices(); // B at 0, D at 200, E at 400 ms: running ones are skipped
        delete d.at(3).data();   // D goes before its turn
        QTRY_VERIFY(d.at(1)->running() && d.at(4)->running());
        QCOMPARE(order, QStringList({"B", "E"}));
        d.at(1)->stopScrcpySession(); // not running, yet keeps its slot
        order.clear();
        group.stopAllDevices(); // A at 0, B at 300, C at 600, E at 900 ms
        delete d.at(2).data();  // C goes before its turn
        QCOMPARE(group.deviceCount(), 3);
        QTRY_VERIFY_WITH_TIMEOUT(!d.at(4)->running(), 10000);
        QCOMPARE(order, QStringList({"C", "A", "E"})); // C: by its own destructor, at once
    }

    void adbCommandsAreNumberedPerDeviceAndRunOffTheGuiThread()
    {
        DeviceGroup group;
        QCOMPARE(group.executeADBCommand("shell echo hi"), QString());
        members(group, {"A", "B", "C"});
        m_adb->respondMatching("*' shell sleep '*", FakeAdb::slow({}, 0.5));
        for (const QString serial : {"A", "B", "C"})
            m_adb->respond({"-s", serial, "shell", "echo", "hi", "there"},
                           serial.toUtf8() + ":hi there\n");
        const QString hyphens = "\n" + QString(32, QLatin1Char('-')) + "\n";
        group.devices().at(1)->setNickName("Desk");
        QCOMPARE(group.executeADBCommand("shell echo hi there"),
                 "Device 1: A" + hyphens + "A:hi there\n\n\nDevice 2: Desk (B)" + hyphens +
                     "B:hi there\n\n\nDevice 3: C" + hyphens + "C:hi there\n\n\n");
        // Line by line, blank ones skipped, words split on any run of blanks.
        const QString input = QStringLiteral("shell sleep 0.5\n \r\n  shell  echo hi there \r");
        const QString expected = group.executeADBCommand(input);
        QVERIFY(expected.endsWith("Device 3: C" + hyphens + "\nC:hi there\n\n\n"));

        QSignalSpy finished(&group, &DeviceGroup::adbCommandFinished);
        group.executeADBCommandAsync(input);
        QVERIFY(group.adbCommandRunning() && finished.isEmpty());
        group.executeADBCommandAsync(QStringLiteral("shell echo again")); // one at a time
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QCOMPARE(finished.first().first().toString(), expected);
        QVERIFY(!group.adbCommandRunning());
    }

    void theFileIsLoadedOrKeptAsBackup_data()
    {
        addColumns<QByteArray, QStringList, bool>({"content", "names", "keptAsBackup"});
        const auto row = [](const char *name, const char *content, bool keptAsBackup = true,
                            const QStringList &names = {"Default Group"}) {
            QTest::newRow(name) << QByteArray(content) << names << keptAsBackup;
        };
        row("only named groups load", R"({"device_groups": [
            {"name": "", "settings": {"maxSize": 100}}, {"name": "A"},
            {"name": "B", "settings": {"maxSize": 1000, "cellWidth": 300}}]})",
            true, {"A", "B"});
        row("not JSON", R"({"device_groups": [{"name": "Shop")");
        row("array at the root", R"([{"name": "Shop"}])");
        row("groups not a list", R"({"device_groups": {"name": "Shop"}})");
        row("an empty list", R"({"device_groups": []})", false);
    }

    void theFileIsLoadedOrKeptAsBackup()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, names);
        QFETCH(bool, keptAsBackup);
        QVERIFY(!TestSupport::writeFile(file(), content).isEmpty());
        DeviceGroupManager manager;
        const QList<DeviceGroup *> groups = manager.deviceGroups();
        QCOMPARE(TestSupport::mapped(groups, &DeviceGroup::name), names);
        QCOMPARE(manager.currentSelectedGroup(), groups.first());
        QCOMPARE(QFile::exists(file() + ".bak"), keptAsBackup);
        QVERIFY(!keptAsBackup || TestSupport::readFile(file() + ".bak") == content);
        QCOMPARE(groups.first()->bigViewWidth(), 400); // no settings at all: a new group's
        if (names.first() != "A") {
            QCOMPARE(savedNames(), names);
            return;
        }
        QCOMPARE(TestSupport::readFile(file()), content); // loading writes nothing
        QCOMPARE(
            QList<int>({groups[1]->bigViewWidth(), groups[1]->maxSize(), groups[1]->cellWidth()}),
            QList<int>({960, 1000, 300})); // settings without the width key
    }

    void groupChangesAreSaved()
    {
        DeviceGroupManager manager;
        DeviceGroup *first = manager.deviceGroups().first();
        manager.createDeviceGroup("Shop");
        QCOMPARE(savedNames(), QStringList({"Default Group", "Shop"}));
        QCOMPARE(manager.currentSelectedGroup(), first);
        DeviceGroup *shop = manager.deviceGroups().at(1);
        shop->renameTo("Store");
        QCOMPARE(savedNames(), QStringList({"Default Group", "Store"}));

        // Devices joining or leaving are not saved.
        QFile::remove(file());
        QPointer<Device> device = members(*shop, {"P1"}).first();
        shop->removeDevice(device);
        QVERIFY(!QFile::exists(file()));

        // The removed current group stays current, with its devices.
        manager.setCurrentSelectedGroup(shop);
        device = members(*shop, {"P2"}).first();
        manager.removeDeviceGroup(shop);
        QCOMPARE(savedNames(), QStringList({"Default Group"}));
        QCOMPARE(manager.currentSelectedGroup(), shop);
        QCOMPARE(shop->devices(), QList<Device *>({device.data()}));
    }

    void availablePhonesFollowGroupMembership()
    {
        m_adb->respond({"devices", "-l"}, FakeAdb::listing({"P1", "P2", "P3"}));
        DeviceSettings::instance()->setDeviceNickname("P2", "Front desk");
        DeviceGroupManager manager;
        manager.scanDevices();
        QTRY_VERIFY(!manager.isScanning());
        QCOMPARE(serials(manager.availableDeviceInfos()), QStringList({"P1", "P2", "P3"}));
        QCOMPARE(manager.availableDeviceInfos().at(1).nickname, QStringLiteral("Front desk"));
        DeviceSettings::instance()->removeDeviceNickname("P2");

        DeviceGroup *group = manager.deviceGroups().first();
        QSignalSpy changed(&manager, &DeviceGroupManager::availableDeviceInfosChanged);
        Device *p1 = members(*group, {"P1", "P3"}).first();
        QCOMPARE(changed.size(), 0); // listed off this thread
        QTRY_COMPARE(serials(manager.availableDeviceInfos()), QStringList({"P2"}));
        QCOMPARE(manager.totalDeviceCount(), 2);

        group->removeDevice(p1);
        QTRY_COMPARE(serials(manager.availableDeviceInfos()), QStringList({"P1", "P2"}));

        // A group taken off the list still holds its phones: they are not offered twice.
        manager.createDeviceGroup("Shop");
        DeviceGroup *shop = manager.deviceGroups().at(1);
        members(*shop, {"P2"});
        manager.removeDeviceGroup(shop);
        manager.handleDeviceAdded(nullptr);
        QTRY_COMPARE(serials(manager.availableDeviceInfos()), QStringList({"P1"}));

        // A failed listing keeps the offered phones; a refresh does not report it, a scan does.
        TestSupport::settle(); // every listing asked for came back
        m_adb->respond({"devices", "-l"},
                       FakeAdb::failure("error: protocol fault (couldn't read status)"));
        SignalLog log(&manager);
        QSignalSpy errors(&manager, &DeviceGroupManager::scanError);
        const int before = listings();
        members(*group, {"P1"});
        manager.handleDeviceRemoved(nullptr);
        QTRY_VERIFY(listings() > before);
        TestSupport::settle();
        QVERIFY2(log.names.isEmpty(), qPrintable(log.names.join(", ")));
        manager.scanDevices();
        QTRY_VERIFY(!manager.isScanning());
        QCOMPARE(log.names, QStringList({"isScanningChanged", "scanError", "isScanningChanged"}));
        const QString message = errors.first().first().toString();
        QVERIFY2(message.contains("protocol fault (couldn't read status)"), qPrintable(message));
        QCOMPARE(serials(manager.availableDeviceInfos()), QStringList({"P1"}));
    }

    // The first listing answers last: the second scan wins; restarting adb does not block.
    void scansAndRestartsRunInTheBackground()
    {
        m_adb->respondInTurn({"devices", "-l"}, {{FakeAdb::listing({"LISTING1"}), 0, {}, 0.8},
                                                 {FakeAdb::listing({"LISTING2"}), 0, {}, 0.1}});
        DeviceGroupManager manager;
        SignalLog log(&manager);
        manager.scanDevices();
        QTRY_COMPARE(listings(), 1);
        manager.scanDevices();
        QTRY_VERIFY_WITH_TIMEOUT(!manager.isScanning(), 5000);
        TestSupport::settle(); // the first listing's late answer
        QCOMPARE(serials(manager.availableDeviceInfos()), QStringList({"LISTING2"}));
        QCOMPARE(log.names, QStringList({"isScanningChanged", "availableDeviceInfosChanged",
                                         "isScanningChanged"}));

        QSignalSpy finished(&manager, &DeviceGroupManager::adbServerRestartFinished);
        manager.restartADBServerAsync();
        QVERIFY(manager.restartingADBServer() && finished.isEmpty()); // nothing ran here
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
        QVERIFY(!manager.restartingADBServer());
    }
};

PARVIX_TEST(DeviceGroupTest)
#include "devicegrouptest.moc"
