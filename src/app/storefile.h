#pragma once
// The file behind one data store (nicknames, groups, key mappings, phrases).
//
// Loading refuses files over JsonFile::MaxFileBytes. A file whose content the loader could
// not use in full is copied to "<file>.bak" at once and the user is told; a file that could
// neither be read nor copied is never overwritten. A save that fails is told once and tried
// again with the next change. The stores also cap what they hold (StoreFile::accept*), so
// that no save can ever write a file that the next start would refuse.
#include "storeerrors.h"

#include <QJsonObject>
#include <QString>
#include <optional>

#include "jsonfile.h"

class StoreFile
{
public:
    explicit StoreFile(StoreErrors::Store store) : m_store(store) {}

    // The root object of the file; none when the file is missing or unusable as a whole
    // (unreadable, too large, not JSON, not an object), all but a missing file being damage.
    std::optional<QJsonObject> load(const QString &path);
    // The loader met content it could not use: a member of the wrong type, more entries
    // than the store may hold, a text over its limit.
    void markDamaged() { m_damaged = true; }
    // Ends a load: keeps a copy of a damaged file and tells the user what happened.
    void finishLoad();

    // Writes the root object indented. A damaged file that has no copy yet is copied
    // first, and left alone when that fails. False when nothing was written.
    bool save(const QString &path, const QJsonObject &root);

    // Limits on what a store holds; a refused change is told to the user.
    static bool acceptText(const QString &text, int maxLength);
    static bool acceptOneMore(qsizetype count, int maxCount, const QString &things);
    // The text shortened to maxLength UTF-16 units without splitting a character.
    static QString cut(const QString &text, int maxLength);

private:
    StoreErrors::Store m_store;
    QString m_loadedPath;
    JsonFile::ReadStatus m_status = JsonFile::ReadStatus::Missing;
    bool m_damaged = false;
    QString m_unprotectedPath;  // damaged, not copied yet: never overwritten
    bool m_failureTold = false; // the user knows saves fail; silent until one succeeds
};
