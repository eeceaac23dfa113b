#include "authentication.h"

#include "pxrequest.h"
#include "usersession.h"

#include <QLocale>
#include <QSysInfo>

Authentication::Authentication(UserSession *session, QObject *parent)
    : QObject(parent), m_session(session)
{}

Authentication *Authentication::instance()
{
    static Authentication *const shared = new Authentication(UserSession::instance(), nullptr);
    return shared;
}

void Authentication::register_user_async(const QString &email)
{
    const QJsonObject body{{"email", email}, {"locale", QLocale::system().name()}};
    send(AccountEndpoint::Operation::Register, QStringLiteral("post"), body, std::nullopt,
         [this](bool accepted, const APIResponse &response) {
             emit registerFinished(accepted, response.code,
                                   accepted ? response.message : failureText(response));
         });
}

void Authentication::login_async(const QString &email, const QString &password)
{
    const QJsonObject body{
        {"email", email},
        {"password", password},
        {"machineId", QString::fromLatin1(QSysInfo::machineUniqueId().toHex())},
        {"machinePlatform", QSysInfo::productType()},
        {"machineProductName", QSysInfo::prettyProductName()},
        {"machineHostName", QSysInfo::machineHostName()},
    };
    send(AccountEndpoint::Operation::Login, QStringLiteral("post"), body, std::nullopt,
         [this](bool accepted, const APIResponse &response) {
             if (!accepted) {
                 emit loginFinished(false, response.code, failureText(response));
             } else if (!startSession(response.data)) {
                 emit loginFinished(false, response.code,
                                    tr("The account service did not return a login token."));
             } else {
                 emit loginFinished(true, response.code, response.message);
             }
         });
}

void Authentication::changePassword_async(const QString &oldPassword, const QString &newPassword)
{
    const QJsonObject body{{"email", m_session->userEmail()},
                           {"oldPassword", oldPassword},
                           {"newPassword", newPassword}};
    send(AccountEndpoint::Operation::ChangePassword, QStringLiteral("put"), body,
         m_session->getToken(), [this](bool accepted, const APIResponse &response) {
             emit changePasswordFinished(accepted, response.code,
                                         accepted ? response.message : failureText(response));
         });
}

void Authentication::sendResetLink_async(const QString &email)
{
    send(AccountEndpoint::Operation::ResetLink, QStringLiteral("post"), {{"email", email}},
         std::nullopt, [this](bool accepted, const APIResponse &response) {
             emit sendResetLinkFinished(accepted, response.code,
                                        accepted ? response.message : failureText(response));
         });
}

void Authentication::logout_async()
{
    const QString token = m_session->getToken();
    m_session->clearSession();
    if (token.isEmpty())
        return;
    send(AccountEndpoint::Operation::Logout, QStringLiteral("post"), {}, token,
         [](bool, const APIResponse &) {});
}

void Authentication::send(AccountEndpoint::Operation operation, const QString &method,
                          const QJsonObject &body, const std::optional<QString> &token,
                          Handler handler)
{
    auto *request = new PXRequest(this);
    connect(request, &PXRequest::requestFinished, this,
            [request, handler = std::move(handler)](bool success, const APIResponse &response) {
                // A finished transfer is not an accepted operation: the service says so
                // with its code.
                handler(success && response.code == APIResponse::SuccessCode, response);
                request->deleteLater();
            });
    request->request(AccountEndpoint::path(operation), body, method, token);
}

bool Authentication::startSession(const QJsonValue &data)
{
    const QJsonObject payload = data.toObject();
    const QString token = payload.value(QLatin1String("token")).toString();
    if (token.isEmpty())
        return false;
    const QJsonObject user = payload.value(QLatin1String("user")).toObject();
    UserInfo info;
    info.id = user.value(QLatin1String("id")).toString();
    info.email = user.value(QLatin1String("email")).toString();
    info.verified = user.value(QLatin1String("verified")).toBool(false);
    m_session->saveLoginSession(token, info);
    return m_session->isLoggedIn() && m_session->getToken() == token;
}

QString Authentication::failureText(const APIResponse &response) const
{
    // A reply that is no envelope at all (a proxy's page, an empty body) has no message.
    if (response.message.isEmpty())
        return tr("The account service sent an unexpected reply.");
    return response.message;
}
