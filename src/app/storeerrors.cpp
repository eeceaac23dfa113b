#include "storeerrors.h"

#include "applog.h"

#include <QCoreApplication>
#include <QDir>
#include <QMetaObject>
#include <QThread>

namespace {
// Older problems give way; the window shows a handful, not a history.
constexpr int kKeptMessages = 20;
} // namespace

StoreErrors::StoreErrors(QObject *parent) : QObject(parent) {}

StoreErrors *StoreErrors::instance()
{
    static StoreErrors *const shared = [] {
        auto *errors = new StoreErrors(nullptr); // lives until the process ends
        // The nickname store may first load on a worker thread.
        if (auto *app = QCoreApplication::instance(); app && errors->thread() != app->thread())
            errors->moveToThread(app->thread());
        return errors;
    }();
    return shared;
}

QStringList StoreErrors::messages() const
{
    QMutexLocker locker(&m_lock);
    return m_messages;
}

void StoreErrors::report(const QString &message)
{
    qCWarning(lcApp) << "data file:" << message;
    if (QThread::currentThread() == thread()) {
        add(message);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, message] { add(message); }, Qt::QueuedConnection);
}

void StoreErrors::add(const QString &message)
{
    {
        QMutexLocker locker(&m_lock);
        m_messages.append(message);
        while (m_messages.size() > kKeptMessages)
            m_messages.removeFirst();
    }
    emit messagesChanged();
    emit storeError(message);
}

void StoreErrors::clearMessages()
{
    {
        QMutexLocker locker(&m_lock);
        if (m_messages.isEmpty())
            return;
        m_messages.clear();
    }
    emit messagesChanged();
}

QString StoreErrors::storeName(Store store)
{
    switch (store) {
    case Store::Nicknames:
        return tr("device nicknames");
    case Store::Groups:
        return tr("device groups");
    case Store::KeyMappings:
        return tr("key mappings");
    case Store::Phrases:
        return tr("common phrases");
    }
    return QString();
}

QString StoreErrors::damaged(Store store, const QString &path, const QString &backupPath)
{
    return tr("The %1 file %2 is damaged or holds content that could not be used. A copy was "
              "kept as %3, and what could be used was loaded.")
        .arg(storeName(store), QDir::toNativeSeparators(path),
             QDir::toNativeSeparators(backupPath));
}

QString StoreErrors::tooLarge(Store store, const QString &path, const QString &backupPath)
{
    return tr("The %1 file %2 is too large to be loaded. It was set aside as %3, and the %1 "
              "start empty.")
        .arg(storeName(store), QDir::toNativeSeparators(path),
             QDir::toNativeSeparators(backupPath));
}

QString StoreErrors::notReadable(Store store, const QString &path)
{
    return tr("The %1 file %2 could not be read or copied aside. It is left as it is, and "
              "changes to the %1 are not saved until it can be read.")
        .arg(storeName(store), QDir::toNativeSeparators(path));
}

QString StoreErrors::saveFailed(Store store, const QString &path, const QString &reason)
{
    return tr("The %1 could not be saved to %2 (%3). Your changes are kept until the "
              "application quits, and saving is tried again with the next change.")
        .arg(storeName(store), QDir::toNativeSeparators(path), reason);
}

QString StoreErrors::tooMany(const QString &things, int limit)
{
    return tr("Not added: at most %1 %2 can be kept.").arg(limit).arg(things);
}

QString StoreErrors::tooLong(int limit)
{
    return tr("Not saved: a name or text can have at most %1 characters.").arg(limit);
}
