// The four data stores (nicknames, groups, key mappings, phrases) against faults of their
// files: content they cannot use, a file that cannot be read, saves that fail, files far
// too large, and stores filled to their limits. For each: no crash, one message the user
// sees, nothing lost (the user's file is kept beside it as .bak), and the store works
// again once the fault is gone.
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
#include <QtTest>

#include <memory>

namespace {

enum class Kind { Nicknames, Groups, KeyMappings, Phrases };

using TestSupport::readFile;
using TestSupport::writeFile;

// One open store, driven as the user would.
class OpenStore
{
public:
    virtual ~OpenStore() = default;
    virtual void add(const QString &name) = 0;
    virtual QStringList names() const = 0;
    virtual void save() = 0;
};

class Nicknames : public OpenStore
{
    DeviceSettings m_store{nullptr};

public:
    void add(const QString &name) override
    {
        m_store.setDeviceNickname(QStringLiteral("serial-%1").arg(names().size()), name);
    }
    QStringList names() const override
    {
        QStringList result;
        for (const QString &serial : m_store.getAllDeviceSerials())
            result << m_store.getDeviceNickname(serial);
        return result;
    }
    void save() override { m_store.sync(); }
};

class Groups : public OpenStore
{
    DeviceGroupManager m_store;

public:
    void add(const QString &name) override { m_store.createDeviceGroup(name); }
    QStringList names() const override
    {
        QStringList result;
        for (const DeviceGroup *group : m_store.deviceGroups())
            result << group->name();
        return result;
    }
    void save() override
    {
        DeviceGroup *first = m_store.deviceGroups().first();
        first->setCellWidth(first->cellWidth() + 1);
    }
};

class KeyMappings : public OpenStore
{
    KeyMapping m_store;

public:
    explicit KeyMappings(const QString &path) : m_store(path) {}
    void add(const QString &name) override { m_store.addProfile(name); }
    QStringList names() const override { return m_store.profileNames(); }
    void save() override { m_store.saveToFile(); }
};

class Phrases : public OpenStore
{
    CommonPhraseManager m_store;

public:
    explicit Phrases(const QString &path) : m_store(path) {}
    void add(const QString &name) override { m_store.addPhrase(name, QStringLiteral("c1")); }
    QStringList names() const override
    {
        QStringList result;
        for (const CommonPhrase *phrase : m_store.getAllPhrases())
            result << phrase->text();
        return result;
    }
    void save() override { m_store.saveData(); }
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
        switch (kind) {
        case Kind::Nicknames:
            return m_root->filePath("nicknames/device_nicknames.json");
        case Kind::Groups:
            return m_root->filePath("groups/device_groups.json");
        case Kind::KeyMappings:
            return m_root->filePath("keymap/keymappings.json");
        case Kind::Phrases:
            return m_root->filePath("phrases/common_phrases.json");
        }
        return QString();
    }

    std::unique_ptr<OpenStore> open(Kind kind) const
    {
        switch (kind) {
        case Kind::Nicknames:
            return std::make_unique<Nicknames>();
        case Kind::Groups:
            return std::make_unique<Groups>();
        case Kind::KeyMappings:
            return std::make_unique<KeyMappings>(path(kind));
        case Kind::Phrases:
            return std::make_unique<Phrases>(path(kind));
        }
        return nullptr;
    }

    // The longest name add() takes.
    static int nameLimit(Kind kind)
    {
        switch (kind) {
        case Kind::Nicknames:
            return DeviceSettings::kMaxNicknameLength;
        case Kind::Groups:
            return DeviceGroup::kMaxNameLength;
        case Kind::KeyMappings:
            return KeyMapping::kMaxProfileNameLength;
        case Kind::Phrases:
            return PhraseLimits::kMaxTextLength;
        }
        return 0;
    }

    // A file holding one entry named `name`, in the store's own format.
    static QJsonObject oneEntry(Kind kind, const QString &name)
    {
        switch (kind) {
        case Kind::Nicknames:
            return {{"device_nicknames", QJsonObject{{"S1", name}}}};
        case Kind::Groups:
            return {{"device_groups", QJsonArray{QJsonObject{{"name", name}}}}};
        case Kind::KeyMappings:
            return {{"profiles", QJsonObject{{name, QJsonArray()}}}};
        case Kind::Phrases:
            return {{"phrases", QJsonArray{QJsonObject{{"id", "p1"}, {"text", name}}}}};
        }
        return {};
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
            const QJsonObject swipe{{"startX", longest},
                                    {"startY", longest},
                                    {"endX", longest},
                                    {"endY", longest},
                                    {"duration", KeyMappingEntry::kMaxDuration}};
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

    QStringList takeMessages()
    {
        QStringList texts;
        for (const QList<QVariant> &message : std::as_const(*m_messages))
            texts << message.at(0).toString();
        m_messages->clear();
        return texts;
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
    }

    void unusableContentIsKeptAside()
    {
        QFETCH(Kind, kind);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, loaded);
        QVERIFY(!writeFile(path(kind), content).isEmpty());
        {
            auto store = open(kind);
            QCOMPARE(store->names(), loaded);
            const QStringList told = takeMessages();
            QCOMPARE(told.size(), 1);
            QVERIFY2(told.first().contains(QDir::toNativeSeparators(path(kind) + ".bak")),
                     qPrintable(told.first()));
            QCOMPARE(readFile(path(kind) + ".bak"), content);

            store->add("Fresh");
            QVERIFY(store->names().contains("Fresh"));
            QVERIFY(readFile(path(kind)).contains("Fresh"));
            store->add("Second"); // later saves leave the copy alone
            QCOMPARE(readFile(path(kind) + ".bak"), content);
        }
        // Profiles come back in name order.
        QStringList expected = loaded + QStringList({"Fresh", "Second"});
        QStringList names = open(kind)->names();
        expected.sort();
        names.sort();
        QCOMPARE(names, expected);
        QCOMPARE(takeMessages(), QStringList());
    }

    void unreadableFileIsLeftAsItIs_data() { addKinds(); }

    void unreadableFileIsLeftAsItIs()
    {
        QFETCH(Kind, kind);
        // A folder where the file should be: it cannot be read, nor copied aside.
        const QByteArray older = QJsonDocument(oneEntry(kind, "Older")).toJson();
        QVERIFY(!writeFile(path(kind) + ".bak", older).isEmpty());
        QVERIFY(!writeFile(path(kind) + "/inside.txt", "the user's").isEmpty());
        {
            auto store = open(kind);
            const QStringList told = takeMessages();
            QCOMPARE(told.size(), 1);
            QVERIFY2(told.first().contains(QDir::toNativeSeparators(path(kind))),
                     qPrintable(told.first()));
            QCOMPARE(readFile(path(kind) + ".bak"), older); // the older copy survives
            store->add("Kept");
            QVERIFY(store->names().contains("Kept"));
            QCOMPARE(readFile(path(kind) + "/inside.txt"), QByteArray("the user's"));
            QCOMPARE(takeMessages(), QStringList()); // told once

            QVERIFY(QDir(path(kind)).removeRecursively());
            store->add("Later");
            QCOMPARE(takeMessages(), QStringList());
            QVERIFY(readFile(path(kind)).contains("Later"));
        }
        auto reopened = open(kind);
        QVERIFY(reopened->names().contains("Kept"));
        QVERIFY(reopened->names().contains("Later"));
        QCOMPARE(readFile(path(kind) + ".bak"), older);
    }

    void failingSavesAreToldOnceAndRetried_data() { addKinds(); }

    void failingSavesAreToldOnceAndRetried()
    {
        QFETCH(Kind, kind);
        {
            auto store = open(kind);
            store->add("One");
            QCOMPARE(takeMessages(), QStringList());
            QVERIFY(QFile::remove(path(kind)));
            QVERIFY(QDir().mkpath(path(kind))); // from now on the file cannot be written

            store->add("Two");
            const QStringList told = takeMessages();
            QCOMPARE(told.size(), 1);
            QVERIFY2(told.first().contains(QDir::toNativeSeparators(path(kind))),
                     qPrintable(told.first()));
            store->add("Three");
            QCOMPARE(takeMessages(), QStringList());

            QVERIFY(QDir().rmdir(path(kind)));
            store->add("Four");
            QCOMPARE(takeMessages(), QStringList());
            QVERIFY(QFile::remove(path(kind)) && QDir().mkpath(path(kind)));
            store->add("Five"); // failing again after a success is told again
            QCOMPARE(takeMessages().size(), 1);
            QVERIFY(QDir().rmdir(path(kind)));
            store->save();
        }
        auto reopened = open(kind);
        for (const char *name : {"One", "Two", "Three", "Four", "Five"})
            QVERIFY2(reopened->names().contains(name), name);
    }

    void oversizedFilesAreRefusedAndKept_data() { addKinds(); }

    void oversizedFilesAreRefusedAndKept()
    {
        QFETCH(Kind, kind);
        // Valid JSON in the store's format, a little over the limit.
        QJsonObject root = oneEntry(kind, "Old");
        root.insert("padding", QString(int(JsonFile::MaxFileBytes), QLatin1Char('x')));
        const QByteArray huge = QJsonDocument(root).toJson(QJsonDocument::Compact);
        QVERIFY(!writeFile(path(kind), huge).isEmpty());
        {
            auto store = open(kind);
            QVERIFY(!store->names().contains("Old"));
            const QStringList told = takeMessages();
            QCOMPARE(told.size(), 1);
            QVERIFY2(told.first().contains(QDir::toNativeSeparators(path(kind) + ".bak")),
                     qPrintable(told.first()));
            QCOMPARE(QFileInfo(path(kind) + ".bak").size(), huge.size());
            QVERIFY(readFile(path(kind) + ".bak") == huge);
            store->add("Fresh");
        }
        QVERIFY(QFileInfo(path(kind)).size() < 10000);
        auto reopened = open(kind);
        QVERIFY(reopened->names().contains("Fresh"));
        QCOMPARE(takeMessages(), QStringList());
    }

    void fullStoresStayWithinTheFileLimit_data() { addKinds(); }

    void fullStoresStayWithinTheFileLimit()
    {
        QFETCH(Kind, kind);
        {
            auto empty = open(kind);
            const int before = int(empty->names().size());
            empty->add(QString(nameLimit(kind) + 1, QLatin1Char('n')));
            QCOMPARE(empty->names().size(), before);
            QCOMPARE(takeMessages().size(), 1);
            empty->add(QString(nameLimit(kind), QLatin1Char('n')));
            QCOMPARE(empty->names().size(), before + 1);
            QCOMPARE(takeMessages(), QStringList());
        }

        QVERIFY(
            !writeFile(path(kind), QJsonDocument(fullStore(kind)).toJson(QJsonDocument::Compact))
                 .isEmpty());
        auto store = open(kind);
        QCOMPARE(takeMessages(), QStringList()); // what the limits allow loads whole
        const QStringList names = store->names();
        store->add("One too many");
        QCOMPARE(store->names(), names);
        QCOMPARE(takeMessages().size(), 1);

        store->save();
        const qint64 saved = QFileInfo(path(kind)).size();
        qInfo("full %s store: %lld bytes saved, limit %lld", QTest::currentDataTag(), saved,
              JsonFile::MaxFileBytes);
        QVERIFY(saved > 100000);
        QVERIFY(saved <= JsonFile::MaxFileBytes);
        auto reopened = open(kind);
        QCOMPARE(reopened->names().size(), names.size());
        QCOMPARE(takeMessages(), QStringList());
    }
};

PARVIX_TEST(StoreFaultsTest)
#include "storefaultstest.moc"
