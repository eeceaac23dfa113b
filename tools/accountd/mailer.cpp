#include "mailer.h"

#include "smtprelay.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QSaveFile>
#include <QThreadPool>
#include <QUuid>
#include <cstdio>

namespace {
QString addressOnly(const QString &from)
{
    const qsizetype open = from.indexOf(QLatin1Char('<'));
    const qsizetype close = from.indexOf(QLatin1Char('>'), open);
    return open >= 0 && close > open ? from.mid(open + 1, close - open - 1) : from;
}
} // namespace

Mailer::Mailer(const QString &outboxDir, const QString &from, QObject *parent)
    : QObject(parent), m_outboxDir(outboxDir), m_from(from)
{}

void Mailer::setRelay(const QString &host, quint16 port)
{
    delete m_relay;
    m_relay = new SmtpRelay(host, port, this);
}

QByteArray Mailer::render(const Mail &mail, const QString &from)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString domain = addressOnly(from).section(QLatin1Char('@'), 1);
    QString text;
    text += QStringLiteral("From: %1\r\n").arg(from);
    text += QStringLiteral("To: <%1>\r\n").arg(mail.to);
    text += QStringLiteral("Subject: %1\r\n").arg(mail.subject);
    text += QStringLiteral("Date: %1\r\n")
                .arg(QLocale::c().toString(now, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss +0000")));
    text += QStringLiteral("Message-ID: <%1@%2>\r\n")
                .arg(QUuid::createUuid().toString(QUuid::Id128),
                     domain.isEmpty() ? QStringLiteral("accountd") : domain);
    text += QStringLiteral("MIME-Version: 1.0\r\n"
                           "Content-Type: text/plain; charset=UTF-8\r\n"
                           "Content-Transfer-Encoding: 8bit\r\n\r\n");
    QString body = mail.body;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    body.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    text += body;
    if (!text.endsWith(QStringLiteral("\r\n")))
        text += QStringLiteral("\r\n");
    return text.toUtf8();
}

bool Mailer::write(const QString &outboxDir, const QByteArray &message, QString *error)
{
    if (!QDir().mkpath(outboxDir)) {
        *error = QStringLiteral("cannot create the outbox folder");
        return false;
    }
    // Mails hold passwords and reset links: the folder and its files are private.
    QFile::setPermissions(outboxDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Time first so that a listing sorted by name is in sending order.
    const QString name =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmsszzz")) +
        QLatin1Char('-') + QUuid::createUuid().toString(QUuid::Id128).left(8) +
        QStringLiteral(".eml");
    // Written whole or not at all: a reader of the outbox never sees half a mail.
    QSaveFile file(QDir(outboxDir).filePath(name));
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
        file.write(message) != message.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool Mailer::send(const Mail &mail, QString *error)
{
    const QByteArray message = render(mail, m_from);
    if (!write(m_outboxDir, message, error))
        return false;
    if (m_relay)
        m_relay->relay(addressOnly(m_from), mail.to, message);
    return true;
}

void Mailer::sendLater(const Mail &mail)
{
    const QByteArray message = render(mail, m_from);
    QThreadPool::globalInstance()->start([this, message, to = mail.to] {
        QString error;
        if (!write(m_outboxDir, message, &error)) {
            std::fprintf(stderr, "accountd: mail not written: %s\n", qPrintable(error));
            return;
        }
        // The relay belongs to the mailer's thread.
        QMetaObject::invokeMethod(
            this,
            [this, message, to] {
                if (m_relay)
                    m_relay->relay(addressOnly(m_from), to, message);
            },
            Qt::QueuedConnection);
    });
}

Mailer::~Mailer()
{
    QThreadPool::globalInstance()->waitForDone(); // mails still being written use this
}
