#pragma once
// Shared by the fuzz targets: the Qt application they need, a device that hands a target
// its input in reads of chosen sizes, and the check that turns a broken rule into a crash
// libFuzzer keeps.
#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace Fuzz {

// Creates the application once (a GUI one for targets that touch the clipboard, on the
// offscreen platform) with HOME and the XDG folders in a private temporary folder, so
// the stores read and write there and never in the user's files.
void initApplication(bool gui);
// The private folder made by initApplication.
QString homeFolder();

// Runs queued calls and deferred deletions, `rounds` times over.
void drainEvents(int rounds = 4);

// Prints the message and aborts: libFuzzer saves the input as a crash.
[[noreturn]] void fail(const char *what, const QString &detail = {});

// The first input byte n (low 4 bits) says how many chunk-size bytes follow; the rest of
// the input is the stream. The stream is delivered in reads whose sizes cycle through
// those bytes (each byte b gives b + 1 bytes). n = 0 delivers the stream in one read.
struct ChunkedInput
{
    QList<int> chunkSizes; // empty: one read
    QByteArray stream;

    static ChunkedInput split(const uint8_t *data, size_t size);
    // The stream cut into reads as planned.
    QList<QByteArray> reads() const;
};

// A sequential device a test target reads from; feed() raises readyRead at once.
class FeedDevice : public QIODevice
{
public:
    FeedDevice();
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    void feed(const QByteArray &bytes);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_pending;
};

// The texts read from the pieces start with those read in one read (later reads may find
// more after bytes that could not be framed).
inline void checkPrefix(const QStringList &whole, const QStringList &pieces)
{
    if (pieces.size() < whole.size())
        fail("fewer texts from the pieces",
             QStringLiteral("%1 vs %2").arg(pieces.size()).arg(whole.size()));
    for (qsizetype i = 0; i < whole.size(); ++i) {
        if (pieces.at(i) != whole.at(i))
            fail("another text from the pieces", QString::number(i));
    }
}

} // namespace Fuzz

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

#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            Fuzz::fail(#condition, detail);                                                        \
    } while (false)
