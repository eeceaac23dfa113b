#include "userinfo.h"

#include <QJSValue>
#include <mutex>

UserInfo UserInfo::fromVariantMap(const QVariantMap &map)
{
    UserInfo info;
    info.id = map.value(QStringLiteral("id")).toString();
    info.email = map.value(QStringLiteral("email")).toString();
    info.verified = map.value(QStringLiteral("verified")).toBool();
    return info;
}

void UserInfo::registerConversions()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QMetaType::registerConverter<QJSValue, UserInfo>(
            [](const QJSValue &value) { return fromVariantMap(value.toVariant().toMap()); });
        QMetaType::registerConverter<QVariantMap, UserInfo>(&UserInfo::fromVariantMap);
    });
}
