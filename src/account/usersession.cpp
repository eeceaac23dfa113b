#include "usersession.h"

#include <QFile>
#include <QFileInfo>

namespace {
const QString kTokenKey = QStringLiteral("session/token");
const QString kUserIdKey = QStringLiteral("session/user_id");
const QString kUserEmailKey = QStringLiteral("session/user_email");
const QString kVerifiedKey = QStringLiteral("session/user_verified");
} // namespace

UserSession::UserSession(QObject *parent)
    : QObject(parent), m_store(QSettings::NativeFormat, QSettings::UserScope,
                               QStringLiteral("Parvix"), QStringLiteral("UserSession"))
{
    // QML reaches saveLoginSession with a plain object; see UserInfo.
    UserInfo::registerConversions();
    m_token = m_store.value(kTokenKey).toString();
    m_userId = m_store.value(kUserIdKey).toString();
    m_userEmail = m_store.value(kUserEmailKey).toString();
    m_isVerified = m_store.value(kVerifiedKey, false).toBool();
    m_isLoggedIn = !m_token.isEmpty();
}

UserSession *UserSession::instance()
{
    static UserSession *const shared = new UserSession(nullptr); // lives until the process ends
    return shared;
}

void UserSession::saveLoginSession(const QString &token, const UserInfo &userInfo)
{
    if (token.isEmpty())
        return;
    m_token = token;
    m_userId = userInfo.id;
    m_userEmail = userInfo.email;
    m_isVerified = userInfo.verified;
    m_store.setValue(kTokenKey, m_token);
    m_store.setValue(kUserIdKey, m_userId);
    m_store.setValue(kUserEmailKey, m_userEmail);
    m_store.setValue(kVerifiedKey, m_isVerified);
    m_store.sync();
    keepPrivate();
    setLoggedIn(true);
    emit userInfoChanged();
}

void UserSession::clearSession()
{
    m_token.clear();
    m_userId.clear();
    m_userEmail.clear();
    m_isVerified = false;
    m_store.remove(QStringLiteral("session"));
    m_store.sync();
    keepPrivate();
    setLoggedIn(false);
    emit userInfoChanged();
}

void UserSession::setLoggedIn(bool loggedIn)
{
    if (m_isLoggedIn == loggedIn)
        return;
    m_isLoggedIn = loggedIn;
    emit loginStateChanged();
}

void UserSession::keepPrivate()
{
    // The token logs in as the user: no other account on this computer may read it.
    const QString path = m_store.fileName();
    if (!QFileInfo::exists(path))
        return;
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(QFileInfo(path).absolutePath(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
