#pragma once
// Reading and atomic writing of the system's JSON data files.
#include <QJsonDocument>
#include <QString>

namespace JsonFile {

// Larger data files are refused unread: parsing and rewriting them on the GUI thread would
// freeze the window, and no store can hold that much (each caps its content below this).
constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

enum class ReadStatus { Ok, Missing, Unreadable, Malformed, TooLarge };

struct ReadResult
{
    QJsonDocument document; // null unless status is Ok
    ReadStatus status = ReadStatus::Missing;
};

ReadResult read(const QString &path, qint64 maxBytes = MaxFileBytes);

// Writes the document indented through a temporary file that replaces the old
// file only when everything was written, so a crash or a full disk never leaves
// a partial file. Creates the folder when needed. Returns false on failure
// (the previous file is then untouched) with the reason in *error.
bool write(const QString &path, const QJsonDocument &document, QString *error = nullptr);

QString backupPath(const QString &path);

// Copies a file beside itself (path + ".bak") before it is replaced. An older copy is
// replaced only once the new one is complete. False when nothing was copied.
bool keepBackup(const QString &path);
// Renames the file to its backup name, replacing an older backup in one step. For files
// too large to be worth copying. False when it stayed where it was.
bool moveToBackup(const QString &path);

} // namespace JsonFile
