// The reference account service, run for real, in part through the product's client.
#include "accountdprocess.h"
#include "appconfig.h"
#include "authoutcome.h"
#include "datatable.h"
#include "testregistry.h"
#include "usersession.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <memory>
#include <tuple>
#include <vector>

namespace {
QStringList g_messages; // every Qt message of the process while a test runs

QByteArray json(const QString &email, const QString &password = QString())
{
    QJsonObject body{{"email", email}};
    if (!password.isNull())
        body.insert("password", password);
    return QJsonDocument(body).toJson();
}

QByteArray change(const QString &email, const QString &from, const QString &to)
{
    return QJsonDocument(QJsonObject{{"email", email}, {"oldPassword", from}, {"newPassword", to}})
        .toJson();
}

QString mailed(const OutboxMail &mail, const QString &pattern)
{
    return QRegularExpression(pattern).match(mail.body).captured(1);
}

QString said(const RawExchange &reply)
{
    return QStringLiteral("%1 %2 %3")
        .arg(reply.status)
        .arg(reply.envelope().value("code").toInt())
        .arg(reply.envelope().value("message").toString());
}

QList<QPair<QByteArray, QByteArray>> bearer(const QString &token)
{
    return {{"Authorization", "Bearer " + token.toLatin1()}};
}

// The reset page's form as a browser sends it: spaces become '+', a real '+' is escaped.
RawExchange resetForm(AccountdProcess &service, const QString &token, const QString &password,
                      const QString &confirm)
{
    const auto field = [](const QString &value) {
        return QUrl::toPercentEncoding(value, " ").replace(' ', '+');
    };
    return service.call("POST", "/user/password/reset",
                        "token=" + token.toLatin1() + "&password=" + field(password) +
                            "&confirm=" + field(confirm),
                        {{"Content-Type", "application/x-www-form-urlencoded"}});
}

// Runs one statement on the service's database while it is stopped or idle.
int sql(const QString &db, const char *statement)
{
    int rows = 0;
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase("QSQLITE", "peek");
        connection.setDatabaseName(db);
        connection.open();
        QSqlQuery query(statement, connection);
        rows = query.next() ? query.value(0).toInt() : query.numRowsAffected();
    }
    QSqlDatabase::removeDatabase("peek");
    return rows;
}
} // namespace

class AccountServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (AccountdProcess::binary().isEmpty())
            QSKIP("this build has no accountd (Qt HttpServer, Qt Sql or libsodium missing)");
    }
    void cleanup() { qunsetenv("PARVIX_ACCOUNT_URL"); }

    void accountLifeCycleAndHostileInput()
    {
        AccountdProcess service;
        QVERIFY(service.start());
        qputenv("PARVIX_ACCOUNT_URL", service.baseUrl().toUtf8());
        g_messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &text) { g_messages << text; });
        auto session = std::make_unique<UserSession>(nullptr);
        session->clearSession();
        auto auth = std::make_unique<Authentication>(session.get(), nullptr);
        const QString erin = "erin@example.org";
        const auto mails = [&] { return service.mailsTo(erin); };
        const auto link = [&](int i) {
            return mailed(mails().value(i), "(http://\\S+)").mid(service.baseUrl().size());
        };

        QCOMPARE(service.post("/user/register", json("Erin@Example.org")), 200);
        QCOMPARE(mails().size(), 1);
        const QString firstPassword = mailed(mails()[0], "password is: (\\S+)");
        QVERIFY(login(auth.get(), erin, firstPassword).success);
        const QString token = session->getToken();

        // A reset link asked for before the change dies with the old password.
        QCOMPARE(service.post("/user/password/resetlink", json(erin)), 200);
        QTRY_COMPARE_WITH_TIMEOUT(mails().size(), 2, 10000);
        const QString early = link(1);
        QCOMPARE(said(service.call("PUT", "/user/password/change",
                                   change(erin, firstPassword, "short"), bearer(token))),
                 "400 400 The password must have 8 to 1024 characters.");
        const AuthOutcome outcome = await(auth.get(), &Authentication::changePasswordFinished, [&] {
            auth->changePassword_async(firstPassword, "second pass");
        });
        QVERIFY2(outcome.success, qPrintable(outcome.message));
        QCOMPARE(service.call("GET", early, {}).status, 400);
        session->clearSession();

        QCOMPARE(service.call("PUT", "/user/password/change", json(erin), bearer(token)).status,
                 401);
        QCOMPARE(login(auth.get(), erin, firstPassword).code, 401);

        // Forgotten password: the mailed link's page sets a new one, once.
        for (int i = 0; i < 2; ++i)
            QCOMPARE(service.post("/user/password/resetlink", json(erin)), 200);
        QTRY_COMPARE_WITH_TIMEOUT(mails().size(), 4, 10000);
        const QString spare = link(2), path = link(3);
        const QString resetToken = QUrlQuery(QUrl(path)).queryItemValue("token");
        QVERIFY(service.call("GET", path, {})
                    .body.contains("name=\"token\" value=\"" + resetToken.toLatin1() + '"'));
        QCOMPARE(resetForm(service, resetToken, "third+pass &x", "other").status, 400);
        QVERIFY(resetForm(service, resetToken, "third+pass &x", "third+pass &x")
                    .body.contains("Your password has been changed"));
        QCOMPARE(resetForm(service, resetToken, "fourth pass", "fourth pass").status, 400);
        QCOMPARE(service.call("GET", spare, {}).status, 400);
        QCOMPARE(service.call("GET", "/user/password/reset?token=' OR 1=1", {}).status, 400);

        // Restarted, the service keeps its accounts and drops expired logins and spent links.
        QVERIFY(service.stop()); // SIGTERM: the service closes its database and returns
        const QString db = service.homePath("accounts.sqlite");
        QCOMPARE(sql(db, "INSERT INTO sessions (token_digest, user_id, created_at, expires_at) "
                         "SELECT 'a', id, 0, 1 FROM users"),
                 1);
        QCOMPARE(sql(db, "INSERT INTO reset_tokens (token_digest, user_id, expires_at, used_at) "
                         "SELECT 'b', id, 4000000000, 2 FROM users"),
                 1);
        QVERIFY(service.start());
        QCOMPARE(sql(db, "SELECT (SELECT count(*) FROM sessions WHERE token_digest = 'a') + "
                         "(SELECT count(*) FROM reset_tokens WHERE token_digest = 'b')"),
                 0);
        qputenv("PARVIX_ACCOUNT_URL", service.baseUrl().toUtf8());
        QVERIFY(login(auth.get(), erin, "third+pass &x").success);
        QCOMPARE(service.call("GET", "/app/info", {}).envelope().value("data").toObject(),
                 (QJsonObject{{"app_name", "Parvix Multi-Phones Control"},
                              {"app_version", AppConfig(nullptr).currentVersion()}}));

        qInstallMessageHandler(previous);
        const QString logs = g_messages.join('\n') + service.logs();
        const QString last = session->getToken();
        for (const QString &secret : {token, last, resetToken, firstPassword})
            QVERIFY(!logs.contains(secret));

        // Logging out revokes the token at the service, not only here.
        auth->logout_async();
        QTRY_COMPARE_WITH_TIMEOUT(
            service.call("PUT", "/user/password/change", json(erin), bearer(last)).status, 401,
            10000);

        const QStringList badEmails =
            QStringLiteral("plainaddress||x@example.com\r\nBcc: evil@example.com|"
                           "a@b.com'; DROP TABLE users;--|..@example..com|a@-example.com")
                .split('|') +
            QStringList{QString(250, 'a') + "@example.com"};
        for (const QString &email : badEmails)
            for (const char *path : {"/user/register", "/user/login", "/user/password/resetlink"})
                QCOMPARE(said(service.call("POST", path, json(email, "whatever"))),
                         "400 400 Please enter a valid email address.");
        for (const QByteArray &body : {QByteArray("email=ok@example.com"), QByteArray("[1]")})
            QCOMPARE(service.post("/user/register", body), 400);

        // Registered or not, unknown or not: the same answers; the owner hears of it by mail.
        const RawExchange fresh = service.call("POST", "/user/register", json("new@example.com"));
        QCOMPARE(service.call("POST", "/user/register", json("Erin@Example.ORG")).body, fresh.body);
        QCOMPARE(mails().size(), 5);
        QVERIFY(!mails().last().body.contains("password is"));
        QCOMPARE(service.call("POST", "/user/password/resetlink", json("nobody@example.com")).body,
                 service.call("POST", "/user/password/resetlink", json("new@example.com")).body);

        // A megabyte is refused, and the answer survives the unread rest.
        const QByteArray huge = json("big@example.com", QString(1024 * 1024, 'p'));
        QCOMPARE(said(service.call("POST", "/user/login", huge)),
                 "413 413 The request is too large.");

        const QByteArray hijack = change(erin, "third+pass &x", "hijacked");
        QCOMPARE(service.call("PUT", "/user/password/change", hijack).status, 401);
        QCOMPARE(service.call("GET", "/user/login", {}).envelope().value("code").toInt(), 404);

        // Nothing of it was stored or mailed; the real account is intact.
        QCOMPARE(service.userEmails(), (QStringList{erin, "new@example.com"}));
        QTRY_COMPARE(service.mailsTo().size(), 7);
        QCOMPARE(service.post("/user/login", json(erin, "third+pass &x")), 200);

        const QDir outbox(service.homePath("outbox"));
        QStringList files{outbox.path(), service.homePath("accounts.sqlite")};
        for (const QString &name : outbox.entryList(QDir::Files))
            files << outbox.filePath(name);
        for (const QString &file : files)
            QVERIFY2(!(QFile::permissions(file) & 0x0077), qPrintable(file)); // group, others
    }

    // Every row on a fresh connection; the front answers and closes by itself.
    void httpFront_data()
    {
        addColumns<QByteArray, QList<int>, QByteArray>({"request", "statuses", "absent"});
        const auto row = [](const char *name, const QByteArray &request, const QList<int> &statuses,
                            const QByteArray &absent = {}) {
            QTest::newRow(name) << request << statuses << absent;
        };
        const QByteArray post =
            "POST /user/register HTTP/1.1\r\nContent-Type: application/json\r\n";
        const QByteArray info = "GET /app/info HTTP/1.1\r\n\r\n";
        const QByteArray body = "Content-Length: 25\r\n\r\n{\"email\":\"x@example.com\"}";
        row("huge body", post + "Content-Length: 1000000000\r\n\r\n", {413});
        row("endless header", "GET /app/info HTTP/1.1\r\nX: " + QByteArray(100000, 'a'), {431});
        row("chunked", post + "Transfer-Encoding: chunked\r\n\r\nffffffff\r\n", {411});
        row("bad length", post + "Content-Length: -1\r\n\r\n", {400});
        row("two lengths", post + "Content-Length: 1\r\nContent-Length: 2\r\n\r\n", {400});
        row("HTTP/2", "GET /app/info HTTP/2.0\r\n\r\n", {505});
        row("keep-alive", info + info, {200, 200});
        row("close", "GET /app/info HTTP/1.1\r\nConnection: close\r\n\r\n" + info, {200});
        row("HTTP/1.0", "GET /app/info HTTP/1.0\r\n\r\n" + info, {200});
        row("HEAD", "HEAD /app/info HTTP/1.1\r\n\r\n", {200}, "app_name");
        row("slow", "GET /app/info HTTP/1.1\r\nX-A: 1", {408});
        row("plain text", "POST /user/register HTTP/1.1\r\nContent-Type: text/plain\r\n" + body,
            {415});
        row("foreign origin", post + "Origin: http://evil.example\r\n" + body, {403});
        row("cross-site", post + "Sec-Fetch-Site: cross-site\r\n" + body, {403});
        row("own origin", post + "Origin: %ORIGIN%\r\n" + body, {200});
    }

    void httpFront()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, absent);
        static AccountdProcess service;
        if (service.baseUrl().isEmpty())
            QVERIFY(service.start({"--request-timeout", "1", "--idle-timeout", "1"}));
        const RawExchange raw =
            service.exchange(request.replace("%ORIGIN%", service.baseUrl().toLatin1()));
        QVERIFY(raw.closed);
        QTEST(raw.statuses(), "statuses");
        QVERIFY(absent.isEmpty() || !raw.reply.contains(absent));
    }

    // Full connection tables, busy hashing and floods are refused; all else stays responsive.
    void connectionCapsBusyHashingAndFloods()
    {
        AccountdProcess service;
        QVERIFY(service.start({"--max-connections", "3,2"}));
        const QByteArray info = "GET /app/info HTTP/1.1\r\nConnection: close\r\n\r\n";
        std::vector<std::unique_ptr<QTcpSocket>> held;
        const auto open = [&](const QString &from, const QByteArray &bytes = {}) {
            QTcpSocket &socket = *held.emplace_back(std::make_unique<QTcpSocket>());
            socket.bind(QHostAddress(from));
            socket.connectToHost(QHostAddress::LocalHost, quint16(QUrl(service.baseUrl()).port()));
            socket.write(bytes);
            return socket.waitForConnected(5000);
        };
        for (const char *from : {"127.0.0.1", "127.0.0.1", "127.0.0.2"})
            QVERIFY(open(from));
        QTRY_COMPARE(service.exchange(info).statuses(), QList<int>()); // this address is full
        // All full: the oldest idle connection makes room for a real request.
        QCOMPARE(service.exchange(info, "127.0.0.3").statuses(), QList<int>{200});
        QTRY_COMPARE(held[0]->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(held[1]->state(), QAbstractSocket::ConnectedState);

        held.clear();
        QVERIFY(service.start({"--hash-threads", "1", "--hash-queue", "1"}));
        const QByteArray body = json("x@example.com", "password");
        const QByteArray guess = "POST /user/login HTTP/1.1\r\nContent-Type: application/json\r\n"
                                 "Connection: close\r\nContent-Length: " +
                                 QByteArray::number(body.size()) + "\r\n\r\n" + body;
        for (int i = 0; i < 6; ++i)
            QVERIFY(open(QStringLiteral("127.0.0.%1").arg(10 + i), guess));
        QCOMPARE(service.exchange("GET /app/info HTTP/1.0\r\n\r\n").statuses(), QList<int>{200});
        QByteArray replies;
        for (auto &client : held) {
            QTRY_VERIFY_WITH_TIMEOUT(client->state() == QAbstractSocket::UnconnectedState, 20000);
            replies += client->readAll();
        }
        QVERIFY2(replies.contains("HTTP/1.1 503 ") && replies.contains("Retry-After: 1"), replies);
        QVERIFY(replies.contains("HTTP/1.1 401 "));

        QVERIFY(service.start({"--login-free-failures", "2", "--login-delay", "600",
                               "--login-limit-email", "4", "--register-limit-address", "2",
                               "--reset-limit-address", "2"}));
        for (const char *email : {"victim@example.com", "bystander@example.com"})
            QCOMPARE(service.post("/user/register", json(email)), 200);
        const auto password = [&](const char *email) {
            return mailed(service.mailsTo(email).value(0), "password is: (\\S+)");
        };
        const QString victimPassword = password("victim@example.com");
        const auto login = [&](const char *from, const QString &password) {
            return service.post("/user/login", json("victim@example.com", password), from);
        };

        // Guessing from one address slows that address down, for the right password too.
        QList<int> statuses;
        for (const char *password : {"guess1", "guess2", "guess3", "guess4"})
            statuses << login("127.0.0.2", password);
        statuses << login("127.0.0.2", victimPassword);
        // Then the email's ceiling: addresses with failures wait ...
        statuses << login("127.0.0.3", "guess5") << login("127.0.0.3", victimPassword);
        QCOMPARE(statuses, (QList<int>{401, 401, 401, 429, 429, 401, 429}));
        // ... but the owner at an address without failures logs in, and so do others.
        QCOMPARE(login("127.0.0.1", victimPassword), 200);
        QCOMPARE(service.post("/user/login",
                              json("bystander@example.com", password("bystander@example.com"))),
                 200);

        // A reset starts the email afresh everywhere.
        QCOMPARE(service.post("/user/password/resetlink", json("victim@example.com")), 200);
        QTRY_COMPARE_WITH_TIMEOUT(service.mailsTo("victim@example.com").size(), 2, 10000);
        const QString token = mailed(service.mailsTo("victim@example.com").last(), "token=(\\w+)");
        QCOMPARE(resetForm(service, token, "newsecret", "newsecret").status, 200);
        QCOMPARE(login("127.0.0.2", "newsecret"), 200);

        // A per-address limit stops one address and leaves the others alone.
        for (const auto &[path, from, other] :
             {std::tuple{"/user/register", "127.0.0.5", "127.0.0.6"},
              {"/user/password/resetlink", "127.0.0.7", "127.0.0.8"}}) {
            statuses.clear();
            for (const char *address : {from, from, from, other})
                statuses << service.post(
                    path, json(QStringLiteral("u%1@example.com").arg(statuses.size())), address);
            QCOMPARE(statuses, (QList<int>{200, 200, 429, 200}));
        }

        // One address guessing across many accounts is stopped as well.
        QVERIFY(service.start({"--login-limit-address", "3"}));
        statuses.clear();
        for (int i = 0; i < 4; ++i)
            statuses << service.post("/user/login",
                                     json(QStringLiteral("g%1@example.com").arg(i), "pw"));
        QCOMPARE(statuses, (QList<int>{401, 401, 401, 429}));
    }

    // Mail goes through the relay, its links to the public address, never "all addresses".
    void smtpRelayAndPublicAddress()
    {
        QTcpServer smtp;
        QVERIFY(smtp.listen(QHostAddress::LocalHost));
        QByteArray conversation;
        connect(&smtp, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *socket = smtp.nextPendingConnection();
            socket->write("220 fake ESMTP\r\n");
            connect(socket, &QTcpSocket::readyRead, socket, [&, socket, inData = false]() mutable {
                while (socket->canReadLine()) {
                    const QByteArray line = socket->readLine();
                    conversation += line;
                    const QByteArray verb = inData ? line : line.left(4);
                    if (inData && line != ".\r\n")
                        continue;
                    inData = verb == "DATA";
                    socket->write(verb == "EHLO"   ? "250-fake\r\n250 8BITMIME\r\n"
                                  : verb == "DATA" ? "354 go on\r\n"
                                  : verb == "QUIT" ? "221 bye\r\n"
                                                   : "250 ok\r\n");
                }
            });
        });

        AccountdProcess service;
        QVERIFY(!service.start({"--listen", "0.0.0.0:0"}));
        QVERIFY(service.start({"--smtp", QStringLiteral("127.0.0.1:%1").arg(smtp.serverPort()),
                               "--public-url", "https://accounts.example/"}));
        QCOMPARE(service.post("/user/register", json("relay@example.com")), 200);
        QTRY_VERIFY_WITH_TIMEOUT(conversation.endsWith("QUIT\r\n"), 10000);
        // The relayed message is the outbox copy, byte for byte, ended by the lone dot.
        QVERIFY2(conversation.contains("MAIL FROM:<no-reply@parvix.invalid>\r\n"
                                       "RCPT TO:<relay@example.com>\r\nDATA\r\n" +
                                       service.mailsTo().value(0).raw + ".\r\nQUIT\r\n"),
                 conversation);

        QCOMPARE(service.post("/user/password/resetlink", json("relay@example.com")), 200);
        QTRY_COMPARE(service.mailsTo("relay@example.com").size(), 2);
        QVERIFY(service.mailsTo("relay@example.com")[1].body.contains(
            "\nhttps://accounts.example/user/password/reset?token="));
    }
};

PARVIX_TEST(AccountServiceTest)
#include "accountservicetest.moc"
