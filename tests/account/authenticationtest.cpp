// Account operations against a scripted service: an operation counts as done only
// when the service's code says so, a login only when the session holds the returned
// token; the service's message reaches the caller. Also the version lookup.
#include "apiresponse.h"
#include "appconfig.h"
#include "authoutcome.h"
#include "pxrequest.h"
#include "releaselookup.h"
#include "scriptedhttpserver.h"
#include "testregistry.h"
#include "usersession.h"

#include <QVersionNumber>
#include <QtTest>
#include <memory>

namespace {
const QByteArray kLoginReply =
    R"({"code":200,"message":"Login successful.","data":{"token":"tk-1","user":{"id":"u1","email":"a@b.cd","verified":true}}})";
} // namespace

class AuthenticationTest : public QObject
{
    Q_OBJECT

    ScriptedHttpServer m_server;
    std::unique_ptr<UserSession> m_session;
    std::unique_ptr<Authentication> m_auth;

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        qputenv("PARVIX_ACCOUNT_URL", m_server.baseUrl().toUtf8());
    }
    void cleanupTestCase() { qunsetenv("PARVIX_ACCOUNT_URL"); }
    void init()
    {
        m_server.requests.clear();
        m_session = std::make_unique<UserSession>(nullptr);
        m_session->clearSession();
        m_auth = std::make_unique<Authentication>(m_session.get(), nullptr);
    }

    void login_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("success");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message"); // empty: any non-empty text
        QTest::addColumn<bool>("verified");
        QTest::newRow("accepted") << 200 << kLoginReply << true << 200 << "Login successful."
                                  << true;
        QTest::newRow("verified missing")
            << 200
            << QByteArray(
                   R"({"code":200,"message":"ok","data":{"token":"tk-1","user":{"id":"u1"}}})")
            << true << 200 << "ok" << false;
        QTest::newRow("no token")
            << 200 << QByteArray(R"({"code":200,"message":"ok","data":{"user":{"id":"u1"}}})")
            << false << 200 << "The account service did not return a login token." << false;
        QTest::newRow("refused in the envelope")
            << 200
            << QByteArray(
                   R"({"code":401,"message":"Wrong email or password.","data":{"token":"tk-1"}})")
            << false << 401 << "Wrong email or password." << false;
        QTest::newRow("refused by status")
            << 429 << QByteArray(R"({"code":429,"message":"Too many failed login attempts."})")
            << false << 429 << "Too many failed login attempts." << false;
        QTest::newRow("not the service")
            << 200 << QByteArray("<html>captive portal</html>") << false << 0
            << "The account service sent an unexpected reply." << false;
        QTest::newRow("gateway error")
            << 502 << QByteArray("Bad Gateway") << false << 0 << "" << false;
    }

    void login()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, success);
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(bool, verified);
        m_server.script("/user/login", {status, body});
        QSignalSpy state(m_session.get(), &UserSession::loginStateChanged);
        const AuthOutcome report = ::login(m_auth.get(), "a@b.cd", "password1");
        QCOMPARE(report.reports, 1);
        QCOMPARE(report.success, success);
        QCOMPARE(report.code, code);
        if (message.isEmpty())
            QVERIFY(!report.message.isEmpty());
        else
            QCOMPARE(report.message, message);
        // The signal's success and the session agree, and the session is persisted.
        QCOMPARE(m_session->isLoggedIn(), success);
        QCOMPARE(state.size(), success ? 1 : 0);
        QCOMPARE(UserSession(nullptr).getToken(), success ? QStringLiteral("tk-1") : QString());
        QCOMPARE(m_session->isVerified(), verified);
    }

    // A failed login leaves an earlier session alone.
    void failedLoginKeepsSession()
    {
        UserInfo info;
        info.id = "old";
        m_session->saveLoginSession("old-token", info);
        m_server.script("/user/login", {200, R"({"code":200,"message":"ok","data":{}})"});
        const AuthOutcome report = ::login(m_auth.get(), "a@b.cd", "password1");
        QCOMPARE(report.reports, 1);
        QVERIFY(!report.success);
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
        const auto run = [&] {
            if (operation == "register")
                return await(auth, &Authentication::registerFinished,
                             [&] { auth->register_user_async("a@b.cd"); });
            if (operation == "reset")
                return await(auth, &Authentication::sendResetLinkFinished,
                             [&] { auth->sendResetLink_async("a@b.cd"); });
            return await(auth, &Authentication::changePasswordFinished,
                         [&] { auth->changePassword_async("old-pass", "new-pass"); });
        };
        m_server.script(path, {200, R"({"code":200,"message":"Done."})"});
        AuthOutcome report = run();
        QVERIFY(report.success);
        QCOMPARE(report.message, QStringLiteral("Done."));

        m_server.script(path, {200, R"({"code":409,"message":"Already there."})"});
        report = run();
        QVERIFY(!report.success);
        QCOMPARE(report.code, 409);
        QCOMPARE(report.message, QStringLiteral("Already there."));

        m_server.script(path, {200, "{}"});
        report = run();
        QVERIFY(!report.success);
        QCOMPARE(report.code, 0);
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
        QCOMPARE(config.appInfo().appName, QStringLiteral("Parvix X"));
        QCOMPARE(config.appInfo().appVersion, QStringLiteral("2.0.0"));
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
    }

    // Only a later release is news.
    void newerVersion_data()
    {
        QTest::addColumn<QString>("announced");
        QTest::addColumn<bool>("newer");
        const QVersionNumber current =
            QVersionNumber::fromString(AppConfig(nullptr).currentVersion());
        QTest::newRow("same") << current.toString() << false;
        QTest::newRow("next patch")
            << QVersionNumber(current.majorVersion(), current.minorVersion(),
                              current.microVersion() + 1)
                   .toString()
            << true;
        QTest::newRow("next major") << QString::number(current.majorVersion() + 1) << true;
        QTest::newRow("older") << "0.9.9" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("not a version") << "<b>9.0</b>" << false;
        QTest::newRow("trailing text") << "99.0 beta" << false;
    }

    void newerVersion()
    {
        QFETCH(QString, announced);
        QFETCH(bool, newer);
        QCOMPARE(AppConfig(nullptr).isNewerVersion(announced), newer);
    }
};

PARVIX_TEST(AuthenticationTest)
#include "authenticationtest.moc"
