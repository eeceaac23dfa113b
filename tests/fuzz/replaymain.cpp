// Runs a fuzz target over files instead of under libFuzzer: every file named, and every
// file in every folder named. The ordinary and the sanitizer builds replay the corpora
// this way, so each input that once crashed stays a test.
#include "testsupport.h"

#include <QDirIterator>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        for (QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            files << it.next();
        if (!QFileInfo(path).isDir())
            files << path;
    }
    files.sort();
    for (const QString &path : std::as_const(files)) {
        if (!QFileInfo(path).isReadable()) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return 2;
        }
        const QByteArray bytes = TestSupport::readFile(path);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                               size_t(bytes.size()));
    }
    std::printf("%lld inputs replayed\n", static_cast<long long>(files.size()));
    return files.isEmpty() ? 2 : 0;
}
