// The four data stores (nicknames, groups, key mappings, phrases) against faults of their
// files: content they cannot use, a file that cannot be read, saves that fail, files far
// too large, and stores filled to their limits. For each: no crash, one message the user
// sees, nothing lost (the user's file is kept beside it as .bak), and the store works
// again once the fault is gone. Then the nickname store's own rules: its file, what it
// announces, a save cut short, its folder changing, and lookups from worker threads.
#include "appconfig.h"
#include "commonphrasemanager.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "devicesettings.h"
#include "jsonfile.h"
#include "keymapping.h"
#include "storeerrors.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>
#include <atomic>
#include <csignal>
#include <sys/resource.h>

#include <functional>
#include <memory>

namespace {

enum class Kind { Nicknames, Groups, KeyMappings, Phrases };

using TestSupport::readFile;
using TestSupport::writeFile;

// One open store, driven as the user would.
struct OpenStore
{
    std::shared_ptr<void> store;
    std::function<void(const QString &)> add;
    std::function<QStringList()> names;
    std::function<void()> save;
};

// A text of `length` units that JSON writes at its largest: six bytes ("\u0001") each.
QString widest(const QString &start, int length)
{
    return start + QString(length - start.size(), QChar(1));
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class StoreFaultsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<QSignalSpy> m_messages;

    QString path(Kind kind) const
    {
        static const char *const files[] = {"nicknames/device_nicknames.json",
                                            "groups/device_groups.json", "keymap/keymappings.json",
                                            "phrases/common_phrases.json"};
        return m_root->filePath(files[int(kind)]);
    }

    OpenStore open(Kind kind) const
    {
        if (kind == Kind::Nicknames) {
            auto store = std::make_shared<DeviceSettings>(nullptr);
            return {store,
                    [store](const QString &name) {
                        store->setDeviceNickname(
                            QStringLiteral("serial-%1").arg(store->getAllDeviceSerials().size()),
                            name);
                    },
                    [store] {
                        QStringList result;
                        for (const QString &serial : store->getAllDeviceSerials())
                            result << store->getDeviceNickname(serial);
                        return result;
                    },
                    [store] { store->sync(); }};
        }
        if (kind == Kind::Groups) {
            auto store = std::make_shared<DeviceGroupManager>();
            return {store, [store](const QString &name) { store->createDeviceGroup(name); },
                    [store] {
                        QStringList result;
                        for (const DeviceGroup *group : store->deviceGroups())
                            result << group->name();
                        return result;
                    },
                    [store] {
                        DeviceGroup *first = store->deviceGroups().first();
                        first->setCellWidth(first->cellWidth() + 1);
                    }};
        }
        if (kind == Kind::KeyMappings) {
            auto store = std::make_shared<KeyMapping>(path(kind));
            return {store, [store](const QString &name) { store->addProfile(name); },
                    [store] { return store->profileNames(); }, [store] { store->saveToFile(); }};
        }
        auto store = std::make_shared<CommonPhraseManager>(path(kind));
        return {store, [store](const QString &name) { store->addPhrase(name, "c1"); },
                [store] {
                    QStringList result;
                    for (const CommonPhrase *phrase : store->getAllPhrases())
                        result << phrase->text();
                    return result;
                },
                [store] { store->saveData(); }};
    }

    // The longest name add() takes.
    static int nameLimit(Kind kind)
    {
        const int limits[] = {DeviceSettings::kMaxNicknameLength, DeviceGroup::kMaxNameLength,
                              KeyMapping::kMaxProfileNameLength, PhraseLimits::kMaxTextLength};
        return limits[int(kind)];
    }

    // A file holding one entry named `name`, in the store's own format.
    static QByteArray oneEntry(Kind kind, const QString &name)
    {
        const char *const formats[] = {
            R"({"device_nicknames": {"S1": "%1"}})", R"({"device_groups": [{"name": "%1"}]})",
            R"({"profiles": {"%1": []}})", R"({"phrases": [{"id": "p1", "text": "%1"}]})"};
        return QString::fromLatin1(formats[int(kind)]).arg(name).toUtf8();
    }

    // A store at every one of its limits, each text at its widest.
    static QJsonObject fullStore(Kind kind)
    {
        QJsonObject root;
        if (kind == Kind::Nicknames) {
            QJsonObject nicknames;
            for (int i = 0; i < DeviceSettings::kMaxNicknames; ++i)
                nicknames.insert(widest(QString::number(i), DeviceSettings::kMaxSerialLength),
                                 widest("n", DeviceSettings::kMaxNicknameLength));
            root.insert("device_nicknames", nicknames);
        } else if (kind == Kind::Groups) {
            QJsonArray groups;
            QJsonObject settings;
            for (const char *key :
                 {"maxSize", "maxFPS", "bitRate", "maxSizeBigView", "maxFPSBigView",
                  "bitRateBigView", "clickDelaySeconds", "cellWidth", "bigViewWidth"})
                settings.insert(key, -2147483647);
            settings.insert("orientation", 1);
            for (int i = 0; i < DeviceGroupManager::kMaxGroups; ++i)
                groups.append(
                    QJsonObject{{"name", widest(QString::number(i), DeviceGroup::kMaxNameLength)},
                                {"settings", settings}});
            root.insert("device_groups", groups);
        } else if (kind == Kind::KeyMappings) {
            const double longest = 0.12345678901234568;
            QJsonObject swipe{{"duration", KeyMappingEntry::kMaxDuration}};
            for (const char *key : {"startX", "startY", "endX", "endY"})
                swipe.insert(key, longest);
            QJsonObject profiles;
            for (int p = 0; p < KeyMapping::kMaxProfiles; ++p) {
                QJsonArray entries;
                for (int e = 0; e < KeyMappingProfile::kMaxMappings; ++e)
                    entries.append(QJsonObject{
                        {"keyCode", -2147483647 + e},
                        {"modifiers", -2147483647},
                        {"keyDisplay", widest("k", KeyMappingProfile::kMaxKeyDisplayLength)},
                        {"type", 1},
                        {"data", swipe}});
                profiles.insert(widest(QString::number(p), KeyMapping::kMaxProfileNameLength),
                                entries);
            }
            root.insert("currentProfile", widest("0", KeyMapping::kMaxProfileNameLength));
            root.insert("profiles", profiles);
        } else {
            using namespace PhraseLimits;
            QJsonArray categories, phrases;
            for (int i = 0; i < CommonPhraseManager::kMaxCategories; ++i)
                categories.append(QJsonObject{{"id", widest(QString::number(i), kMaxIdLength)},
                                              {"name", widest("n", kMaxNameLength)},
                                              {"description", widest("d", kMaxDescriptionLength)}});
            for (int i = 0; i < CommonPhraseManager::kMaxPhrases; ++i)
                phrases.append(QJsonObject{{"id", widest(QString::number(i), kMaxIdLength)},
                                           {"text", widest("t", kMaxTextLength)},
                                           {"category", widest("0", kMaxIdLength)},
                                           {"description", widest("d", kMaxDescriptionLength)}});
            root.insert("categories", categories);
            root.insert("phrases", phrases);
            root.insert("currentCategoryId", widest("0", kMaxIdLength));
        }
        return root;
    }

    static void addKinds()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("nicknames") << Kind::Nicknames;
        QTest::newRow("groups") << Kind::Groups;
        QTest::newRow("key mappings") << Kind::KeyMappings;
        QTest::newRow("phrases") << Kind::Phrases;
    }

    // The number of messages since the last call; each must name the file.
    QString nicknameFile() const { return path(Kind::Nicknames); }

    static QByteArray expectedFile(const QJsonObject &nicknames)
    {
        return QJsonDocument(QJsonObject{{"device_nicknames", nicknames}})
            .toJson(QJsonDocument::Indented);
    }

    int told(const QString &file)
    {
        int count = 0;
        for (const QList<QVariant> &message : std::as_const(*m_messages)) {
            const QString text = message.at(0).toString();
            count += text.contains(QDir::toNativeSeparators(file)) ? 1 : 1000;
        }
        m_messages->clear();
        return count;
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        AppConfig::instance()->setDeviceNicknameSavePath(m_root->filePath("nicknames"));
        AppConfig::instance()->setDeviceGroupSavePath(m_root->filePath("groups"));
        StoreErrors::instance()->clearMessages();
        m_messages =
            std::make_unique<QSignalSpy>(StoreErrors::instance(), &StoreErrors::storeError);
    }

    void cleanup()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_messages.reset();
        m_root.reset();
    }

    void unusableContentIsKeptAside_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("loaded");
        const auto row = [](const char *name, Kind kind, const char *content,
                            const QStringList &loaded = {}) {
            QTest::newRow(name) << kind << QByteArray(content) << loaded;
        };
        row("nicknames: not JSON", Kind::Nicknames, R"({"device_nicknames": {"S1": 4)");
        row("nicknames: a list", Kind::Nicknames, R"({"device_nicknames": ["S1", "Desk"]})");
        row("nicknames: empty file", Kind::Nicknames, "");
        row("nicknames: root a list", Kind::Nicknames, R"([{"device_nicknames": {"S1": "Desk"}}])");
        row("nicknames: values not names", Kind::Nicknames,
            R"({"device_nicknames": {"S1": 42, "S2": "", "S3": "Shelf", "S4": null,
                                     "S5": {"name": "x"}}, "other": 1})",
            {"Shelf"});
        row("groups: an object", Kind::Groups, R"({"device_groups": {"name": "Shop"}})",
            {"Default Group"});
        row("groups: settings a list", Kind::Groups,
            R"({"device_groups": [{"name": "Shop", "settings": [720]}]})", {"Shop"});
        row("groups: settings as text", Kind::Groups,
            R"({"device_groups": [{"name": "Shop", "settings": {"maxSize": "1080"}}]})", {"Shop"});
        row("groups: a switch as text", Kind::Groups,
            R"({"device_groups": [{"name": "Shop", "settings": {"enableAudio": "true"}}]})",
            {"Shop"});
        row("key mappings: profiles a list", Kind::KeyMappings,
            R"({"currentProfile": "Game", "profiles": [{"Game": []}]})");
        row("key mappings: a profile not a list", Kind::KeyMappings,
            R"({"profiles": {"Game": {"keyCode": 32}, "Chat": []}})", {"Chat"});
        row("key mappings: a key code as text", Kind::KeyMappings,
            R"({"profiles": {"Game": [{"keyCode": "Space", "keyDisplay": "Space"}]}})", {"Game"});
        row("key mappings: numbers as text", Kind::KeyMappings,
            R"({"profiles": {"Game": [{"keyCode": 32, "data": {"x": "0.25", "count": "3"}}]}})",
            {"Game"});
        row("key mappings: a duration as text", Kind::KeyMappings,
            R"({"profiles": {"Game": [{"type": 1, "data": {"duration": "500"}}]}})", {"Game"});
        row("key mappings: a key code not whole", Kind::KeyMappings,
            R"({"profiles": {"Game": [{"keyCode": 65.5}, {"keyCode": 0}]}})", {"Game"});
        row("key mappings: a key code beyond int", Kind::KeyMappings,
            R"({"profiles": {"Game": [{"keyCode": 3e9}]}})", {"Game"});
        row("key mappings: a swipe off-screen", Kind::KeyMappings,
            R"({"profiles": {"Game": [{"type": 1, "data": {"endX": 1e300}}]}})", {"Game"});
        row("key mappings: endless taps", Kind::KeyMappings,
            R"({"profiles": {"Game": [{"data": {"x": 0.5, "count": 2147483647}}]}})", {"Game"});
        row("phrases: phrases an object", Kind::Phrases,
            R"({"phrases": {"p1": {"text": "Hello"}}})");
        row("phrases: a category not an object", Kind::Phrases,
            R"({"categories": ["Work"], "phrases": [{"id": "p1", "text": "Hi"}]})", {"Hi"});
        row("phrases: root a list", Kind::Phrases, R"([{"text": "Hi"}])");
        // Valid JSON in the store's format, a little over the size limit.
        const QByteArray padding(JsonFile::MaxFileBytes, 'x');
        const char *const kinds[] = {"nicknames", "groups", "key mappings", "phrases"};
        for (Kind kind : {Kind::Nicknames, Kind::Groups, Kind::KeyMappings, Kind::Phrases}) {
            QByteArray huge = oneEntry(kind, "Old");
            huge.insert(1, "\"padding\": \"" + padding + "\", ");
            QTest::addRow("%s: oversized", kinds[int(kind)])
                << kind << huge
                << (kind == Kind::Groups ? QStringList{"Default Group"} : QStringList());
        }
    }

    void unusableContentIsKeptAside()
    {
        QFETCH(Kind, kind);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, loaded);
        QVERIFY(!writeFile(path(kind), content).isEmpty());
        {
            OpenStore store = open(kind);
            QCOMPARE(store.names(), loaded);
            QCOMPARE(told(path(kind) + ".bak"), 1);
            QVERIFY(readFile(path(kind) + ".bak") == content);

            store.add("Fresh");
            QVERIFY(store.names().contains("Fresh"));
            QVERIFY(readFile(path(kind)).contains("Fresh"));
            QVERIFY(QFileInfo(path(kind)).size() < 10000);
            store.add("Second"); // later saves leave the copy alone
            QVERIFY(readFile(path(kind) + ".bak") == content);
        }
        // Profiles come back in name order.
        QStringList names = open(kind).names();
        QStringList expected = loaded + QStringList{"Fresh", "Second"};
        expected.sort();
        names.sort();
        QCOMPARE(names, expected);
        QCOMPARE(told({}), 0);
    }

    // A folder where the file should be: it cannot be read, nor copied aside, nor written
    // (told once, until a save succeeds again).
    void unreadableAndUnwritableFiles_data() { addKinds(); }

    void unreadableAndUnwritableFiles()
    {
        QFETCH(Kind, kind);
        const QByteArray older = oneEntry(kind, "Older");
        QVERIFY(!writeFile(path(kind) + ".bak", older).isEmpty());
        QVERIFY(!writeFile(path(kind) + "/inside.txt", "the user's").isEmpty());
        {
            OpenStore store = open(kind);
            QCOMPARE(told(path(kind)), 1);
            QCOMPARE(readFile(path(kind) + ".bak"), older); // the older copy survives
            store.add("One");
            QVERIFY(store.names().contains("One"));
            QCOMPARE(readFile(path(kind) + "/inside.txt"), QByteArray("the user's"));
            QCOMPARE(told({}), 0); // told once

            QVERIFY(QDir(path(kind)).removeRecursively());
            store.add("Two");
            QCOMPARE(told({}), 0);
            QVERIFY(readFile(path(kind)).contains("Two"));
            QVERIFY(QFile::remove(path(kind)) && QDir().mkpath(path(kind)));
            store.add("Three"); // failing again after a success is told again
            QCOMPARE(told(path(kind)), 1);
            store.add("Four");
            QCOMPARE(told({}), 0);
            QVERIFY(QDir().rmdir(path(kind)));
            store.save();
        }
        const QStringList names = open(kind).names();
        for (const char *name : {"One", "Two", "Three", "Four"})
            QVERIFY2(names.contains(name), name);
        QCOMPARE(readFile(path(kind) + ".bak"), older);
    }

    void fullStoresStayWithinTheFileLimit_data() { addKinds(); }

    void fullStoresStayWithinTheFileLimit()
    {
        QFETCH(Kind, kind);
        {
            OpenStore empty = open(kind);
            const int before = int(empty.names().size());
            empty.add(QString(nameLimit(kind) + 1, QLatin1Char('n')));
            QCOMPARE(empty.names().size(), before);
            QCOMPARE(told({}), 1);
            empty.add(QString(nameLimit(kind), QLatin1Char('n')));
            QCOMPARE(empty.names().size(), before + 1);
            QCOMPARE(told({}), 0);
        }

        QVERIFY(
            !writeFile(path(kind), QJsonDocument(fullStore(kind)).toJson(QJsonDocument::Compact))
                 .isEmpty());
        OpenStore store = open(kind);
        QCOMPARE(told({}), 0); // what the limits allow loads whole
        const QStringList names = store.names();
        store.add("One too many");
        QCOMPARE(store.names(), names);
        QCOMPARE(told({}), 1);

        store.save();
        const qint64 saved = QFileInfo(path(kind)).size();
        qInfo("full %s store: %lld bytes saved, limit %lld", QTest::currentDataTag(), saved,
              JsonFile::MaxFileBytes);
        QVERIFY(saved > 100000);
        QVERIFY(saved <= JsonFile::MaxFileBytes);
        QCOMPARE(open(kind).names().size(), names.size());
        QCOMPARE(told({}), 0);
    }

    void nicknamesAreSavedAnnouncedAndReloaded()
    {
        DeviceSettings settings(nullptr);
        QVERIFY(QFileInfo(nicknameFile()).dir().exists()); // made when the store loads
        QSignalSpy changed(&settings, &DeviceSettings::deviceNicknameChanged);
        settings.setDeviceNickname("S1", ""); // no-ops: nothing announced or saved
        settings.removeDeviceNickname("S1");
        settings.setDeviceNickname("", "Nameless");
        QCOMPARE(changed.size(), 0);
        QVERIFY(!QFile::exists(nicknameFile()));

        settings.setDeviceNickname("b-phone", "Second");
        settings.setDeviceNickname("R58M12ABCDE", "Phone 1");
        settings.setDeviceNickname("a-phone", "第一");
        QVERIFY(QFile::remove(nicknameFile()));
        settings.setDeviceNickname("a-phone", "第一"); // the repeat does not save
        QVERIFY(!QFile::exists(nicknameFile()));
        settings.setDeviceNickname("S1", "Desk");
        QCOMPARE(changed.size(), 4);
        QCOMPARE(settings.getAllDeviceSerials(),
                 (QStringList{"R58M12ABCDE", "S1", "a-phone", "b-phone"}));
        const QByteArray content = readFile(nicknameFile());
        QCOMPARE(content, expectedFile({{"R58M12ABCDE", "Phone 1"},
                                        {"S1", "Desk"},
                                        {"a-phone", "第一"},
                                        {"b-phone", "Second"}}));
        DeviceSettings reloaded(nullptr);
        QCOMPARE(reloaded.getDeviceNickname("a-phone"), QString::fromUtf8("第一"));
        QFile::remove(nicknameFile());
        reloaded.sync();
        QCOMPARE(readFile(nicknameFile()), content);

        // Empty nickname, remove and clear all announce the serial with an empty name.
        changed.clear();
        settings.setDeviceNickname("S1", "");
        settings.removeDeviceNickname("b-phone");
        QCOMPARE(readFile(nicknameFile()),
                 expectedFile({{"R58M12ABCDE", "Phone 1"}, {"a-phone", "第一"}}));
        settings.clearAllDeviceNicknames();
        QCOMPARE(changed.size(), 4);
        QCOMPARE(changed.at(0), (QVariantList{"S1", ""}));
        QCOMPARE(changed.at(2), (QVariantList{"R58M12ABCDE", ""}));
        QCOMPARE(changed.at(3), (QVariantList{"a-phone", ""}));
        QVERIFY(settings.getAllDeviceSerials().isEmpty());
        QCOMPARE(readFile(nicknameFile()), expectedFile({}));
    }

    void failedNicknameSaveLeavesThePreviousFile()
    {
        DeviceSettings settings(nullptr);
        settings.setDeviceNickname("S1", "Desk");
        const QByteArray before = readFile(nicknameFile());
        const QString longName(DeviceSettings::kMaxNicknameLength, QLatin1Char('n'));
        {
            // The largest file this process may write: the save fails part-way.
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            const auto handler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit = saved;
            limit.rlim_cur = before.size() + 8;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
            settings.setDeviceNickname("S2", longName);
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, handler);
        }
        QCOMPARE(readFile(nicknameFile()), before);
        QCOMPARE(QFileInfo(nicknameFile()).dir().entryList(QDir::Files),
                 QStringList{DeviceSettings::fileName()});
        QCOMPARE(settings.getDeviceNickname("S2"), longName); // only the file lags
        settings.sync();
        QCOMPARE(readFile(nicknameFile()), expectedFile({{"S1", "Desk"}, {"S2", longName}}));
    }

    // A folder that cannot be made is not fatal; a changed folder takes effect at the next save.
    void nicknameFolderChanges()
    {
        const QString blocker = m_root->filePath("blocker");
        QVERIFY(!writeFile(blocker, "a file").isEmpty());
        AppConfig::instance()->setDeviceNicknameSavePath(blocker + "/nicknames");
        DeviceSettings settings(nullptr);
        settings.setDeviceNickname("S1", "Desk");
        QCOMPARE(settings.getDeviceNickname("S1"), QStringLiteral("Desk"));
        QCOMPARE(readFile(blocker), QByteArray("a file"));

        AppConfig::instance()->setDeviceNicknameSavePath(m_root->filePath("nicknames"));
        settings.sync();
        QCOMPARE(readFile(nicknameFile()), expectedFile({{"S1", "Desk"}}));
        const QString elsewhere = m_root->filePath("moved/here");
        AppConfig::instance()->setDeviceNicknameSavePath(elsewhere);
        settings.setDeviceNickname("S2", "Shelf");
        QCOMPARE(readFile(QDir(elsewhere).filePath(DeviceSettings::fileName())),
                 expectedFile({{"S1", "Desk"}, {"S2", "Shelf"}}));
        QCOMPARE(readFile(nicknameFile()), expectedFile({{"S1", "Desk"}}));
    }

    // Nickname and folder lookups from worker threads see only whole values.
    void lookupsFromWorkerThreadsDuringChanges()
    {
        DeviceSettings settings(nullptr);
        AppConfig *config = AppConfig::instance();
        const QStringList folders{"/a", "/bb", "/ccc"};
        config->setVideoSavePath(folders.first());
        std::atomic<bool> stop{false};
        std::atomic<int> strayReads{0};
        auto reader = [&] {
            for (int reads = 0; !stop.load() || reads < 100; ++reads) {
                const QString nickname = settings.getDeviceNickname("S1");
                if ((!nickname.isEmpty() && !nickname.startsWith("Name ")) ||
                    settings.getAllDeviceSerials().size() > 2 ||
                    !folders.contains(config->getVideoSavePath()))
                    ++strayReads;
            }
        };
        QFuture<void> first = QtConcurrent::run(reader);
        QFuture<void> second = QtConcurrent::run(reader);
        for (int i = 0; i < 200; ++i) {
            settings.setDeviceNickname("S1", QStringLiteral("Name %1").arg(i));
            settings.setDeviceNickname("S2", i % 2 ? QStringLiteral("Odd") : QString());
            config->setVideoSavePath(folders.at(i % folders.size()));
            if (i % 50 == 0)
                settings.clearAllDeviceNicknames();
        }
        stop = true;
        first.waitForFinished();
        second.waitForFinished();
        QCOMPARE(strayReads.load(), 0);
    }
};

PARVIX_TEST(StoreFaultsTest)
#include "storefaultstest.moc"
