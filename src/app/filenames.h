#pragma once
// File names made from text the user or the phone chose (nicknames, serials): they never
// leave their folder and always fit the file system's name limit with their ending intact.
#include <QString>

namespace FileNames {
// Longest file name, in UTF-8 bytes, that the supported file systems accept.
constexpr int MaxNameBytes = 255;

// Characters that cannot stand in a file name (separators, control characters and those
// the platforms reserve) become "-".
QString sanitized(const QString &text);

// `variable` sanitised and shortened by whole characters from its end, so that
// variable + ending fits in maxBytes; the ending (time stamps, extension) is kept whole.
QString fit(const QString &variable, const QString &ending, int maxBytes = MaxNameBytes);
} // namespace FileNames
