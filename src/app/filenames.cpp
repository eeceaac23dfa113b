#include "filenames.h"

#include <QTextBoundaryFinder>

namespace FileNames {

QString sanitized(const QString &text)
{
    QString safe = text;
    for (qsizetype i = 0; i < safe.size(); ++i) {
        QChar &c = safe[i];
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || QStringView(u"\\/:*?\"<>|").contains(c))
            c = u'-';
        // A lone half of a surrogate pair: counted as one byte by Qt's UTF-8 encoder but
        // written differently by the file system; a replacement character is the same
        // three bytes everywhere.
        if (c.isHighSurrogate() && i + 1 < safe.size() && safe.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            c = QChar::ReplacementCharacter;
    }
    return safe;
}

QString fit(const QString &variable, const QString &ending, int maxBytes)
{
    const QString safe = sanitized(variable);
    const qsizetype room = maxBytes - ending.toUtf8().size();
    if (room <= 0)
        return ending.toUtf8().size() <= maxBytes ? ending : QString();
    if (safe.toUtf8().size() <= room)
        return safe + ending;

    // Cut at a grapheme boundary so no character (or accented pair) is split.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, safe);
    qsizetype kept = 0;
    qsizetype bytes = 0;
    qsizetype start = 0;
    while (graphemes.toNextBoundary() >= 0) {
        const qsizetype end = graphemes.position();
        const qsizetype size = safe.mid(start, end - start).toUtf8().size();
        if (bytes + size > room)
            break;
        bytes += size;
        kept = start = end;
    }
    return safe.left(kept) + ending;
}
} // namespace FileNames
