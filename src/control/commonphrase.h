#pragma once
// A phrase the user types into phones with one click, and the category it is filed under.
#include <QJsonObject>
#include <QObject>
#include <QString>

class CommonPhrase : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString id READ id WRITE setId NOTIFY idChanged)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QString category READ category WRITE setCategory NOTIFY categoryChanged)
    Q_PROPERTY(QString description READ description WRITE setDescription NOTIFY descriptionChanged)

public:
    explicit CommonPhrase(QObject *parent = nullptr);
    // An empty id gets a new random one.
    CommonPhrase(const QString &id, const QString &text, const QString &category,
                 const QString &description, QObject *parent);

    QString id() const { return m_id; }
    void setId(const QString &id);
    QString text() const { return m_text; }
    void setText(const QString &text);
    QString category() const { return m_category; }
    void setCategory(const QString &category);
    QString description() const { return m_description; }
    void setDescription(const QString &description);

    Q_INVOKABLE QJsonObject toJson() const;

signals:
    void idChanged();
    void textChanged();
    void categoryChanged();
    void descriptionChanged();

private:
    QString m_id;
    QString m_text;
    QString m_category;
    QString m_description;
};

class PhraseCategory : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString id READ id WRITE setId NOTIFY idChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QString description READ description WRITE setDescription NOTIFY descriptionChanged)

public:
    explicit PhraseCategory(QObject *parent = nullptr);
    // An empty id gets a new random one.
    PhraseCategory(const QString &id, const QString &name, const QString &description,
                   QObject *parent);

    QString id() const { return m_id; }
    void setId(const QString &id);
    QString name() const { return m_name; }
    void setName(const QString &name);
    QString description() const { return m_description; }
    void setDescription(const QString &description);

    Q_INVOKABLE QJsonObject toJson() const;

signals:
    void idChanged();
    void nameChanged();
    void descriptionChanged();

private:
    QString m_id;
    QString m_name;
    QString m_description;
};

// Limits that keep the phrase file small; longer texts are refused.
namespace PhraseLimits {
constexpr int kMaxTextLength = 1000;
constexpr int kMaxNameLength = 64;
constexpr int kMaxDescriptionLength = 100;
constexpr int kMaxIdLength = 40; // new ids are 36 characters long
} // namespace PhraseLimits

namespace CommonPhraseIds {
// A random UUID without braces: 36 lower-case characters.
QString newId();
} // namespace CommonPhraseIds
