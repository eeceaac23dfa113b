#pragma once
#include <QString>

class QUrl;

// Where the account service lives. The base address is a deployment value: the
// environment variable PARVIX_ACCOUNT_URL wins, then the setting "account_url"
// (group "app_settings" of the application's settings store), then the reference
// service on loopback. Operation paths may be overridden by settings of their own.
class AccountEndpoint
{
public:
    enum class Operation { Register, Login, ChangePassword, ResetLink, AppInfo, Logout };

    static QString defaultBaseUrl();
    static QString baseUrl();
    // Passwords travel only over https, or to this computer; the setting "account_insecure"
    // (or PARVIX_ACCOUNT_INSECURE=1) lets plain http reach other hosts.
    static bool isAllowed(const QUrl &url);
    static QString defaultPath(Operation operation);
    static QString path(Operation operation);
    // The settings key that overrides an operation's path ("account_path_login", ...).
    static QString pathSettingKey(Operation operation);
};
