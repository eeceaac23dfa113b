#include "fuzzsupport.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

void Fuzz::initApplication(bool gui)
{
    if (QCoreApplication::instance())
        return;
    // In memory when the machine has it: the stores sync every save to disk.
    const QString parent = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                               ? QStringLiteral("/dev/shm")
                               : QDir::tempPath();
    static QTemporaryDir home(parent + QStringLiteral("/parvix-fuzz-XXXXXX"));
    if (!home.isValid())
        fail("a temporary home folder");
    TestSupport::usePrivateHome(home.path());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // libFuzzer's options stay out of Qt's parsing; the application lives until exit.
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    if (gui)
        new QGuiApplication(argc, argv);
    else
        new QCoreApplication(argc, argv);
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

Fuzz::ChunkedInput Fuzz::chunked(const uint8_t *data, size_t size)
{
    QList<int> chunkSizes;
    size_t offset = size > 0 ? 1 : 0;
    for (size_t i = 0; size > 0 && i < (data[0] & 0x0Fu) && offset < size; ++i, ++offset)
        chunkSizes.append(int(data[offset]) + 1);
    ChunkedInput input;
    input.stream =
        QByteArray(reinterpret_cast<const char *>(data + offset), qsizetype(size - offset));
    if (chunkSizes.isEmpty())
        chunkSizes.append(int(input.stream.size()));
    for (qsizetype at = 0, i = 0; at < input.stream.size(); at += input.reads.last().size())
        input.reads.append(input.stream.mid(at, chunkSizes.at(i++ % chunkSizes.size())));
    return input;
}
