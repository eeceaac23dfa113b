#include "commonphrasemanager.h"

#include "appconfig.h"
#include "jsonfile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
constexpr const char *kFileName = "common_phrases.json";
} // namespace

CommonPhraseManager *CommonPhraseManager::instance()
{
    static CommonPhraseManager *shared = new CommonPhraseManager;
    return shared;
}

CommonPhraseManager::CommonPhraseManager() : QObject(nullptr)
{
    loadData();
}

CommonPhraseManager::CommonPhraseManager(const QString &filePath, QObject *parent)
    : QObject(parent), m_fixedFilePath(filePath)
{
    loadData();
}

CommonPhraseManager::~CommonPhraseManager()
{
    saveData();
    qDeleteAll(m_phrases);
    qDeleteAll(m_categories);
}

QString CommonPhraseManager::filePath() const
{
    if (!m_fixedFilePath.isEmpty())
        return m_fixedFilePath;
    const QString folder = AppConfig::instance()->getCommonPhraseSavePath();
    QDir().mkpath(folder);
    return QDir(folder).filePath(kFileName);
}

QQmlListProperty<CommonPhrase> CommonPhraseManager::phrases()
{
    return QQmlListProperty<CommonPhrase>(this, &m_phrases);
}

QQmlListProperty<PhraseCategory> CommonPhraseManager::categories()
{
    return QQmlListProperty<PhraseCategory>(this, &m_categories);
}

void CommonPhraseManager::setCurrentCategoryId(const QString &categoryId)
{
    if (categoryId == m_currentCategoryId)
        return;
    m_currentCategoryId = categoryId;
    emit currentCategoryIdChanged();
}

void CommonPhraseManager::addCategory(const QString &name, const QString &description)
{
    m_categories.append(new PhraseCategory(QString(), name, description, this));
    emit categoriesChanged();
    saveData();
}

void CommonPhraseManager::addCategory(const QString &name)
{
    addCategory(name, QString());
}

void CommonPhraseManager::removeCategory(const QString &categoryId)
{
    for (qsizetype c = m_categories.size() - 1; c >= 0; --c) {
        if (m_categories.at(c)->id() != categoryId)
            continue;
        for (qsizetype p = m_phrases.size() - 1; p >= 0; --p) {
            if (m_phrases.at(p)->category() == categoryId)
                m_phrases.takeAt(p)->deleteLater();
        }
        m_categories.takeAt(c)->deleteLater();
        break;
    }
    emit categoriesChanged();
    emit phrasesChanged();
    saveData();
}

void CommonPhraseManager::updateCategory(const QString &categoryId, const QString &name,
                                         const QString &description)
{
    PhraseCategory *category = getCategoryById(categoryId);
    if (!category)
        return;
    category->setName(name);
    category->setDescription(description);
    emit categoriesChanged();
    saveData();
}

void CommonPhraseManager::updateCategory(const QString &categoryId, const QString &name)
{
    updateCategory(categoryId, name, QString());
}

PhraseCategory *CommonPhraseManager::getCategoryById(const QString &categoryId) const
{
    for (PhraseCategory *category : m_categories) {
        if (category->id() == categoryId)
            return category;
    }
    return nullptr;
}

QList<PhraseCategory *> CommonPhraseManager::getCategoriesList() const
{
    return m_categories;
}

void CommonPhraseManager::addPhrase(const QString &text, const QString &categoryId,
                                    const QString &description)
{
    m_phrases.append(new CommonPhrase(QString(), text, categoryId, description, this));
    emit phrasesChanged();
    saveData();
}

void CommonPhraseManager::addPhrase(const QString &text, const QString &categoryId)
{
    addPhrase(text, categoryId, QString());
}

void CommonPhraseManager::removePhrase(const QString &phraseId)
{
    for (qsizetype p = m_phrases.size() - 1; p >= 0; --p) {
        if (m_phrases.at(p)->id() == phraseId) {
            m_phrases.takeAt(p)->deleteLater();
            break;
        }
    }
    emit phrasesChanged();
    saveData();
}

void CommonPhraseManager::updatePhrase(const QString &phraseId, const QString &text,
                                       const QString &categoryId, const QString &description)
{
    CommonPhrase *phrase = getPhraseById(phraseId);
    if (!phrase)
        return;
    phrase->setText(text);
    phrase->setCategory(categoryId);
    phrase->setDescription(description);
    emit phrasesChanged();
    saveData();
}

void CommonPhraseManager::updatePhrase(const QString &phraseId, const QString &text,
                                       const QString &categoryId)
{
    updatePhrase(phraseId, text, categoryId, QString());
}

CommonPhrase *CommonPhraseManager::getPhraseById(const QString &phraseId) const
{
    for (CommonPhrase *phrase : m_phrases) {
        if (phrase->id() == phraseId)
            return phrase;
    }
    return nullptr;
}

QList<CommonPhrase *> CommonPhraseManager::getPhrasesByCategory(const QString &categoryId) const
{
    QList<CommonPhrase *> result;
    for (CommonPhrase *phrase : m_phrases) {
        if (phrase->category() == categoryId)
            result.append(phrase);
    }
    return result;
}

QList<CommonPhrase *> CommonPhraseManager::getAllPhrases() const
{
    return m_phrases;
}

void CommonPhraseManager::saveData()
{
    const QString path = filePath();
    if (m_backupPending) {
        JsonFile::keepBackup(path);
        m_backupPending = false;
    }
    QJsonArray categories;
    for (const PhraseCategory *category : m_categories)
        categories.append(category->toJson());
    QJsonArray phrases;
    for (const CommonPhrase *phrase : m_phrases)
        phrases.append(phrase->toJson());
    QJsonObject root;
    root.insert("categories", categories);
    root.insert("phrases", phrases);
    root.insert("currentCategoryId", m_currentCategoryId);
    JsonFile::write(path, QJsonDocument(root));
}

void CommonPhraseManager::loadData()
{
    const JsonFile::ReadResult result = JsonFile::read(filePath());
    if (result.status == JsonFile::ReadStatus::Missing ||
        result.status == JsonFile::ReadStatus::Unreadable)
        return;
    // A file that cannot be parsed loads as empty; the user's copy is kept aside before a save.
    const bool parsed = result.status == JsonFile::ReadStatus::Ok && result.document.isObject();
    m_backupPending = !parsed;
    const QJsonObject root = parsed ? result.document.object() : QJsonObject();

    for (PhraseCategory *category : std::as_const(m_categories))
        category->deleteLater();
    m_categories.clear();
    const QJsonArray categories = root.value("categories").toArray();
    for (const QJsonValue &value : categories) {
        if (!value.isObject())
            continue;
        const QJsonObject object = value.toObject();
        m_categories.append(new PhraseCategory(object.value("id").toString(),
                                               object.value("name").toString(),
                                               object.value("description").toString(), this));
    }

    for (CommonPhrase *phrase : std::as_const(m_phrases))
        phrase->deleteLater();
    m_phrases.clear();
    const QJsonArray phrases = root.value("phrases").toArray();
    for (const QJsonValue &value : phrases) {
        if (!value.isObject())
            continue;
        const QJsonObject object = value.toObject();
        m_phrases.append(new CommonPhrase(
            object.value("id").toString(), object.value("text").toString(),
            object.value("category").toString(), object.value("description").toString(), this));
    }

    m_currentCategoryId = root.value("currentCategoryId").toString();
    emit categoriesChanged();
    emit phrasesChanged();
    emit currentCategoryIdChanged();
}
