// The account client against a scripted service: the request layer, the account operations
// (done only on the service's code 200), the version lookup and the login session's store.
#include "accountendpoint.h"
#include "apiresponse.h"
#include "appconfig.h"
#include "authoutcome.h"
#include "datatable.h"
#include "pxrequest.h"
#include "releaselookup.h"
#include "testregistry.h"
#include "typeregistration.h"
#include "usersession.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtQml/QQmlExtensionPlugin>
#include <QtTest>
#include <memory>
#include <optional>

Q_IMPORT_QML_PLUGIN(ParvixPlugin)

namespace {
struct RecordedRequest
{
    QByteArray method;
    QByteArray path;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

using ScriptedReply = std::pair<int, QByteArray>; // status, body

// Records each request and answers its path as scripted (404 otherwise), one per connection.
class ScriptedHttpServer : public QTcpServer
{
public:
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }
    void script(const QByteArray &path, const ScriptedReply &reply) { m_replies[path] = reply; }
    QList<RecordedRequest> requests;

protected:
    void incomingConnection(qintptr handle) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(handle);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(
            socket, &QTcpSocket::readyRead, this, [this, socket, buffer = QByteArray()]() mutable {
                buffer += socket->readAll();
                const qsizetype end = buffer.indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                RecordedRequest request;
                const QList<QByteArray> lines = buffer.left(end + 2).split('\n');
                request.method = lines[0].split(' ').value(0);
                request.path = lines[0].split(' ').value(1);
                for (const QByteArray &line : lines.mid(1, lines.size() - 2)) {
                    const qsizetype colon = line.indexOf(':');
                    // Values keep their trailing spaces: "Bearer " arrives as is.
                    request.headers.insert(line.left(colon).toLower(),
                                           line.mid(colon + 2).chopped(1));
                }
                request.body = buffer.mid(end + 4, request.headers.value("content-length").toInt());
                if (request.body.size() < request.headers.value("content-length").toInt())
                    return;
                requests.append(request);
                const auto [status, body] = m_replies.value(request.path, {404, {}});
                socket->write("HTTP/1.1 " + QByteArray::number(status) +
                              " Scripted\r\nContent-Type: application/json\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
                              body);
                socket->disconnectFromHost();
            });
    }

private:
    QHash<QByteArray, ScriptedReply> m_replies;
};

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
    PXRequest request(nullptr);
    QSignalSpy spy(&request, &PXRequest::requestFinished);
    const bool sent = request.request(path, body, method, token);
    if (sent && spy.isEmpty())
        (void)spy.wait(10000);
    QCoreApplication::processEvents(); // a second report would show here
    const QList<QVariant> first = spy.value(0);
    return {sent, int(spy.size()), first.value(0).toBool(), first.value(1).value<APIResponse>()};
}

std::unique_ptr<QSettings> store(const char *name = "Application")
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Parvix",
                                       name);
}
} // namespace

class AccountClientTest : public QObject
{
    Q_OBJECT

    ScriptedHttpServer m_server;
    std::unique_ptr<UserSession> m_session;
    std::unique_ptr<Authentication> m_auth;

private slots:
    void initTestCase() { QVERIFY(m_server.listen(QHostAddress::LocalHost)); }
    void init()
    {
        qputenv("PARVIX_ACCOUNT_URL", m_server.baseUrl().toUtf8());
        m_server.requests.clear();
        store()->remove("app_settings");
        m_session = std::make_unique<UserSession>(nullptr);
        m_session->clearSession(); // also empties the store
        m_auth = std::make_unique<Authentication>(m_session.get(), nullptr);
    }
    void cleanupTestCase() { qunsetenv("PARVIX_ACCOUNT_URL"); }

    // The transfer fails on an error status, but a service envelope still tells why.
    void envelopeIsRead_data()
    {
        // message "*": any text; data: the data as compact JSON
        addColumns<int, QByteArray, int, QString, QByteArray>(
            {"status", "body", "code", "message", "data"});
        const auto row = [](const char *name, int status, const QByteArray &body, int code,
                            const char *message, const char *data = "[null]") {
            QTest::newRow(name) << status << body << code << QString(message) << QByteArray(data);
        };
        row("whole envelope", 200,
            R"({"code":200,"message":"Fine","data":{"token":"t","n":[1,2]}})", 200, "Fine",
            R"([{"n":[1,2],"token":"t"}])");
        row("no data", 200, R"({"code":409,"message":"taken"})", 409, "taken");
        row("data not an object", 200, R"({"code":200,"data":[1]})", 200, "", "[[1]]");
        row("code as text", 200, R"({"code":"200","message":7})", 0, "");
        row("not JSON", 200, "<html>gateway</html>", 0, "");
        row("error status, envelope", 401,
            R"({"code":401,"message":"Wrong email or password.","data":null})", 401,
            "Wrong email or password.");
        row("error status, a proxy's page", 401, "<html>Unauthorized</html>", 0, "*");
        row("error status, a code without message", 500, R"({"code":500})", 0, "*");
    }

    void envelopeIsRead()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        m_server.script("/envelope", {status, body});
        const Outcome outcome = call("/envelope", status == 200 ? "get" : "post", {{"e", "a"}});
        QCOMPARE(outcome.reports, 1);
        QCOMPARE(outcome.success, status == 200);
        QTEST(outcome.response.code, "code");
        if (message == "*")
            QVERIFY(!outcome.response.message.isEmpty());
        else
            QCOMPARE(outcome.response.message, message);
        QVERIFY(!outcome.response.message.contains("html"));
        QTEST(QJsonDocument(QJsonArray{outcome.response.data}).toJson(QJsonDocument::Compact),
              "data");
    }

    void whatGoesOnTheWire()
    {
        m_server.script("/op?x=1", {200, R"({"code":200,"message":"ok"})"});
        m_server.script("/op", {200, R"({"code":200,"message":"ok"})"});
        const QJsonObject body{{"email", "a@b.cd"}, {"newPassword", "p w"}};
        for (const QByteArray method : {"post", "put", "get", "delete"}) {
            QVERIFY(call("/op?x=1", method, body).success);
            const RecordedRequest request = m_server.requests.last();
            QCOMPARE(request.method, method.toUpper());
            QCOMPARE(request.path, QByteArray("/op?x=1"));
            QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
            QVERIFY(!request.headers.contains("authorization"));
            // Indented, as the service's logs show it.
            QCOMPARE(request.body, method.startsWith("p") ? QJsonDocument(body).toJson() : "");
        }

        // Unknown methods (exact case only) send nothing and never report.
        for (const char *method : {"POST", "Get", "patch", ""}) {
            const Outcome outcome = call("/op", method, body);
            QVERIFY(!outcome.sent && outcome.reports == 0);
        }
        QVERIFY(call("/op", "get").success); // would queue behind anything sent before
        QCOMPARE(m_server.requests.size(), 5);

        call("/op", "put", {}, QStringLiteral("tok-\u00e9"));
        QCOMPARE(m_server.requests.last().headers.value("authorization"), "Bearer tok-\xc3\xa9");
        call("/op", "put", {}, QString()); // a logged-out session's token
        QCOMPARE(m_server.requests.last().headers.value("authorization"), "Bearer ");
    }

    // Passwords leave only over https unless the user said otherwise; refusals fail the transfer.
    void transportRulesAndRefusals()
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

        qputenv("PARVIX_ACCOUNT_URL", "http://127.0.0.1:1"); // nobody listens there
        const QVariantList refused = failure(call("/anything", "get"));
        QCOMPARE(refused.mid(0, 3), (QVariantList{1, false, 0}));
        QVERIFY(!refused.at(3).toString().isEmpty());
        const std::tuple<const char *, const char *, bool> rules[] = {
            {"https://accounts.example/user/login", "", true},
            {"http://accounts.example:8790/x", "", false},
            {"http://accounts.example/x", "true", true},
            {"http://127.0.0.2:1/x", "", true},
            {"http://[::1]:1/x", "", true},
            {"http://LocalHost:1/x", "", true},
            {"ftp://accounts.example/x", "true", false}};
        for (const auto &[url, insecure, allowed] : rules) {
            store()->setValue("app_settings/account_insecure", insecure);
            QVERIFY2(AccountEndpoint::isAllowed(QUrl(url)) == allowed, url);
        }
    }

    // The environment beats the setting, the setting beats the loopback default.
    void serviceAddress()
    {
        store()->setValue("app_settings/account_url", "http://192.0.2.1:1/");
        QCOMPARE(PXRequest(nullptr).baseUrl(), m_server.baseUrl());

        qunsetenv("PARVIX_ACCOUNT_URL");
        QCOMPARE(PXRequest(nullptr).baseUrl(), QStringLiteral("http://192.0.2.1:1"));
        store()->setValue("app_settings/account_url", m_server.baseUrl() + "/");
        store()->setValue("app_settings/account_path_login", "/v2/session");
        m_server.script("/v2/session", {200, kLoginReply});
        QVERIFY(::login(m_auth.get(), "a@b.cd", "password1").success);

        store()->remove("app_settings");
        QCOMPARE(PXRequest(nullptr).baseUrl(), QStringLiteral("http://127.0.0.1:8790"));
        QCOMPARE(AccountEndpoint::path(AccountEndpoint::Operation::Login),
                 QStringLiteral("/user/login"));
    }

    void login_data()
    {
        // message empty: any non-empty text
        addColumns<int, QByteArray, bool, int, QString, bool>(
            {"status", "body", "success", "code", "message", "verified"});
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
        m_session->saveLoginSession("old-token", {"old", "", false});
        m_server.script("/user/login", {200, R"({"code":200,"message":"ok","data":{}})"});
        QVERIFY(!::login(m_auth.get(), "a@b.cd", "password1").success);
        QCOMPARE(m_session->getToken(), QStringLiteral("old-token"));
    }

    // Register, reset link and password change succeed only on the service's code 200.
    void otherOperations()
    {
        Authentication *auth = m_auth.get();
        using Signal = void (Authentication::*)(bool, int, const QString &);
        const std::tuple<QByteArray, Signal, std::function<void()>> operations[] = {
            {"/user/register", &Authentication::registerFinished,
             [&] { auth->register_user_async("a@b.cd"); }},
            {"/user/password/resetlink", &Authentication::sendResetLinkFinished,
             [&] { auth->sendResetLink_async("a@b.cd"); }},
            {"/user/password/change", &Authentication::changePasswordFinished,
             [&] { auth->changePassword_async("old-pass", "new-pass"); }}};
        for (const auto &[path, signal, start] : operations) {
            QStringList reports;
            for (const char *reply : {R"({"code":200,"message":"Done."})",
                                      R"({"code":409,"message":"Already there."})", "{}"}) {
                m_server.script(path, {200, reply});
                const AuthOutcome report = await(auth, signal, start);
                reports << QStringLiteral("%1 %2 %3")
                               .arg(report.success)
                               .arg(report.code)
                               .arg(report.message);
            }
            QCOMPARE(reports.mid(0, 2), (QStringList{"1 200 Done.", "0 409 Already there."}));
            QVERIFY2(reports[2].startsWith("0 0 ") && reports[2].size() > 4, qPrintable(path));
        }
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
        QStringList order; // bindings on both see a logged-in user with its details
        connect(&session, &UserSession::loginStateChanged, [&] { order << "state"; });
        connect(&session, &UserSession::userInfoChanged, [&] { order << "info"; });
        session.saveLoginSession("token-1", {"u1", "a@b.cd", true});
        // A refreshed login changes the user, not the login state; no token changes nothing.
        session.saveLoginSession("token-2", {"u2", "e@f.gh", false});
        session.saveLoginSession(QString(), {"u9", "x@y.zz", true});
        QCOMPARE(order, (QStringList{"state", "info", "info"}));
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
        QVERIFY(!session.isLoggedIn() && !session.isVerified() && session.userId().isEmpty() &&
                session.getToken().isEmpty());
        session.saveLoginSession("", {"u9", "x@y.zz", true});
        QVERIFY(!session.isLoggedIn() && session.userEmail().isEmpty());
        QVERIFY(store("UserSession")->allKeys().isEmpty());

        // Logged out already: the store is still cleared, only the user information announced.
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
            })",
                          QUrl());
        std::unique_ptr<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        UserSession *shared = UserSession::instance();
        QCOMPARE(root->property("session").value<QObject *>(), shared);
        QCOMPARE((QStringList{shared->getToken(), shared->userId(), shared->userEmail()}),
                 (QStringList{"qml-token", "q1", "q@m.lx"}));
        QVERIFY(shared->isVerified() && root->property("loggedIn").toBool());
        shared->clearSession();
        QVERIFY(!root->property("loggedIn").toBool());
    }
};

PARVIX_TEST(AccountClientTest)
#include "accountclienttest.moc"
