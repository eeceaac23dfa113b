#include "fuzzsupport.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {
QTemporaryDir *privateHome()
{
    // In memory when the machine has it: the stores sync every save to disk.
    const QString parent = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                               ? QStringLiteral("/dev/shm")
                               : QDir::tempPath();
    static auto *home = new QTemporaryDir(parent + QStringLiteral("/parvix-fuzz-XXXXXX"));
    return home;
}
} // namespace

void Fuzz::initApplication(bool gui)
{
    if (QCoreApplication::instance())
        return;
    if (!privateHome()->isValid())
        fail("a temporary home folder");
    TestSupport::usePrivateHome(privateHome()->path());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::atexit([] { privateHome()->remove(); });
    // libFuzzer's own options stay out of Qt's argument parsing; the application lives
    // until the process ends.
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    if (gui)
        new QGuiApplication(argc, argv);
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
    size_t offset = size > 0 ? 1 : 0;
    for (size_t i = 0; size > 0 && i < (data[0] & 0x0Fu) && offset < size; ++i, ++offset)
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
    for (qsizetype offset = 0, i = 0; offset < stream.size(); offset += pieces.last().size())
        pieces.append(stream.mid(offset, chunkSizes.at(i++ % chunkSizes.size())));
    return pieces;
}
