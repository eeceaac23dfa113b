#pragma once
// What went wrong with the data files (nicknames, groups, key mappings, phrases) and which
// changes a store refused, for the main window to show. One instance for the application.
//
// For QML (singleton "StoreErrors"):
//   signal storeError(string message)  one translated sentence per problem, for an alert;
//   property list<string> messages     the problems not yet dismissed, oldest first, so a
//                                      window that appears after a store was loaded still
//                                      sees what loading found;
//   clearMessages()                    the user has seen them.
// A failing save is told once; the store keeps trying with every change and tells again
// only after a save has succeeded in between.
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

class StoreErrors : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList messages READ messages NOTIFY messagesChanged)

public:
    enum class Store { Nicknames, Groups, KeyMappings, Phrases };

    explicit StoreErrors(QObject *parent = nullptr);
    static StoreErrors *instance();

    QStringList messages() const;
    // Safe from any thread; the signals come from this object's thread.
    void report(const QString &message);

    // The texts, in the context of this class.
    static QString storeName(Store store);
    static QString damaged(Store store, const QString &path, const QString &backupPath);
    static QString tooLarge(Store store, const QString &path, const QString &backupPath);
    static QString notReadable(Store store, const QString &path);
    static QString saveFailed(Store store, const QString &path, const QString &reason);
    // A change refused because the store is full or a text is too long.
    static QString tooMany(const QString &things, int limit);
    static QString tooLong(int limit);

signals:
    void storeError(QString message);
    void messagesChanged();

public:
    Q_INVOKABLE void clearMessages();

private:
    void add(const QString &message);

    mutable QMutex m_lock;
    QStringList m_messages;
};
