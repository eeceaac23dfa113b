#pragma once
// The fuzz targets' application, chunked inputs, and checks that crash so libFuzzer keeps them.
#include "feeddevice.h"
#include "testsupport.h"

#include <QList>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace Fuzz {

// Once, with HOME and XDG in a private folder so the stores never touch the user's files.
void initApplication(bool gui);
void drainEvents(int rounds = 4);
// Aborts, so libFuzzer saves the input as a crash.
[[noreturn]] void fail(const char *what, const QString &detail = {});

// The first byte's low 4 bits n: n chunk-size bytes follow (b gives b + 1 bytes), cycled
// over the rest of the input; n = 0 is one read.
struct ChunkedInput
{
    QByteArray stream;
    QList<QByteArray> reads;
};
ChunkedInput chunked(const uint8_t *data, size_t size);

} // namespace Fuzz

#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            Fuzz::fail(#condition, detail);                                                        \
    } while (false)

// Later reads may find more after bytes that could not be framed.
inline void checkPrefix(const QStringList &whole, const QStringList &pieces)
{
    FUZZ_CHECK(pieces.mid(0, whole.size()) == whole,
               QStringLiteral("%1 vs %2").arg(pieces.size()).arg(whole.size()));
}

// Whatever the file held, what a store saves loads into one that saves the same bytes.
// loadAndSave: a store over `path` that loads, saves and is destroyed.
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

// The entry points; the body that follows runs on every input.
#define PARVIX_FUZZ_TARGET(gui)                                                                    \
    static void fuzzOne(const uint8_t *data, size_t size);                                         \
    extern "C" int LLVMFuzzerInitialize(int *, char ***)                                           \
    {                                                                                              \
        Fuzz::initApplication(gui);                                                                \
        return 0;                                                                                  \
    }                                                                                              \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)                        \
    {                                                                                              \
        fuzzOne(data, size);                                                                       \
        return 0;                                                                                  \
    }                                                                                              \
    static void fuzzOne(const uint8_t *data, size_t size)
