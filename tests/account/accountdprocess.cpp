#include "accountdprocess.h"
#include "testsupport.h"

#include <QTcpSocket>
#include <QtTest>

bool AccountdProcess::start(const QStringList &extraArgs)
{
    stop();
    const qsizetype from = m_output.size();
    m_process.start(binary(), QStringList{"--db", homePath("accounts.sqlite"), "--outbox",
                                          homePath("outbox"), "--listen", "127.0.0.1:0"} +
                                  extraArgs);
    static const QRegularExpression ready(QStringLiteral("listening on (http://\\S+)"));
    QRegularExpressionMatch match;
    (void)QTest::qWaitFor(
        [&] {
            m_output += m_process.readAll();
            match = ready.match(QString::fromUtf8(m_output.mid(from)));
            return match.hasMatch() || m_process.state() == QProcess::NotRunning;
        },
        15000);
    m_baseUrl = match.captured(1);
    return match.hasMatch();
}

bool AccountdProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    m_process.terminate(); // one that does not end is killed by QProcess at the latest
    const bool ended = m_process.waitForFinished(5000);
    m_output += m_process.readAll();
    return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QString AccountdProcess::logs()
{
    m_output += m_process.readAll();
    return QString::fromUtf8(m_output);
}

QList<OutboxMail> AccountdProcess::mailsTo(const QString &address) const
{
    QList<OutboxMail> result;
    const QDir outbox(homePath("outbox"));
    for (const QString &name : outbox.entryList({"*.eml"}, QDir::Files, QDir::Name)) {
        const QByteArray raw = TestSupport::readFile(outbox.filePath(name));
        const qsizetype split = raw.indexOf("\r\n\r\n");
        if (address.isEmpty() || raw.left(split).contains("\nTo: <" + address.toUtf8() + ">\r"))
            result.append({QString::fromUtf8(raw.mid(split + 4)), raw});
    }
    return result;
}

QStringList AccountdProcess::userEmails() const
{
    QProcess list;
    list.start(binary(), {"--db", homePath("accounts.sqlite"), "--list-users"});
    list.waitForFinished(10000);
    QStringList emails;
    for (const QByteArray &line : list.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            emails << QString::fromUtf8(line.split('\t').value(1));
    emails.sort();
    return emails;
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
    result.status = result.statuses().value(0);
    result.body = result.reply.mid(result.reply.indexOf("\r\n\r\n") + 4);
    return result;
}

RawExchange AccountdProcess::call(const QByteArray &method, const QString &path,
                                  const QByteArray &body,
                                  const QList<QPair<QByteArray, QByteArray>> &headers,
                                  const QString &from)
{
    QByteArray request =
        method + ' ' + QUrl(path).toEncoded() +
        " HTTP/1.1\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\n";
    for (const auto &[name, value] : headers)
        request += name + ": " + value + "\r\n";
    if (!request.contains("Content-Type:"))
        request += "Content-Type: application/json\r\n";
    return exchange(request + "\r\n" + body, from, 20000);
}
