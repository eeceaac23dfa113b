#pragma once
// The rule every JSON store must keep whatever its file held: what it saves after loading
// loads again into a store that saves the very same bytes.
#include "fuzzsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace Fuzz {

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        fail("writing the store file", path);
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// loadAndSave: make a store over `path`, let it load, make it save, and destroy it.
inline void checkRoundTrip(const QString &path, const uint8_t *data, size_t size,
                           const std::function<void()> &loadAndSave)
{
    QFile::remove(path + ".bak");
    writeFile(path, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    loadAndSave();
    drainEvents();
    const QByteArray first = readFile(path);
    FUZZ_CHECK(!first.isEmpty(), path);
    loadAndSave();
    drainEvents();
    const QByteArray second = readFile(path);
    FUZZ_CHECK(first == second, QString::fromUtf8(first + "\n---\n" + second));
}

} // namespace Fuzz
