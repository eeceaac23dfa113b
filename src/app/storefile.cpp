#include "storefile.h"

#include <QFileInfo>

std::optional<QJsonObject> StoreFile::load(const QString &path)
{
    m_loadedPath = path;
    m_damaged = false;
    const JsonFile::ReadResult file = JsonFile::read(path);
    m_status = file.status;
    if (file.status == JsonFile::ReadStatus::Ok && file.document.isObject())
        return file.document.object();
    m_damaged = file.status != JsonFile::ReadStatus::Missing;
    return std::nullopt;
}

void StoreFile::finishLoad()
{
    m_unprotectedPath.clear();
    if (!m_damaged)
        return;
    m_damaged = false;
    // A file too large to read is not copied either: that would freeze the window as well.
    const bool tooLarge = m_status == JsonFile::ReadStatus::TooLarge;
    if ((tooLarge && JsonFile::moveToBackup(m_loadedPath)) ||
        (m_status != JsonFile::ReadStatus::Unreadable && JsonFile::keepBackup(m_loadedPath))) {
        const QString backup = JsonFile::backupPath(m_loadedPath);
        StoreErrors::instance()->report(tooLarge
                                            ? StoreErrors::tooLarge(m_store, m_loadedPath, backup)
                                            : StoreErrors::damaged(m_store, m_loadedPath, backup));
        return;
    }
    m_unprotectedPath = m_loadedPath;
    m_failureTold = true; // the message says changes wait until the file can be read
    StoreErrors::instance()->report(StoreErrors::notReadable(m_store, m_loadedPath));
}

bool StoreFile::save(const QString &path, const QJsonObject &root)
{
    if (m_unprotectedPath == path) {
        if (QFileInfo::exists(path) && !JsonFile::keepBackup(path)) {
            if (!m_failureTold)
                StoreErrors::instance()->report(StoreErrors::notReadable(m_store, path));
            m_failureTold = true;
            return false;
        }
        m_unprotectedPath.clear();
    }
    QString error;
    if (JsonFile::write(path, QJsonDocument(root), &error)) {
        m_failureTold = false;
        return true;
    }
    if (!m_failureTold)
        StoreErrors::instance()->report(StoreErrors::saveFailed(m_store, path, error));
    m_failureTold = true;
    return false;
}

bool StoreFile::acceptText(const QString &text, int maxLength)
{
    if (text.size() <= maxLength)
        return true;
    StoreErrors::instance()->report(StoreErrors::tooLong(maxLength));
    return false;
}

bool StoreFile::acceptOneMore(qsizetype count, int maxCount, const QString &things)
{
    if (count < maxCount)
        return true;
    StoreErrors::instance()->report(StoreErrors::tooMany(things, maxCount));
    return false;
}

QString StoreFile::cut(const QString &text, int maxLength)
{
    if (text.size() <= maxLength)
        return text;
    qsizetype length = maxLength;
    // Never leave the first half of a surrogate pair behind.
    if (length > 0 && text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}
