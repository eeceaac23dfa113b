#include "commonphrase.h"

#include "storefile.h"

#include <QUuid>

QString CommonPhraseIds::newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

namespace {
QString idOrNew(const QString &id)
{
    return id.isEmpty() ? CommonPhraseIds::newId() : id;
}
} // namespace

// ---- CommonPhrase -----------------------------------------------------------------

CommonPhrase::CommonPhrase(QObject *parent) : QObject(parent), m_id(CommonPhraseIds::newId()) {}

CommonPhrase::CommonPhrase(const QString &id, const QString &text, const QString &category,
                           const QString &description, QObject *parent)
    : QObject(parent), m_id(idOrNew(id)), m_text(text), m_category(category),
      m_description(description)
{}

void CommonPhrase::setId(const QString &id)
{
    if (id == m_id || !StoreFile::acceptText(id, PhraseLimits::kMaxIdLength))
        return;
    m_id = id;
    emit idChanged();
}

void CommonPhrase::setText(const QString &text)
{
    if (text == m_text || !StoreFile::acceptText(text, PhraseLimits::kMaxTextLength))
        return;
    m_text = text;
    emit textChanged();
}

void CommonPhrase::setCategory(const QString &category)
{
    if (category == m_category || !StoreFile::acceptText(category, PhraseLimits::kMaxIdLength))
        return;
    m_category = category;
    emit categoryChanged();
}

void CommonPhrase::setDescription(const QString &description)
{
    if (description == m_description ||
        !StoreFile::acceptText(description, PhraseLimits::kMaxDescriptionLength))
        return;
    m_description = description;
    emit descriptionChanged();
}

QJsonObject CommonPhrase::toJson() const
{
    QJsonObject object;
    object.insert("id", m_id);
    object.insert("text", m_text);
    object.insert("category", m_category);
    object.insert("description", m_description);
    return object;
}

// ---- PhraseCategory ---------------------------------------------------------------

PhraseCategory::PhraseCategory(QObject *parent) : QObject(parent), m_id(CommonPhraseIds::newId()) {}

PhraseCategory::PhraseCategory(const QString &id, const QString &name, const QString &description,
                               QObject *parent)
    : QObject(parent), m_id(idOrNew(id)), m_name(name), m_description(description)
{}

void PhraseCategory::setId(const QString &id)
{
    if (id == m_id || !StoreFile::acceptText(id, PhraseLimits::kMaxIdLength))
        return;
    m_id = id;
    emit idChanged();
}

void PhraseCategory::setName(const QString &name)
{
    if (name == m_name || !StoreFile::acceptText(name, PhraseLimits::kMaxNameLength))
        return;
    m_name = name;
    emit nameChanged();
}

void PhraseCategory::setDescription(const QString &description)
{
    if (description == m_description ||
        !StoreFile::acceptText(description, PhraseLimits::kMaxDescriptionLength))
        return;
    m_description = description;
    emit descriptionChanged();
}

QJsonObject PhraseCategory::toJson() const
{
    QJsonObject object;
    object.insert("id", m_id);
    object.insert("name", m_name);
    object.insert("description", m_description);
    return object;
}
