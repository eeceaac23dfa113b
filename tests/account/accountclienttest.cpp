// The account client against a scripted service, and the login session's store.
#include "accountendpoint.h"
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
using ScriptedReply = std::pair<int, QByteArray>; // status, body

// Records each request and answers its path as scripted (404 otherwise), one per connection.
class ScriptedHttpServer : public QTcpServer
{
public:
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }
    void script(const QByteArray &path, const ScriptedReply &reply) { m_replies[path] = reply; }
    QList<QByteArray> requests; // request line and headers, as they came

protected:
    void incomingConnection(qintptr handle) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(handle);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(
            socket, &QTcpSocket::readyRead, this, [this, socket, buffer = QByteArray()]() mutable {
                static const QRegularExpression length(QStringLiteral("\r\ncontent-length: (\\d+)"),
                                                       QRegularExpression::CaseInsensitiveOption);
                buffer += socket->readAll();
                const QByteArray head = buffer.left(buffer.indexOf("\r\n\r\n") + 2);
                const int bodySize = length.match(QString::fromLatin1(head)).captured(1).toInt();
                if (head.size() < 2 || buffer.size() < head.size() + 2 + bodySize)
                    return;
                requests.append(head);
                const auto [status, body] = m_replies.value(head.split(' ').value(1), {404, {}});
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
        // message "*": any text
        addColumns<int, QByteArray, int, QString>({"status", "body", "code", "message"});
        addRow("code as text", 200, QByteArray(R"({"code":"200","message":7})"), 0, "");
        addRow("error status, envelope", 401,
               QByteArray(R"({"code":401,"message":"No.","data":null})"), 401, "No.");
        addRow("error status, a proxy's page", 401, QByteArray("<html>Unauthorized</html>"), 0,
               "*");
        addRow("error status, a code without message", 500, QByteArray(R"({"code":500})"), 0, "*");
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
    }

    void whatGoesOnTheWireAndWhere()
    {
        m_server.script("/op?x=1", {200, R"({"code":200,"message":"ok"})"});
        for (const QByteArray method : {"post", "put", "get", "delete"}) {
            QVERIFY(call("/op?x=1", method).success);
            const QByteArray head = m_server.requests.last();
            QVERIFY2(head.startsWith(method.toUpper() + " /op?x=1 HTTP/1.1\r\n"), head.constData());
            QVERIFY2(!head.toLower().contains("\nauthorization:"), head.constData());
        }

        // Unknown methods (exact case only) send nothing and never report.
        const Outcome unknown = call("/op", "POST");
        QVERIFY(!unknown.sent && unknown.reports == 0);
        QVERIFY(call("/op?x=1", "get").success); // would queue behind anything sent before
        QCOMPARE(m_server.requests.size(), 5);

        call("/op", "put", {}, QString()); // a logged-out session's token
        QVERIFY(m_server.requests.last().contains("\r\nAuthorization: Bearer \r\n"));

        // Passwords leave only over https unless the user said otherwise; refusals fail it.
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

        const std::tuple<const char *, const char *, bool> rules[] = {
            {"https://accounts.example/user/login", "", true},
            {"http://accounts.example:8790/x", "", false},
            {"http://accounts.example/x", "true", true},
            {"http://127.0.0.2:1/x", "", true},
            {"http://LocalHost:1/x", "", true},
            {"ftp://accounts.example/x", "true", false}};
        for (const auto &[url, insecure, allowed] : rules) {
            store()->setValue("app_settings/account_insecure", insecure);
            QVERIFY2(AccountEndpoint::isAllowed(QUrl(url)) == allowed, url);
        }

        // The environment beats the setting, the setting beats the loopback default.
        store()->setValue("app_settings/account_url", "http://192.0.2.1:1/");
        QCOMPARE(PXRequest(nullptr).baseUrl(), QStringLiteral("http://accounts.example:8790"));

        qunsetenv("PARVIX_ACCOUNT_URL");
        QCOMPARE(PXRequest(nullptr).baseUrl(), QStringLiteral("http://192.0.2.1:1"));
        store()->setValue("app_settings/account_url", m_server.baseUrl() + "/");
        store()->setValue("app_settings/account_path_login", "/v2/session");
        m_server.script("/v2/session", {200, kLoginReply});
        QVERIFY(::login(m_auth.get(), "a@b.cd", "password1").success);

        store()->remove("app_settings");
        QCOMPARE(PXRequest(nullptr).baseUrl(), QStringLiteral("http://127.0.0.1:8790"));
    }

    void login_data()
    {
        addColumns<QByteArray, bool, int, QString>({"body", "success", "code", "message"});
        QTest::newRow("accepted") << kLoginReply << true << 200 << "Login successful.";
        QTest::newRow("no token")
            << QByteArray(R"({"code":200,"message":"ok","data":{"user":{"id":"u1"}}})") << false
            << 200 << "The account service did not return a login token.";
        QTest::newRow("refused in the envelope")
            << QByteArray(R"({"code":401,"message":"No.","data":{"token":"t"}})") << false << 401
            << "No.";
        QTest::newRow("not the service") << QByteArray("<html>captive portal</html>") << false << 0
                                         << "The account service sent an unexpected reply.";
    }

    void login()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, success);
        m_server.script("/user/login", {200, body});
        m_session->saveLoginSession("old-token", {"old", "", false}); // a failure leaves it alone
        const AuthOutcome report = ::login(m_auth.get(), "a@b.cd", "password1");
        QCOMPARE(report.reports, 1);
        QCOMPARE(report.success, success);
        QTEST(report.code, "code");
        QTEST(report.message, "message");
        QCOMPARE(UserSession(nullptr).getToken(),
                 success ? QStringLiteral("tk-1") : QStringLiteral("old-token"));
        QCOMPARE(m_session->isVerified(), success); // only the accepted reply says verified
    }

    // Refused changes and reset links: tst_accountdialogs.qml against accountd.
    void registrationRefusedInA200Reply()
    {
        m_server.script("/user/register", {200, R"({"code":409,"message":"Already there."})"});
        const AuthOutcome report = await(m_auth.get(), &Authentication::registerFinished,
                                         [&] { m_auth->register_user_async("a@b.cd"); });
        QCOMPARE((QVariantList{report.success, report.code, report.message}),
                 (QVariantList{false, 409, "Already there."}));
        m_server.script("/user/password/resetlink", {200, R"({"code":404,"message":"Unknown."})"});
        const AuthOutcome reset = await(m_auth.get(), &Authentication::sendResetLinkFinished,
                                        [&] { m_auth->sendResetLink_async("a@b.cd"); });
        QCOMPARE((QVariantList{reset.success, reset.code, reset.message}),
                 (QVariantList{false, 404, "Unknown."}));
    }

    void versionLookup()
    {
        ReleaseLookup config(nullptr);
        QSignalSpy changed(&config, &ReleaseLookup::appInfoChanged);
        const auto lookup = [&](int status, const QByteArray &body) {
            m_server.script("/app/info", {status, body});
            config.lookup();
            QVERIFY(QTest::qWaitFor([&] { return config.findChildren<PXRequest *>().isEmpty(); },
                                    10000));
        };
        lookup(200, R"({"code":200,"data":{"app_name":"Parvix X","app_version":"2.0.0"}})");
        QCOMPARE(changed.size(), 1);
        QCOMPARE(config.appInfo().appName + ' ' + config.appInfo().appVersion, "Parvix X 2.0.0");
        QVERIFY(m_server.requests.last().startsWith("GET /app/info HTTP/1.1\r\n"));

        lookup(200, R"({"code":500,"data":{"app_version":"9"}})");
        lookup(503, R"({"code":503,"message":"maintenance","data":{"app_version":"9"}})");
        QCOMPARE(changed.size(), 1);
        QCOMPARE(config.appInfo().appVersion, QStringLiteral("2.0.0"));

        // Only a later release is news.
        const AppConfig app(nullptr);
        const QVersionNumber now = QVersionNumber::fromString(app.currentVersion());
        const QVersionNumber patch(now.majorVersion(), now.minorVersion(), now.microVersion() + 1);
        QVERIFY(app.isNewerVersion(patch.toString()));
        for (const QString &notNewer :
             {now.toString(), QString("<b>9.0</b>"), QString("99.0 beta")})
            QVERIFY2(!app.isNewerVersion(notNewer), qPrintable(notNewer));
    }

    void sessionStoreRestartNoOpsAndClearing()
    {
        UserSession session(nullptr);
        QStringList order; // bindings on both see a logged-in user with its details
        connect(&session, &UserSession::loginStateChanged, [&] { order << "state"; });
        connect(&session, &UserSession::userInfoChanged, [&] { order << "info"; });
        session.saveLoginSession("token-1", {"u1", "a@b.cd", false});
        // A refreshed login changes the user, not the login state; no token changes nothing.
        session.saveLoginSession("token-2", {"u2", "e@f.gh", true});
        session.saveLoginSession(QString(), {"u9", "x@y.zz", false});
        QCOMPARE(order, (QStringList{"state", "info", "info"}));
        const QString file = store("UserSession")->fileName();
        QVERIFY(QFile::exists(file) &&
                !(QFile::permissions(file) & (QFile::ReadGroup | QFile::ReadOther)));
        UserSession restarted(nullptr);
        QCOMPARE((QVariantList{restarted.isLoggedIn(), restarted.getToken(), restarted.userId(),
                               restarted.userEmail(), restarted.isVerified()}),
                 (QVariantList{true, "token-2", "u2", "e@f.gh", true}));

        order.clear();
        session.clearSession();
        QCOMPARE(order, (QStringList{"state", "info"}));
        QVERIFY(!session.isLoggedIn() && !session.isVerified() && session.userId().isEmpty() &&
                session.getToken().isEmpty());
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
                Component.onCompleted: UserSession.saveLoginSession(
                    "qml-token", {id: "q1", email: "q@m.lx", verified: true})
            })",
                          QUrl());
        std::unique_ptr<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        UserSession *shared = UserSession::instance();
        QCOMPARE((QVariantList{shared->getToken(), shared->userId(), shared->userEmail(),
                               shared->isVerified()}),
                 (QVariantList{"qml-token", "q1", "q@m.lx", true}));
        shared->clearSession();
    }
};

PARVIX_TEST(AccountClientTest)
#include "accountclienttest.moc"
