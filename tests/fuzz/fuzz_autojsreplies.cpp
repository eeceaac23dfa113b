// AutoJS replies in reads of any sizes: one read's replies start those of the pieces.
#include "autojs.h"
#include "fuzzsupport.h"

#include <QtEndian>

namespace {
QStringList readAll(const QList<QByteArray> &reads, QByteArray *rest)
{
    QByteArray buffer;
    QStringList types;
    for (const QByteArray &bytes : reads) {
        buffer.append(bytes);
        types += Autojs::parseReplies(buffer);
        // Whatever stays is the start of a frame still arriving.
        if (buffer.size() >= 8) {
            const quint32 length = qFromBigEndian<quint32>(buffer.constData());
            FUZZ_CHECK(quint64(buffer.size()) < 8 + quint64(length), {});
        }
    }
    *rest = buffer;
    return types;
}
} // namespace

PARVIX_FUZZ_TARGET(false)
{
    const Fuzz::ChunkedInput input = Fuzz::chunked(data, size);
    QByteArray wholeRest, piecesRest;
    checkPrefix(readAll({input.stream}, &wholeRest), readAll(input.reads, &piecesRest));
    FUZZ_CHECK(input.stream.endsWith(wholeRest) && input.stream.endsWith(piecesRest), {});
}
