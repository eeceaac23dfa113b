#include "jsonfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonParseError>
#include <QSaveFile>

#include <cstdio>

JsonFile::ReadResult JsonFile::read(const QString &path, qint64 maxBytes)
{
    ReadResult result;
    QFile file(path);
    if (!file.exists()) {
        result.status = ReadStatus::Missing;
        return result;
    }
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        result.status = ReadStatus::Unreadable;
        return result;
    }
    if (file.size() > maxBytes) {
        result.status = ReadStatus::TooLarge;
        return result;
    }
    // The size may have grown since it was asked; never read more than the limit.
    const QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes) {
        result.status = ReadStatus::TooLarge;
        return result;
    }
    if (file.error() != QFileDevice::NoError) {
        result.status = ReadStatus::Unreadable;
        return result;
    }
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        result.status = ReadStatus::Malformed;
        return result;
    }
    result.document = document;
    result.status = ReadStatus::Ok;
    return result;
}

bool JsonFile::write(const QString &path, const QJsonDocument &document, QString *error)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(QCoreApplication::translate("JsonFile", "the folder %1 cannot be made")
                        .arg(QDir::toNativeSeparators(info.absolutePath())));
    if (info.isDir())
        return fail(QCoreApplication::translate("JsonFile", "a folder has the file's name"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    const QByteArray bytes = document.toJson(QJsonDocument::Indented);
    // QSaveFile::commit() renames even when its own final flush fell short (full disk,
    // size limit); flushing here first catches that and keeps the previous file.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

QString JsonFile::backupPath(const QString &path)
{
    return path + QStringLiteral(".bak");
}

bool JsonFile::keepBackup(const QString &path)
{
    QFile source(path);
    if (!QFileInfo(path).isFile() || !source.open(QIODevice::ReadOnly))
        return false;
    // Written aside and renamed into place: a copy that fails half-way leaves the older
    // backup, which may be the only one, as it was.
    QSaveFile backup(backupPath(path));
    if (!backup.open(QIODevice::WriteOnly))
        return false;
    constexpr qint64 kChunk = 1024 * 1024;
    bool written = true;
    for (QByteArray chunk = source.read(kChunk); written && !chunk.isEmpty();
         chunk = source.read(kChunk))
        written = backup.write(chunk) == chunk.size();
    if (!written || source.error() != QFileDevice::NoError || !source.atEnd() || !backup.flush()) {
        backup.cancelWriting();
        return false;
    }
    return backup.commit();
}

bool JsonFile::moveToBackup(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return false;
    // rename(2) replaces the target atomically; QFile::rename would refuse an existing one.
    return std::rename(QFile::encodeName(path).constData(),
                       QFile::encodeName(backupPath(path)).constData()) == 0;
}
