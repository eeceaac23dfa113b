#pragma once
// Reading and atomic writing of the system's JSON data files.
#include <QJsonDocument>
#include <QString>

namespace JsonFile {

enum class ReadStatus { Ok, Missing, Unreadable, Malformed };

struct ReadResult
{
    QJsonDocument document; // null unless status is Ok
    ReadStatus status = ReadStatus::Missing;
};

ReadResult read(const QString &path);

// Writes the document indented through a temporary file that replaces the old
// file only when everything was written, so a crash or a full disk never leaves
// a partial file. Creates the folder when needed. Returns false on failure
// (the previous file is then untouched).
bool write(const QString &path, const QJsonDocument &document);

// Keeps a copy of a file that could not be parsed beside it (path + ".bak"),
// before it is replaced by default content. Returns false when nothing was copied.
bool keepBackup(const QString &path);

} // namespace JsonFile
