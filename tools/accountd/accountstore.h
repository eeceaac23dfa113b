#pragma once
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

struct UserRecord
{
    QString id;
    QString email; // stored lower-case
    QString passwordHash;
    bool verified = false;
    qint64 createdAt = 0;
};

// The computer a login came from, as the client reports it.
struct MachineInfo
{
    QString id;
    QString platform;
    QString productName;
    QString hostName;
    QString remoteAddress;
};

// Users, login sessions and reset tokens in one SQLite file. Tokens are kept only
// as digests. Every statement binds its values; nothing from a request is ever
// pasted into SQL text.
class AccountStore
{
public:
    AccountStore();
    ~AccountStore();
    AccountStore(const AccountStore &) = delete;
    AccountStore &operator=(const AccountStore &) = delete;

    bool open(const QString &path, QString *error);
    QString lastError() const { return m_lastError; }

    bool begin();
    bool commit();
    void rollback();

    std::optional<UserRecord> userByEmail(const QString &email);
    std::optional<UserRecord> userById(const QString &id);
    QList<UserRecord> users();
    bool insertUser(const UserRecord &user, const QString &locale);
    bool setPasswordHash(const QString &userId, const QString &hash);
    bool setVerified(const QString &userId);

    bool addSession(const QString &tokenDigest, const QString &userId, qint64 now, qint64 expiresAt,
                    const MachineInfo &machine);
    // The user whose unexpired session has this token digest.
    std::optional<QString> sessionUser(const QString &tokenDigest, qint64 now);
    bool revokeSessions(const QString &userId);
    bool revokeSession(const QString &tokenDigest);

    bool addResetToken(const QString &tokenDigest, const QString &userId, qint64 expiresAt);
    // The user of an unused, unexpired reset token.
    std::optional<QString> resetTokenUser(const QString &tokenDigest, qint64 now);
    // Spends every open reset link of the user.
    bool voidResetTokens(const QString &userId, qint64 now);
    // Drops expired sessions and expired or spent reset links.
    bool pruneExpired(qint64 now);

private:
    bool exec(const QString &sql, const QVariantList &values = {});
    std::optional<UserRecord> userWhere(const QString &column, const QString &value);

    QString m_connectionName;
    QString m_lastError;
};
