#pragma once
#include <QMetaType>
#include <QString>
#include <QVariantMap>

// The logged-in user as the account service describes it.
struct UserInfo
{
    Q_GADGET
    Q_PROPERTY(QString id MEMBER id)
    Q_PROPERTY(QString email MEMBER email)
    Q_PROPERTY(bool verified MEMBER verified)

public:
    QString id;
    QString email;
    bool verified = false;

    // Lets QML pass {id, email, verified} where a UserInfo is expected. Qt 6.4 hands
    // a plain object to such a parameter only through a registered conversion and
    // otherwise passes garbage. Safe to call more than once.
    static void registerConversions();
    static UserInfo fromVariantMap(const QVariantMap &map);
};

Q_DECLARE_METATYPE(UserInfo)
