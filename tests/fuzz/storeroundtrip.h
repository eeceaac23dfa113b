#pragma once
// The rule every JSON store must keep whatever its file held: what it saves after loading
// loads again into a store that saves the very same bytes.
#include "fuzzsupport.h"

#include <functional>

// loadAndSave: make a store over `path`, let it load, make it save, and destroy it.
inline void checkRoundTrip(const QString &path, const uint8_t *data, size_t size,
                           const std::function<void()> &loadAndSave)
{
    QFile::remove(path + ".bak");
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    FUZZ_CHECK(!TestSupport::writeFile(path, input).isEmpty(), path);
    QByteArray saved[2];
    for (QByteArray &bytes : saved) {
        loadAndSave();
        Fuzz::drainEvents();
        bytes = TestSupport::readFile(path);
    }
    FUZZ_CHECK(!saved[0].isEmpty(), path);
    FUZZ_CHECK(saved[0] == saved[1], QString::fromUtf8(saved[0] + "\n---\n" + saved[1]));
}
