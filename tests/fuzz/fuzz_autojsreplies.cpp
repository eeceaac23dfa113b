// What the AutoJS app writes back, in reads of any sizes. Until a length no reply can have
// empties the buffer, the reader must find the same replies as when everything arrives in
// one read; after that a later read starts afresh, so the replies of the single read are a
// prefix of those of the pieces.
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
