#pragma once
#include "ratelimiter.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QString>
#include <optional>

class AccountStore;
class Mailer;

struct ServiceOptions
{
    QString appName = QStringLiteral("Parvix Multi-Phones Control");
    QString appVersion = QStringLiteral("1.0.1");
    QString publicUrl; // base of the links in mails; empty: the listening address
    int tokenDays = 30;
    int loginLimitPerEmail = 5;
    int loginLimitPerAddress = 20;
    int resetLimitPerEmail = 3;
    qint64 limitWindowMs = 15 * 60 * 1000;
};

// The HTTP face of the account service. Every JSON reply is the envelope
// {"code", "message", "data"} with the HTTP status equal to "code"; 200 is success.
class AccountService : public QObject
{
    Q_OBJECT

public:
    static constexpr int SuccessCode = 200;
    static constexpr qsizetype MaxBodyBytes = 64 * 1024;

    AccountService(AccountStore *store, Mailer *mailer, const ServiceOptions &options,
                   QObject *parent = nullptr);

    // The port actually bound (useful with port 0), or 0 on failure.
    quint16 listen(const QHostAddress &address, quint16 port);

private:
    using Handler = QHttpServerResponse (AccountService::*)(const QHttpServerRequest &);
    void addRoute(const QString &path, QHttpServerRequest::Method method, Handler handler);

    QHttpServerResponse handleRegister(const QHttpServerRequest &request);
    QHttpServerResponse handleLogin(const QHttpServerRequest &request);
    QHttpServerResponse handleChangePassword(const QHttpServerRequest &request);
    QHttpServerResponse handleResetLink(const QHttpServerRequest &request);
    QHttpServerResponse handleResetPage(const QHttpServerRequest &request);
    QHttpServerResponse handleResetSubmit(const QHttpServerRequest &request);
    QHttpServerResponse handleAppInfo(const QHttpServerRequest &request);

    static QHttpServerResponse reply(int code, const QString &message,
                                     const QJsonValue &data = QJsonValue::Null);
    QHttpServerResponse internalError(const QString &what);
    QHttpServerResponse tooManyAttempts(qint64 waitMs, const QString &message);
    static QHttpServerResponse page(int status, const QString &title, const QString &content);
    QHttpServerResponse resetForm(const QString &token, const QString &error);

    qint64 nowMs() const { return m_clock.elapsed(); }
    bool verifyOrBurn(const std::optional<QString> &hash, const QString &password);

    AccountStore *m_store;
    Mailer *m_mailer;
    ServiceOptions m_options;
    QHttpServer m_server;
    QElapsedTimer m_clock; // monotonic, for the rate limits
    RateLimiter m_loginByEmail;
    RateLimiter m_loginByAddress;
    RateLimiter m_resetByEmail;
    QString m_dummyHash; // verified against for unknown emails, so timing tells nothing
};
