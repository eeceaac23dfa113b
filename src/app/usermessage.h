#pragma once
// What a per-phone outcome shown on a tile is: its tone and how long it stays.
// Components report a kind; Device turns it into the (text, type, timeout) QML shows.
#include <QObject>
#include <QString>

namespace UserMessage {
Q_NAMESPACE

enum class Kind {
    Success,       // "success", 2 s
    Info,          // "info", 2 s
    Error,         // "error", 5 s
    Progress,      // "info" that stays while long work runs (install, upload)
    Notice,        // "info", 3 s: needs the user's attention a little longer
    NoticeSuccess, // "success", 3 s
    NoticeError,   // "error", 3 s
    BriefError,    // "error", 2 s: a click that could not act (nothing connected)
    LastingError,  // "error" that stays as long as the work it ends (a failed install)
};
Q_ENUM_NS(Kind)

QString typeName(Kind kind);
int timeoutMs(Kind kind);
} // namespace UserMessage
