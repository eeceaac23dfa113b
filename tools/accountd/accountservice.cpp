#include "accountservice.h"

#include "accountstore.h"
#include "crypto.h"
#include "mailer.h"

#include <QDateTime>
#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUrlQuery>
#include <QUuid>
#include <cstdio>

namespace {
using StatusCode = QHttpServerResponse::StatusCode;

constexpr int kMaxEmailLength = 254;
constexpr int kMinPasswordLength = 6; // what the client's change-password box allows
constexpr int kMaxPasswordBytes = 1024;
constexpr int kMaxMachineFieldLength = 256;
constexpr int kDefaultPasswordLength = 12;
constexpr qint64 kResetLinkValidSeconds = 60 * 60;
const QString kResetPagePath = QStringLiteral("/user/password/reset");

qint64 unixNow()
{
    return QDateTime::currentSecsSinceEpoch();
}

std::optional<QJsonObject> jsonObject(const QHttpServerRequest &request)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(request.body(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

// Members of another type than string count as absent.
QString stringField(const QJsonObject &object, const char *name)
{
    return object.value(QLatin1String(name)).toString();
}

QString normalizedEmail(const QString &raw)
{
    return raw.trimmed().toLower();
}

bool isValidEmail(const QString &email)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[a-zA-Z0-9._%+-]+@[a-zA-Z0-9.-]+\\.[a-zA-Z]{2,}$"));
    return email.size() <= kMaxEmailLength && pattern.match(email).hasMatch();
}

bool isAcceptablePassword(const QString &password)
{
    return password.size() >= kMinPasswordLength && password.toUtf8().size() <= kMaxPasswordBytes;
}

QString clientAddress(const QHttpServerRequest &request)
{
    const QHostAddress address = request.remoteAddress();
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

QString bearerToken(const QHttpServerRequest &request)
{
    const QString header = QString::fromLatin1(request.value("Authorization")).trimmed();
    if (!header.startsWith(QLatin1String("Bearer "), Qt::CaseInsensitive))
        return QString();
    return header.mid(7).trimmed();
}

int minutesToWait(qint64 waitMs)
{
    return int((waitMs + 59999) / 60000);
}
} // namespace

AccountService::AccountService(AccountStore *store, Mailer *mailer, const ServiceOptions &options,
                               QObject *parent)
    : QObject(parent), m_store(store), m_mailer(mailer), m_options(options),
      m_loginByEmail(options.loginLimitPerEmail, options.limitWindowMs),
      m_loginByAddress(options.loginLimitPerAddress, options.limitWindowMs),
      m_resetByEmail(options.resetLimitPerEmail, options.limitWindowMs),
      m_dummyHash(Crypto::hashPassword(Crypto::randomToken()))
{
    m_clock.start();
    using Method = QHttpServerRequest::Method;
    addRoute(QStringLiteral("/user/register"), Method::Post, &AccountService::handleRegister);
    addRoute(QStringLiteral("/user/login"), Method::Post, &AccountService::handleLogin);
    addRoute(QStringLiteral("/user/password/change"), Method::Put,
             &AccountService::handleChangePassword);
    addRoute(QStringLiteral("/user/password/resetlink"), Method::Post,
             &AccountService::handleResetLink);
    addRoute(kResetPagePath, Method::Get, &AccountService::handleResetPage);
    addRoute(kResetPagePath, Method::Post, &AccountService::handleResetSubmit);
    addRoute(QStringLiteral("/app/info"), Method::Get, &AccountService::handleAppInfo);
    m_server.setMissingHandler([](const QHttpServerRequest &, QHttpServerResponder &&responder) {
        reply(404, QStringLiteral("There is no such operation.")).write(std::move(responder));
    });
}

quint16 AccountService::listen(const QHostAddress &address, quint16 port)
{
    const quint16 bound = m_server.listen(address, port);
    if (bound && m_options.publicUrl.isEmpty()) {
        const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                                 ? QStringLiteral("[%1]").arg(address.toString())
                                 : address.toString();
        m_options.publicUrl = QStringLiteral("http://%1:%2").arg(host).arg(bound);
    }
    return bound;
}

void AccountService::addRoute(const QString &path, QHttpServerRequest::Method method,
                              Handler handler)
{
    m_server.route(path, method, [this, handler](const QHttpServerRequest &request) {
        // The whole body is in memory by now; refusing it keeps it out of parsing,
        // hashing and the database.
        if (request.body().size() > MaxBodyBytes)
            return reply(413, QStringLiteral("The request is too large."));
        return (this->*handler)(request);
    });
}

QHttpServerResponse AccountService::reply(int code, const QString &message, const QJsonValue &data)
{
    const QJsonObject envelope{{"code", code}, {"message", message}, {"data", data}};
    QHttpServerResponse response(envelope, StatusCode(code));
    response.addHeader("Cache-Control", "no-store");
    return response;
}

QHttpServerResponse AccountService::internalError(const QString &what)
{
    std::fprintf(stderr, "accountd: %s: %s\n", qPrintable(what), qPrintable(m_store->lastError()));
    return reply(500, QStringLiteral("The account service had an internal error. "
                                     "Please try again later."));
}

QHttpServerResponse AccountService::tooManyAttempts(qint64 waitMs, const QString &message)
{
    const int minutes = minutesToWait(waitMs);
    QHttpServerResponse response =
        reply(429, message.arg(minutes).arg(minutes == 1 ? QString() : QStringLiteral("s")));
    response.addHeader("Retry-After", QByteArray::number((waitMs + 999) / 1000));
    return response;
}

bool AccountService::verifyOrBurn(const std::optional<QString> &hash, const QString &password)
{
    if (hash)
        return Crypto::verifyPassword(*hash, password);
    Crypto::verifyPassword(m_dummyHash, password);
    return false;
}

QHttpServerResponse AccountService::handleRegister(const QHttpServerRequest &request)
{
    const auto body = jsonObject(request);
    if (!body)
        return reply(400, QStringLiteral("The request must be a JSON object."));
    const QString email = normalizedEmail(stringField(*body, "email"));
    if (!isValidEmail(email))
        return reply(400, QStringLiteral("Please enter a valid email address."));
    if (m_store->userByEmail(email))
        return reply(409, QStringLiteral("This email address is already registered."));

    const QString password = Crypto::randomPassword(kDefaultPasswordLength);
    UserRecord user;
    user.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    user.email = email;
    user.passwordHash = Crypto::hashPassword(password);
    user.createdAt = unixNow();
    if (user.passwordHash.isEmpty())
        return internalError(QStringLiteral("password hashing failed"));

    // The account exists only if its password reached the outbox.
    if (!m_store->begin())
        return internalError(QStringLiteral("register"));
    if (!m_store->insertUser(user, stringField(*body, "locale").left(32))) {
        m_store->rollback();
        return internalError(QStringLiteral("register"));
    }
    const Mail mail{email, QStringLiteral("Your Parvix account"),
                    QStringLiteral("Welcome to %1.\n\n"
                                   "Your account %2 has been created.\n"
                                   "Your default password is: %3\n\n"
                                   "Please log in and change it in your user profile.\n")
                        .arg(m_options.appName, email, password)};
    QString mailError;
    if (!m_mailer->send(mail, &mailError)) {
        m_store->rollback();
        std::fprintf(stderr, "accountd: mail not written: %s\n", qPrintable(mailError));
        return reply(500, QStringLiteral("The mail with your password could not be sent. "
                                         "Please try again later."));
    }
    if (!m_store->commit())
        return internalError(QStringLiteral("register"));
    return reply(SuccessCode, QStringLiteral("Registration successful. Your default password "
                                             "has been sent to your email."));
}

QHttpServerResponse AccountService::handleLogin(const QHttpServerRequest &request)
{
    const auto body = jsonObject(request);
    if (!body)
        return reply(400, QStringLiteral("The request must be a JSON object."));
    const QString email = normalizedEmail(stringField(*body, "email"));
    const QString password = stringField(*body, "password");
    if (!isValidEmail(email))
        return reply(400, QStringLiteral("Please enter a valid email address."));
    if (password.isEmpty() || password.toUtf8().size() > kMaxPasswordBytes)
        return reply(400, QStringLiteral("Please enter your password."));

    // While limited, even the right password is refused: guessing must stop.
    const QString address = clientAddress(request);
    const qint64 now = nowMs();
    const qint64 wait =
        std::max(m_loginByEmail.waitFor(email, now), m_loginByAddress.waitFor(address, now));
    if (wait > 0) {
        return tooManyAttempts(
            wait,
            QStringLiteral("Too many failed login attempts. Please try again in %1 minute%2."));
    }

    std::optional<UserRecord> user = m_store->userByEmail(email);
    if (!verifyOrBurn(user ? std::optional<QString>(user->passwordHash) : std::nullopt, password)) {
        m_loginByEmail.record(email, now);
        m_loginByAddress.record(address, now);
        return reply(401, QStringLiteral("Wrong email or password."));
    }
    m_loginByEmail.clear(email);

    // A login with the mailed password proves the mailbox.
    if (!user->verified) {
        if (!m_store->setVerified(user->id))
            return internalError(QStringLiteral("login"));
        user->verified = true;
    }
    const QString token = Crypto::randomToken();
    const MachineInfo machine{stringField(*body, "machineId").left(kMaxMachineFieldLength),
                              stringField(*body, "machinePlatform").left(kMaxMachineFieldLength),
                              stringField(*body, "machineProductName").left(kMaxMachineFieldLength),
                              stringField(*body, "machineHostName").left(kMaxMachineFieldLength),
                              address};
    const qint64 issued = unixNow();
    if (!m_store->addSession(Crypto::tokenDigest(token), user->id, issued,
                             issued + qint64(m_options.tokenDays) * 24 * 3600, machine))
        return internalError(QStringLiteral("login"));

    const QJsonObject userObject{
        {"id", user->id}, {"email", user->email}, {"verified", user->verified}};
    return reply(SuccessCode, QStringLiteral("Login successful."),
                 QJsonObject{{"token", token}, {"user", userObject}});
}

QHttpServerResponse AccountService::handleChangePassword(const QHttpServerRequest &request)
{
    const QString token = bearerToken(request);
    const std::optional<QString> userId =
        Crypto::isTokenShaped(token) ? m_store->sessionUser(Crypto::tokenDigest(token), unixNow())
                                     : std::nullopt;
    std::optional<UserRecord> user = userId ? m_store->userById(*userId) : std::nullopt;
    if (!user)
        return reply(401, QStringLiteral("Your login has expired. Please log in again."));

    const auto body = jsonObject(request);
    if (!body)
        return reply(400, QStringLiteral("The request must be a JSON object."));
    if (normalizedEmail(stringField(*body, "email")) != user->email)
        return reply(400, QStringLiteral("The email does not belong to this login."));
    const QString oldPassword = stringField(*body, "oldPassword");
    const QString newPassword = stringField(*body, "newPassword");
    if (!isAcceptablePassword(newPassword))
        return reply(400, QStringLiteral("The new password must have 6 to 1024 characters."));

    const qint64 now = nowMs();
    if (const qint64 wait = m_loginByEmail.waitFor(user->email, now); wait > 0) {
        return tooManyAttempts(
            wait, QStringLiteral("Too many failed attempts. Please try again in %1 minute%2."));
    }
    if (!Crypto::verifyPassword(user->passwordHash, oldPassword)) {
        m_loginByEmail.record(user->email, now);
        return reply(401, QStringLiteral("The old password is wrong."));
    }
    const QString hash = Crypto::hashPassword(newPassword);
    if (hash.isEmpty())
        return internalError(QStringLiteral("password hashing failed"));
    // Every login of the account ends: the client asks the user to log in again.
    if (!m_store->begin())
        return internalError(QStringLiteral("change password"));
    if (!m_store->setPasswordHash(user->id, hash) || !m_store->revokeSessions(user->id)) {
        m_store->rollback();
        return internalError(QStringLiteral("change password"));
    }
    if (!m_store->commit())
        return internalError(QStringLiteral("change password"));
    return reply(SuccessCode, QStringLiteral("Password changed. Please log in again."));
}

QHttpServerResponse AccountService::handleResetLink(const QHttpServerRequest &request)
{
    const auto body = jsonObject(request);
    if (!body)
        return reply(400, QStringLiteral("The request must be a JSON object."));
    const QString email = normalizedEmail(stringField(*body, "email"));
    if (!isValidEmail(email))
        return reply(400, QStringLiteral("Please enter a valid email address."));
    const qint64 now = nowMs();
    if (const qint64 wait = m_resetByEmail.waitFor(email, now); wait > 0) {
        return tooManyAttempts(wait, QStringLiteral("Too many reset links were requested. "
                                                    "Please try again in %1 minute%2."));
    }
    const std::optional<UserRecord> user = m_store->userByEmail(email);
    if (!user)
        return reply(404, QStringLiteral("No account is registered with this email address."));

    const QString token = Crypto::randomToken();
    if (!m_store->addResetToken(Crypto::tokenDigest(token), user->id,
                                unixNow() + kResetLinkValidSeconds))
        return internalError(QStringLiteral("reset link"));
    const QString link = m_options.publicUrl + kResetPagePath + QStringLiteral("?token=") + token;
    const Mail mail{email, QStringLiteral("Reset your Parvix password"),
                    QStringLiteral("Someone asked to reset the password of your account %1.\n\n"
                                   "Open this link within one hour to choose a new password:\n"
                                   "%2\n\n"
                                   "The link works once. If you did not ask for it, ignore "
                                   "this mail; your password stays as it is.\n")
                        .arg(email, link)};
    QString mailError;
    if (!m_mailer->send(mail, &mailError)) {
        std::fprintf(stderr, "accountd: mail not written: %s\n", qPrintable(mailError));
        return reply(500, QStringLiteral("The reset link could not be sent. "
                                         "Please try again later."));
    }
    m_resetByEmail.record(email, now);
    return reply(SuccessCode, QStringLiteral("A password reset link has been sent to your email."));
}

QHttpServerResponse AccountService::page(int status, const QString &title, const QString &content)
{
    const QString html =
        QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width\">"
                       "<title>%1</title><style>"
                       "body{font-family:sans-serif;max-width:28em;margin:3em auto;padding:0 1em}"
                       "label,input,button{display:block;width:100%;margin:.4em 0}"
                       "input,button{padding:.5em;box-sizing:border-box}.error{color:#c00}"
                       "</style></head><body><h1>%1</h1>\n%2\n</body></html>\n")
            .arg(title.toHtmlEscaped(), content);
    QHttpServerResponse response(QByteArrayLiteral("text/html; charset=utf-8"), html.toUtf8(),
                                 StatusCode(status));
    // The token is in the address: keep the page out of caches and referrers.
    response.addHeader("Cache-Control", "no-store");
    response.addHeader("Referrer-Policy", "no-referrer");
    response.addHeader("Content-Security-Policy",
                       "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'");
    return response;
}

QHttpServerResponse AccountService::resetForm(const QString &token, const QString &error)
{
    QString content;
    if (!error.isEmpty())
        content += QStringLiteral("<p class=\"error\">%1</p>\n").arg(error.toHtmlEscaped());
    content += QStringLiteral(
                   "<form method=\"post\" action=\"reset\">\n"
                   "<input type=\"hidden\" name=\"token\" value=\"%1\">\n"
                   "<label for=\"password\">New password (at least %2 characters)</label>\n"
                   "<input type=\"password\" id=\"password\" name=\"password\" minlength=\"%2\" "
                   "required autocomplete=\"new-password\">\n"
                   "<label for=\"confirm\">Confirm new password</label>\n"
                   "<input type=\"password\" id=\"confirm\" name=\"confirm\" minlength=\"%2\" "
                   "required autocomplete=\"new-password\">\n"
                   "<button type=\"submit\">Set password</button>\n</form>")
                   .arg(token.toHtmlEscaped())
                   .arg(kMinPasswordLength);
    return page(error.isEmpty() ? 200 : 400, QStringLiteral("Choose a new password"), content);
}

QHttpServerResponse AccountService::handleResetPage(const QHttpServerRequest &request)
{
    const QString token =
        request.query().queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded);
    if (!Crypto::isTokenShaped(token) ||
        !m_store->resetTokenUser(Crypto::tokenDigest(token), unixNow())) {
        return page(400, QStringLiteral("Link expired"),
                    QStringLiteral("<p>This reset link is invalid, already used or expired. "
                                   "Please ask for a new one in the application.</p>"));
    }
    return resetForm(token, QString());
}

QHttpServerResponse AccountService::handleResetSubmit(const QHttpServerRequest &request)
{
    // application/x-www-form-urlencoded: '+' stands for a space.
    QString encoded = QString::fromUtf8(request.body());
    encoded.replace(QLatin1Char('+'), QStringLiteral("%20"));
    const QUrlQuery form(encoded);
    const QString token = form.queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded);
    const QString password = form.queryItemValue(QStringLiteral("password"), QUrl::FullyDecoded);
    const QString confirm = form.queryItemValue(QStringLiteral("confirm"), QUrl::FullyDecoded);

    const QString digest = Crypto::tokenDigest(token);
    const std::optional<QString> userId =
        Crypto::isTokenShaped(token) ? m_store->resetTokenUser(digest, unixNow()) : std::nullopt;
    if (!userId) {
        return page(400, QStringLiteral("Link expired"),
                    QStringLiteral("<p>This reset link is invalid, already used or expired. "
                                   "Please ask for a new one in the application.</p>"));
    }
    if (!isAcceptablePassword(password))
        return resetForm(token, QStringLiteral("The password must have 6 to 1024 characters."));
    if (password != confirm)
        return resetForm(token, QStringLiteral("The passwords do not match."));

    const QString hash = Crypto::hashPassword(password);
    if (hash.isEmpty())
        return internalError(QStringLiteral("password hashing failed"));
    // One transaction: the link is spent exactly when the password changed. The link
    // came by mail, so it proves the mailbox as well.
    const bool stored = m_store->begin() && m_store->markResetTokenUsed(digest, unixNow()) &&
                        m_store->setPasswordHash(*userId, hash) &&
                        m_store->revokeSessions(*userId) && m_store->setVerified(*userId) &&
                        m_store->commit();
    if (!stored) {
        m_store->rollback();
        std::fprintf(stderr, "accountd: reset: %s\n", qPrintable(m_store->lastError()));
        return page(500, QStringLiteral("Something went wrong"),
                    QStringLiteral("<p>The password could not be changed. "
                                   "Please try again later.</p>"));
    }
    return page(200, QStringLiteral("Password changed"),
                QStringLiteral("<p>Your password has been changed. You can now log in to "
                               "%1 with the new password.</p>")
                    .arg(m_options.appName.toHtmlEscaped()));
}

QHttpServerResponse AccountService::handleAppInfo(const QHttpServerRequest &)
{
    return reply(
        SuccessCode, QStringLiteral("OK"),
        QJsonObject{{"app_name", m_options.appName}, {"app_version", m_options.appVersion}});
}
