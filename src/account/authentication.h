#pragma once
#include "accountendpoint.h"
#include "apiresponse.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class UserSession;

// The four account operations. Each reports once through its signal: success is
// true only when the service accepted the operation (its code is 200) and, for a
// login, when the session is logged in with the returned token afterwards.
// Otherwise message carries the service's explanation (or the transfer's error).
class Authentication : public QObject
{
    Q_OBJECT

public:
    // Tests pair an instance with a session of their own; the application uses instance().
    Authentication(UserSession *session, QObject *parent);

    static Authentication *instance();

signals:
    void registerFinished(bool success, int code, const QString &message);
    void loginFinished(bool success, int code, const QString &message);
    void changePasswordFinished(bool success, int code, const QString &message);
    void sendResetLinkFinished(bool success, int code, const QString &message);

public:
    Q_INVOKABLE void register_user_async(const QString &email);
    Q_INVOKABLE void login_async(const QString &email, const QString &password);
    Q_INVOKABLE void changePassword_async(const QString &oldPassword, const QString &newPassword);
    Q_INVOKABLE void sendResetLink_async(const QString &email);
    // Ends the session here at once and asks the service to revoke its token; a
    // service without that operation (404) or out of reach changes nothing.
    Q_INVOKABLE void logout_async();

private:
    using Handler = std::function<void(bool accepted, const APIResponse &response)>;
    void send(AccountEndpoint::Operation operation, const QString &method, const QJsonObject &body,
              const std::optional<QString> &token, Handler handler);
    // Logs in from an accepted reply; false when the reply carried no usable token.
    bool startSession(const QJsonValue &data);
    QString failureText(const APIResponse &response) const;

    UserSession *m_session;
};
