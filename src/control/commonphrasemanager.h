#pragma once
// The application-wide store of phrase categories and phrases, kept in "common_phrases.json".
#include <QList>
#include <QObject>
#include <QQmlListProperty>
#include <QString>

#include "commonphrase.h"
#include "storefile.h"

class CommonPhraseManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QQmlListProperty<CommonPhrase> phrases READ phrases NOTIFY phrasesChanged)
    Q_PROPERTY(QQmlListProperty<PhraseCategory> categories READ categories NOTIFY categoriesChanged)
    Q_PROPERTY(QString currentCategoryId READ currentCategoryId WRITE setCurrentCategoryId NOTIFY
                   currentCategoryIdChanged)

public:
    static constexpr int kMaxPhrases = 500;
    static constexpr int kMaxCategories = 100;

    static CommonPhraseManager *instance();
    // A store over an explicit file (tests, tools); the application uses instance().
    explicit CommonPhraseManager(const QString &filePath, QObject *parent = nullptr);
    ~CommonPhraseManager() override;

    QQmlListProperty<CommonPhrase> phrases();
    QQmlListProperty<PhraseCategory> categories();
    QString currentCategoryId() const { return m_currentCategoryId; }
    void setCurrentCategoryId(const QString &categoryId);

    QString filePath() const;

signals:
    void phrasesChanged();
    void categoriesChanged();
    void currentCategoryIdChanged();

public:
    Q_INVOKABLE void addCategory(const QString &name, const QString &description);
    Q_INVOKABLE void addCategory(const QString &name);
    Q_INVOKABLE void removeCategory(const QString &categoryId);
    Q_INVOKABLE void updateCategory(const QString &categoryId, const QString &name,
                                    const QString &description);
    Q_INVOKABLE void updateCategory(const QString &categoryId, const QString &name);
    Q_INVOKABLE PhraseCategory *getCategoryById(const QString &categoryId) const;
    Q_INVOKABLE QList<PhraseCategory *> getCategoriesList() const;
    Q_INVOKABLE void addPhrase(const QString &text, const QString &categoryId,
                               const QString &description);
    Q_INVOKABLE void addPhrase(const QString &text, const QString &categoryId);
    Q_INVOKABLE void removePhrase(const QString &phraseId);
    Q_INVOKABLE void updatePhrase(const QString &phraseId, const QString &text,
                                  const QString &categoryId, const QString &description);
    Q_INVOKABLE void updatePhrase(const QString &phraseId, const QString &text,
                                  const QString &categoryId);
    Q_INVOKABLE CommonPhrase *getPhraseById(const QString &phraseId) const;
    Q_INVOKABLE QList<CommonPhrase *> getPhrasesByCategory(const QString &categoryId) const;
    Q_INVOKABLE QList<CommonPhrase *> getAllPhrases() const;
    Q_INVOKABLE void saveData();
    Q_INVOKABLE void loadData();

private:
    CommonPhraseManager();
    // Reads a text member of a loaded object, cut to its limit; damage is noted.
    QString loadedText(const QJsonObject &object, const char *key, int maxLength);

    QString m_fixedFilePath; // empty: the folder from the application settings
    QList<CommonPhrase *> m_phrases;
    QList<PhraseCategory *> m_categories;
    QString m_currentCategoryId;
    StoreFile m_file{StoreErrors::Store::Phrases};
};
