#include "accountservice.h"

#include "accountstore.h"
#include "crypto.h"
#include "cryptopool.h"
#include "mailer.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QUuid>
#include <cstdio>
#include <memory>

namespace {
constexpr int kMaxEmailLength = 254;
constexpr int kMaxPasswordBytes = 1024;
constexpr int kMaxMachineFieldLength = 256;
constexpr int kDefaultPasswordLength = 12;
constexpr int kMaxHashesPerAddress = 4;
constexpr qint64 kResetLinkValidSeconds = 60 * 60;
constexpr qint64 kHourMs = 60 * 60 * 1000;
constexpr int kPruneEveryMs = 60 * 60 * 1000;
const QString kResetPagePath = QStringLiteral("/user/password/reset");

qint64 unixNow()
{
    return QDateTime::currentSecsSinceEpoch();
}

std::optional<QJsonObject> jsonObject(const HttpRequest &request)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
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
    // No empty labels or dots at either end of the local part; domain labels of
    // letters, digits and inner hyphens.
    static const QRegularExpression pattern(
        QStringLiteral("^(?!\\.)(?!.*\\.\\.)[a-zA-Z0-9._%+-]{1,64}(?<!\\.)@"
                       "(?:[a-zA-Z0-9](?:[a-zA-Z0-9-]{0,61}[a-zA-Z0-9])?\\.)+[a-zA-Z]{2,63}$"));
    return email.size() <= kMaxEmailLength && pattern.match(email).hasMatch();
}

bool isAcceptablePassword(const QString &password)
{
    return password.size() >= AccountService::MinPasswordLength &&
           password.toUtf8().size() <= kMaxPasswordBytes;
}

QString passwordRule()
{
    return QStringLiteral("The password must have %1 to %2 characters.")
        .arg(AccountService::MinPasswordLength)
        .arg(kMaxPasswordBytes);
}

QString clientAddress(const HttpRequest &request)
{
    bool isV4 = false;
    const quint32 v4 = request.peer.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : request.peer.toString();
}

QString bearerToken(const HttpRequest &request)
{
    const QString header = QString::fromLatin1(request.header("authorization")).trimmed();
    if (!header.startsWith(QLatin1String("Bearer "), Qt::CaseInsensitive))
        return QString();
    return header.mid(7).trimmed();
}

QByteArray mediaType(const HttpRequest &request)
{
    return request.header("content-type").split(';').value(0).trimmed().toLower();
}

int minutesToWait(qint64 waitMs)
{
    return int((waitMs + 59999) / 60000);
}

QString originOf(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return QString();
    const QString host =
        url.host().contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(url.host()) : url.host();
    const int port = url.port();
    return url.scheme().toLower() + QStringLiteral("://") + host.toLower() +
           (port < 0 ? QString() : QStringLiteral(":%1").arg(port));
}
} // namespace

AccountService::AccountService(AccountStore *store, Mailer *mailer, const ServiceOptions &options,
                               QObject *parent)
    : QObject(parent), m_store(store), m_mailer(mailer), m_options(options),
      m_front(new HttpFront(
          options.http,
          [this](const HttpRequest &request, const Responder &respond) { route(request, respond); },
          [](int status, const QString &message) { return reply(status, message); }, this)),
      m_hashing(new CryptoPool(options.hashThreads > 0 ? options.hashThreads
                                                       : QThread::idealThreadCount(),
                               options.hashQueue, this)),
      m_login(options.login),
      m_loginByAddress(options.loginLimitPerAddress, options.login.windowMs),
      m_resetByEmail(options.resetLimitPerEmail, options.login.windowMs),
      m_resetByAddress(options.resetLimitPerAddress, kHourMs),
      m_registerByAddress(options.registerLimitPerAddress, kHourMs),
      m_noticeByEmail(options.resetLimitPerEmail, kHourMs),
      m_dummyHash(Crypto::hashPassword(Crypto::randomToken()))
{
    m_clock.start();
    const auto add = [this](const char *method, const QString &path, Handler handler, Body body) {
        m_routes.insert({QByteArray(method), path}, Route{handler, body});
    };
    add("POST", QStringLiteral("/user/register"), &AccountService::handleRegister, Body::Json);
    add("POST", QStringLiteral("/user/login"), &AccountService::handleLogin, Body::Json);
    add("POST", QStringLiteral("/user/logout"), &AccountService::handleLogout, Body::None);
    add("PUT", QStringLiteral("/user/password/change"), &AccountService::handleChangePassword,
        Body::Json);
    add("POST", QStringLiteral("/user/password/resetlink"), &AccountService::handleResetLink,
        Body::Json);
    add("GET", kResetPagePath, &AccountService::handleResetPage, Body::None);
    add("POST", kResetPagePath, &AccountService::handleResetSubmit, Body::Form);
    add("GET", QStringLiteral("/app/info"), &AccountService::handleAppInfo, Body::None);

    prune();
    auto *pruning = new QTimer(this);
    connect(pruning, &QTimer::timeout, this, &AccountService::prune);
    pruning->start(kPruneEveryMs);
}

quint16 AccountService::listen(const QHostAddress &address, quint16 port)
{
    const quint16 bound = m_front->listen(address, port);
    if (bound && m_options.publicUrl.isEmpty()) {
        const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                                 ? QStringLiteral("[%1]").arg(address.toString())
                                 : address.toString();
        m_options.publicUrl = QStringLiteral("http://%1:%2").arg(host).arg(bound);
    }
    return bound;
}

bool AccountService::sameOrigin(const QByteArray &origin) const
{
    return QString::fromLatin1(origin).compare(originOf(QUrl(m_options.publicUrl)),
                                               Qt::CaseInsensitive) == 0;
}

void AccountService::route(const HttpRequest &request, const Responder &respond)
{
    const auto it = m_routes.constFind({request.method, request.path});
    if (it == m_routes.constEnd()) {
        respond(reply(404, QStringLiteral("There is no such operation.")));
        return;
    }
    if (request.method != "GET") {
        // A browser on another site may post here, but it says where it came from.
        const QByteArray origin = request.header("origin");
        if ((!origin.isEmpty() && !sameOrigin(origin)) ||
            request.header("sec-fetch-site") == "cross-site") {
            respond(reply(403, QStringLiteral("Requests from other sites are refused.")));
            return;
        }
        // Only JSON (or the reset page's own form) is taken: a plain-text post is
        // what a foreign page could send without asking.
        const QByteArray wanted = it->body == Body::Json   ? "application/json"
                                  : it->body == Body::Form ? "application/x-www-form-urlencoded"
                                                           : "";
        if (!wanted.isEmpty() && mediaType(request) != wanted) {
            respond(reply(415, QStringLiteral("The request must be sent as %1.")
                                   .arg(QString::fromLatin1(wanted))));
            return;
        }
    }
    (this->*(it->handler))(request, respond);
}

HttpResponse AccountService::reply(int code, const QString &message, const QJsonValue &data)
{
    const QJsonObject envelope{{"code", code}, {"message", message}, {"data", data}};
    HttpResponse response;
    response.status = code;
    response.contentType = "application/json";
    response.body = QJsonDocument(envelope).toJson(QJsonDocument::Compact);
    response.addHeader("Cache-Control", "no-store");
    return response;
}

HttpResponse AccountService::internalError(const QString &what)
{
    std::fprintf(stderr, "accountd: %s: %s\n", qPrintable(what), qPrintable(m_store->lastError()));
    return reply(500, QStringLiteral("The account service had an internal error. "
                                     "Please try again later."));
}

HttpResponse AccountService::tooManyAttempts(qint64 waitMs, const QString &message)
{
    const int minutes = minutesToWait(waitMs);
    HttpResponse response =
        reply(429, message.arg(minutes).arg(minutes == 1 ? QString() : QStringLiteral("s")));
    response.addHeader("Retry-After", QByteArray::number((waitMs + 999) / 1000));
    return response;
}

HttpResponse AccountService::busy()
{
    HttpResponse response = reply(503, QStringLiteral("The account service is busy. "
                                                      "Please try again in a moment."));
    response.addHeader("Retry-After", "1");
    return response;
}

std::optional<UserRecord> AccountService::sessionUser(const HttpRequest &request)
{
    const QString token = bearerToken(request);
    const std::optional<QString> userId =
        Crypto::isTokenShaped(token) ? m_store->sessionUser(Crypto::tokenDigest(token), unixNow())
                                     : std::nullopt;
    return userId ? m_store->userById(*userId) : std::nullopt;
}

void AccountService::prune()
{
    if (!m_store->pruneExpired(unixNow()))
        std::fprintf(stderr, "accountd: prune: %s\n", qPrintable(m_store->lastError()));
}

void AccountService::handleRegister(const HttpRequest &request, const Responder &respond)
{
    const auto body = jsonObject(request);
    if (!body)
        return respond(reply(400, QStringLiteral("The request must be a JSON object.")));
    const QString email = normalizedEmail(stringField(*body, "email"));
    if (!isValidEmail(email))
        return respond(reply(400, QStringLiteral("Please enter a valid email address.")));
    const QString address = clientAddress(request);
    const qint64 now = nowMs();
    if (const qint64 wait = m_registerByAddress.waitFor(address, now); wait > 0) {
        return respond(tooManyAttempts(wait, QStringLiteral("Too many registrations. Please try "
                                                            "again in %1 minute%2.")));
    }

    // Both outcomes cost one hash and one mail and answer alike: the answer does not
    // tell whether the address has an account.
    const bool exists = m_store->userByEmail(email).has_value();
    const QString password = Crypto::randomPassword(kDefaultPasswordLength);
    auto hash = std::make_shared<QString>();
    const QString locale = stringField(*body, "locale").left(32);
    const bool queued = m_hashing->run(
        [hash, password, exists, dummy = Crypto::randomToken()] {
            *hash = Crypto::hashPassword(exists ? dummy : password);
        },
        [this, respond, hash, password, exists, email, locale] {
            const HttpResponse accepted =
                reply(SuccessCode, QStringLiteral("Registration successful. Please check your "
                                                  "email for your default password."));
            QString mailError;
            if (exists) {
                if (m_noticeByEmail.waitFor(email, nowMs()) == 0) {
                    m_noticeByEmail.record(email, nowMs());
                    const Mail notice{
                        email, QStringLiteral("Your Parvix account"),
                        QStringLiteral("Someone asked to register %1 at %2, but it already has an "
                                       "account.\n\nIf that was you and you forgot the password, "
                                       "use \"Forgot Password\" in the application. Otherwise "
                                       "ignore this mail.\n")
                            .arg(email, m_options.appName)};
                    if (!m_mailer->send(notice, &mailError))
                        std::fprintf(stderr, "accountd: mail not written: %s\n",
                                     qPrintable(mailError));
                }
                return respond(accepted);
            }
            if (hash->isEmpty())
                return respond(internalError(QStringLiteral("password hashing failed")));
            UserRecord user;
            user.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
            user.email = email;
            user.passwordHash = *hash;
            user.createdAt = unixNow();
            // The account exists only if its password reached the outbox.
            if (!m_store->begin())
                return respond(internalError(QStringLiteral("register")));
            if (!m_store->insertUser(user, locale)) {
                m_store->rollback();
                // Registered meanwhile by a parallel request: the same answer.
                if (m_store->userByEmail(email))
                    return respond(accepted);
                return respond(internalError(QStringLiteral("register")));
            }
            const Mail mail{email, QStringLiteral("Your Parvix account"),
                            QStringLiteral("Welcome to %1.\n\n"
                                           "Your account %2 has been created.\n"
                                           "Your default password is: %3\n\n"
                                           "Please log in and change it in your user profile.\n")
                                .arg(m_options.appName, email, password)};
            if (!m_mailer->send(mail, &mailError)) {
                m_store->rollback();
                std::fprintf(stderr, "accountd: mail not written: %s\n", qPrintable(mailError));
                return respond(reply(500, QStringLiteral("The mail with your password could not "
                                                         "be sent. Please try again later.")));
            }
            if (!m_store->commit())
                return respond(internalError(QStringLiteral("register")));
            respond(accepted);
        });
    if (!queued)
        return respond(busy());
    m_registerByAddress.record(address, now);
}

void AccountService::handleLogin(const HttpRequest &request, const Responder &respond)
{
    const auto body = jsonObject(request);
    if (!body)
        return respond(reply(400, QStringLiteral("The request must be a JSON object.")));
    const QString email = normalizedEmail(stringField(*body, "email"));
    const QString password = stringField(*body, "password");
    if (!isValidEmail(email))
        return respond(reply(400, QStringLiteral("Please enter a valid email address.")));
    if (password.isEmpty() || password.toUtf8().size() > kMaxPasswordBytes)
        return respond(reply(400, QStringLiteral("Please enter your password.")));

    const QString address = clientAddress(request);
    const qint64 now = nowMs();
    const qint64 wait =
        std::max(m_login.waitFor(email, address, now), m_loginByAddress.waitFor(address, now));
    if (wait > 0) {
        return respond(tooManyAttempts(
            wait,
            QStringLiteral("Too many failed login attempts. Please try again in %1 minute%2.")));
    }
    // Parallel guesses would all pass the check above before any failure counts.
    if (m_hashesInFlight.value(address) >= kMaxHashesPerAddress)
        return respond(tooManyAttempts(1000, QStringLiteral("Too many logins at once. Please "
                                                            "try again in %1 minute%2.")));

    const std::optional<UserRecord> user = m_store->userByEmail(email);
    const QString hash = user ? user->passwordHash : m_dummyHash;
    auto verified = std::make_shared<bool>(false);
    ++m_hashesInFlight[address];
    const bool queued = m_hashing->run(
        [verified, hash, password] { *verified = Crypto::verifyPassword(hash, password); },
        [this, respond, verified, known = user.has_value(), email, address, body = *body] {
            if (--m_hashesInFlight[address] <= 0)
                m_hashesInFlight.remove(address);
            if (!known || !*verified) {
                m_login.recordFailure(email, address, nowMs());
                m_loginByAddress.record(address, nowMs());
                return respond(reply(401, QStringLiteral("Wrong email or password.")));
            }
            m_login.recordSuccess(email, address);
            finishLogin(email, address, body, respond);
        });
    if (!queued) {
        if (--m_hashesInFlight[address] <= 0)
            m_hashesInFlight.remove(address);
        respond(busy());
    }
}

void AccountService::finishLogin(const QString &email, const QString &address,
                                 const QJsonObject &body, const Responder &respond)
{
    std::optional<UserRecord> user = m_store->userByEmail(email);
    if (!user)
        return respond(reply(401, QStringLiteral("Wrong email or password.")));
    // A login with the mailed password proves the mailbox.
    if (!user->verified) {
        if (!m_store->setVerified(user->id))
            return respond(internalError(QStringLiteral("login")));
        user->verified = true;
    }
    const QString token = Crypto::randomToken();
    const MachineInfo machine{stringField(body, "machineId").left(kMaxMachineFieldLength),
                              stringField(body, "machinePlatform").left(kMaxMachineFieldLength),
                              stringField(body, "machineProductName").left(kMaxMachineFieldLength),
                              stringField(body, "machineHostName").left(kMaxMachineFieldLength),
                              address};
    const qint64 issued = unixNow();
    if (!m_store->addSession(Crypto::tokenDigest(token), user->id, issued,
                             issued + qint64(m_options.tokenDays) * 24 * 3600, machine))
        return respond(internalError(QStringLiteral("login")));

    const QJsonObject userObject{
        {"id", user->id}, {"email", user->email}, {"verified", user->verified}};
    respond(reply(SuccessCode, QStringLiteral("Login successful."),
                  QJsonObject{{"token", token}, {"user", userObject}}));
}

void AccountService::handleLogout(const HttpRequest &request, const Responder &respond)
{
    const QString token = bearerToken(request);
    if (!Crypto::isTokenShaped(token))
        return respond(reply(401, QStringLiteral("Your login has expired. Please log in again.")));
    if (!m_store->revokeSession(Crypto::tokenDigest(token)))
        return respond(internalError(QStringLiteral("logout")));
    respond(reply(SuccessCode, QStringLiteral("Logged out.")));
}

void AccountService::handleChangePassword(const HttpRequest &request, const Responder &respond)
{
    const std::optional<UserRecord> user = sessionUser(request);
    if (!user)
        return respond(reply(401, QStringLiteral("Your login has expired. Please log in again.")));
    const auto body = jsonObject(request);
    if (!body)
        return respond(reply(400, QStringLiteral("The request must be a JSON object.")));
    if (normalizedEmail(stringField(*body, "email")) != user->email)
        return respond(reply(400, QStringLiteral("The email does not belong to this login.")));
    const QString oldPassword = stringField(*body, "oldPassword");
    const QString newPassword = stringField(*body, "newPassword");
    if (!isAcceptablePassword(newPassword))
        return respond(reply(400, passwordRule()));

    const QString address = clientAddress(request);
    if (const qint64 wait = m_login.waitFor(user->email, address, nowMs()); wait > 0) {
        return respond(tooManyAttempts(
            wait, QStringLiteral("Too many failed attempts. Please try again in %1 minute%2.")));
    }
    if (m_hashesInFlight.value(address) >= kMaxHashesPerAddress)
        return respond(busy());
    // Checking the old password and hashing the new one: both off this thread.
    auto hash = std::make_shared<QString>();
    ++m_hashesInFlight[address];
    const bool queued = m_hashing->run(
        [hash, stored = user->passwordHash, oldPassword, newPassword] {
            if (Crypto::verifyPassword(stored, oldPassword))
                *hash = Crypto::hashPassword(newPassword);
            else
                *hash = QStringLiteral("-");
        },
        [this, respond, hash, user = *user, address] {
            if (--m_hashesInFlight[address] <= 0)
                m_hashesInFlight.remove(address);
            if (*hash == QLatin1String("-")) {
                m_login.recordFailure(user.email, address, nowMs());
                return respond(reply(401, QStringLiteral("The old password is wrong.")));
            }
            if (hash->isEmpty())
                return respond(internalError(QStringLiteral("password hashing failed")));
            m_login.recordSuccess(user.email, address);
            // Every login and every reset link of the account ends.
            const bool stored = m_store->begin() && m_store->setPasswordHash(user.id, *hash) &&
                                m_store->revokeSessions(user.id) &&
                                m_store->voidResetTokens(user.id, unixNow()) && m_store->commit();
            if (!stored) {
                m_store->rollback();
                return respond(internalError(QStringLiteral("change password")));
            }
            respond(reply(SuccessCode, QStringLiteral("Password changed. Please log in again.")));
        });
    if (!queued) {
        if (--m_hashesInFlight[address] <= 0)
            m_hashesInFlight.remove(address);
        respond(busy());
    }
}

void AccountService::handleResetLink(const HttpRequest &request, const Responder &respond)
{
    const auto body = jsonObject(request);
    if (!body)
        return respond(reply(400, QStringLiteral("The request must be a JSON object.")));
    const QString email = normalizedEmail(stringField(*body, "email"));
    if (!isValidEmail(email))
        return respond(reply(400, QStringLiteral("Please enter a valid email address.")));
    const QString address = clientAddress(request);
    const qint64 now = nowMs();
    const qint64 wait =
        std::max(m_resetByEmail.waitFor(email, now), m_resetByAddress.waitFor(address, now));
    if (wait > 0) {
        return respond(tooManyAttempts(wait, QStringLiteral("Too many reset links were requested. "
                                                            "Please try again in %1 minute%2.")));
    }
    // Counted and answered alike whether or not the account exists; the mail is
    // written after the answer so its cost does not show either.
    m_resetByEmail.record(email, now);
    m_resetByAddress.record(address, now);
    respond(reply(SuccessCode, QStringLiteral("A password reset link has been sent to your email "
                                              "if it belongs to an account.")));
    QMetaObject::invokeMethod(
        this, [this, email] { mailResetLink(email); }, Qt::QueuedConnection);
}

void AccountService::mailResetLink(const QString &email)
{
    const std::optional<UserRecord> user = m_store->userByEmail(email);
    if (!user)
        return;
    const QString token = Crypto::randomToken();
    if (!m_store->addResetToken(Crypto::tokenDigest(token), user->id,
                                unixNow() + kResetLinkValidSeconds)) {
        internalError(QStringLiteral("reset link"));
        return;
    }
    const QString link = m_options.publicUrl + kResetPagePath + QStringLiteral("?token=") + token;
    const Mail mail{email, QStringLiteral("Reset your Parvix password"),
                    QStringLiteral("Someone asked to reset the password of your account %1.\n\n"
                                   "Open this link within one hour to choose a new password:\n"
                                   "%2\n\n"
                                   "The link works once. If you did not ask for it, ignore "
                                   "this mail; your password stays as it is.\n")
                        .arg(email, link)};
    m_mailer->sendLater(mail);
}

HttpResponse AccountService::page(int status, const QString &title, const QString &content)
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
    HttpResponse response;
    response.status = status;
    response.contentType = "text/html; charset=utf-8";
    response.body = html.toUtf8();
    // The token is in the address: keep the page out of caches and referrers.
    response.addHeader("Cache-Control", "no-store");
    response.addHeader("Referrer-Policy", "no-referrer");
    response.addHeader("Content-Security-Policy",
                       "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'");
    return response;
}

HttpResponse AccountService::resetForm(const QString &token, const QString &error)
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
                   .arg(MinPasswordLength);
    return page(error.isEmpty() ? 200 : 400, QStringLiteral("Choose a new password"), content);
}

namespace {
HttpResponse expiredLinkPage(HttpResponse (*page)(int, const QString &, const QString &))
{
    return page(400, QStringLiteral("Link expired"),
                QStringLiteral("<p>This reset link is invalid, already used or expired. "
                               "Please ask for a new one in the application.</p>"));
}
} // namespace

void AccountService::handleResetPage(const HttpRequest &request, const Responder &respond)
{
    const QString token = request.query.queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded);
    if (!Crypto::isTokenShaped(token) ||
        !m_store->resetTokenUser(Crypto::tokenDigest(token), unixNow()))
        return respond(expiredLinkPage(&AccountService::page));
    respond(resetForm(token, QString()));
}

void AccountService::handleResetSubmit(const HttpRequest &request, const Responder &respond)
{
    // application/x-www-form-urlencoded: '+' stands for a space.
    QString encoded = QString::fromUtf8(request.body);
    encoded.replace(QLatin1Char('+'), QStringLiteral("%20"));
    const QUrlQuery form(encoded);
    const QString token = form.queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded);
    const QString password = form.queryItemValue(QStringLiteral("password"), QUrl::FullyDecoded);
    const QString confirm = form.queryItemValue(QStringLiteral("confirm"), QUrl::FullyDecoded);

    const QString digest = Crypto::tokenDigest(token);
    if (!Crypto::isTokenShaped(token) || !m_store->resetTokenUser(digest, unixNow()))
        return respond(expiredLinkPage(&AccountService::page));
    if (!isAcceptablePassword(password))
        return respond(resetForm(token, passwordRule()));
    if (password != confirm)
        return respond(resetForm(token, QStringLiteral("The passwords do not match.")));

    auto hash = std::make_shared<QString>();
    const bool queued = m_hashing->run(
        [hash, password] { *hash = Crypto::hashPassword(password); },
        [this, respond, hash, digest] {
            // Looked up again: the link may have been spent while hashing.
            const std::optional<QString> userId = m_store->resetTokenUser(digest, unixNow());
            const std::optional<UserRecord> user =
                userId ? m_store->userById(*userId) : std::nullopt;
            if (!user)
                return respond(expiredLinkPage(&AccountService::page));
            if (hash->isEmpty())
                return respond(internalError(QStringLiteral("password hashing failed")));
            // One transaction: the links are spent exactly when the password changed. The
            // link came by mail, so it proves the mailbox as well.
            const bool stored = m_store->begin() && m_store->voidResetTokens(user->id, unixNow()) &&
                                m_store->setPasswordHash(user->id, *hash) &&
                                m_store->revokeSessions(user->id) &&
                                m_store->setVerified(user->id) && m_store->commit();
            if (!stored) {
                m_store->rollback();
                std::fprintf(stderr, "accountd: reset: %s\n", qPrintable(m_store->lastError()));
                return respond(page(500, QStringLiteral("Something went wrong"),
                                    QStringLiteral("<p>The password could not be changed. "
                                                   "Please try again later.</p>")));
            }
            // Whoever was guessing the old password: the owner starts afresh.
            m_login.clearEmail(user->email);
            respond(page(200, QStringLiteral("Password changed"),
                         QStringLiteral("<p>Your password has been changed. You can now log in to "
                                        "%1 with the new password.</p>")
                             .arg(m_options.appName.toHtmlEscaped())));
        });
    if (!queued)
        respond(busy());
}

void AccountService::handleAppInfo(const HttpRequest &, const Responder &respond)
{
    respond(
        reply(SuccessCode, QStringLiteral("OK"),
              QJsonObject{{"app_name", m_options.appName}, {"app_version", m_options.appVersion}}));
}
