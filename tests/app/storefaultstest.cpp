// The data stores against faults of their files: told once, the user's file kept as .bak.
#include "appconfig.h"
#include "commonphrasemanager.h"
#include "datatable.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "devicesettings.h"
#include "jsonfile.h"
#include "keymapping.h"
#include "storeerrors.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QtConcurrent>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>

namespace {
enum class Kind { Nicknames, Groups, KeyMappings, Phrases };
const char *const kKinds[] = {"nicknames", "groups", "key mappings", "phrases"};

using TestSupport::mapped;
using TestSupport::readFile;
using TestSupport::writeFile;

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
    QString nicknameFile() const { return path(Kind::Nicknames); }

    OpenStore open(Kind kind) const
    {
        if (kind == Kind::Nicknames) {
            auto s = std::make_shared<DeviceSettings>(nullptr);
            return {s,
                    [s](const QString &name) {
                        s->setDeviceNickname(
                            QStringLiteral("serial-%1").arg(s->getAllDeviceSerials().size()), name);
                    },
                    [s] {
                        return mapped(s->getAllDeviceSerials(), [&](const QString &serial) {
                            return s->getDeviceNickname(serial);
                        });
                    },
                    [s] { s->sync(); }};
        }
        if (kind == Kind::Groups) {
            auto s = std::make_shared<DeviceGroupManager>();
            return {s, [s](const QString &name) { s->createDeviceGroup(name); },
                    [s] { return mapped(s->deviceGroups(), &DeviceGroup::name); },
                    [s] {
                        DeviceGroup *first = s->deviceGroups().first();
                        first->setCellWidth(first->cellWidth() + 1);
                    }};
        }
        if (kind == Kind::KeyMappings) {
            auto s = std::make_shared<KeyMapping>(path(kind));
            return {s, [s](const QString &name) { s->addProfile(name); },
                    [s] { return s->profileNames(); }, [s] { s->saveToFile(); }};
        }
        auto s = std::make_shared<CommonPhraseManager>(path(kind));
        return {s, [s](const QString &name) { s->addPhrase(name, "c1"); },
                [s] { return mapped(s->getAllPhrases(), &CommonPhrase::text); },
                [s] { s->saveData(); }};
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
        const auto many = [](int count, QJsonObject item, const char *key, int length) {
            QJsonArray list;
            for (int i = 0; i < count; ++i) {
                item.insert(key, widest(QString::number(i), length));
                list.append(item);
            }
            return list;
        };
        const auto keyed = [](int count, int length, const QJsonValue &value) {
            QJsonObject object;
            for (int i = 0; i < count; ++i)
                object.insert(widest(QString::number(i), length), value);
            return object;
        };
        if (kind == Kind::Nicknames)
            return {{"device_nicknames",
                     keyed(DeviceSettings::kMaxNicknames, DeviceSettings::kMaxSerialLength,
                           widest("n", DeviceSettings::kMaxNicknameLength))}};
        if (kind == Kind::Groups) {
            QJsonObject settings{{"orientation", 1}};
            for (const char *key :
                 {"maxSize", "maxFPS", "bitRate", "maxSizeBigView", "maxFPSBigView",
                  "bitRateBigView", "clickDelaySeconds", "cellWidth", "bigViewWidth"})
                settings.insert(key, -2147483647);
            return {{"device_groups", many(DeviceGroupManager::kMaxGroups, {{"settings", settings}},
                                           "name", DeviceGroup::kMaxNameLength)}};
        }
        if (kind == Kind::KeyMappings) {
            QJsonObject swipe{{"duration", KeyMappingEntry::kMaxDuration}};
            for (const char *key : {"startX", "startY", "endX", "endY"})
                swipe.insert(key, 0.12345678901234568);
            QJsonArray entries;
            for (int e = 0; e < KeyMappingProfile::kMaxMappings; ++e)
                entries.append(QJsonObject{
                    {"keyCode", -2147483647 + e},
                    {"modifiers", -2147483647},
                    {"keyDisplay", widest("k", KeyMappingProfile::kMaxKeyDisplayLength)},
                    {"type", 1},
                    {"data", swipe}});
            return {{"currentProfile", widest("0", KeyMapping::kMaxProfileNameLength)},
                    {"profiles",
                     keyed(KeyMapping::kMaxProfiles, KeyMapping::kMaxProfileNameLength, entries)}};
        }
        using namespace PhraseLimits;
        const QJsonValue description = widest("d", kMaxDescriptionLength);
        const QJsonObject category{{"name", widest("n", kMaxNameLength)},
                                   {"description", description}};
        const QJsonObject phrase{{"text", widest("t", kMaxTextLength)},
                                 {"category", widest("0", kMaxIdLength)},
                                 {"description", description}};
        return {
            {"categories", many(CommonPhraseManager::kMaxCategories, category, "id", kMaxIdLength)},
            {"phrases", many(CommonPhraseManager::kMaxPhrases, phrase, "id", kMaxIdLength)},
            {"currentCategoryId", widest("0", kMaxIdLength)}};
    }

    static QByteArray expectedFile(const QJsonObject &nicknames)
    {
        return QJsonDocument(QJsonObject{{"device_nicknames", nicknames}}).toJson();
    }

    // The number of messages since the last call; each must name the file.
    int told(const QString &file)
    {
        int count = 0;
        for (const QList<QVariant> &message : std::as_const(*m_messages))
            count += message.at(0).toString().contains(QDir::toNativeSeparators(file)) ? 1 : 1000;
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
        addColumns<Kind, QByteArray, QStringList>({"kind", "content", "loaded"});
        // The tag starts with the store's name.
        const auto row = [](const char *tag, const QByteArray &content,
                            const QStringList &loaded = {}) {
            const QString name = QString::fromLatin1(tag).section(':', 0, 0);
            const Kind kind = Kind(std::find(std::begin(kKinds), std::end(kKinds), name) - kKinds);
            QTest::newRow(tag) << kind << content << loaded;
        };
        row("nicknames: a list", R"({"device_nicknames": ["S1", "Desk"]})");
        row("nicknames: values not names",
            R"({"device_nicknames": {"S1": 42, "S2": "", "S3": "Shelf", "S4": null,
                                     "S5": {"name": "x"}}, "other": 1})",
            {"Shelf"});
        row("groups: settings a list",
            R"({"device_groups": [{"name": "Shop", "settings": [720]}]})", {"Shop"});
        row("groups: settings as text",
            R"({"device_groups": [{"name": "Shop", "settings": {"maxSize": "1080"}}]})", {"Shop"});
        row("key mappings: profiles a list",
            R"({"currentProfile": "Game", "profiles": [{"Game": []}]})");
        row("key mappings: a profile not a list",
            R"({"profiles": {"Game": {"keyCode": 32}, "Chat": []}})", {"Chat"});
        row("key mappings: a key code as text",
            R"({"profiles": {"Game": [{"keyCode": "Space", "keyDisplay": "Space"}]}})", {"Game"});
        row("key mappings: a key code not whole",
            R"({"profiles": {"Game": [{"keyCode": 65.5}, {"keyCode": 0}]}})", {"Game"});
        row("key mappings: a swipe off-screen",
            R"({"profiles": {"Game": [{"type": 1, "data": {"endX": 1e300}}]}})", {"Game"});
        row("phrases: phrases an object", R"({"phrases": {"p1": {"text": "Hello"}}})");
        row("phrases: a category not an object",
            R"({"categories": ["Work"], "phrases": [{"id": "p1", "text": "Hi"}]})", {"Hi"});
        // Valid JSON in the store's format, a little over the size limit (the same for each store).
        const QByteArray padding =
            "\"padding\": \"" + QByteArray(JsonFile::MaxFileBytes, 'x') + "\", ";
        row("groups: oversized", oneEntry(Kind::Groups, "Old").insert(1, padding),
            {"Default Group"});
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
            store.add("Fresh"); // later saves leave the copy alone
            QVERIFY(readFile(path(kind) + ".bak") == content);
        }
        // Profiles come back in name order.
        const QStringList names = open(kind).names(), expected = loaded + QStringList{"Fresh"};
        QVERIFY(std::is_permutation(names.begin(), names.end(), expected.begin(), expected.end()));
        QCOMPARE(told({}), 0);
    }

    // A folder in the file's place: unreadable, uncopied, unwritable; told once until a save works.
    void unreadableFilesAndLimits_data()
    {
        QTest::addColumn<Kind>("kind");
        for (Kind kind : {Kind::Nicknames, Kind::Groups, Kind::KeyMappings, Kind::Phrases})
            QTest::newRow(kKinds[int(kind)]) << kind;
    }

    void unreadableFilesAndLimits()
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
            QCOMPARE(readFile(path(kind) + "/inside.txt"), QByteArray("the user's"));
            QCOMPARE(told({}), 0); // told once

            QVERIFY(QDir(path(kind)).removeRecursively());
            store.add("Two");
            QCOMPARE(told({}), 0);
            QVERIFY(QFile::remove(path(kind)) && QDir().mkpath(path(kind)));
            store.add("Three"); // failing again after a success is told again
            QCOMPARE(told(path(kind)), 1);
            store.add("Four");
            QCOMPARE(told({}), 0);
            QVERIFY(QDir().rmdir(path(kind)));
            store.save();
        }
        const QStringList kept = open(kind).names();
        for (const char *name : {"One", "Two", "Three", "Four"})
            QVERIFY2(kept.contains(name), name);
        QCOMPARE(readFile(path(kind) + ".bak"), older);

        // Names up to the limit, and full stores stay within the file limit.
        {
            const int limits[] = {DeviceSettings::kMaxNicknameLength, DeviceGroup::kMaxNameLength,
                                  KeyMapping::kMaxProfileNameLength, PhraseLimits::kMaxTextLength};
            OpenStore some = open(kind);
            some.add(QString(limits[int(kind)] + 1, 'n'));
            QCOMPARE(QVariantList({some.names() == kept, told({})}), QVariantList({true, 1}));
            some.add(QString(limits[int(kind)], 'n'));
            QCOMPARE(QVariantList({some.names().size(), told({})}),
                     QVariantList({kept.size() + 1, 0}));
        }
        const QJsonDocument full(fullStore(kind));
        QVERIFY(!writeFile(path(kind), full.toJson(QJsonDocument::Compact)).isEmpty());
        OpenStore store = open(kind);
        QCOMPARE(told({}), 0); // what the limits allow loads whole
        const QStringList names = store.names();
        store.add("One too many");
        QCOMPARE(QVariantList({store.names() == names, told({})}), QVariantList({true, 1}));

        store.save();
        const qint64 saved = QFileInfo(path(kind)).size();
        QVERIFY(saved > 100000 && saved <= JsonFile::MaxFileBytes);
        QCOMPARE(open(kind).names().size(), names.size());
        QCOMPARE(told({}), 0);
    }

    void nicknameFileAnnouncementsSaveFaultsAndThreads()
    {
        DeviceSettings settings(nullptr);
        QSignalSpy changed(&settings, &DeviceSettings::deviceNicknameChanged);
        settings.removeDeviceNickname("S1"); // no-ops: nothing announced or saved
        settings.setDeviceNickname("", "Nameless");
        QCOMPARE(changed.size(), 0);
        QVERIFY(!QFile::exists(nicknameFile()));

        settings.setDeviceNickname("b-phone", "Second");
        settings.setDeviceNickname("a-phone", "第一");
        settings.setDeviceNickname("S1", "Desk");
        QCOMPARE(changed.size(), 3);
        QCOMPARE(readFile(nicknameFile()),
                 expectedFile({{"S1", "Desk"}, {"a-phone", "第一"}, {"b-phone", "Second"}}));

        // Empty nickname, remove and clear all announce the serial with an empty name.
        changed.clear();
        settings.setDeviceNickname("S1", "");
        settings.removeDeviceNickname("b-phone");
        QCOMPARE(readFile(nicknameFile()), expectedFile({{"a-phone", "第一"}}));
        settings.clearAllDeviceNicknames();
        QCOMPARE(changed, (QList<QVariantList>{{"S1", ""}, {"b-phone", ""}, {"a-phone", ""}}));
        QCOMPARE(readFile(nicknameFile()), expectedFile({}));

        // A save cut short keeps the old file; a folder that cannot be made is not fatal.
        settings.setDeviceNickname("S1", "Desk");
        const QByteArray before = readFile(nicknameFile());
        const QString longName(DeviceSettings::kMaxNicknameLength, QLatin1Char('n'));
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(before.size() + 8), saved.rlim_max}; // the largest file to write
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        settings.setDeviceNickname("S2", longName);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
        QCOMPARE(readFile(nicknameFile()), before);
        QCOMPARE(QFileInfo(nicknameFile()).dir().entryList(QDir::Files),
                 QStringList{DeviceSettings::fileName()});
        settings.sync(); // only the file lagged
        QCOMPARE(readFile(nicknameFile()), expectedFile({{"S1", "Desk"}, {"S2", longName}}));

        const QString blocker = m_root->filePath("blocker");
        QVERIFY(!writeFile(blocker, "a file").isEmpty());
        AppConfig::instance()->setDeviceNicknameSavePath(blocker + "/nicknames");
        DeviceSettings blocked(nullptr);
        blocked.setDeviceNickname("S3", "Shelf");
        QCOMPARE(readFile(blocker), QByteArray("a file"));
        AppConfig::instance()->setDeviceNicknameSavePath(m_root->filePath("nicknames"));
        blocked.sync();
        QCOMPARE(readFile(nicknameFile()), expectedFile({{"S3", "Shelf"}}));

        // Nickname and folder lookups from worker threads see only whole values.
        settings.clearAllDeviceNicknames();
        AppConfig *config = AppConfig::instance();
        const QStringList folders{"/a", "/bb", "/ccc"};
        config->setVideoSavePath(folders.first());
        std::atomic<bool> stop{false};
        std::atomic<int> strayReads{0};
        QFuture<void> done = QtConcurrent::run([&] {
            for (int reads = 0; !stop.load() || reads < 100; ++reads) {
                const QString nickname = settings.getDeviceNickname("S1");
                if ((!nickname.isEmpty() && !nickname.startsWith("Name ")) ||
                    settings.getAllDeviceSerials().size() > 2 ||
                    !folders.contains(config->getVideoSavePath()))
                    ++strayReads;
            }
        });
        for (int i = 0; i < 200; ++i) {
            settings.setDeviceNickname("S1", QStringLiteral("Name %1").arg(i));
            settings.setDeviceNickname("S2", i % 2 ? QStringLiteral("Odd") : QString());
            config->setVideoSavePath(folders.at(i % folders.size()));
            if (i % 50 == 0)
                settings.clearAllDeviceNicknames();
        }
        stop = true;
        done.waitForFinished();
        QCOMPARE(strayReads.load(), 0);
    }
};

PARVIX_TEST(StoreFaultsTest)
#include "storefaultstest.moc"
