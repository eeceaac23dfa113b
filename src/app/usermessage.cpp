#include "usermessage.h"

namespace UserMessage {
namespace {
struct Style
{
    const char *type;
    int timeoutMs;
};

Style style(Kind kind)
{
    switch (kind) {
    case Kind::Success:
        return {"success", 2000};
    case Kind::Info:
        return {"info", 2000};
    case Kind::Error:
        return {"error", 5000};
    case Kind::Progress:
        return {"info", 100000};
    case Kind::Notice:
        return {"info", 3000};
    case Kind::NoticeSuccess:
        return {"success", 3000};
    case Kind::NoticeError:
        return {"error", 3000};
    case Kind::BriefError:
        return {"error", 2000};
    case Kind::LastingError:
        return {"error", 100000};
    }
    return {"info", 2000};
}
} // namespace

QString typeName(Kind kind)
{
    return QString::fromLatin1(style(kind).type);
}

int timeoutMs(Kind kind)
{
    return style(kind).timeoutMs;
}
} // namespace UserMessage

#include "moc_usermessage.cpp"
