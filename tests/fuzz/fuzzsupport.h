#pragma once
// Shared by the fuzz targets: the Qt application they need, inputs read in chunks of
// chosen sizes, and the check that turns a broken rule into a crash libFuzzer keeps.
#include "feeddevice.h"
#include "testsupport.h"

#include <QList>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace Fuzz {

// Creates the application once (gui: a QGuiApplication, offscreen) with HOME and the XDG
// folders in a private temporary folder, so the stores never touch the user's files.
void initApplication(bool gui);
// Runs queued calls and deferred deletions, `rounds` times over.
void drainEvents(int rounds = 4);
// Prints the message and aborts: libFuzzer saves the input as a crash.
[[noreturn]] void fail(const char *what, const QString &detail = {});

// The first input byte n (low 4 bits) says how many chunk-size bytes follow; the rest of
// the input is the stream, delivered in reads whose sizes cycle through those bytes (each
// byte b gives b + 1 bytes). n = 0 delivers the stream in one read.
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

// The texts read from the pieces start with those read in one read (later reads may find
// more after bytes that could not be framed).
inline void checkPrefix(const QStringList &whole, const QStringList &pieces)
{
    FUZZ_CHECK(pieces.mid(0, whole.size()) == whole,
               QStringLiteral("%1 vs %2").arg(pieces.size()).arg(whole.size()));
}

// The rule every JSON store must keep whatever its file held: what it saves after loading
// loads again into a store that saves the very same bytes. loadAndSave: make a store over
// `path`, let it load, make it save, and destroy it.
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

// The target's entry points: the application it needs (gui: a QGuiApplication), then the
// body that follows, run on every input.
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
