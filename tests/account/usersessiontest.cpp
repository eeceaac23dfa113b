// The login session: what survives a restart in the settings store, the no-op and
// clearing rules with their notifications, and QML handing a {id, email, verified}
// object to the shared session.
#include "usersession.h"
#include "testregistry.h"
#include "typeregistration.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QSettings>
#include <QtQml/QQmlExtensionPlugin>
#include <QtTest>
#include <memory>

Q_IMPORT_QML_PLUGIN(ParvixPlugin)

namespace {
std::unique_ptr<QSettings> diskStore()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Parvix",
                                       "UserSession");
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

class UserSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        auto store = diskStore();
        store->clear();
        store->sync();
    }

    void survivesRestart()
    {
        {
            UserSession first(nullptr);
            QVERIFY(!first.isLoggedIn());
            QSignalSpy state(&first, &UserSession::loginStateChanged);
            QSignalSpy info(&first, &UserSession::userInfoChanged);
            QStringList order; // bindings on both see a logged-in user with its details
            connect(&first, &UserSession::loginStateChanged, [&] { order << "state"; });
            connect(&first, &UserSession::userInfoChanged, [&] { order << "info"; });
            first.saveLoginSession("token-1", user("u1", "a@b.cd", true));
            QCOMPARE(order, (QStringList{"state", "info"}));
            QCOMPARE(state.size(), 1);
            QCOMPARE(info.size(), 1);
            // A refreshed login changes the user, not the login state.
            first.saveLoginSession("token-2", user("u2", "e@f.gh", false));
            QCOMPARE(state.size(), 1);
            QCOMPARE(info.size(), 2);
        }
        auto store = diskStore();
        QCOMPARE(store->value("session/token").toString(), QStringLiteral("token-2"));
        QVERIFY(!(QFile::permissions(store->fileName()) & (QFile::ReadGroup | QFile::ReadOther)));
        QCOMPARE(store->value("session/user_id").toString(), QStringLiteral("u2"));
        QCOMPARE(store->value("session/user_email").toString(), QStringLiteral("e@f.gh"));
        QCOMPARE(store->value("session/user_verified").toBool(), false);

        store->setValue("session/user_verified", true);
        store->sync();
        UserSession restarted(nullptr);
        QVERIFY(restarted.isLoggedIn());
        QCOMPARE(restarted.getToken(), QStringLiteral("token-2"));
        QCOMPARE(restarted.userId(), QStringLiteral("u2"));
        QCOMPARE(restarted.userEmail(), QStringLiteral("e@f.gh"));
        QVERIFY(restarted.isVerified());
    }

    void emptyTokenChangesNothing()
    {
        UserSession session(nullptr);
        session.saveLoginSession("kept", user("u1", "a@b.cd", true));
        QSignalSpy state(&session, &UserSession::loginStateChanged);
        QSignalSpy info(&session, &UserSession::userInfoChanged);
        session.saveLoginSession(QString(), user("u9", "x@y.zz", false));
        QCOMPARE(state.size() + info.size(), 0);
        QCOMPARE(session.userId(), QStringLiteral("u1"));
        QCOMPARE(UserSession(nullptr).getToken(), QStringLiteral("kept"));

        UserSession loggedOut(nullptr);
        loggedOut.clearSession();
        loggedOut.saveLoginSession("", user("u9", "x@y.zz", true));
        QVERIFY(!loggedOut.isLoggedIn());
        QVERIFY(loggedOut.userEmail().isEmpty());
        QVERIFY(diskStore()->allKeys().isEmpty());
    }

    void clearing()
    {
        // Logged out already: the store is still cleared (keys another run left there),
        // and only the user information is announced.
        auto store = diskStore();
        store->setValue("session/stale", "x");
        store->sync();
        UserSession session(nullptr);
        QSignalSpy state(&session, &UserSession::loginStateChanged);
        QSignalSpy info(&session, &UserSession::userInfoChanged);
        session.clearSession();
        QCOMPARE(state.size(), 0);
        QCOMPARE(info.size(), 1);
        QVERIFY(!diskStore()->contains("session/stale"));

        session.saveLoginSession("t", user("u1", "a@b.cd", true));
        state.clear();
        info.clear();
        session.clearSession();
        QCOMPARE(state.size(), 1);
        QCOMPARE(info.size(), 1);
        QVERIFY(!session.isLoggedIn() && !session.isVerified() && session.userId().isEmpty());
        QVERIFY(session.getToken().isEmpty());
        QVERIFY(!UserSession(nullptr).isLoggedIn());
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
        QCOMPARE(shared->getToken(), QStringLiteral("qml-token"));
        QCOMPARE(shared->userId(), QStringLiteral("q1"));
        QVERIFY(shared->isVerified());
        QVERIFY(root->property("loggedIn").toBool());
        QCOMPARE(root->property("email").toString(), QStringLiteral("q@m.lx"));
        shared->clearSession();
        QVERIFY(!root->property("loggedIn").toBool());
    }
};

PARVIX_TEST(UserSessionTest)
#include "usersessiontest.moc"
