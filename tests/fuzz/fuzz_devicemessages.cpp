// Control-connection messages in reads of any sizes: one read's clipboard texts start the pieces'.
#include "devicemessagereceiver.h"
#include "fuzzsupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QStringList>

namespace {
QStringList receive(const QList<QByteArray> &reads, int *pending)
{
    FeedDevice socket;
    DeviceMessageReceiver receiver(nullptr, &socket);
    QStringList texts;
    QObject::connect(&receiver, &DeviceMessageReceiver::clipboardReceived,
                     [&texts](const QString &text) { texts.append(text); });
    for (const QByteArray &bytes : reads)
        socket.feed(bytes);
    *pending = receiver.pendingBytes();
    return texts;
}
} // namespace

PARVIX_FUZZ_TARGET(true)
{
    const Fuzz::ChunkedInput input = Fuzz::chunked(data, size);
    int wholePending = 0, piecesPending = 0;
    const QStringList whole = receive({input.stream}, &wholePending);
    const QStringList pieces = receive(input.reads, &piecesPending);
    checkPrefix(whole, pieces);
    FUZZ_CHECK(wholePending >= 0 && wholePending <= input.stream.size(), {});
    FUZZ_CHECK(piecesPending >= 0 && piecesPending <= input.stream.size(), {});
    for (const QString &text : whole) {
        FUZZ_CHECK(!text.contains(QChar(0)), {});
        FUZZ_CHECK(text.toUtf8().size() <= qsizetype(DeviceMessageReceiver::kMaxClipboardBytes) * 3,
                   {});
    }
    if (!whole.isEmpty() && whole.size() == pieces.size())
        FUZZ_CHECK(QGuiApplication::clipboard()->text() == whole.last(), {});
}
