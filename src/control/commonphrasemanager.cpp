#include "commonphrasemanager.h"

#include "appconfig.h"

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
    if (categoryId == m_currentCategoryId ||
        !StoreFile::acceptText(categoryId, PhraseLimits::kMaxIdLength))
        return;
    m_currentCategoryId = categoryId;
    emit currentCategoryIdChanged();
}

void CommonPhraseManager::addCategory(const QString &name, const QString &description)
{
    if (!StoreFile::acceptText(name, PhraseLimits::kMaxNameLength) ||
        !StoreFile::acceptText(description, PhraseLimits::kMaxDescriptionLength) ||
        !StoreFile::acceptOneMore(m_categories.size(), kMaxCategories, tr("phrase categories")))
        return;
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
    if (!category || !StoreFile::acceptText(name, PhraseLimits::kMaxNameLength) ||
        !StoreFile::acceptText(description, PhraseLimits::kMaxDescriptionLength))
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
    if (!StoreFile::acceptText(text, PhraseLimits::kMaxTextLength) ||
        !StoreFile::acceptText(categoryId, PhraseLimits::kMaxIdLength) ||
        !StoreFile::acceptText(description, PhraseLimits::kMaxDescriptionLength) ||
        !StoreFile::acceptOneMore(m_phrases.size(), kMaxPhrases, tr("phrases")))
        return;
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
    if (!phrase || !StoreFile::acceptText(text, PhraseLimits::kMaxTextLength) ||
        !StoreFile::acceptText(categoryId, PhraseLimits::kMaxIdLength) ||
        !StoreFile::acceptText(description, PhraseLimits::kMaxDescriptionLength))
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
    m_file.save(filePath(), root);
}

QString CommonPhraseManager::loadedText(const QJsonObject &object, const char *key, int maxLength)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isUndefined() && !value.isString())
        m_file.markDamaged();
    const QString text = value.toString();
    if (text.size() <= maxLength)
        return text;
    m_file.markDamaged();
    return StoreFile::cut(text, maxLength);
}

void CommonPhraseManager::loadData()
{
    // A missing or wholly unusable file leaves the store as it is; nothing the user has
    // is dropped for it.
    const std::optional<QJsonObject> file = m_file.load(filePath());
    if (!file) {
        m_file.finishLoad();
        return;
    }
    const QJsonObject &root = *file;
    // The elements of a list, up to the store's limit; anything else is damage.
    const auto objectsOf = [this, &root](const char *key, int limit) {
        const QJsonValue list = root.value(QLatin1String(key));
        if (!list.isUndefined() && !list.isArray())
            m_file.markDamaged();
        QList<QJsonObject> objects;
        for (const QJsonValue &value : list.toArray()) {
            if (!value.isObject() || objects.size() >= limit)
                m_file.markDamaged();
            else
                objects.append(value.toObject());
        }
        return objects;
    };

    using namespace PhraseLimits;
    for (PhraseCategory *category : std::as_const(m_categories))
        category->deleteLater();
    m_categories.clear();
    for (const QJsonObject &object : objectsOf("categories", kMaxCategories)) {
        m_categories.append(new PhraseCategory(
            loadedText(object, "id", kMaxIdLength), loadedText(object, "name", kMaxNameLength),
            loadedText(object, "description", kMaxDescriptionLength), this));
    }

    for (CommonPhrase *phrase : std::as_const(m_phrases))
        phrase->deleteLater();
    m_phrases.clear();
    for (const QJsonObject &object : objectsOf("phrases", kMaxPhrases)) {
        m_phrases.append(new CommonPhrase(
            loadedText(object, "id", kMaxIdLength), loadedText(object, "text", kMaxTextLength),
            loadedText(object, "category", kMaxIdLength),
            loadedText(object, "description", kMaxDescriptionLength), this));
    }

    m_currentCategoryId = loadedText(root, "currentCategoryId", kMaxIdLength);
    m_file.finishLoad();
    emit categoriesChanged();
    emit phrasesChanged();
    emit currentCategoryIdChanged();
}
