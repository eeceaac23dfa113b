// The reference account service, started for real: the whole account life cycle
// through the product's client, then hostile and careless input, login floods and
// the SMTP relay.
#include "accountdprocess.h"
#include "appconfig.h"
#include "authentication.h"
#include "testregistry.h"
#include "usersession.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QtTest>
#include <memory>

namespace {
QStringList g_messages; // every Qt message of the process while a test runs

void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_messages << message;
}

struct Outcome
{
    bool done = false;
    bool success = false;
    int code = 0;
    QString message;
};

// Runs one Authentication operation and waits for its signal.
template<typename Signal, typename Start>
Outcome await(Authentication *auth, Signal signal, Start start)
{
    Outcome outcome;
    const QMetaObject::Connection connection =
        QObject::connect(auth, signal, [&outcome](bool success, int code, const QString &text) {
            outcome = {true, success, code, text};
        });
    start();
    if (!QTest::qWaitFor([&outcome] { return outcome.done; }, 20000))
        outcome.message = QStringLiteral("no report");
    QObject::disconnect(connection);
    return outcome;
}

Outcome login(Authentication *auth, const QString &email, const QString &password)
{
    return await(auth, &Authentication::loginFinished, [&] { auth->login_async(email, password); });
}

QByteArray json(const QString &email, const QString &password = QString())
{
    QJsonObject body{{"email", email}};
    if (!password.isNull())
        body.insert("password", password);
    return QJsonDocument(body).toJson();
}

QString mailed(const OutboxMail &mail, const QString &pattern)
{
    return QRegularExpression(pattern).match(mail.body).captured(1);
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

    void accountLifeCycle()
    {
        AccountdProcess service;
        QVERIFY(service.start({"--app-version", "1.2.3"}));
        qputenv("PARVIX_ACCOUNT_URL", service.baseUrl().toUtf8());
        g_messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
        auto session = std::make_unique<UserSession>(nullptr);
        session->clearSession();
        auto auth = std::make_unique<Authentication>(session.get(), nullptr);

        Outcome outcome = await(auth.get(), &Authentication::registerFinished,
                                [&] { auth->register_user_async("Erin@Example.org"); });
        QVERIFY2(outcome.success, qPrintable(outcome.message));
        QCOMPARE(outcome.code, 200);
        QCOMPARE(service.mailsTo("erin@example.org").size(), 1);
        const QString firstPassword =
            mailed(service.mailsTo("erin@example.org")[0], "password is: (\\S+)");
        QCOMPARE(firstPassword.size(), 12);

        QVERIFY(login(auth.get(), "erin@example.org", firstPassword).success);
        const QString token = session->getToken();
        QVERIFY(session->isVerified()); // the mailed password proved the mailbox

        // The application restarts: still logged in, and the token still works.
        session = std::make_unique<UserSession>(nullptr);
        auth = std::make_unique<Authentication>(session.get(), nullptr);
        QVERIFY(session->isLoggedIn());
        QCOMPARE(session->userEmail(), QStringLiteral("erin@example.org"));
        outcome = await(auth.get(), &Authentication::changePasswordFinished,
                        [&] { auth->changePassword_async(firstPassword, "second pass"); });
        QVERIFY2(outcome.success, qPrintable(outcome.message));
        session->clearSession();

        // The change ended every login; the old password is refused with the reason.
        const RawReply stale =
            service.call("PUT", "/user/password/change", "{\"email\":\"erin@example.org\"}",
                         {{"Authorization", "Bearer " + token.toLatin1()}});
        QCOMPARE(stale.status, 401);
        outcome = login(auth.get(), "erin@example.org", firstPassword);
        QVERIFY(!outcome.success);
        QCOMPARE(outcome.code, 401);
        QCOMPARE(outcome.message, QStringLiteral("Wrong email or password."));
        QVERIFY(!session->isLoggedIn());
        QVERIFY(login(auth.get(), "erin@example.org", "second pass").success);

        // Forgotten password: the mailed link's page sets a new one, once.
        outcome = await(auth.get(), &Authentication::sendResetLinkFinished,
                        [&] { auth->sendResetLink_async("erin@example.org"); });
        QVERIFY2(outcome.success, qPrintable(outcome.message));
        const QString link = mailed(service.mailsTo("erin@example.org").last(), "(http://\\S+)");
        const QString path = link.mid(service.baseUrl().size());
        const QString resetToken = QUrlQuery(QUrl(link)).queryItemValue("token");
        const RawReply form = service.call("GET", path, {});
        QCOMPARE(form.status, 200);
        QVERIFY(form.body.contains("name=\"token\" value=\"" + resetToken.toLatin1() + '"'));
        const auto submit = [&](const QString &password, const QString &confirm) {
            // As a browser sends the form: spaces become '+', a real '+' is escaped.
            const auto field = [](const QString &value) {
                return QUrl::toPercentEncoding(value, " ").replace(' ', '+');
            };
            return service.call("POST", "/user/password/reset",
                                "token=" + resetToken.toLatin1() + "&password=" + field(password) +
                                    "&confirm=" + field(confirm),
                                {{"Content-Type", "application/x-www-form-urlencoded"}});
        };
        QCOMPARE(submit("third+pass &x", "other").status, 400);
        const RawReply changed = submit("third+pass &x", "third+pass &x");
        QCOMPARE(changed.status, 200);
        QVERIFY(changed.body.contains("Your password has been changed"));
        QCOMPARE(submit("fourth pass", "fourth pass").status, 400);
        QCOMPARE(service.call("GET", path, {}).status, 400);

        // The service keeps its accounts across its own restart.
        QVERIFY(service.start({"--app-version", "1.2.3"}));
        qputenv("PARVIX_ACCOUNT_URL", service.baseUrl().toUtf8());
        QVERIFY(!login(auth.get(), "erin@example.org", "second pass").success);
        QVERIFY(login(auth.get(), "erin@example.org", "third+pass &x").success);

        AppConfig config(nullptr);
        QSignalSpy infoChanged(&config, &AppConfig::appInfoChanged);
        config.getAppInfoFromServer();
        QVERIFY(infoChanged.wait(10000));
        QCOMPARE(config.appInfo().appVersion, QStringLiteral("1.2.3"));
        QCOMPARE(config.appInfo().appName, QStringLiteral("Parvix Multi-Phones Control"));

        // Neither side logged a secret.
        qInstallMessageHandler(previous);
        const QString logs = g_messages.join('\n') + service.logs();
        for (const QString &secret : {token, session->getToken(), resetToken, firstPassword})
            QVERIFY(!logs.contains(secret));
        session->clearSession();
    }

    void carelessAndHostileInput()
    {
        AccountdProcess service;
        QVERIFY(service.start());
        QCOMPARE(service.call("POST", "/user/register", json("ok@example.com")).status, 200);
        const QString password = mailed(service.mails().value(0), "password is: (\\S+)");

        const QStringList badEmails{"plainaddress",
                                    "a@b",
                                    "@example.com",
                                    "a b@example.com",
                                    "a@example.c",
                                    "",
                                    "x@example.com\r\nBcc: evil@example.com",
                                    "' OR '1'='1",
                                    "a@b.com'; DROP TABLE users;--",
                                    QString(250, 'a') + "@example.com"};
        for (const QString &email : badEmails) {
            for (const char *path : {"/user/register", "/user/login", "/user/password/resetlink"}) {
                const RawReply reply = service.call("POST", path, json(email, "whatever"));
                QCOMPARE(reply.status, 400);
                QCOMPARE(reply.envelope().value("code").toInt(), 400);
                QCOMPARE(reply.envelope().value("message").toString(),
                         QStringLiteral("Please enter a valid email address."));
            }
        }
        for (const QByteArray &body : {QByteArray("email=ok@example.com"), QByteArray("[1]"),
                                       QByteArray(R"({"email":42})"), QByteArray()})
            QCOMPARE(service.call("POST", "/user/register", body).status, 400);

        QCOMPARE(service.call("POST", "/user/register", json("OK@Example.COM")).status, 409);
        QCOMPARE(service.call("POST", "/user/login", json("ok@example.com", "' OR 1=1 --")).status,
                 401);
        QCOMPARE(service.call("POST", "/user/password/resetlink", json("nobody@example.com"))
                     .envelope()
                     .value("code")
                     .toInt(),
                 404);

        // A megabyte is refused as a whole, wherever it is sent.
        const QByteArray huge = json("big@example.com", QString(1024 * 1024, 'p'));
        for (const char *path : {"/user/register", "/user/login", "/user/password/reset"}) {
            const RawReply reply = service.call("POST", path, huge);
            QCOMPARE(reply.status, 413);
            QCOMPARE(reply.envelope().value("message").toString(),
                     QStringLiteral("The request is too large."));
        }

        for (const QByteArray &authorization :
             {QByteArray(), QByteArray("Bearer "), QByteArray("Bearer ' OR 1=1 --"),
              "Bearer " + QByteArray(64, 'a')}) {
            QList<QPair<QByteArray, QByteArray>> headers;
            if (!authorization.isEmpty())
                headers.append({"Authorization", authorization});
            const QByteArray body = QJsonDocument(QJsonObject{{"email", "ok@example.com"},
                                                              {"oldPassword", password},
                                                              {"newPassword", "hijacked"}})
                                        .toJson();
            QCOMPARE(service.call("PUT", "/user/password/change", body, headers).status, 401);
        }
        QCOMPARE(service.call("GET", "/user/password/reset?token=' OR 1=1", {}).status, 400);
        QCOMPARE(service.call("GET", "/user/login", {}).envelope().value("code").toInt(), 404);

        // Nothing of it was stored or mailed; the one real account is intact.
        QCOMPARE(service.userEmails(), QStringList{"ok@example.com"});
        QCOMPARE(service.mails().size(), 1);
        QCOMPARE(service.call("POST", "/user/login", json("ok@example.com", password)).status, 200);
    }

    void loginFlood()
    {
        AccountdProcess service;
        QVERIFY(service.start());
        qputenv("PARVIX_ACCOUNT_URL", service.baseUrl().toUtf8());
        for (const char *email : {"victim@example.com", "bystander@example.com"})
            QCOMPARE(service.call("POST", "/user/register", json(email)).status, 200);
        const QString victimPassword =
            mailed(service.mailsTo("victim@example.com").value(0), "password is: (\\S+)");
        const QString bystanderPassword =
            mailed(service.mailsTo("bystander@example.com").value(0), "password is: (\\S+)");

        for (int attempt = 0; attempt < 5; ++attempt) {
            QCOMPARE(
                service.call("POST", "/user/login", json("victim@example.com", "guess")).status,
                401);
        }
        // Locked: even the right password waits, and the client shows why.
        UserSession session(nullptr);
        session.clearSession();
        Authentication auth(&session, nullptr);
        const Outcome locked = login(&auth, "victim@example.com", victimPassword);
        QVERIFY(!locked.success);
        QCOMPARE(locked.code, 429);
        QVERIFY2(locked.message.startsWith("Too many failed login attempts. Please try again in"),
                 qPrintable(locked.message));
        QVERIFY(!session.isLoggedIn());

        for (int attempt = 0; attempt < 200; ++attempt)
            QCOMPARE(service.call("POST", "/user/login", json("victim@example.com", "x")).status,
                     429);
        QVERIFY(login(&auth, "bystander@example.com", bystanderPassword).success);
        session.clearSession();

        // One address guessing across many accounts is stopped as well.
        QVERIFY(service.start({"--login-limit-address", "3", "--login-limit-email", "100"}));
        for (int attempt = 0; attempt < 3; ++attempt) {
            const QString email = QStringLiteral("guess%1@example.com").arg(attempt);
            QCOMPARE(service.call("POST", "/user/login", json(email, "pw")).status, 401);
        }
        QCOMPARE(service.call("POST", "/user/login", json("other@example.com", "pw")).status, 429);
        QCOMPARE(
            service.call("POST", "/user/login", json("bystander@example.com", bystanderPassword))
                .status,
            429);
    }

    void smtpRelay()
    {
        QTcpServer smtp;
        QVERIFY(smtp.listen(QHostAddress::LocalHost));
        QByteArray conversation;
        bool finished = false;
        connect(&smtp, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *socket = smtp.nextPendingConnection();
            socket->write("220 fake ESMTP\r\n");
            auto inData = std::make_shared<bool>(false);
            connect(socket, &QTcpSocket::readyRead, socket, [&, socket, inData] {
                while (socket->canReadLine()) {
                    const QByteArray line = socket->readLine();
                    conversation += line;
                    if (*inData) {
                        if (line == ".\r\n") {
                            *inData = false;
                            socket->write("250 queued\r\n");
                        }
                    } else if (line.startsWith("EHLO")) {
                        socket->write("250-fake\r\n250 8BITMIME\r\n");
                    } else if (line.startsWith("DATA")) {
                        *inData = true;
                        socket->write("354 go on\r\n");
                    } else if (line.startsWith("QUIT")) {
                        socket->write("221 bye\r\n");
                        socket->disconnectFromHost();
                        finished = true;
                    } else {
                        socket->write("250 ok\r\n");
                    }
                }
            });
        });

        AccountdProcess service;
        QVERIFY(service.start({"--smtp", QStringLiteral("127.0.0.1:%1").arg(smtp.serverPort())}));
        QCOMPARE(service.call("POST", "/user/register", json("relay@example.com")).status, 200);
        QTRY_VERIFY_WITH_TIMEOUT(finished, 10000);
        QVERIFY(conversation.contains("MAIL FROM:<no-reply@parvix.invalid>\r\n"));
        QVERIFY(conversation.contains("RCPT TO:<relay@example.com>\r\n"));
        // The relayed message is the outbox copy, byte for byte, ended by the lone dot.
        const QByteArray raw = service.mails().value(0).raw;
        const qsizetype start = conversation.indexOf("DATA\r\n") + 6;
        QCOMPARE(conversation.mid(start, raw.size()), raw);
        QVERIFY(conversation.mid(start + raw.size()).startsWith(".\r\nQUIT"));
        QVERIFY(!service.logs().contains("relay failed"));
    }
};

PARVIX_TEST(AccountServiceTest)
#include "accountservicetest.moc"
