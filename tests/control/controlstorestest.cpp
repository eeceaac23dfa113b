// The key-mapping and phrase stores, their editor rows and files (damaged: StoreFaultsTest).
#include "commonphrasemanager.h"
#include "datatable.h"
#include "keymapping.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QtTest>

using Edit = std::function<bool(KeyMappingProfile &, KeyMappingModel &, KeyMappingModel &)>;
Q_DECLARE_METATYPE(Edit)
#define EDIT(call)                                                                                 \
    Edit([]([[maybe_unused]] KeyMappingProfile &p, [[maybe_unused]] KeyMappingModel &touches,      \
            [[maybe_unused]] KeyMappingModel &swipes) { return call; })

namespace {
using TestSupport::readJson;

// One word per entry: name(code+modifiers) and the numbers of its type.
QString summary(const KeyMappingProfile *profile)
{
    QStringList words;
    for (const KeyMappingEntry &e : profile->entries()) {
        const QList<double> numbers =
            e.type == KeyMappingEntry::Touch ? QList<double>{e.x, e.y, double(e.count)}
            : e.type == KeyMappingEntry::Swipe
                ? QList<double>{e.startX, e.startY, e.endX, e.endY, double(e.duration)}
                : QList<double>{-double(e.type)};
        words << QString("%1(%2+%3)").arg(e.keyDisplay).arg(e.keyCode).arg(e.modifiers) +
                     TestSupport::mapped(numbers, [](double n) {
                         return QString::number(n);
                     }).join(',');
    }
    return words.join(' ');
}
QStringList texts(const QList<CommonPhrase *> &phrases)
{
    return TestSupport::mapped(phrases, &CommonPhrase::text);
}
// Each profile as name:entries, the current one marked.
QString summary(const KeyMapping &store)
{
    QStringList profiles;
    for (const KeyMappingProfile *profile : store.profiles())
        profiles << (profile == store.currentProfile() ? "*" : "") + profile->name() + ":" +
                        summary(profile);
    return profiles.join(" | ");
}
} // namespace

class ControlStoresTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath("keymappings.json"); }
    QString phrasesPath() const { return m_dir.filePath("common_phrases.json"); }
    QJsonObject savedProfiles() const { return readJson(path()).value("profiles").toObject(); }

private slots:
    void init()
    {
        QFile::remove(path());
        QFile::remove(phrasesPath());
    }

    // A refused edit changes nothing and announces nothing; both row views follow.
    void edits_data()
    {
        // after, empty when refused
        addColumns<Edit, QString>({"edit", "after"});
        const auto row = [](const char *tag, Edit e, const QString &after = {}) {
            QTest::newRow(tag) << e << after;
        };
        const QString space = "Space(32+0)0.5,0.8,1 ", s = "S(83+0)0.1,0.2,0.3,0.4,500 ",
                      shift = "Shift+Space(32+33554432)0.2,0.3,2", all = space + s + shift;
        row("no name", EDIT(p.addMapping(Qt::Key_A, 0, "", 0, 0)));
        row("key taken", EDIT(p.addMapping(Qt::Key_Space, 0, "Space", 0, 0)));
        row("key taken by a swipe", EDIT(p.addSwipeMapping(Qt::Key_Space, 0, "Sp", 0, 0, 1, 1)));
        row("key taken, editor", EDIT(swipes.addSwipe(Qt::Key_S, 0, 0, 0, 1, 1, 200)));
        row("update past the end", EDIT(p.updateMapping(3, Qt::Key_F, 0, "F", 0, 0)));
        row("update before the start", EDIT(p.updateMapping(-1, Qt::Key_F, 0, "F", 0, 0)));
        row("update to another's key", EDIT(p.updateMapping(1, Qt::Key_Space, 0, "A", 0, 0)));
        row("remove past the end", EDIT(p.removeMapping(3)));
        row("remove before the start", EDIT(p.removeMapping(-1)));
        row("edit a missing row", EDIT(swipes.setSwipe(1, 0, 0, 0, 0, 200)));
        row("move a missing row", EDIT(touches.move(0, 2)));
        row("swipe turned touch", EDIT(p.updateMapping(1, Qt::Key_S, 0, "S", 0.7, 0.6, 4)),
            space + "S(83+0)0.7,0.6,4 " + shift);
        row("add a swipe, defaults",
            EDIT(p.addMappingWithType(Qt::Key_W, 0, "W", 1, {{"endY", 1}})),
            all + " W(87+0)0,0,0,1,200");
        row("add a touch, defaults", EDIT(p.addMappingWithType(Qt::Key_E, 0, "E", 0, {})),
            all + " E(69+0)0,0,1");
        row("add another type", EDIT(p.addMappingWithType(Qt::Key_R, 0, "R", 7, {{"x", 0.3}})),
            all + " R(82+0)-7");
        row("remove a row", EDIT(touches.remove(0)), s + shift);
        row("move a row", EDIT(touches.move(1, 0)), shift + " " + space + s);
        row("clear", EDIT((p.clearMappings(), true)), " ");
    }
    void edits()
    {
        QFETCH(Edit, edit);
        QFETCH(QString, after);
        KeyMappingProfile profile("Game", nullptr);
        QVERIFY(profile.addMapping(Qt::Key_Space, 0, "Space", 0.5, 0.8));
        QVERIFY(profile.addSwipeMapping(Qt::Key_S, 0, "S", 0.1, 0.2, 0.3, 0.4, 500));
        QVERIFY(profile.addMapping(Qt::Key_Space, Qt::ShiftModifier, "Shift+Space", 0.2, 0.3, 2));
        const QString before = summary(&profile);
        KeyMappingModel touches, swipes;
        swipes.setType(KeyMappingModel::Swipe);
        touches.setProfile(&profile);
        swipes.setProfile(&profile);
        QAbstractItemModelTester touchTester(&touches), swipeTester(&swipes);
        QSignalSpy changed(&profile, &KeyMappingProfile::mappingsChanged);
        QCOMPARE(edit(profile, touches, swipes), !after.isEmpty());
        QCOMPARE(summary(&profile), after.isEmpty() ? before : after.trimmed());
        QCOMPARE(changed.count(), after.isEmpty() ? 0 : 1);
        for (const KeyMappingModel *model : {&touches, &swipes}) {
            QStringList shown, entries;
            for (int row = 0; row < model->rowCount(); ++row)
                shown << model->index(row).data(KeyMappingModel::KeyDisplayRole).toString();
            for (const KeyMappingEntry &entry : profile.entries())
                entries << (entry.type == model->type() ? entry.keyDisplay : QString());
            entries.removeAll(QString());
            QCOMPARE(shown, entries);
        }
    }

    // The editor's names (off macOS), as the files users have already hold them.
    void keyNames_data()
    {
        addColumns<int, QString>({"key", "name"});
        const auto row = [](const char *name, Qt::KeyboardModifiers modifiers, Qt::Key key) {
            QTest::newRow(name) << QKeyCombination(modifiers, key).toCombined() << QString(name);
        };
        row("Ctrl+Meta+Alt+Shift+Z",
            Qt::MetaModifier | Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier,
            Qt::Key_Z);
        row("Enter", {}, Qt::Key_Return);
        row("F12", {}, Qt::Key_F12);
        row("Key_16777276", {}, Qt::Key_F13);
    }
    void keyNames()
    {
        QFETCH(int, key);
        QTEST(KeyMappingModel::keyName(key & ~Qt::KeyboardModifierMask,
                                       key & Qt::KeyboardModifierMask),
              "name");
    }

    void storeSavesTheCurrentProfileAtOnceOthersLater()
    {
        KeyMapping store(path());
        QVERIFY(!store.addProfile(""));
        QVERIFY(!QFile::exists(path()));
        for (const char *name : {"Zeta", "Alpha", "Q"})
            QVERIFY(store.addProfile(name));
        QCOMPARE(store.profileNames(), QStringList({"Zeta", "Alpha", "Q"}));
        KeyMappingProfile *zeta = store.getProfile("Zeta"), *q = store.getProfile("Q");
        QSignalSpy current(&store, &KeyMapping::currentProfileChanged);
        QSignalSpy mappings(&store, &KeyMapping::currentMappingsChanged);
        store.setCurrentProfile(zeta);
        store.setCurrentProfile(zeta);
        QCOMPARE(current.count(), 1);
        QCOMPARE(mappings.count(), 1);
        QCOMPARE(readJson(path()).value("currentProfile").toString(), QString()); // not yet
        QVERIFY(zeta->addMapping(Qt::Key_Space, 0, "Space", 0.5, 0.8));
        QCOMPARE(mappings.count(), 2);
        QCOMPARE(readJson(path()).value("currentProfile").toString(), "Zeta");
        QVERIFY(q->addMapping(Qt::Key_A, Qt::ShiftModifier, "Shift+A", 0.25, 0.75, 3));
        QCOMPARE(mappings.count(), 2); // not current: neither signalled nor written
        QVERIFY(savedProfiles().value("Q").toArray().isEmpty());
        store.setCurrentProfile(q);
        QVERIFY(zeta->addMapping(Qt::Key_B, 0, "B", 0.1, 0.1)); // no longer followed
        QCOMPARE(mappings.count(), 3);
        QVERIFY(q->addSwipeMapping(Qt::Key_W, 0, "W", 0.5, 0.9, 0.5, 0.1, 300));
        QVERIFY(q->addMappingWithType(Qt::Key_E, 0, "E", 5, {}));
        QVERIFY(store.saveToFile());
        KeyMapping loaded(path());
        // The map form is the file's; a type without data has an empty one.
        QCOMPARE(QJsonArray::fromVariantList(loaded.currentMappings()),
                 savedProfiles().value("Q").toArray());
        QVERIFY(savedProfiles().value("Q")[2]["data"].toObject().isEmpty());
        QCOMPARE(loaded.currentProfile()->getMappingByKey(Qt::Key_W, 0),
                 loaded.currentMappings().at(1).toMap());
        QVERIFY(!loaded.currentProfile()->hasMapping(Qt::Key_W, 1) &&
                loaded.currentProfile()->getMappingByKey(Qt::Key_W, 1).isEmpty());
        QCOMPARE(summary(loaded), "Alpha: | *Q:Shift+A(65+33554432)0.25,0.75,3 "
                                  "W(87+0)0.5,0.9,0.5,0.1,300 E(69+0)-5 | "
                                  "Zeta:Space(32+0)0.5,0.8,1 B(66+0)0.1,0.1,1");
        QSignalSpy reloaded(&loaded, &KeyMapping::profilesChanged);
        QVERIFY(loaded.loadFromFile());
        QCOMPARE(reloaded.count(), 1);

        // Removing the current profile makes the first one current.
        QPointer<KeyMappingProfile> removed = loaded.currentProfile();
        KeyMappingModel rows;
        rows.setProfile(removed);
        QVERIFY(loaded.removeProfile("Q"));
        QVERIFY(removed && !removed->findEntry(Qt::Key_W, 0)); // deleted later, mapping nothing
        QCOMPARE(summary(loaded), "*Alpha: | Zeta:Space(32+0)0.5,0.8,1 B(66+0)0.1,0.1,1");
        QTRY_VERIFY(removed.isNull());
        QCOMPARE(rows.rowCount(), 0);
        QVERIFY(loaded.removeProfile("Alpha")); // the current first hands over to the second
        QCOMPARE(summary(loaded).left(6), "*Zeta:");
        QVERIFY(!loaded.removeProfile("Alpha"));
        QVERIFY(loaded.removeProfile("Zeta"));
        QCOMPARE(loaded.currentProfile(), nullptr);
        QCOMPARE(
            readJson(path()),
            QJsonObject({{"version", "1.0"}, {"currentProfile", ""}, {"profiles", QJsonObject()}}));
    }

    void loading_data()
    {
        // loaded, empty when nothing could be read
        addColumns<QByteArray, QString>({"content", "loaded"});
        QTest::newRow("older flat form, missing values")
            << QByteArray(R"({"currentProfile": "Old",
            "profiles": {"Old": [
            {"keyCode": 65, "modifiers": 0, "keyDisplay": "A", "type": 0, "x": 0.3, "y": 0.6},
            {"keyCode": 66, "keyDisplay": "B", "type": 0, "x": 0.1, "y": 0.2, "data": {}},
            {"keyCode": 87, "keyDisplay": "W", "type": 1,
             "data": {"startX": 0.5, "startY": 0.9, "endX": 0.5, "endY": 0.2}},
            "not an entry", {"type": 0, "data": {"x": 0.9}},
            {"keyCode": 66, "keyDisplay": "B again", "type": 0, "data": {"x": 0.4, "count": 2}}
        ]}})")
            << QString("*Old:A(65+0)0.3,0.6,1 B(66+0)0.1,0.2,1 W(87+0)0.5,0.9,0.5,0.2,200 "
                       "(0+0)0.9,0,1 B again(66+0)0.4,0,2");
        QTest::newRow("current unknown")
            << QByteArray(R"({"currentProfile": "Ghost", "profiles": {"Real": []}})")
            << QString("Real:");
        QTest::newRow("missing") << QByteArray() << QString();
    }
    void loading()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, loaded);
        if (!content.isEmpty())
            QVERIFY(!TestSupport::writeFile(path(), content).isEmpty());
        KeyMapping store(path());
        QCOMPARE(summary(store), loaded);
        if (KeyMappingProfile *old = store.currentProfile()) // duplicates kept; the first answers
            QCOMPARE(old->findEntry(66, 0)->x, 0.1);
        QCOMPARE(store.loadFromFile(), !loaded.isEmpty());
    }

    void phrasesAreWrittenInOrderAndGoWithTheirCategory()
    {
        auto store = std::make_unique<CommonPhraseManager>(phrasesPath());
        store->addCategory("Greetings", "hello texts");
        store->addCategory("Greetings"); // same name, another id
        const QString first = store->getCategoriesList().at(0)->id();
        const QString second = store->getCategoriesList().at(1)->id();
        store->addPhrase("Hello", first, "polite");
        store->addPhrase(QString::fromUtf8("你好"), first);
        store->addPhrase("Yo", second);
        QCOMPARE(readJson(phrasesPath())["categories"][0]["description"].toString(), "hello texts");
        QVERIFY(!store->getCategoryById("nobody"));

        // The short forms of the updates clear the description.
        store->updateCategory(first, "Hi");
        QCOMPARE(store->getCategoryById(first)->description(), QString(""));
        store->updateCategory(first, "Hi", "again");
        QCOMPARE(readJson(phrasesPath())["categories"][0]["description"].toString(), "again");
        const QString phraseId = store->getAllPhrases().at(0)->id();
        store->updatePhrase("nobody", "x", "y");
        store->updatePhrase(phraseId, "hello", "other");
        CommonPhrase *phrase = store->getPhraseById(phraseId);
        QCOMPARE(QStringList({phrase->text(), phrase->category(), phrase->description()}),
                 QStringList({"hello", "other", ""}));
        QCOMPARE(readJson(phrasesPath())["phrases"][0]["category"].toString(), "other");

        store->addPhrase("x", second, "note");
        store->setCurrentCategoryId(second);
        QCOMPARE(readJson(phrasesPath())["currentCategoryId"].toString(), QString("")); // not yet
        store.reset(); // saved once more when destroyed
        store = std::make_unique<CommonPhraseManager>(phrasesPath());
        QCOMPARE(store->currentCategoryId(), second);
        QCOMPARE(store->getPhrasesByCategory(second).at(1)->description(), "note");
        store->loadData();
        QQmlListProperty<CommonPhrase> list = store->phrases();
        QCOMPARE(list.count(&list), 4);
        QFile::remove(phrasesPath()); // a missing file keeps what the store has
        store->loadData();
        QCOMPARE(texts(store->getAllPhrases()).size(), 4);

        // A category goes with its phrases only; the current id stays as it was.
        QPointer<CommonPhrase> yo = store->getPhrasesByCategory(second).at(0);
        store->removeCategory("nobody");
        QCOMPARE(texts(store->getAllPhrases()).size(), 4);
        store->removeCategory(second);
        QCOMPARE(texts(store->getAllPhrases()), QStringList({"hello", QString::fromUtf8("你好")}));
        QCOMPARE(store->currentCategoryId(), second);
        QTRY_VERIFY(yo.isNull());
        QCOMPARE(readJson(phrasesPath())["phrases"].toArray().size(), 2);
        // With a repeated id the last match goes.
        store->getAllPhrases().at(1)->setId(phraseId);
        store->removePhrase(phraseId);
        QCOMPARE(texts(store->getAllPhrases()), QStringList({"hello"}));
        QCOMPARE(CommonPhrase().id().size() + PhraseCategory().id().size(), 72); // made in QML
    }
};

PARVIX_TEST(ControlStoresTest)
#include "controlstorestest.moc"
