#pragma once
#include <QMetaType>
#include <QString>

// Name and version of the application as announced by the account service.
struct AppInfo
{
    Q_GADGET
    Q_PROPERTY(QString appName MEMBER appName)
    Q_PROPERTY(QString appVersion MEMBER appVersion)

public:
    QString appName;
    QString appVersion;

    bool operator==(const AppInfo &other) const
    {
        return appName == other.appName && appVersion == other.appVersion;
    }
    bool operator!=(const AppInfo &other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(AppInfo)
