// The request layer against a scripted local server: reading the reply envelope,
// error statuses, what goes on the wire per method, the Bearer header, and where the
// service's address comes from.
#include "accountendpoint.h"
#include "pxrequest.h"
#include "scriptedhttpserver.h"
#include "testregistry.h"

#include <QJsonDocument>
#include <QSettings>
#include <QTcpServer>
#include <QtTest>
#include <optional>

namespace {
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
                         ++outcome.reports;
                         outcome.success = success;
                         outcome.response = response;
                     });
    outcome.sent = request.request(path, body, method, token);
    if (outcome.sent)
        (void)QTest::qWaitFor([&outcome] { return outcome.reports > 0; }, 10000);
    QCoreApplication::processEvents(); // a second report would show here
    return outcome;
}

void writeAppSetting(const QString &key, const QVariant &value)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Parvix", "Application");
    if (value.isValid())
        store.setValue("app_settings/" + key, value);
    else
        store.remove("app_settings/" + key);
    store.sync();
}
} // namespace

class RequestLayerTest : public QObject
{
    Q_OBJECT

    ScriptedHttpServer m_server;

private slots:
    void initTestCase() { QVERIFY(m_server.start()); }
    void init()
    {
        qputenv("PARVIX_ACCOUNT_URL", m_server.baseUrl().toUtf8());
        m_server.requests.clear();
    }
    void cleanupTestCase() { qunsetenv("PARVIX_ACCOUNT_URL"); }

    void envelopeIsRead_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("data"); // compact JSON of the data, "null" for none
        QTest::newRow("whole envelope")
            << QByteArray(R"({"code":200,"message":"Fine","data":{"token":"t","n":[1,2]}})") << 200
            << "Fine" << QByteArray(R"({"n":[1,2],"token":"t"})");
        QTest::newRow("data null") << QByteArray(R"({"code":200,"message":"m","data":null})") << 200
                                   << "m" << QByteArray("null");
        QTest::newRow("no data") << QByteArray(R"({"code":409,"message":"taken"})") << 409
                                 << "taken" << QByteArray("null");
        QTest::newRow("data not an object")
            << QByteArray(R"({"code":200,"data":[1]})") << 200 << "" << QByteArray("[1]");
        QTest::newRow("code as text")
            << QByteArray(R"({"code":"200","message":7})") << 0 << "" << QByteArray("null");
        QTest::newRow("not JSON") << QByteArray("<html>gateway</html>") << 0 << ""
                                  << QByteArray("null");
        QTest::newRow("JSON array") << QByteArray("[1,2]") << 0 << "" << QByteArray("null");
        QTest::newRow("empty body") << QByteArray() << 0 << "" << QByteArray("null");
    }

    void envelopeIsRead()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(QByteArray, data);
        m_server.script("/envelope", {200, body});
        const Outcome outcome = call("/envelope", "get");
        QCOMPARE(outcome.reports, 1);
        QVERIFY(outcome.success);
        QCOMPARE(outcome.response.code, code);
        QCOMPARE(outcome.response.message, message);
        const QJsonValue value = outcome.response.data;
        const QByteArray compact =
            value.isNull()     ? QByteArray("null")
            : value.isObject() ? QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact)
                               : QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact);
        QCOMPARE(compact, data);
    }

    // The transfer fails on an error status, but a service envelope still tells why.
    void errorStatus()
    {
        m_server.script("/denied",
                        {401, R"({"code":401,"message":"Wrong email or password.","data":null})"});
        Outcome outcome = call("/denied", "post", {{"email", "a@b.cd"}});
        QVERIFY(!outcome.success);
        QCOMPARE(outcome.response.code, 401);
        QCOMPARE(outcome.response.message, QStringLiteral("Wrong email or password."));

        m_server.script("/proxy", {401, "<html>Unauthorized</html>", "text/html"});
        outcome = call("/proxy", "get");
        QCOMPARE(outcome.reports, 1);
        QVERIFY(!outcome.success);
        QCOMPARE(outcome.response.code, 0);
        QVERIFY(!outcome.response.message.isEmpty());
        QVERIFY(!outcome.response.message.contains("html"));
        QVERIFY(outcome.response.data.isNull());

        // A code without a message is no envelope either.
        m_server.script("/half", {500, R"({"code":500})"});
        outcome = call("/half", "get");
        QCOMPARE(outcome.response.code, 0);
        QVERIFY(!outcome.response.message.isEmpty());

        QTcpServer closed; // a port nobody listens on any more
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        qputenv("PARVIX_ACCOUNT_URL", QByteArray("http://127.0.0.1:") + QByteArray::number(port));
        outcome = call("/anything", "get");
        QVERIFY(!outcome.success);
        QCOMPARE(outcome.response.code, 0);
        QVERIFY(!outcome.response.message.isEmpty());
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
            QCOMPARE(request.header("content-type"), QByteArray("application/json"));
            QVERIFY(!request.hasHeader("authorization"));
            if (i < 2) {
                // Indented, as the service's logs show it; same content as compact.
                QVERIFY2(request.body.contains("{\n    \""), request.body.constData());
                QCOMPARE(QJsonDocument::fromJson(request.body).object(), body);
            } else {
                QVERIFY(request.body.isEmpty());
            }
        }

        // Unknown methods (exact case only) send nothing and never report.
        for (const char *method : {"POST", "Get", "patch", ""}) {
            const Outcome outcome = call("/op", method, body);
            QVERIFY(!outcome.sent);
            QCOMPARE(outcome.reports, 0);
        }
        QVERIFY(call("/op", "get").success); // would queue behind anything sent before
        QCOMPARE(m_server.requests.size(), 5);
    }

    void bearerHeader()
    {
        m_server.script("/auth", {200, R"({"code":200,"message":"ok"})"});
        call("/auth", "put", {}, QStringLiteral("tok-\u00e9"));
        call("/auth", "put", {}, QString()); // a logged-out session's token
        call("/auth", "put");
        QCOMPARE(m_server.requests.size(), 3);
        QCOMPARE(m_server.requests[0].header("authorization"), QByteArray("Bearer tok-\xc3\xa9"));
        QCOMPARE(m_server.requests[1].header("authorization"), QByteArray("Bearer "));
        QVERIFY(!m_server.requests[2].hasHeader("authorization"));
    }

    // Passwords leave this computer only over https unless the user said otherwise.
    void transportRules_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("insecure");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("https") << "https://accounts.example/user/login"
                               << "" << true;
        QTest::newRow("http elsewhere") << "http://accounts.example:8790/x"
                                        << "" << false;
        QTest::newRow("http, insecure on") << "http://accounts.example/x"
                                           << "true" << true;
        QTest::newRow("loopback v4") << "http://127.0.0.2:1/x"
                                     << "" << true;
        QTest::newRow("loopback v6") << "http://[::1]:1/x"
                                     << "" << true;
        QTest::newRow("localhost") << "http://LocalHost:1/x"
                                   << "" << true;
        QTest::newRow("other scheme") << "ftp://accounts.example/x"
                                      << "true" << false;
    }

    void transportRules()
    {
        QFETCH(QString, url);
        QFETCH(QString, insecure);
        QFETCH(bool, allowed);
        writeAppSetting("account_insecure", insecure.isEmpty() ? QVariant() : QVariant(insecure));
        QCOMPARE(AccountEndpoint::isAllowed(QUrl(url)), allowed);
        writeAppSetting("account_insecure", {});
    }

    // Refusals report like failed transfers: a refused address, an oversized reply.
    void refusedTransfers()
    {
        m_server.script("/big", {200, QByteArray(2 * PXRequest::MaxReplyBytes, ' ') + "{}"});
        Outcome outcome = call("/big", "get");
        QCOMPARE(outcome.reports, 1);
        QVERIFY(!outcome.success);
        QCOMPARE(outcome.response.message,
                 QStringLiteral("The account service sent a reply that is too large."));

        qputenv("PARVIX_ACCOUNT_URL", "http://accounts.example:8790");
        outcome = call("/user/login", "post", {{"password", "secret"}});
        QCOMPARE(outcome.reports, 1);
        QVERIFY(!outcome.success);
        QCOMPARE(outcome.response.message,
                 QStringLiteral("The account service address must use https."));
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
        const Outcome outcome =
            call(AccountEndpoint::path(AccountEndpoint::Operation::Login), "post");
        QCOMPARE(outcome.response.message, QStringLiteral("moved"));

        writeAppSetting("account_url", {});
        writeAppSetting("account_path_login", {});
        QCOMPARE(PXRequest(nullptr).baseUrl(), QStringLiteral("http://127.0.0.1:8790"));
        QCOMPARE(AccountEndpoint::path(AccountEndpoint::Operation::Login),
                 QStringLiteral("/user/login"));
    }
};

PARVIX_TEST(RequestLayerTest)
#include "requestlayertest.moc"
