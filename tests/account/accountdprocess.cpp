#include "accountdprocess.h"

#include <QDir>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

QJsonObject RawReply::envelope() const
{
    return QJsonDocument::fromJson(body).object();
}

AccountdProcess::AccountdProcess()
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

AccountdProcess::~AccountdProcess()
{
    stop();
}

QString AccountdProcess::binary()
{
#ifdef ACCOUNTD_PATH
    return QStringLiteral(ACCOUNTD_PATH);
#else
    return QString();
#endif
}

bool AccountdProcess::start(const QStringList &extraArgs)
{
    stop();
    m_earlierOutput += m_output;
    m_output.clear();
    m_process.start(binary(), QStringList{"--db", m_home.filePath("accounts.sqlite"), "--outbox",
                                          m_home.filePath("outbox"), "--listen", "127.0.0.1:0"} +
                                  extraArgs);
    static const QRegularExpression ready(QStringLiteral("listening on (http://\\S+)"));
    const bool started = QTest::qWaitFor(
        [&] {
            m_output += m_process.readAll();
            return ready.match(QString::fromUtf8(m_output)).hasMatch() ||
                   m_process.state() == QProcess::NotRunning;
        },
        15000);
    const QRegularExpressionMatch match = ready.match(QString::fromUtf8(m_output));
    if (!started || !match.hasMatch())
        return false;
    m_baseUrl = match.captured(1);
    return true;
}

void AccountdProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_output += m_process.readAll();
}

QString AccountdProcess::logs()
{
    m_output += m_process.readAll();
    return QString::fromUtf8(m_earlierOutput + m_output);
}

QList<OutboxMail> AccountdProcess::mails() const
{
    QList<OutboxMail> result;
    const QDir outbox(m_home.filePath("outbox"));
    for (const QString &name : outbox.entryList({"*.eml"}, QDir::Files, QDir::Name)) {
        QFile file(outbox.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        OutboxMail mail;
        mail.fileName = name;
        mail.raw = file.readAll();
        const QString text = QString::fromUtf8(mail.raw);
        const qsizetype split = text.indexOf("\r\n\r\n");
        for (const QString &line : text.left(split).split("\r\n")) {
            if (line.startsWith("To: "))
                mail.to = line.mid(4).remove('<').remove('>');
            else if (line.startsWith("Subject: "))
                mail.subject = line.mid(9);
        }
        mail.body = text.mid(split + 4);
        result.append(mail);
    }
    return result;
}

QList<OutboxMail> AccountdProcess::mailsTo(const QString &address) const
{
    QList<OutboxMail> result;
    for (const OutboxMail &mail : mails()) {
        if (mail.to == address)
            result.append(mail);
    }
    return result;
}

RawReply AccountdProcess::call(const QByteArray &method, const QString &path,
                               const QByteArray &body,
                               const QList<QPair<QByteArray, QByteArray>> &headers)
{
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(m_baseUrl + path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    QNetworkReply *reply = network.sendCustomRequest(request, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    RawReply result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    delete reply;
    return result;
}
