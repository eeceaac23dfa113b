#include "smtprelay.h"

#include <QTcpSocket>
#include <QTimer>
#include <cstdio>

namespace {
constexpr int kTimeoutMs = 30000;

// One message's conversation with the server.
class SmtpTransaction : public QObject
{
public:
    SmtpTransaction(const QString &from, const QString &to, QByteArray data, QObject *parent)
        : QObject(parent), m_from(from), m_to(to), m_data(std::move(data))
    {
        connect(&m_socket, &QTcpSocket::readyRead, this, [this] { readReplies(); });
        connect(&m_socket, &QTcpSocket::errorOccurred, this,
                [this] { fail(m_socket.errorString()); });
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] { fail(QStringLiteral("timed out")); });
    }

    void start(const QString &host, quint16 port)
    {
        m_timer.start(kTimeoutMs);
        m_socket.connectToHost(host, port);
    }

private:
    enum class Stage { Greeting, Hello, MailFrom, RcptTo, Data, Body, Quit, Done };

    void readReplies()
    {
        while (m_socket.canReadLine()) {
            const QByteArray line = m_socket.readLine().trimmed();
            // "250-..." continues a reply; "250 ..." or a bare code ends it.
            if (line.size() > 3 && line.at(3) == '-')
                continue;
            handleReply(line.left(3).toInt(), line);
            if (m_stage == Stage::Done)
                return;
        }
    }

    void handleReply(int code, const QByteArray &line)
    {
        const auto expect = [&](int wanted, int alternative = 0) {
            if (code == wanted || (alternative && code == alternative))
                return true;
            fail(QString::fromLatin1(line));
            return false;
        };
        switch (m_stage) {
        case Stage::Greeting:
            if (expect(220))
                command(Stage::Hello, "EHLO accountd");
            break;
        case Stage::Hello:
            if (expect(250))
                command(Stage::MailFrom, "MAIL FROM:<" + m_from.toUtf8() + '>');
            break;
        case Stage::MailFrom:
            if (expect(250))
                command(Stage::RcptTo, "RCPT TO:<" + m_to.toUtf8() + '>');
            break;
        case Stage::RcptTo:
            if (expect(250, 251))
                command(Stage::Data, "DATA");
            break;
        case Stage::Data:
            if (expect(354)) {
                m_stage = Stage::Body;
                m_socket.write(SmtpRelay::dataSection(m_data));
            }
            break;
        case Stage::Body:
            if (expect(250))
                command(Stage::Quit, "QUIT");
            break;
        case Stage::Quit:
            finish();
            break;
        case Stage::Done:
            break;
        }
    }

    void command(Stage next, const QByteArray &line)
    {
        m_stage = next;
        m_socket.write(line + "\r\n");
    }

    void fail(const QString &reason)
    {
        if (m_stage == Stage::Done)
            return;
        if (m_stage != Stage::Quit) // a server that hangs up after QUIT is fine
            std::fprintf(stderr, "accountd: SMTP relay failed: %s\n", qPrintable(reason));
        finish();
    }

    void finish()
    {
        m_stage = Stage::Done;
        m_timer.stop();
        m_socket.abort();
        deleteLater();
    }

    QString m_from;
    QString m_to;
    QByteArray m_data;
    QTcpSocket m_socket;
    QTimer m_timer;
    Stage m_stage = Stage::Greeting;
};
} // namespace

SmtpRelay::SmtpRelay(const QString &host, quint16 port, QObject *parent)
    : QObject(parent), m_host(host), m_port(port)
{}

void SmtpRelay::relay(const QString &from, const QString &to, const QByteArray &message)
{
    auto *transaction = new SmtpTransaction(from, to, message, this);
    transaction->start(m_host, m_port);
}

QByteArray SmtpRelay::dataSection(const QByteArray &message)
{
    QByteArray out;
    out.reserve(message.size() + 16);
    bool lineStart = true;
    for (char c : message) {
        if (lineStart && c == '.')
            out += '.';
        out += c;
        lineStart = c == '\n';
    }
    if (!out.endsWith("\r\n"))
        out += "\r\n";
    out += ".\r\n";
    return out;
}
