#pragma once
#include <QString>

// Password hashing (Argon2id) and random secrets, all through libsodium.
namespace Crypto {
// Must succeed once before anything else here is used.
bool init();
// The encoded Argon2id hash ("$argon2id$..."), or an empty string when hashing failed.
QString hashPassword(const QString &password);
bool verifyPassword(const QString &encodedHash, const QString &password);
// 32 random bytes as 64 lower-case hexadecimal digits.
QString randomToken();
bool isTokenShaped(const QString &text);
// What the database keeps instead of a token: its SHA-256 in hexadecimal.
QString tokenDigest(const QString &token);
// Letters and digits without look-alikes (0/O, 1/l/I), for passwords sent by mail.
QString randomPassword(int length);
} // namespace Crypto
