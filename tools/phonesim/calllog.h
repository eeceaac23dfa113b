#pragma once
// HOME/adb.log: one JSON object per line for every adb invocation, appended when the call
// ends (see README.md). Needs the fleet lock.
#include <QJsonObject>
#include <optional>

struct ProcessEntry;

namespace CallLog {

void append(const QString &home, const ProcessEntry &call, std::optional<int> exitCode,
            const QJsonObject &details = {});

// Appends one JSON line to a per-phone log such as control.jsonl (single write, O_APPEND).
void appendJsonLine(const QString &path, const QJsonObject &line);

} // namespace CallLog
