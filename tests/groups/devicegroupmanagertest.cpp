// The group manager: its file (first start, damaged files, the events that save),
// the current group, and the phones offered for adding, by scan and by refresh.
#include "devicegroupmanager.h"
#include "adbrunner.h"
#include "appconfig.h"
#include "device.h"
#include "devicegroup.h"
#include "devicesettings.h"
#include "fakeadb.h"
#include "groupharness.h"
#include "signallog.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTranslator>
#include <QtTest>

#include <memory>

using GroupTest::addMember;

namespace {
QStringList serialsOf(const QList<ADBDeviceInfo> &infos)
{
    QStringList result;
    for (const ADBDeviceInfo &info : infos)
        result << info.adb_serial;
    return result;
}

QStringList namesOf(const QList<DeviceGroup *> &groups)
{
    QStringList result;
    for (const DeviceGroup *group : groups)
        result << group->name();
    return result;
}
} // namespace

class DeviceGroupManagerTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<FakeAdb> m_adb;

    static void settle()
    {
        ADBRunner::workPool()->waitForDone();
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
    }

    int listingCount() const { return int(m_adb->calls().count({"devices", "-l"})); }

    QString folder() const { return m_root->filePath("data/PX/DeviceGroup"); }
    QString file() const { return folder() + "/device_groups.json"; }

    QJsonArray savedGroups() const
    {
        return TestSupport::readJson(file()).value("device_groups").toArray();
    }

    QStringList savedNames() const
    {
        QStringList names;
        for (const QJsonValue &group : savedGroups())
            names << group.toObject().value("name").toString();
        return names;
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        // A folder that does not exist yet, some levels deep.
        AppConfig::instance()->setDeviceGroupSavePath(folder());
        m_adb = std::make_unique<FakeAdb>();
        m_adb->answerAsPhones({});
    }

    void cleanup()
    {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_adb.reset();
        m_root.reset();
    }

    void firstStartMakesTheDefaultGroup_data()
    {
        QTest::addColumn<QString>("translation");
        QTest::addColumn<QString>("name");
        QTest::newRow("English") << QString() << QStringLiteral("Default Group");
        QTest::newRow("Chinese") << QStringLiteral(":/translations/Parvix_TW.qm")
                                 << QStringLiteral("預設分組");
    }

    void firstStartMakesTheDefaultGroup()
    {
        QFETCH(QString, translation);
        QFETCH(QString, name);
        QTranslator translator;
        QVERIFY(translation.isEmpty() || translator.load(translation));
        QCoreApplication::installTranslator(&translator);
        DeviceGroupManager manager;
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(namesOf(manager.deviceGroups()), QStringList({name}));
        QCOMPARE(manager.currentSelectedGroup(), manager.deviceGroups().first());
        QCOMPARE(savedNames(), QStringList({name}));
        QCOMPARE(savedGroups().first().toObject().value("settings").toObject(),
                 manager.deviceGroups().first()->toJson().value("settings").toObject());
        QCOMPARE(manager.deviceGroups().first()->bigViewWidth(), 400);
        QVERIFY(!QFile::exists(file() + ".bak"));
    }

    void theFileIsLoadedOrKeptAsBackup_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("keptAsBackup");
        const QStringList fresh{"Default Group"};
        QTest::newRow("only named groups load") << QByteArray(R"({"device_groups": [
            {"name": "", "settings": {"maxSize": 100}}, {"name": "A"},
            {"name": "B", "settings": {"maxSize": 1000, "cellWidth": 300}}]})")
                                                << QStringList({"A", "B"}) << true;
        QTest::newRow("not JSON") << QByteArray(R"({"device_groups": [{"name": "Shop")") << fresh
                                  << true;
        QTest::newRow("array at the root") << QByteArray(R"([{"name": "Shop"}])") << fresh << true;
        QTest::newRow("groups not a list")
            << QByteArray(R"({"device_groups": {"name": "Shop"}})") << fresh << true;
        QTest::newRow("only nameless groups")
            << QByteArray(R"({"device_groups": [{"title": "Shop"}]})") << fresh << true;
        QTest::newRow("an empty list") << QByteArray(R"({"device_groups": []})") << fresh << false;
    }

    void theFileIsLoadedOrKeptAsBackup()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, names);
        QFETCH(bool, keptAsBackup);
        QDir().mkpath(folder());
        QFile out(file());
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(content) == content.size());
        out.close();
        DeviceGroupManager manager;
        QCOMPARE(namesOf(manager.deviceGroups()), names);
        QCOMPARE(manager.currentSelectedGroup(), manager.deviceGroups().first());
        QCOMPARE(QFile::exists(file() + ".bak"), keptAsBackup);
        if (keptAsBackup)
            QCOMPARE(TestSupport::readFile(file() + ".bak"), content);
        if (names.first() != "A") {
            QCOMPARE(savedNames(), names);
            return;
        }
        QCOMPARE(TestSupport::readFile(file()), content); // loading writes nothing
        DeviceGroup *a = manager.deviceGroups().at(0);
        DeviceGroup *b = manager.deviceGroups().at(1);
        QCOMPARE(a->bigViewWidth(), 400); // no settings at all: a new group's
        QCOMPARE(b->bigViewWidth(), 960); // settings without the key
        QCOMPARE(b->maxSize(), 1000);
        QCOMPARE(b->cellWidth(), 300);
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
        shop->setMaxFPS(12);
        QCOMPARE(
            savedGroups().at(1).toObject().value("settings").toObject().value("maxFPS").toInt(),
            12);

        // Devices joining or leaving are not saved.
        QFile::remove(file());
        QPointer<Device> device = addMember(shop, "P1");
        shop->removeDevice(device);
        QVERIFY(!QFile::exists(file()));

        // The removed current group stays current, with its devices.
        manager.setCurrentSelectedGroup(shop);
        device = addMember(shop, "P2");
        manager.removeDeviceGroup(shop);
        QCOMPARE(savedNames(), QStringList({"Default Group"}));
        QCOMPARE(manager.currentSelectedGroup(), shop);
        QCOMPARE(shop->devices(), QList<Device *>({device.data()}));
        // Not in the list any more: the file is written all the same.
        QFile::remove(file());
        manager.removeDeviceGroup(shop);
        QCOMPARE(savedNames(), QStringList({"Default Group"}));
    }

    void availablePhonesFollowGroupMembership()
    {
        m_adb->respond({"devices", "-l"}, FakeAdb::listing({"P1", "P2", "P3"}));
        DeviceSettings::instance()->setDeviceNickname("P2", "Front desk");
        DeviceGroupManager manager;
        manager.scanDevices();
        QTRY_VERIFY(!manager.isScanning());
        QCOMPARE(serialsOf(manager.availableDeviceInfos()), QStringList({"P1", "P2", "P3"}));
        QCOMPARE(manager.availableDeviceInfos().at(1).nickname, QStringLiteral("Front desk"));
        QCOMPARE(manager.availableDeviceInfos().at(0).nickname, QString());
        DeviceSettings::instance()->removeDeviceNickname("P2");

        DeviceGroup *group = manager.deviceGroups().first();
        QSignalSpy changed(&manager, &DeviceGroupManager::availableDeviceInfosChanged);
        Device *p1 = addMember(group, "P1");
        addMember(group, "P3");
        QCOMPARE(changed.size(), 0); // listed off this thread
        QTRY_COMPARE(serialsOf(manager.availableDeviceInfos()), QStringList({"P2"}));
        QCOMPARE(manager.totalDeviceCount(), 2);

        group->removeDevice(p1);
        QTRY_COMPARE(serialsOf(manager.availableDeviceInfos()), QStringList({"P1", "P2"}));

        // A group taken off the list still holds its phones: they are not offered twice.
        manager.createDeviceGroup("Shop");
        DeviceGroup *shop = manager.deviceGroups().at(1);
        addMember(shop, "P2");
        manager.removeDeviceGroup(shop);
        manager.handleDeviceAdded(nullptr);
        QTRY_COMPARE(serialsOf(manager.availableDeviceInfos()), QStringList({"P1"}));

        // A failed listing keeps the offered phones; a refresh does not report it, a scan does.
        settle(); // every listing asked for came back
        QCOMPARE(serialsOf(manager.availableDeviceInfos()), QStringList({"P1"}));
        m_adb->respond({"devices", "-l"},
                       FakeAdb::failure("error: protocol fault (couldn't read status)"));
        SignalLog log(&manager);
        QSignalSpy errors(&manager, &DeviceGroupManager::scanError);
        const int listings = listingCount();
        addMember(group, "P1");
        manager.handleDeviceRemoved(nullptr);
        QTRY_VERIFY(listingCount() > listings);
        settle();
        QVERIFY2(log.names.isEmpty(), qPrintable(log.names.join(", ")));
        manager.scanDevices();
        QVERIFY(manager.isScanning());
        QTRY_VERIFY(!manager.isScanning());
        QCOMPARE(log.names, QStringList({"isScanningChanged", "scanError", "isScanningChanged"}));
        const QString message = errors.first().first().toString();
        QVERIFY2(message.contains("protocol fault (couldn't read status)"), qPrintable(message));
        QCOMPARE(serialsOf(manager.availableDeviceInfos()), QStringList({"P1"}));

        manager.clearAvailableDevices();
        QVERIFY(manager.availableDeviceInfos().isEmpty());
    }

    void restartingAdbReportsWithoutBlocking()
    {
        DeviceGroupManager manager;
        QSignalSpy finished(&manager, &DeviceGroupManager::adbServerRestartFinished);
        manager.restartADBServerAsync();
        QVERIFY(manager.restartingADBServer());
        QVERIFY(finished.isEmpty()); // nothing ran on this thread
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
        QVERIFY(!manager.restartingADBServer());
    }

    void aSecondScanWinsOverTheFirst()
    {
        // The first listing answers last.
        m_adb->respondInTurn({"devices", "-l"}, {{FakeAdb::listing({"LISTING1"}), 0, {}, 0.8},
                                                 {FakeAdb::listing({"LISTING2"}), 0, {}, 0.1}});
        DeviceGroupManager manager;
        SignalLog log(&manager);
        manager.scanDevices();
        QTRY_COMPARE(listingCount(), 1);
        manager.scanDevices();
        QTRY_VERIFY_WITH_TIMEOUT(!manager.isScanning(), 5000);
        QCOMPARE(serialsOf(manager.availableDeviceInfos()), QStringList({"LISTING2"}));
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents(); // the first listing's late answer
        QCOMPARE(serialsOf(manager.availableDeviceInfos()), QStringList({"LISTING2"}));
        QCOMPARE(log.names, QStringList({"isScanningChanged", "availableDeviceInfosChanged",
                                         "isScanningChanged"}));
    }
};

PARVIX_TEST(DeviceGroupManagerTest)
#include "devicegroupmanagertest.moc"
