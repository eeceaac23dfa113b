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

bool AccountdProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    m_process.terminate();
    const bool ended = m_process.waitForFinished(5000);
    if (!ended) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_output += m_process.readAll();
    return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
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

QStringList AccountdProcess::userEmails() const
{
    QProcess list;
    list.start(binary(), {"--db", m_home.filePath("accounts.sqlite"), "--list-users"});
    list.waitForFinished(10000);
    QStringList emails;
    for (const QByteArray &line : list.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty())
            emails << QString::fromUtf8(line.split('\t').value(1));
    }
    return emails;
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

QList<int> RawExchange::statuses() const
{
    QList<int> result;
    static const QRegularExpression line(QStringLiteral("HTTP/1\\.1 (\\d{3}) "));
    for (const QRegularExpressionMatch &match : line.globalMatch(QString::fromLatin1(reply)))
        result.append(match.captured(1).toInt());
    return result;
}

RawExchange AccountdProcess::exchange(const QByteArray &bytes, const QString &from, int waitMs)
{
    QTcpSocket socket;
    socket.bind(QHostAddress(from));
    socket.connectToHost(QHostAddress::LocalHost, quint16(QUrl(m_baseUrl).port()));
    RawExchange result;
    if (!socket.waitForConnected(5000))
        return result;
    socket.write(bytes);
    result.closed = QTest::qWaitFor(
        [&] {
            result.reply += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        waitMs);
    result.reply += socket.readAll();
    return result;
}

RawReply AccountdProcess::callFrom(const QString &from, const QByteArray &method,
                                   const QString &path, const QByteArray &body)
{
    const RawExchange raw = exchange(method + ' ' + path.toUtf8() +
                                         " HTTP/1.1\r\nContent-Type: application/json\r\n"
                                         "Connection: close\r\nContent-Length: " +
                                         QByteArray::number(body.size()) + "\r\n\r\n" + body,
                                     from, 20000);
    RawReply result;
    result.status = raw.statuses().value(0);
    result.body = raw.reply.mid(raw.reply.indexOf("\r\n\r\n") + 4);
    return result;
}
