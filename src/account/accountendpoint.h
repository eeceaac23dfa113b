#pragma once
#include <QString>

// Where the account service lives. The base address is a deployment value: the
// environment variable PARVIX_ACCOUNT_URL wins, then the setting "account_url"
// (group "app_settings" of the application's settings store), then the reference
// service on loopback. Operation paths may be overridden by settings of their own.
class AccountEndpoint
{
public:
    enum class Operation { Register, Login, ChangePassword, ResetLink, AppInfo };

    static QString defaultBaseUrl();
    static QString baseUrl();
    static QString defaultPath(Operation operation);
    static QString path(Operation operation);
    // The settings key that overrides an operation's path ("account_path_login", ...).
    static QString pathSettingKey(Operation operation);
};
