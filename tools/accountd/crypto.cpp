#include "crypto.h"

#include <sodium.h>

namespace {
constexpr int kTokenBytes = 32;
} // namespace

bool Crypto::init()
{
    return sodium_init() >= 0;
}

QString Crypto::hashPassword(const QString &password)
{
    const QByteArray utf8 = password.toUtf8();
    char encoded[crypto_pwhash_STRBYTES];
    // Interactive limits: about 64 MiB and a few tens of milliseconds per login.
    if (crypto_pwhash_str_alg(
            encoded, utf8.constData(), quint64(utf8.size()), crypto_pwhash_OPSLIMIT_INTERACTIVE,
            crypto_pwhash_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2ID13) != 0)
        return QString();
    return QString::fromLatin1(encoded);
}

bool Crypto::verifyPassword(const QString &encodedHash, const QString &password)
{
    const QByteArray hash = encodedHash.toLatin1();
    const QByteArray utf8 = password.toUtf8();
    return !hash.isEmpty() &&
           crypto_pwhash_str_verify(hash.constData(), utf8.constData(), quint64(utf8.size())) == 0;
}

QString Crypto::randomToken()
{
    QByteArray bytes(kTokenBytes, Qt::Uninitialized);
    randombytes_buf(bytes.data(), size_t(bytes.size()));
    return QString::fromLatin1(bytes.toHex());
}

bool Crypto::isTokenShaped(const QString &text)
{
    if (text.size() != 2 * kTokenBytes)
        return false;
    for (QChar c : text) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    }
    return true;
}

QString Crypto::tokenDigest(const QString &token)
{
    const QByteArray utf8 = token.toUtf8();
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char *>(utf8.constData()),
                       quint64(utf8.size()));
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(digest), sizeof digest).toHex());
}

QString Crypto::randomPassword(int length)
{
    static const char kAlphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
    const quint32 alphabetSize = sizeof kAlphabet - 1;
    QString password;
    password.reserve(length);
    for (int i = 0; i < length; ++i)
        password += QLatin1Char(kAlphabet[randombytes_uniform(alphabetSize)]);
    return password;
}
