#include "jsonfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonParseError>
#include <QSaveFile>

JsonFile::ReadResult JsonFile::read(const QString &path)
{
    ReadResult result;
    QFile file(path);
    if (!file.exists()) {
        result.status = ReadStatus::Missing;
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = ReadStatus::Unreadable;
        return result;
    }
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        result.status = ReadStatus::Malformed;
        return result;
    }
    result.document = document;
    result.status = ReadStatus::Ok;
    return result;
}

bool JsonFile::write(const QString &path, const QJsonDocument &document)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = document.toJson(QJsonDocument::Indented);
    // QSaveFile::commit() renames even when its own final flush fell short (full disk,
    // size limit); flushing here first catches that and keeps the previous file.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool JsonFile::keepBackup(const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
    const QString backup = path + ".bak";
    QFile::remove(backup);
    return QFile::copy(path, backup);
}
