// The account client against a scripted service: the request layer (reply envelope, error
// statuses, what goes on the wire, the Bearer header, transport rules, the service's address),
// the account operations (done only when the service's code says so, a login only when the
// session holds the returned token), the version lookup, and the login session's store.
#include "accountendpoint.h"
#include "apiresponse.h"
#include "appconfig.h"
#include "authoutcome.h"
#include "pxrequest.h"
#include "releaselookup.h"
#include "scriptedhttpserver.h"
#include "testregistry.h"
#include "typeregistration.h"
#include "usersession.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QTcpServer>
#include <QtQml/QQmlExtensionPlugin>
#include <QtTest>
#include <memory>
#include <optional>

Q_IMPORT_QML_PLUGIN(ParvixPlugin)

namespace {
const QByteArray kLoginReply =
    R"({"code":200,"message":"Login successful.","data":{"token":"tk-1","user":{"id":"u1","email":"a@b.cd","verified":true}}})";

struct Outcome
{
    bool sent = false;
    int reports = 0;
    bool success = false;
    APIResponse response;
};

Outcome call(const QString &path, const QString &method, const QJsonObject &body = {},
             const std::optional<QString> &token = std::nullopt)
{
    Outcome outcome;
    PXRequest request(nullptr);
    QObject::connect(&request, &PXRequest::requestFinished,
                     [&outcome](bool success, const APIResponse &response) {
                         outcome = {true, outcome.reports + 1, success, response};
                     });
    outcome.sent = request.request(path, body, method, token);
    if (outcome.sent)
        (void)QTest::qWaitFor([&outcome] { return outcome.reports > 0; }, 10000);
    QCoreApplication::processEvents(); // a second report would show here
    return outcome;
}

std::unique_ptr<QSettings> store(const char *name = "Application")
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Parvix",
                                       name);
}

void writeAppSetting(const QString &key, const QVariant &value)
{
    if (value.isValid())
        store()->setValue("app_settings/" + key, value);
    else
        store()->remove("app_settings/" + key);
}

UserInfo user(const QString &id, const QString &email, bool verified)
{
    UserInfo info;
    info.id = id;
    info.email = email;
    info.verified = verified;
    return info;
}
} // namespace

class AccountClientTest : public QObject
{
    Q_OBJECT

    ScriptedHttpServer m_server;
    std::unique_ptr<UserSession> m_session;
    std::unique_ptr<Authentication> m_auth;

private slots:
    void initTestCase() { QVERIFY(m_server.start()); }
    void init()
    {
        qputenv("PARVIX_ACCOUNT_URL", m_server.baseUrl().toUtf8());
        m_server.requests.clear();
        m_session = std::make_unique<UserSession>(nullptr);
        m_session->clearSession(); // also empties the store
        m_auth = std::make_unique<Authentication>(m_session.get(), nullptr);
    }
    void cleanupTestCase() { qunsetenv("PARVIX_ACCOUNT_URL"); }

    // The transfer fails on an error status, but a service envelope still tells why.
    void envelopeIsRead_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message"); // "*": any text
        QTest::addColumn<QByteArray>("data"); // compact JSON of the data, "null" for none
        QTest::addColumn<QByteArray>("type");
        const auto row = [](const char *name, int status, const QByteArray &body, int code,
                            const char *message, const char *data = "null",
                            const char *type = "application/json") {
            QTest::newRow(name) << status << body << code << QString(message) << QByteArray(data)
                                << QByteArray(type);
        };
        row("whole envelope", 200,
            R"({"code":200,"message":"Fine","data":{"token":"t","n":[1,2]}})", 200, "Fine",
            R"({"n":[1,2],"token":"t"})");
        row("data null", 200, R"({"code":200,"message":"m","data":null})", 200, "m");
        row("no data", 200, R"({"code":409,"message":"taken"})", 409, "taken");
        row("data not an object", 200, R"({"code":200,"data":[1]})", 200, "", "[1]");
        row("code as text", 200, R"({"code":"200","message":7})", 0, "");
        row("not JSON", 200, "<html>gateway</html>", 0, "");
        row("JSON array", 200, "[1,2]", 0, "");
        row("empty body", 200, "", 0, "");
        row("error status, envelope", 401,
            R"({"code":401,"message":"Wrong email or password.","data":null})", 401,
            "Wrong email or password.");
        row("error status, a proxy's page", 401, "<html>Unauthorized</html>", 0, "*", "null",
            "text/html");
        row("error status, a code without message", 500, R"({"code":500})", 0, "*");
    }

    void envelopeIsRead()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        QFETCH(QByteArray, type);
        m_server.script("/envelope", {status, body, type});
        const Outcome outcome = call("/envelope", status == 200 ? "get" : "post", {{"e", "a"}});
        QCOMPARE(outcome.reports, 1);
        QCOMPARE(outcome.success, status == 200);
        QTEST(outcome.response.code, "code");
        if (message == "*")
            QVERIFY(!outcome.response.message.isEmpty());
        else
            QCOMPARE(outcome.response.message, message);
        QVERIFY(!outcome.response.message.contains("html"));
        const QJsonValue value = outcome.response.data;
        QTEST(value.isNull()     ? QByteArray("null")
              : value.isObject() ? QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact)
                                 : QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact),
              "data");
    }

    void whatGoesOnTheWire()
    {
        m_server.script("/op?x=1", {200, R"({"code":200,"message":"ok"})"});
        m_server.script("/op", {200, R"({"code":200,"message":"ok"})"});
        const QJsonObject body{{"email", "a@b.cd"}, {"newPassword", "p w"}};
        for (const char *method : {"post", "put", "get", "delete"})
            QVERIFY(call("/op?x=1", method, body).success);
        QCOMPARE(m_server.requests.size(), 4);
        const QByteArray verbs[] = {"POST", "PUT", "GET", "DELETE"};
        for (int i = 0; i < 4; ++i) {
            const RecordedRequest &request = m_server.requests.at(i);
            QCOMPARE(request.method, verbs[i]);
            QCOMPARE(request.path, QByteArray("/op?x=1"));
            QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
            QVERIFY(!request.headers.contains("authorization"));
            // Indented, as the service's logs show it; same content as compact.
            QVERIFY2(i >= 2 || request.body.contains("{\n    \""), request.body.constData());
            QCOMPARE(QJsonDocument::fromJson(request.body).object(), i < 2 ? body : QJsonObject());
            QCOMPARE(request.body.isEmpty(), i >= 2);
        }

        // Unknown methods (exact case only) send nothing and never report.
        for (const char *method : {"POST", "Get", "patch", ""}) {
            const Outcome outcome = call("/op", method, body);
            QVERIFY(!outcome.sent);
            QCOMPARE(outcome.reports, 0);
        }
        QVERIFY(call("/op", "get").success); // would queue behind anything sent before
        QCOMPARE(m_server.requests.size(), 5);

        m_server.requests.clear();
        call("/op", "put", {}, QStringLiteral("tok-\u00e9"));
        call("/op", "put", {}, QString()); // a logged-out session's token
        QCOMPARE(m_server.requests[0].headers.value("authorization"), "Bearer tok-\xc3\xa9");
        QCOMPARE(m_server.requests[1].headers.value("authorization"), "Bearer ");
    }

    // Passwords leave this computer only over https unless the user said otherwise.
    void transportRules_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("insecure");
        QTest::addColumn<bool>("allowed");
        const auto row = [](const char *url, const char *insecure, bool allowed) {
            QTest::newRow(url) << QString(url) << QString(insecure) << allowed;
        };
        row("https://accounts.example/user/login", "", true);
        row("http://accounts.example:8790/x", "", false);
        row("http://accounts.example/x", "true", true);
        row("http://127.0.0.2:1/x", "", true);
        row("http://[::1]:1/x", "", true);
        row("http://LocalHost:1/x", "", true);
        row("ftp://accounts.example/x", "true", false);
    }

    void transportRules()
    {
        QFETCH(QString, url);
        QFETCH(QString, insecure);
        writeAppSetting("account_insecure", insecure.isEmpty() ? QVariant() : QVariant(insecure));
        QTEST(AccountEndpoint::isAllowed(QUrl(url)), "allowed");
        writeAppSetting("account_insecure", {});
    }

    // Refusals report like failed transfers: nobody listening, a refused address, an oversized
    // reply.
    void refusedTransfers()
    {
        const auto failure = [](const Outcome &outcome) {
            return QVariantList{outcome.reports, outcome.success, outcome.response.code,
                                outcome.response.message};
        };
        m_server.script("/big", {200, QByteArray(2 * PXRequest::MaxReplyBytes, ' ') + "{}"});
        QCOMPARE(
            failure(call("/big", "get")),
            (QVariantList{1, false, 0, "The account service sent a reply that is too large."}));
        qputenv("PARVIX_ACCOUNT_URL", "http://accounts.example:8790");
        QCOMPARE(failure(call("/user/login", "post", {{"password", "secret"}})),
                 (QVariantList{1, false, 0, "The account service address must use https."}));

        QTcpServer closed; // a port nobody listens on any more
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        qputenv("PARVIX_ACCOUNT_URL",
                "http://127.0.0.1:" + QByteArray::number(closed.serverPort()));
        closed.close();
        const QVariantList refused = failure(call("/anything", "get"));
        QCOMPARE(refused.mid(0, 3), (QVariantList{1, false, 0}));
        QVERIFY(!refused.at(3).toString().isEmpty());
    }

    // The environment beats the setting, the setting beats the loopback default.
    void serviceAddress()
    {
        writeAppSetting("account_url", "http://192.0.2.1:1/");
        QCOMPARE(PXRequest(nullptr).baseUrl(), m_server.baseUrl());

        qunsetenv("PARVIX_ACCOUNT_URL");
        QCOMPARE(PXRequest(nullptr).baseUrl(), QStringLiteral("http://192.0.2.1:1"));
        writeAppSetting("account_url", m_server.baseUrl() + "/");
        writeAppSetting("account_path_login", "/v2/session");
        m_server.script("/v2/session", {200, R"({"code":200,"message":"moved"})"});
        QCOMPARE(
            call(AccountEndpoint::path(AccountEndpoint::Operation::Login), "post").response.message,
            QStringLiteral("moved"));

        writeAppSetting("account_url", {});
        writeAppSetting("account_path_login", {});
        QCOMPARE(PXRequest(nullptr).baseUrl(), QStringLiteral("http://127.0.0.1:8790"));
        QCOMPARE(AccountEndpoint::path(AccountEndpoint::Operation::Login),
                 QStringLiteral("/user/login"));
    }

    void login_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("success");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message"); // empty: any non-empty text
        QTest::addColumn<bool>("verified");
        const auto row = [](const char *name, int status, const QByteArray &body, bool success,
                            int code, const char *message, bool verified = false) {
            QTest::newRow(name) << status << body << success << code << QString(message)
                                << verified;
        };
        row("accepted", 200, kLoginReply, true, 200, "Login successful.", true);
        row("verified missing", 200,
            R"({"code":200,"message":"ok","data":{"token":"tk-1","user":{"id":"u1"}}})", true, 200,
            "ok");
        row("no token", 200, R"({"code":200,"message":"ok","data":{"user":{"id":"u1"}}})", false,
            200, "The account service did not return a login token.");
        row("refused in the envelope", 200,
            R"({"code":401,"message":"Wrong email or password.","data":{"token":"tk-1"}})", false,
            401, "Wrong email or password.");
        row("refused by status", 429, R"({"code":429,"message":"Too many failed login attempts."})",
            false, 429, "Too many failed login attempts.");
        row("not the service", 200, "<html>captive portal</html>", false, 0,
            "The account service sent an unexpected reply.");
        row("gateway error", 502, "Bad Gateway", false, 0, "");
    }

    void login()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, success);
        QFETCH(QString, message);
        m_server.script("/user/login", {status, body});
        QSignalSpy state(m_session.get(), &UserSession::loginStateChanged);
        const AuthOutcome report = ::login(m_auth.get(), "a@b.cd", "password1");
        QCOMPARE(report.reports, 1);
        QCOMPARE(report.success, success);
        QTEST(report.code, "code");
        QCOMPARE(message.isEmpty() ? QString() : report.message, message);
        QVERIFY(!report.message.isEmpty());
        // The signal's success and the session agree, and the session is persisted.
        QCOMPARE(m_session->isLoggedIn(), success);
        QCOMPARE(state.size(), success ? 1 : 0);
        QCOMPARE(UserSession(nullptr).getToken(), success ? QStringLiteral("tk-1") : QString());
        QTEST(m_session->isVerified(), "verified");

        // A failed login leaves an earlier session alone.
        m_session->saveLoginSession("old-token", user("old", "", false));
        m_server.script("/user/login", {200, R"({"code":200,"message":"ok","data":{}})"});
        QVERIFY(!::login(m_auth.get(), "a@b.cd", "password1").success);
        QCOMPARE(m_session->getToken(), QStringLiteral("old-token"));
    }

    // Register, reset link and password change succeed only on the service's code 200.
    void otherOperations_data()
    {
        QTest::addColumn<QString>("operation");
        for (const char *operation : {"register", "reset", "change"})
            QTest::newRow(operation) << operation;
    }

    void otherOperations()
    {
        QFETCH(QString, operation);
        const QByteArray path = operation == "register" ? "/user/register"
                                : operation == "reset"  ? "/user/password/resetlink"
                                                        : "/user/password/change";
        Authentication *auth = m_auth.get();
        const auto run = [&](const QByteArray &reply) {
            m_server.script(path, {200, reply});
            if (operation == "register")
                return await(auth, &Authentication::registerFinished,
                             [&] { auth->register_user_async("a@b.cd"); });
            if (operation == "reset")
                return await(auth, &Authentication::sendResetLinkFinished,
                             [&] { auth->sendResetLink_async("a@b.cd"); });
            return await(auth, &Authentication::changePasswordFinished,
                         [&] { auth->changePassword_async("old-pass", "new-pass"); });
        };
        AuthOutcome report = run(R"({"code":200,"message":"Done."})");
        QVERIFY(report.success);
        QCOMPARE(report.message, QStringLiteral("Done."));
        report = run(R"({"code":409,"message":"Already there."})");
        QCOMPARE(QVariantList({report.success, report.code, report.message}),
                 QVariantList({false, 409, "Already there."}));
        report = run("{}");
        QCOMPARE(QVariantList({report.success, report.code}), QVariantList({false, 0}));
        QVERIFY(!report.message.isEmpty());
    }

    void versionLookup()
    {
        ReleaseLookup config(nullptr);
        QSignalSpy changed(&config, &ReleaseLookup::appInfoChanged);
        const auto lookup = [&](int status, const QByteArray &body) {
            m_server.script("/app/info", {status, body});
            config.lookup();
            // The request object goes away once its reply has been handled.
            QVERIFY(QTest::qWaitFor([&] { return config.findChildren<PXRequest *>().isEmpty(); },
                                    10000));
        };
        lookup(200, R"({"code":200,"data":{"app_name":"Parvix X","app_version":"2.0.0"}})");
        QCOMPARE(changed.size(), 1);
        QCOMPARE(config.appInfo().appName + ' ' + config.appInfo().appVersion, "Parvix X 2.0.0");
        QCOMPARE(m_server.requests.last().method, QByteArray("GET"));

        // Refusals and failed transfers leave the announced release alone.
        lookup(200, R"({"code":500,"data":{"app_version":"9"}})");
        lookup(503, R"({"code":503,"message":"maintenance","data":{"app_version":"9"}})");
        lookup(200, "not json");
        QCOMPARE(changed.size(), 1);
        QCOMPARE(config.appInfo().appVersion, QStringLiteral("2.0.0"));

        lookup(200, R"({"code":200,"data":{"app_name":"Parvix Y"}})");
        QCOMPARE(changed.size(), 2);
        QCOMPARE(config.appInfo().appVersion, QString());

        // Only a later release is news.
        const AppConfig app(nullptr);
        const QVersionNumber now = QVersionNumber::fromString(app.currentVersion());
        const QVersionNumber patch(now.majorVersion(), now.minorVersion(), now.microVersion() + 1);
        QVERIFY(app.isNewerVersion(patch.toString()));
        QVERIFY(app.isNewerVersion(QString::number(now.majorVersion() + 1)));
        for (const QString &notNewer : {now.toString(), QString("0.9.9"), QString(),
                                        QString("<b>9.0</b>"), QString("99.0 beta")})
            QVERIFY2(!app.isNewerVersion(notNewer), qPrintable(notNewer));
    }

    void sessionStoreRestartNoOpsAndClearing()
    {
        UserSession session(nullptr);
        QVERIFY(!session.isLoggedIn());
        QStringList order; // bindings on both see a logged-in user with its details
        connect(&session, &UserSession::loginStateChanged, [&] { order << "state"; });
        connect(&session, &UserSession::userInfoChanged, [&] { order << "info"; });
        session.saveLoginSession("token-1", user("u1", "a@b.cd", true));
        // A refreshed login changes the user, not the login state; no token changes nothing.
        session.saveLoginSession("token-2", user("u2", "e@f.gh", false));
        session.saveLoginSession(QString(), user("u9", "x@y.zz", true));
        QCOMPARE(order, (QStringList{"state", "info", "info"}));
        QCOMPARE(session.userId(), QStringLiteral("u2"));
        auto disk = store("UserSession");
        QVERIFY(QFile::exists(disk->fileName()) &&
                !(QFile::permissions(disk->fileName()) & (QFile::ReadGroup | QFile::ReadOther)));
        QCOMPARE((QVariantList{disk->value("session/token"), disk->value("session/user_id"),
                               disk->value("session/user_email"),
                               disk->value("session/user_verified").toBool()}),
                 (QVariantList{"token-2", "u2", "e@f.gh", false}));

        disk->setValue("session/user_verified", true);
        disk->sync();
        UserSession restarted(nullptr);
        QVERIFY(restarted.isLoggedIn() && restarted.isVerified());
        QCOMPARE((QStringList{restarted.getToken(), restarted.userId(), restarted.userEmail()}),
                 (QStringList{"token-2", "u2", "e@f.gh"}));

        order.clear();
        session.clearSession();
        QCOMPARE(order, (QStringList{"state", "info"}));
        QVERIFY(!session.isLoggedIn() && !session.isVerified() && session.userId().isEmpty());
        QVERIFY(session.getToken().isEmpty());
        QVERIFY(!UserSession(nullptr).isLoggedIn());
        session.saveLoginSession("", user("u9", "x@y.zz", true));
        QVERIFY(!session.isLoggedIn());
        QVERIFY(session.userEmail().isEmpty());
        QVERIFY(store("UserSession")->allKeys().isEmpty());

        // Logged out already: the store is still cleared (keys another run left there), and
        // only the user information is announced.
        store("UserSession")->setValue("session/stale", "x");
        session.clearSession();
        QCOMPARE(order, (QStringList{"state", "info", "info"}));
        QVERIFY(!store("UserSession")->contains("session/stale"));
    }

    void qmlHandsUserInfoToTheSharedSession()
    {
        registerParvixTypes();
        QQmlEngine engine;
        engine.addImportPath(QStringLiteral("qrc:/"));
        QQmlComponent component(&engine);
        component.setData(R"(
            import QtQuick
            import Parvix
            QtObject {
                property var session: UserSession
                Component.onCompleted: UserSession.saveLoginSession(
                    "qml-token", {id: "q1", email: "q@m.lx", verified: true})
                property bool loggedIn: UserSession.isLoggedIn
                property string email: UserSession.userEmail
            })",
                          QUrl());
        std::unique_ptr<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        UserSession *shared = UserSession::instance();
        QCOMPARE(root->property("session").value<QObject *>(), shared);
        QCOMPARE(
            (QStringList{shared->getToken(), shared->userId(), root->property("email").toString()}),
            (QStringList{"qml-token", "q1", "q@m.lx"}));
        QVERIFY(shared->isVerified() && root->property("loggedIn").toBool());
        shared->clearSession();
        QVERIFY(!root->property("loggedIn").toBool());
    }
};

PARVIX_TEST(AccountClientTest)
#include "accountclienttest.moc"
