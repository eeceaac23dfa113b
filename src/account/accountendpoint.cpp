#include "accountendpoint.h"

#include <QHostAddress>
#include <QSettings>
#include <QUrl>

namespace {
QString storedSetting(const QString &key)
{
    // Same store as the application settings; opened per lookup so a changed
    // address applies to the next request without a restart.
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Parvix"),
                          QStringLiteral("Application"));
    return store.value(QStringLiteral("app_settings/") + key).toString().trimmed();
}
} // namespace

QString AccountEndpoint::defaultBaseUrl()
{
    return QStringLiteral("http://127.0.0.1:8790");
}

QString AccountEndpoint::baseUrl()
{
    QString url = qEnvironmentVariable("PARVIX_ACCOUNT_URL").trimmed();
    if (url.isEmpty())
        url = storedSetting(QStringLiteral("account_url"));
    if (url.isEmpty())
        url = defaultBaseUrl();
    // Paths start with a slash; "http://host/" would otherwise give "//user/login".
    while (url.endsWith(QLatin1Char('/')))
        url.chop(1);
    return url;
}

QString AccountEndpoint::defaultPath(Operation operation)
{
    switch (operation) {
    case Operation::Register:
        return QStringLiteral("/user/register");
    case Operation::Login:
        return QStringLiteral("/user/login");
    case Operation::ChangePassword:
        return QStringLiteral("/user/password/change");
    case Operation::ResetLink:
        return QStringLiteral("/user/password/resetlink");
    case Operation::AppInfo:
        return QStringLiteral("/app/info");
    case Operation::Logout:
        return QStringLiteral("/user/logout");
    }
    return QString();
}

QString AccountEndpoint::pathSettingKey(Operation operation)
{
    switch (operation) {
    case Operation::Register:
        return QStringLiteral("account_path_register");
    case Operation::Login:
        return QStringLiteral("account_path_login");
    case Operation::ChangePassword:
        return QStringLiteral("account_path_change_password");
    case Operation::ResetLink:
        return QStringLiteral("account_path_reset_link");
    case Operation::AppInfo:
        return QStringLiteral("account_path_app_info");
    case Operation::Logout:
        return QStringLiteral("account_path_logout");
    }
    return QString();
}

QString AccountEndpoint::path(Operation operation)
{
    const QString stored = storedSetting(pathSettingKey(operation));
    return stored.isEmpty() ? defaultPath(operation) : stored;
}

bool AccountEndpoint::isAllowed(const QUrl &url)
{
    if (url.scheme() == QLatin1String("https"))
        return true;
    if (url.scheme() != QLatin1String("http"))
        return false;
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
        QHostAddress(host).isLoopback())
        return true;
    return qEnvironmentVariable("PARVIX_ACCOUNT_INSECURE") == QLatin1String("1") ||
           storedSetting(QStringLiteral("account_insecure")) == QLatin1String("true");
}
