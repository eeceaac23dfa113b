#pragma once
#include "httpfront.h"
#include "loginthrottle.h"
#include "ratelimiter.h"
#include "version.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QString>
#include <optional>

class AccountStore;
class CryptoPool;
class Mailer;
struct UserRecord;

struct ServiceOptions
{
    QString appName = QStringLiteral("Parvix Multi-Phones Control");
    QString appVersion = QStringLiteral(PARVIX_VERSION);
    QString publicUrl; // base of the links in mails; empty: the listening address
    int tokenDays = 30;
    LoginThrottle::Policy login;
    int loginLimitPerAddress = 20;    // failures per address over all emails in the window
    int resetLimitPerEmail = 3;       // reset links per email in the window
    int resetLimitPerAddress = 20;    // reset links per address per hour
    int registerLimitPerAddress = 10; // registrations per address per hour
    int hashThreads = 0;              // 0: one per core
    int hashQueue = 32;               // hashes waiting beyond the running ones
    HttpLimits http;
};

// The HTTP face of the account service. Every JSON reply is the envelope
// {"code", "message", "data"} with the HTTP status equal to "code"; 200 is success.
class AccountService : public QObject
{
    Q_OBJECT

public:
    static constexpr int SuccessCode = 200;
    static constexpr int MinPasswordLength = 8;

    AccountService(AccountStore *store, Mailer *mailer, const ServiceOptions &options,
                   QObject *parent = nullptr);

    // The port actually bound (useful with port 0), or 0 on failure.
    quint16 listen(const QHostAddress &address, quint16 port);

private:
    using Responder = HttpFront::Responder;
    using Handler = void (AccountService::*)(const HttpRequest &, const Responder &);
    enum class Body { None, Json, Form };
    struct Route
    {
        Handler handler;
        Body body;
    };

    void route(const HttpRequest &request, const Responder &respond);
    bool sameOrigin(const QByteArray &origin) const;

    void handleRegister(const HttpRequest &request, const Responder &respond);
    void handleLogin(const HttpRequest &request, const Responder &respond);
    void handleLogout(const HttpRequest &request, const Responder &respond);
    void handleChangePassword(const HttpRequest &request, const Responder &respond);
    void handleResetLink(const HttpRequest &request, const Responder &respond);
    void handleResetPage(const HttpRequest &request, const Responder &respond);
    void handleResetSubmit(const HttpRequest &request, const Responder &respond);
    void handleAppInfo(const HttpRequest &request, const Responder &respond);

    void finishLogin(const QString &email, const QString &address, const QJsonObject &body,
                     const Responder &respond);
    void mailResetLink(const QString &email);
    void prune();

    static HttpResponse reply(int code, const QString &message,
                              const QJsonValue &data = QJsonValue::Null);
    HttpResponse internalError(const QString &what);
    static HttpResponse tooManyAttempts(qint64 waitMs, const QString &message);
    static HttpResponse busy();
    static HttpResponse page(int status, const QString &title, const QString &content);
    static HttpResponse resetForm(const QString &token, const QString &error);
    std::optional<UserRecord> sessionUser(const HttpRequest &request);

    qint64 nowMs() const { return m_clock.elapsed(); }

    AccountStore *m_store;
    Mailer *m_mailer;
    ServiceOptions m_options;
    HttpFront *m_front;
    CryptoPool *m_hashing;
    QHash<QPair<QByteArray, QString>, Route> m_routes;
    QHash<QString, int> m_hashesInFlight; // per client address
    QElapsedTimer m_clock;                // monotonic, for the rate limits
    LoginThrottle m_login;
    RateLimiter m_loginByAddress;
    RateLimiter m_resetByEmail;
    RateLimiter m_resetByAddress;
    RateLimiter m_registerByAddress;
    RateLimiter m_noticeByEmail;
    QString m_dummyHash; // verified against for unknown emails, so timing tells nothing
};
