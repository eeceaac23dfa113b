#pragma once
#include "userinfo.h"

#include <QObject>
#include <QSettings>
#include <QString>

// The logged-in user's token and identity, kept across restarts in the platform
// settings store (application "UserSession", group "session"). GUI thread only.
class UserSession : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isLoggedIn READ isLoggedIn NOTIFY loginStateChanged)
    Q_PROPERTY(QString userEmail READ userEmail NOTIFY userInfoChanged)
    Q_PROPERTY(QString userId READ userId NOTIFY userInfoChanged)
    Q_PROPERTY(bool isVerified READ isVerified NOTIFY userInfoChanged)

public:
    // Separate instances over the same store stand for a restarted application in
    // tests; the application and QML use instance().
    explicit UserSession(QObject *parent);

    static UserSession *instance();

    bool isLoggedIn() const { return m_isLoggedIn; }
    QString userEmail() const { return m_userEmail; }
    QString userId() const { return m_userId; }
    bool isVerified() const { return m_isVerified; }

signals:
    void loginStateChanged();
    void userInfoChanged();

public:
    // An empty token changes nothing.
    Q_INVOKABLE void saveLoginSession(const QString &token, const UserInfo &userInfo);
    Q_INVOKABLE void clearSession();
    Q_INVOKABLE QString getToken() const { return m_token; }

private:
    void setLoggedIn(bool loggedIn);
    void keepPrivate();

    QSettings m_store;
    QString m_token;
    QString m_userId;
    QString m_userEmail;
    bool m_isVerified = false;
    bool m_isLoggedIn = false;
};
