#include "accountstore.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace {
const char *const kSchema[] = {
    "PRAGMA foreign_keys = ON",
    // Commits without waiting for the disk: a write then costs no more than a read, so
    // no answer's timing tells whether something was stored.
    "PRAGMA journal_mode = WAL",
    "PRAGMA synchronous = NORMAL",
    "CREATE TABLE IF NOT EXISTS users ("
    " id TEXT PRIMARY KEY,"
    " email TEXT NOT NULL UNIQUE,"
    " password_hash TEXT NOT NULL,"
    " verified INTEGER NOT NULL DEFAULT 0,"
    " locale TEXT NOT NULL DEFAULT '',"
    " created_at INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS sessions ("
    " token_digest TEXT PRIMARY KEY,"
    " user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
    " created_at INTEGER NOT NULL,"
    " expires_at INTEGER NOT NULL,"
    " machine_id TEXT NOT NULL DEFAULT '',"
    " machine_platform TEXT NOT NULL DEFAULT '',"
    " machine_product_name TEXT NOT NULL DEFAULT '',"
    " machine_host_name TEXT NOT NULL DEFAULT '',"
    " remote_address TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE IF NOT EXISTS reset_tokens ("
    " token_digest TEXT PRIMARY KEY,"
    " user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
    " expires_at INTEGER NOT NULL,"
    " used_at INTEGER)",
};
} // namespace

AccountStore::AccountStore()
    : m_connectionName(QStringLiteral("accountd-") + QUuid::createUuid().toString(QUuid::Id128))
{}

AccountStore::~AccountStore()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool AccountStore::open(const QString &path, QString *error)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        *error = QStringLiteral("the Qt SQLite driver is missing (Debian: libqt6sql6-sqlite)");
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(path);
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    // Password hashes and token digests: for the service's user only.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    for (const char *statement : kSchema) {
        if (!exec(QString::fromLatin1(statement))) {
            *error = m_lastError;
            return false;
        }
    }
    return true;
}

bool AccountStore::exec(const QString &sql, const QVariantList &values)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    if (!query.prepare(sql)) {
        m_lastError = query.lastError().text();
        return false;
    }
    for (const QVariant &value : values) {
        // A null QString binds as SQL NULL; absent optional fields are empty text here.
        const bool nullText = value.typeId() == QMetaType::QString && value.toString().isNull();
        query.addBindValue(nullText ? QVariant(QString::fromLatin1("")) : value);
    }
    if (!query.exec()) {
        m_lastError = query.lastError().text();
        return false;
    }
    return true;
}

bool AccountStore::begin()
{
    return QSqlDatabase::database(m_connectionName).transaction();
}

bool AccountStore::commit()
{
    return QSqlDatabase::database(m_connectionName).commit();
}

void AccountStore::rollback()
{
    QSqlDatabase::database(m_connectionName).rollback();
}

std::optional<UserRecord> AccountStore::userWhere(const QString &column, const QString &value)
{
    // column is one of two fixed names chosen by the callers below, never input.
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    query.prepare(QStringLiteral("SELECT id, email, password_hash, verified, created_at "
                                 "FROM users WHERE %1 = ?")
                      .arg(column));
    query.addBindValue(value);
    if (!query.exec()) {
        m_lastError = query.lastError().text();
        return std::nullopt;
    }
    if (!query.next())
        return std::nullopt;
    return UserRecord{query.value(0).toString(), query.value(1).toString(),
                      query.value(2).toString(), query.value(3).toBool(),
                      query.value(4).toLongLong()};
}

std::optional<UserRecord> AccountStore::userByEmail(const QString &email)
{
    return userWhere(QStringLiteral("email"), email);
}

std::optional<UserRecord> AccountStore::userById(const QString &id)
{
    return userWhere(QStringLiteral("id"), id);
}

QList<UserRecord> AccountStore::users()
{
    QList<UserRecord> result;
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    if (!query.exec(QStringLiteral("SELECT id, email, password_hash, verified, created_at "
                                   "FROM users ORDER BY created_at, email")))
        return result;
    while (query.next()) {
        result.append({query.value(0).toString(), query.value(1).toString(),
                       query.value(2).toString(), query.value(3).toBool(),
                       query.value(4).toLongLong()});
    }
    return result;
}

bool AccountStore::insertUser(const UserRecord &user, const QString &locale)
{
    return exec(
        QStringLiteral("INSERT INTO users (id, email, password_hash, verified, locale, "
                       "created_at) VALUES (?, ?, ?, ?, ?, ?)"),
        {user.id, user.email, user.passwordHash, int(user.verified), locale, user.createdAt});
}

bool AccountStore::setPasswordHash(const QString &userId, const QString &hash)
{
    return exec(QStringLiteral("UPDATE users SET password_hash = ? WHERE id = ?"), {hash, userId});
}

bool AccountStore::setVerified(const QString &userId)
{
    return exec(QStringLiteral("UPDATE users SET verified = 1 WHERE id = ?"), {userId});
}

bool AccountStore::addSession(const QString &tokenDigest, const QString &userId, qint64 now,
                              qint64 expiresAt, const MachineInfo &machine)
{
    return exec(QStringLiteral("INSERT INTO sessions (token_digest, user_id, created_at, "
                               "expires_at, machine_id, machine_platform, machine_product_name, "
                               "machine_host_name, remote_address) "
                               "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {tokenDigest, userId, now, expiresAt, machine.id, machine.platform,
                 machine.productName, machine.hostName, machine.remoteAddress});
}

std::optional<QString> AccountStore::sessionUser(const QString &tokenDigest, qint64 now)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    query.prepare(
        QStringLiteral("SELECT user_id FROM sessions WHERE token_digest = ? AND expires_at > ?"));
    query.addBindValue(tokenDigest);
    query.addBindValue(now);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return query.value(0).toString();
}

bool AccountStore::revokeSessions(const QString &userId)
{
    return exec(QStringLiteral("DELETE FROM sessions WHERE user_id = ?"), {userId});
}

bool AccountStore::revokeSession(const QString &tokenDigest)
{
    return exec(QStringLiteral("DELETE FROM sessions WHERE token_digest = ?"), {tokenDigest});
}

bool AccountStore::addResetToken(const QString &tokenDigest, const QString &userId,
                                 qint64 expiresAt)
{
    return exec(QStringLiteral("INSERT INTO reset_tokens (token_digest, user_id, expires_at) "
                               "VALUES (?, ?, ?)"),
                {tokenDigest, userId, expiresAt});
}

std::optional<QString> AccountStore::resetTokenUser(const QString &tokenDigest, qint64 now)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    query.prepare(QStringLiteral("SELECT user_id FROM reset_tokens WHERE token_digest = ? "
                                 "AND used_at IS NULL AND expires_at > ?"));
    query.addBindValue(tokenDigest);
    query.addBindValue(now);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return query.value(0).toString();
}

bool AccountStore::voidResetTokens(const QString &userId, qint64 now)
{
    return exec(QStringLiteral("UPDATE reset_tokens SET used_at = ? "
                               "WHERE user_id = ? AND used_at IS NULL"),
                {now, userId});
}

bool AccountStore::pruneExpired(qint64 now)
{
    return exec(QStringLiteral("DELETE FROM sessions WHERE expires_at <= ?"), {now}) &&
           exec(QStringLiteral("DELETE FROM reset_tokens WHERE expires_at <= ? "
                               "OR used_at IS NOT NULL"),
                {now});
}
