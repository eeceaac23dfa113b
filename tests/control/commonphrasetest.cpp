// The phrase store: categories and phrases, their removal rules and "common_phrases.json".
#include "commonphrasemanager.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QtTest>

namespace {
using TestSupport::readJson;

QStringList texts(const QList<CommonPhrase *> &phrases)
{
    QStringList out;
    for (const CommonPhrase *phrase : phrases)
        out << phrase->text();
    return out;
}
} // namespace

class CommonPhraseTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath("common_phrases.json"); }

private slots:
    void init()
    {
        QFile::remove(path());
        QFile::remove(path() + ".bak");
    }

    void addingAndUpdatingWritesTheFileInOrder()
    {
        auto store = std::make_unique<CommonPhraseManager>(path());
        store->addCategory("Greetings", "hello texts");
        store->addCategory("Greetings"); // same name, another id
        const QString first = store->getCategoriesList().at(0)->id();
        const QString second = store->getCategoriesList().at(1)->id();
        QVERIFY(first != second);
        store->addPhrase("Hello", first, "polite");
        store->addPhrase(QString::fromUtf8("你好"), first);
        store->addPhrase("Yo", second);
        QJsonObject saved = readJson(path());
        QCOMPARE(saved["categories"][0]["description"].toString(), "hello texts");
        QCOMPARE(saved["phrases"][1]["text"].toString(), QString::fromUtf8("你好"));
        QCOMPARE(saved["phrases"][2]["category"].toString(), second);
        QCOMPARE(saved["currentCategoryId"].toString(), QString(""));
        QCOMPARE(texts(store->getPhrasesByCategory(first)),
                 QStringList({"Hello", QString::fromUtf8("你好")}));
        QVERIFY(store->getPhrasesByCategory("nobody").isEmpty());

        // The short forms of the updates clear the description.
        store->updateCategory(first, "Hi");
        QCOMPARE(store->getCategoryById(first)->name(), "Hi");
        QCOMPARE(store->getCategoryById(first)->description(), QString(""));
        store->updateCategory(first, "Hi", "again");
        QCOMPARE(readJson(path())["categories"][0]["description"].toString(), "again");
        const QString phraseId = store->getAllPhrases().at(0)->id();
        store->updatePhrase("nobody", "x", "y");
        store->updatePhrase(phraseId, "hello", "other");
        CommonPhrase *phrase = store->getPhraseById(phraseId);
        QCOMPARE(QStringList({phrase->text(), phrase->category(), phrase->description()}),
                 QStringList({"hello", "other", ""}));
        QCOMPARE(readJson(path())["phrases"][0]["category"].toString(), "other");

        store->addPhrase("x", second, "note");
        store->setCurrentCategoryId(second);
        QCOMPARE(readJson(path())["currentCategoryId"].toString(), QString("")); // not yet
        store.reset(); // saved once more when destroyed
        store = std::make_unique<CommonPhraseManager>(path());
        QCOMPARE(store->currentCategoryId(), second);
        QCOMPARE(store->getPhrasesByCategory(second).at(1)->description(), "note");
        store->loadData();
        QQmlListProperty<CommonPhrase> list = store->phrases();
        QCOMPARE(list.count(&list), 4);
        QFile::remove(path()); // a missing file keeps what the store has
        store->loadData();
        QCOMPARE(texts(store->getAllPhrases()).size(), 4);
    }

    void removalRules()
    {
        CommonPhraseManager store(path());
        QSignalSpy categories(&store, &CommonPhraseManager::categoriesChanged);
        QSignalSpy phrases(&store, &CommonPhraseManager::phrasesChanged);
        // Unknown ids still signal and save.
        store.removeCategory("missing");
        QCOMPARE(categories.count() + phrases.count(), 2);
        QVERIFY(QFile::remove(path()));
        store.removePhrase("missing");
        QCOMPARE(phrases.count(), 2);
        QVERIFY(QFile::exists(path()));

        store.addCategory("A");
        store.addCategory("B");
        const QString a = store.getCategoriesList().at(0)->id();
        const QString b = store.getCategoriesList().at(1)->id();
        const QList<QPair<QString, QString>> added{{"a1", a}, {"b1", b}, {"a2", a}, {"b2", b}};
        for (const auto &[text, category] : added)
            store.addPhrase(text, category);
        store.setCurrentCategoryId(a);
        QPointer<CommonPhrase> a1 = store.getAllPhrases().at(0);
        store.removeCategory(a); // takes its phrases only
        QCOMPARE(texts(store.getAllPhrases()), QStringList({"b1", "b2"}));
        QCOMPARE(store.getCategoriesList().size(), 1);
        QCOMPARE(store.getCategoryById(a), nullptr);
        QCOMPARE(store.currentCategoryId(), a);
        QTRY_VERIFY(a1.isNull());
        QCOMPARE(readJson(path())["phrases"].toArray().size(), 2);

        // With a repeated id the last match goes.
        store.getAllPhrases().at(1)->setId(store.getAllPhrases().at(0)->id());
        store.removePhrase(store.getAllPhrases().at(0)->id());
        QCOMPARE(texts(store.getAllPhrases()), QStringList({"b1"}));
    }

    void loadingFillsMissingValuesOrStartsAfresh()
    {
        QVERIFY(!TestSupport::writeFile(path(), R"({
            "categories": [{"id": "c1", "name": "Names"}, {"name": "No id"}, 42],
            "phrases": [{"text": "no id", "category": "c1"},
                        {"id": "p2", "text": "second", "category": "c1", "description": "d"}]
        })")
                     .isEmpty());
        CommonPhraseManager store(path());
        QCOMPARE(store.getCategoriesList().size(), 2);
        QCOMPARE(store.getCategoryById("c1")->description(), QString(""));
        QCOMPARE(store.getCategoriesList().at(1)->id().size(), 36);
        QCOMPARE(CommonPhrase().id().size() + PhraseCategory().id().size(), 72); // made in QML
        QCOMPARE(store.getAllPhrases().size(), 2);
        QCOMPARE(store.getAllPhrases().at(0)->id().size(), 36);
        QCOMPARE(store.getPhraseById("p2")->description(), "d");
        QCOMPARE(store.currentCategoryId(), QString(""));

        // A damaged file loads empty and is kept aside at the first save.
        const QByteArray damaged = "{\"categories\": [{\"id\": \"c1\", \"name\": \"Na";
        QVERIFY(!TestSupport::writeFile(path(), damaged).isEmpty());
        CommonPhraseManager fresh(path());
        QVERIFY(fresh.getCategoriesList().isEmpty());
        QVERIFY(fresh.getAllPhrases().isEmpty());
        fresh.addCategory("New");
        QCOMPARE(TestSupport::readFile(path() + ".bak"), damaged);
        QCOMPARE(readJson(path())["categories"].toArray().size(), 1);
    }
};

PARVIX_TEST(CommonPhraseTest)
#include "commonphrasetest.moc"
