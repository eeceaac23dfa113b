// Key-mapping profiles: the checks of every operation, the store's current profile, and
// "keymappings.json" written and read back, including older and damaged files.
#include "keymapping.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QtTest>

namespace {
using TestSupport::readJson;

QVariantMap dataOf(const QVariant &mapping)
{
    return mapping.toMap().value("data").toMap();
}
} // namespace

class KeyMappingTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath("keymappings.json"); }
    QJsonObject savedProfiles() const { return readJson(path()).value("profiles").toObject(); }

private slots:
    void init()
    {
        QFile::remove(path());
        QFile::remove(path() + ".bak");
    }

    void profileOperationsCheckTheirInput()
    {
        KeyMappingProfile profile("Game", nullptr);
        QVERIFY(!profile.addMapping(Qt::Key_Space, 0, "", 0.5, 0.8));
        QVERIFY(profile.addMapping(Qt::Key_Space, 0, "Space", 0.5, 0.8));
        QVERIFY(!profile.addMapping(Qt::Key_Space, 0, "Space", 0.1, 0.1));
        QVERIFY(!profile.addSwipeMapping(Qt::Key_Space, 0, "Space", 0, 0, 1, 1));
        QVERIFY(profile.addSwipeMapping(Qt::Key_S, 0, "S", 0.1, 0.2, 0.3, 0.4, 500));
        QVERIFY(profile.addMapping(Qt::Key_Space, Qt::ShiftModifier, "Shift+Space", 0.2, 0.3, 2));
        QVERIFY(!profile.hasMapping(Qt::Key_Space, Qt::ControlModifier));
        QCOMPARE(dataOf(profile.getMappingByKey(Qt::Key_Space, Qt::ShiftModifier)).value("count"),
                 2);
        QVERIFY(profile.getMappingByKey(Qt::Key_A, 0).isEmpty());

        QVERIFY(!profile.updateMapping(3, Qt::Key_F, 0, "F", 0.2, 0.2));
        QVERIFY(!profile.updateMapping(-1, Qt::Key_F, 0, "F", 0.2, 0.2));
        QVERIFY(!profile.updateMapping(1, Qt::Key_F, 0, "", 0.2, 0.2));
        QVERIFY(!profile.updateMapping(1, Qt::Key_Space, 0, "A", 0.2, 0.2)); // another's key
        // The swipe becomes a touch at the new point; keeping its own key is fine.
        QVERIFY(profile.updateMapping(1, Qt::Key_S, 0, "S", 0.7, 0.6, 4));
        const QVariantMap updated = profile.getMappings().at(1).toMap();
        QCOMPARE(updated.value("type").toInt(), 0);
        QCOMPARE(dataOf(updated).value("x").toDouble(), 0.7);
        QCOMPARE(dataOf(updated).value("count").toInt(), 4);

        QVERIFY(!profile.removeMapping(3));
        QVERIFY(!profile.removeMapping(-1));
        QVERIFY(profile.removeMapping(0));
        QCOMPARE(profile.getMappings().at(0).toMap().value("keyDisplay").toString(), "S");
        profile.clearMappings();
        QCOMPARE(profile.getMappingCount(), 0);
    }

    void mapFormOfEachTypeWithDefaults()
    {
        QVERIFY(KeyMappingProfile().entries().isEmpty()); // made in QML
        KeyMappingProfile profile("P", nullptr);
        QVERIFY(profile.addMappingWithType(Qt::Key_W, 0, "W", 1, {{"startX", 0.5}, {"endY", 0.1}}));
        QVERIFY(profile.addMappingWithType(Qt::Key_E, 0, "E", 0, {}));
        QVERIFY(profile.addMappingWithType(Qt::Key_R, 0, "R", 7, {{"x", 0.3}}));
        const QVariantList maps = profile.getMappings();
        QCOMPARE(maps.at(0).toMap().value("keyCode").toInt(), int(Qt::Key_W));
        const QVariantMap swipe = dataOf(maps.at(0));
        QCOMPARE(swipe.keys(), QStringList({"duration", "endX", "endY", "startX", "startY"}));
        QCOMPARE(swipe.value("duration").toInt(), 200);
        QCOMPARE(swipe.value("startX").toDouble(), 0.5);
        QCOMPARE(swipe.value("endX").toDouble(), 0.0);
        QCOMPARE(dataOf(maps.at(1)).keys(), QStringList({"count", "x", "y"}));
        QCOMPARE(dataOf(maps.at(1)).value("count").toInt(), 1);
        QVERIFY(dataOf(maps.at(2)).isEmpty());
    }

    void profilesAreSavedAndComeBackInNameOrder()
    {
        KeyMapping store(path());
        QVERIFY(!store.addProfile(""));
        QVERIFY(!QFile::exists(path()));
        QVERIFY(store.addProfile("Zeta"));
        QVERIFY(store.addProfile("Alpha"));
        QVERIFY(!store.addProfile("Alpha"));
        QCOMPARE(store.profileNames(), QStringList({"Zeta", "Alpha"}));
        const QJsonObject saved = readJson(path());
        QCOMPARE(saved.value("version").toString(), "1.0");
        QCOMPARE(saved.value("currentProfile").toString(), QString(""));
        QCOMPARE(KeyMapping(path()).profileNames(), QStringList({"Alpha", "Zeta"}));
    }

    void currentProfileEditsAreSavedOthersWaitForTheNextSave()
    {
        KeyMapping store(path());
        QVERIFY(store.addProfile("P"));
        QVERIFY(store.addProfile("Q"));
        KeyMappingProfile *p = store.getProfile("P");
        KeyMappingProfile *q = store.getProfile("Q");
        QSignalSpy current(&store, &KeyMapping::currentProfileChanged);
        QSignalSpy mappings(&store, &KeyMapping::currentMappingsChanged);
        store.setCurrentProfile(p);
        store.setCurrentProfile(p);
        QCOMPARE(current.count(), 1);
        QCOMPARE(mappings.count(), 1);
        QCOMPARE(readJson(path()).value("currentProfile").toString(), QString("")); // not yet

        QVERIFY(p->addMapping(Qt::Key_Space, 0, "Space", 0.5, 0.8));
        QCOMPARE(mappings.count(), 2);
        QCOMPARE(readJson(path()).value("currentProfile").toString(), "P");
        const QJsonObject entry = savedProfiles().value("P").toArray().at(0).toObject();
        QCOMPARE(entry.value("keyCode").toInt(), 32);
        QCOMPARE(entry.value("keyDisplay").toString(), "Space");
        QCOMPARE(entry.value("data").toObject().value("y").toDouble(), 0.8);

        // Q is not current: its change is neither written nor signalled.
        QVERIFY(q->addMapping(Qt::Key_A, 0, "A", 0.1, 0.1));
        QCOMPARE(mappings.count(), 2);
        QVERIFY(savedProfiles().value("Q").toArray().isEmpty());
        // The old current profile is no longer followed after a switch.
        store.setCurrentProfile(q);
        const int before = mappings.count();
        QVERIFY(p->addMapping(Qt::Key_B, 0, "B", 0.1, 0.1));
        QCOMPARE(mappings.count(), before);
        QVERIFY(store.saveToFile());
        QCOMPARE(savedProfiles().value("Q").toArray().size(), 1);
    }

    void removingProfilesChoosesTheNextCurrent()
    {
        KeyMapping store(path());
        for (const char *name : {"P", "Q", "R"})
            QVERIFY(store.addProfile(name));
        store.setCurrentProfile(store.getProfile("Q"));
        QPointer<KeyMappingProfile> q = store.getProfile("Q");
        QVERIFY(q->addMapping(Qt::Key_J, 0, "J", 0.5, 0.5));
        QVERIFY(store.removeProfile("Q"));
        QCOMPARE(store.currentProfile(), store.getProfile("P"));
        QVERIFY(q); // deleted only after the current event, and maps nothing until then
        QVERIFY(q->isRetired());
        QVERIFY(!q->findEntry(Qt::Key_J, 0));
        QTRY_VERIFY(q.isNull());
        QCOMPARE(readJson(path()).value("currentProfile").toString(), "P");

        QVERIFY(store.removeProfile("P")); // the current first hands over to the second
        QCOMPARE(store.currentProfile()->name(), "R");
        QVERIFY(!store.removeProfile("P"));
        QVERIFY(store.removeProfile("R"));
        QCOMPARE(store.currentProfile(), nullptr);
        QCOMPARE(readJson(path()).value("currentProfile").toString(), QString(""));
        QVERIFY(savedProfiles().isEmpty());
    }

    void roundTripKeepsEveryField()
    {
        {
            KeyMapping store(path());
            QVERIFY(store.addProfile("Game"));
            KeyMappingProfile *game = store.getProfile("Game");
            store.setCurrentProfile(game);
            QVERIFY(game->addMapping(Qt::Key_A, int(Qt::ShiftModifier | Qt::ControlModifier),
                                     "Cmd+Shift+A", 0.25, 0.75, 3));
            QVERIFY(game->addSwipeMapping(Qt::Key_W, 0, "W", 0.5, 0.9, 0.5, 0.1, 300));
            QVERIFY(game->addMappingWithType(Qt::Key_Q, 0, "Q", 5, {}));
        }
        KeyMapping loaded(path());
        QSignalSpy profilesLoaded(&loaded, &KeyMapping::profilesChanged);
        QCOMPARE(loaded.currentProfile()->name(), "Game");
        const QVariantList maps = loaded.currentMappings();
        QCOMPARE(maps.size(), 3);
        const QVariantMap shifted = maps.at(0).toMap();
        QCOMPARE(shifted.value("modifiers").toInt(), int(Qt::ShiftModifier | Qt::ControlModifier));
        QCOMPARE(shifted.value("keyDisplay").toString(), "Cmd+Shift+A");
        QCOMPARE(dataOf(shifted).value("count").toInt(), 3);
        QCOMPARE(dataOf(shifted).value("x").toDouble(), 0.25);
        QCOMPARE(dataOf(maps.at(1)).value("duration").toInt(), 300);
        QCOMPARE(dataOf(maps.at(1)).value("startY").toDouble(), 0.9);
        QCOMPARE(maps.at(2).toMap().value("type").toInt(), 5);
        const QJsonValue other = savedProfiles().value("Game").toArray().at(2)["data"];
        QVERIFY(other.isObject() && other.toObject().isEmpty());
        // An explicit reload replaces the profiles and says so.
        QVERIFY(loaded.loadFromFile());
        QCOMPARE(profilesLoaded.count(), 1);
        QCOMPARE(loaded.profileNames(), QStringList({"Game"}));
    }

    void olderFlatFormAndMissingValues()
    {
        QVERIFY(!TestSupport::writeFile(path(), R"({"currentProfile": "Old", "profiles": {"Old": [
            {"keyCode": 65, "modifiers": 0, "keyDisplay": "A", "type": 0, "x": 0.3, "y": 0.6},
            {"keyCode": 66, "keyDisplay": "B", "type": 0, "x": 0.1, "y": 0.2, "data": {}},
            {"keyCode": 87, "keyDisplay": "W", "type": 1,
             "data": {"startX": 0.5, "startY": 0.9, "endX": 0.5, "endY": 0.2}},
            "not an entry",
            {"type": 0, "data": {"x": 0.9}},
            {"keyCode": 66, "keyDisplay": "B again", "type": 0, "data": {"x": 0.4, "count": 2}}
        ]}})")
                     .isEmpty());
        KeyMapping store(path());
        KeyMappingProfile *old = store.currentProfile();
        QVERIFY(old);
        const QList<KeyMappingEntry> &entries = old->entries();
        QCOMPARE(entries.size(), 5);
        QCOMPARE(QPointF(entries.at(0).x, entries.at(0).y), QPointF(0.3, 0.6));
        QCOMPARE(entries.at(0).count, 1);
        QCOMPARE(entries.at(1).x, 0.1);
        QCOMPARE(entries.at(2).duration, 200);
        QCOMPARE(entries.at(2).endY, 0.2);
        QCOMPARE(entries.at(3).keyCode, 0);
        QCOMPARE(entries.at(3).keyDisplay, QString());
        QCOMPARE(entries.at(3).y, 0.0);
        QCOMPARE(old->findEntry(66, 0)->x, 0.1); // duplicates kept; the first answers

        QVERIFY(!TestSupport::writeFile(path(),
                                        R"({"currentProfile": "Ghost", "profiles": {"Real": []}})")
                     .isEmpty());
        KeyMapping ghost(path());
        QCOMPARE(ghost.profileNames(), QStringList({"Real"}));
        QCOMPARE(ghost.currentProfile(), nullptr);
        QVERIFY(ghost.currentMappings().isEmpty());
    }

    void damagedFilesLoadEmptyAndAreKeptAside_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("truncated") << QByteArray(R"({"profiles": {"A": [{"keyCode": 3)");
        QTest::newRow("array root") << QByteArray("[1, 2, 3]");
    }
    void damagedFilesLoadEmptyAndAreKeptAside()
    {
        QFETCH(QByteArray, content);
        QVERIFY(!TestSupport::writeFile(path(), content).isEmpty());
        KeyMapping store(path());
        QVERIFY(store.profileNames().isEmpty());
        QVERIFY(!store.loadFromFile());
        // The first save replaces the file but keeps the user's copy beside it.
        QVERIFY(store.addProfile("Fresh"));
        QCOMPARE(TestSupport::readFile(path() + ".bak"), content);
        QCOMPARE(savedProfiles().keys(), QStringList({"Fresh"}));
    }

    void missingOrUnwritableFile()
    {
        KeyMapping store(path());
        QVERIFY(!store.loadFromFile());
        QVERIFY(store.profileNames().isEmpty());
        QVERIFY(!QFile::exists(path())); // starting empty writes nothing
        QVERIFY(QDir().mkpath(path()));  // a folder where the file should be
        QVERIFY(!store.saveToFile());
        QVERIFY(QDir().rmdir(path()));

        const QString folder =
            QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + "/PX/KeyMap";
        QCOMPARE(KeyMapping::instance()->getConfigFilePath(), folder + "/keymappings.json");
        QVERIFY(QFileInfo(folder).isDir());
    }
};

PARVIX_TEST(KeyMappingTest)
#include "keymappingtest.moc"
