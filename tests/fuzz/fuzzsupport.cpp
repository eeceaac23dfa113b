#include "fuzzsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
QTemporaryDir *privateHome()
{
    // In memory when the machine has it: the stores sync every save to disk.
    static QTemporaryDir *home = new QTemporaryDir(
        (QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                            : QDir::tempPath()) +
        QStringLiteral("/parvix-fuzz-XXXXXX")); // removed at exit
    return home;
}
} // namespace

void Fuzz::initApplication(bool gui)
{
    if (QCoreApplication::instance())
        return;
    QTemporaryDir *home = privateHome();
    if (!home->isValid())
        fail("a temporary home folder");
    const QByteArray path = home->path().toUtf8();
    qputenv("HOME", path);
    qputenv("XDG_CONFIG_HOME", path + "/.config");
    qputenv("XDG_DATA_HOME", path + "/.local/share");
    qputenv("XDG_CACHE_HOME", path + "/.cache");
    qputenv("XDG_CONFIG_DIRS", path + "/.xdg");
    qunsetenv("XDG_DESKTOP_DIR");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::atexit([] { privateHome()->remove(); });

    // libFuzzer's own options stay out of Qt's argument parsing.
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    if (gui)
        new QGuiApplication(argc, argv); // lives until the process ends
    else
        new QCoreApplication(argc, argv);
}

QString Fuzz::homeFolder()
{
    return privateHome()->path();
}

void Fuzz::drainEvents(int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void Fuzz::fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "fuzz check failed: %s %s\n", what, qPrintable(detail));
    std::fflush(stderr);
    std::abort();
}

Fuzz::ChunkedInput Fuzz::ChunkedInput::split(const uint8_t *data, size_t size)
{
    ChunkedInput input;
    if (size == 0)
        return input;
    const size_t count = data[0] & 0x0F;
    size_t offset = 1;
    for (size_t i = 0; i < count && offset < size; ++i, ++offset)
        input.chunkSizes.append(int(data[offset]) + 1);
    input.stream =
        QByteArray(reinterpret_cast<const char *>(data + offset), qsizetype(size - offset));
    return input;
}

QList<QByteArray> Fuzz::ChunkedInput::reads() const
{
    if (chunkSizes.isEmpty())
        return {stream};
    QList<QByteArray> pieces;
    qsizetype offset = 0;
    for (int i = 0; offset < stream.size(); ++i) {
        const int length = chunkSizes.at(i % chunkSizes.size());
        pieces.append(stream.mid(offset, length));
        offset += length;
    }
    return pieces;
}

Fuzz::FeedDevice::FeedDevice()
{
    open(QIODevice::ReadOnly);
}

qint64 Fuzz::FeedDevice::bytesAvailable() const
{
    return m_pending.size() + QIODevice::bytesAvailable();
}

void Fuzz::FeedDevice::feed(const QByteArray &bytes)
{
    m_pending.append(bytes);
    emit readyRead();
}

qint64 Fuzz::FeedDevice::readData(char *data, qint64 maxSize)
{
    const qint64 count = qMin<qint64>(maxSize, m_pending.size());
    memcpy(data, m_pending.constData(), size_t(count));
    m_pending.remove(0, count);
    return count;
}
