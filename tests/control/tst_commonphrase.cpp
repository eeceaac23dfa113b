// The phrase store: categories and phrases, their removal rules and "common_phrases.json".
#include "commonphrasemanager.h"
#include "testregistry.h"

#include <QRegularExpression>
#include <QtTest>

namespace {
QJsonObject readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

void writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

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

    void newIdsAreBracelessLowerCaseUuids()
    {
        const QRegularExpression form(
            "^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$");
        CommonPhrase phrase(QString(), "hi", "c", "", nullptr);
        PhraseCategory category(QString(), "n", "", nullptr);
        QVERIFY2(form.match(phrase.id()).hasMatch(), qPrintable(phrase.id()));
        QVERIFY(form.match(category.id()).hasMatch());
        QVERIFY(phrase.id() != category.id());
        CommonPhrase kept("given-id", "hi", "c", "", nullptr);
        QCOMPARE(kept.id(), "given-id");
    }

    void settersSignalOnlyOnChange()
    {
        CommonPhrase phrase("id", "text", "cat", "desc", nullptr);
        QSignalSpy text(&phrase, &CommonPhrase::textChanged);
        QSignalSpy category(&phrase, &CommonPhrase::categoryChanged);
        phrase.setText("text");
        phrase.setCategory("cat");
        QCOMPARE(text.count() + category.count(), 0);
        phrase.setText("new");
        phrase.setCategory("other");
        QCOMPARE(text.count(), 1);
        QCOMPARE(category.count(), 1);
        QCOMPARE(phrase.toJson().value("category").toString(), "other");
    }

    void addingWritesTheFileInOrder()
    {
        CommonPhraseManager store(path());
        QSignalSpy categories(&store, &CommonPhraseManager::categoriesChanged);
        QSignalSpy phrases(&store, &CommonPhraseManager::phrasesChanged);
        store.addCategory("Greetings", "hello texts");
        store.addCategory("Greetings"); // same name, another id
        const QString first = store.getCategoriesList().at(0)->id();
        const QString second = store.getCategoriesList().at(1)->id();
        QVERIFY(first != second);
        store.addPhrase("Hello", first, "polite");
        store.addPhrase(QString::fromUtf8("你好"), first);
        store.addPhrase("Yo", second);
        QCOMPARE(categories.count(), 2);
        QCOMPARE(phrases.count(), 3);

        const QJsonObject saved = readJson(path());
        QCOMPARE(saved.value("categories").toArray().size(), 2);
        QCOMPARE(
            saved.value("categories").toArray().at(0).toObject().value("description").toString(),
            "hello texts");
        const QJsonArray savedPhrases = saved.value("phrases").toArray();
        QCOMPARE(savedPhrases.at(1).toObject().value("text").toString(), QString::fromUtf8("你好"));
        QCOMPARE(savedPhrases.at(2).toObject().value("category").toString(), second);
        QCOMPARE(saved.value("currentCategoryId").toString(), QString(""));
        QCOMPARE(texts(store.getPhrasesByCategory(first)),
                 QStringList({"Hello", QString::fromUtf8("你好")}));
        QVERIFY(store.getPhrasesByCategory("nobody").isEmpty());
    }

    void removingACategoryTakesItsPhrasesOnly()
    {
        CommonPhraseManager store(path());
        store.addCategory("A");
        store.addCategory("B");
        const QString a = store.getCategoriesList().at(0)->id();
        const QString b = store.getCategoriesList().at(1)->id();
        store.addPhrase("a1", a);
        store.addPhrase("b1", b);
        store.addPhrase("a2", a);
        store.addPhrase("b2", b);
        store.setCurrentCategoryId(a);
        QPointer<CommonPhrase> a1 = store.getAllPhrases().at(0);

        store.removeCategory(a);
        QCOMPARE(texts(store.getAllPhrases()), QStringList({"b1", "b2"}));
        QCOMPARE(store.getCategoriesList().size(), 1);
        QCOMPARE(store.getCategoryById(a), nullptr);
        QCOMPARE(store.currentCategoryId(), a);
        QTRY_VERIFY(a1.isNull());
        QCOMPARE(readJson(path()).value("phrases").toArray().size(), 2);
    }

    void removingUnknownIdsStillSignalsAndSaves()
    {
        CommonPhraseManager store(path());
        QSignalSpy categories(&store, &CommonPhraseManager::categoriesChanged);
        QSignalSpy phrases(&store, &CommonPhraseManager::phrasesChanged);
        QVERIFY(!QFile::exists(path()));
        store.removeCategory("missing");
        QCOMPARE(categories.count(), 1);
        QCOMPARE(phrases.count(), 1);
        QVERIFY(QFile::exists(path()));
        QFile::remove(path());
        store.removePhrase("missing");
        QCOMPARE(phrases.count(), 2);
        QVERIFY(QFile::exists(path()));
    }

    void removePhraseTakesTheLastMatch()
    {
        CommonPhraseManager store(path());
        store.addPhrase("one", "c");
        store.addPhrase("two", "c");
        store.getAllPhrases().at(1)->setId(store.getAllPhrases().at(0)->id());
        store.removePhrase(store.getAllPhrases().at(0)->id());
        QCOMPARE(texts(store.getAllPhrases()), QStringList({"one"}));
    }

    void updatesAndTheirShortForms()
    {
        CommonPhraseManager store(path());
        store.addCategory("Work", "office");
        const QString id = store.getCategoriesList().at(0)->id();
        store.updateCategory(id, "Job");
        QCOMPARE(store.getCategoryById(id)->name(), "Job");
        QCOMPARE(store.getCategoryById(id)->description(), QString(""));
        store.updateCategory(id, "Job", "again");
        QCOMPARE(readJson(path())
                     .value("categories")
                     .toArray()
                     .at(0)
                     .toObject()
                     .value("description")
                     .toString(),
                 "again");

        store.addPhrase("hi", id, "d");
        const QString phraseId = store.getAllPhrases().at(0)->id();
        QSignalSpy phrases(&store, &CommonPhraseManager::phrasesChanged);
        store.updatePhrase("nobody", "x", "y");
        QCOMPARE(phrases.count(), 0);
        store.updatePhrase(phraseId, "hello", "other");
        QCOMPARE(phrases.count(), 1);
        CommonPhrase *phrase = store.getPhraseById(phraseId);
        QCOMPARE(phrase->text(), "hello");
        QCOMPARE(phrase->category(), "other");
        QCOMPARE(phrase->description(), QString(""));
    }

    void currentCategoryIsWrittenWithTheNextSave()
    {
        CommonPhraseManager store(path());
        store.addCategory("C");
        QSignalSpy current(&store, &CommonPhraseManager::currentCategoryIdChanged);
        store.setCurrentCategoryId("abc");
        store.setCurrentCategoryId("abc");
        QCOMPARE(current.count(), 1);
        QCOMPARE(readJson(path()).value("currentCategoryId").toString(), QString(""));
        store.saveData();
        QCOMPARE(readJson(path()).value("currentCategoryId").toString(), "abc");
    }

    void loadingFillsMissingValues()
    {
        writeText(path(), R"({
            "categories": [{"id": "c1", "name": "Names"}, {"name": "No id"}, 42],
            "phrases": [{"text": "no id", "category": "c1"},
                        {"id": "p2", "text": "second", "category": "c1", "description": "d"}]
        })");
        CommonPhraseManager store(path());
        QCOMPARE(store.getCategoriesList().size(), 2);
        QCOMPARE(store.getCategoryById("c1")->description(), QString(""));
        QCOMPARE(store.getCategoriesList().at(1)->id().size(), 36);
        QCOMPARE(store.getAllPhrases().size(), 2);
        QCOMPARE(store.getAllPhrases().at(0)->id().size(), 36);
        QCOMPARE(store.getPhraseById("p2")->description(), "d");
        QCOMPARE(store.currentCategoryId(), QString(""));
    }

    void roundTrip()
    {
        {
            CommonPhraseManager store(path());
            store.addCategory("A", "first");
            store.addPhrase("x", store.getCategoriesList().at(0)->id(), "note");
            store.setCurrentCategoryId(store.getCategoriesList().at(0)->id());
        } // saved once more when destroyed
        CommonPhraseManager loaded(path());
        QCOMPARE(loaded.getCategoriesList().size(), 1);
        const QString id = loaded.getCategoriesList().at(0)->id();
        QCOMPARE(loaded.currentCategoryId(), id);
        QCOMPARE(loaded.getPhrasesByCategory(id).at(0)->description(), "note");

        QSignalSpy categories(&loaded, &CommonPhraseManager::categoriesChanged);
        QSignalSpy phrases(&loaded, &CommonPhraseManager::phrasesChanged);
        QSignalSpy current(&loaded, &CommonPhraseManager::currentCategoryIdChanged);
        loaded.loadData();
        QCOMPARE(categories.count() + phrases.count() + current.count(), 3);
        QCOMPARE(loaded.getAllPhrases().size(), 1);
    }

    void malformedFileLoadsEmptyAndIsKeptAside()
    {
        const QByteArray damaged = "{\"categories\": [{\"id\": \"c1\", \"name\": \"Na";
        writeText(path(), damaged);
        CommonPhraseManager store(path());
        QVERIFY(store.getCategoriesList().isEmpty());
        QVERIFY(store.getAllPhrases().isEmpty());
        store.addCategory("New");
        QFile backup(path() + ".bak");
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), damaged);
        QCOMPARE(readJson(path()).value("categories").toArray().size(), 1);
    }

    void missingFileKeepsWhatTheStoreHas()
    {
        CommonPhraseManager store(path());
        store.addPhrase("kept", "c");
        QFile::remove(path());
        store.loadData();
        QCOMPARE(texts(store.getAllPhrases()), QStringList({"kept"}));
    }

    void qmlListProperties()
    {
        CommonPhraseManager store(path());
        store.addCategory("A");
        store.addPhrase("p", "c");
        store.addPhrase("q", "c");
        QQmlListProperty<CommonPhrase> phrases = store.phrases();
        QCOMPARE(phrases.count(&phrases), 2);
        QCOMPARE(phrases.at(&phrases, 1)->text(), "q");
        QQmlListProperty<PhraseCategory> categories = store.categories();
        QCOMPARE(categories.count(&categories), 1);
    }
};

PARVIX_TEST(CommonPhraseTest)
#include "tst_commonphrase.moc"
