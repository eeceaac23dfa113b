// Loads a freshly started accountd on loopback and prints figures; asserts nothing.
// Each client has its own loopback address (127.0.0.x), as clients on a network would.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {
quint16 g_port = 0;

QByteArray request(const QByteArray &method, const QByteArray &path, const QByteArray &body,
                   bool close = false)
{
    return method + ' ' + path + " HTTP/1.1\r\nHost: bench\r\nContent-Type: application/json\r\n" +
           (close ? "Connection: close\r\n" : "") +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// One kept-alive connection sending a request whenever asked and timing its answer.
class Client : public QObject
{
public:
    Client(const QString &from, QObject *parent) : QObject(parent), m_from(from)
    {
        connect(&m_socket, &QTcpSocket::readyRead, this, &Client::read);
    }

    std::function<void(int status, double ms)> onReply;

    void send(const QByteArray &bytes)
    {
        if (m_socket.state() != QAbstractSocket::ConnectedState) {
            m_socket.abort();
            m_socket.bind(QHostAddress(m_from));
            m_socket.connectToHost(QHostAddress::LocalHost, g_port);
            m_socket.waitForConnected(5000);
        }
        m_buffer.clear();
        m_timer.start();
        m_socket.write(bytes);
    }

private:
    void read()
    {
        m_buffer += m_socket.readAll();
        const qsizetype end = m_buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        static const QRegularExpression length(QStringLiteral("Content-Length: (\\d+)"),
                                               QRegularExpression::CaseInsensitiveOption);
        const qsizetype bodyLength =
            length.match(QString::fromLatin1(m_buffer.left(end))).captured(1).toLongLong();
        if (m_buffer.size() < end + 4 + bodyLength)
            return;
        const int status = m_buffer.mid(9, 3).toInt();
        const double ms = m_timer.nsecsElapsed() / 1e6;
        m_buffer.clear();
        if (onReply)
            onReply(status, ms);
    }

    QString m_from;
    QTcpSocket m_socket{this};
    QByteArray m_buffer;
    QElapsedTimer m_timer;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

QString loadNote()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll().left(14)).trimmed()
                                          : QString();
}

qint64 residentKiB(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    static const QRegularExpression rss(QStringLiteral("VmRSS:\\s+(\\d+)"));
    return rss.match(QString::fromLatin1(file.readAll())).captured(1).toLongLong();
}

void waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

QString address(int i)
{
    return QStringLiteral("127.0.%1.%2").arg(1 + i / 200).arg(10 + i % 200);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(QStringLiteral(ACCOUNTD_PATH),
                  {"--db", home.filePath("db.sqlite"), "--outbox", home.filePath("outbox"),
                   "--listen", "127.0.0.1:0", "--max-connections", "512,64"});
    QByteArray banner;
    waitFor(
        [&] {
            banner += service.readAllStandardOutput();
            return banner.contains("outbox");
        },
        15000);
    g_port = quint16(QRegularExpression(QStringLiteral(":(\\d+)\\n"))
                         .match(QString::fromLatin1(banner))
                         .captured(1)
                         .toUInt());
    if (!g_port) {
        std::fprintf(stderr, "accountd did not start\n");
        return 1;
    }
    std::printf("accountd bench on 127.0.0.1:%u, %d cores, load %s\n", g_port,
                QThread::idealThreadCount(), qPrintable(loadNote()));

    // Four clients each try to send 100 MB: as a declared body, as an undeclared stream
    // after a small request, and as one header line.
    // First, on the fresh service: hashing later leaves allocator arenas behind.
    const qint64 before = residentKiB(service.processId());
    for (const char *shape : {"declared", "undeclared", "header"}) {
        qint64 peak = before, sentTotal = 0;
        std::vector<std::unique_ptr<QTcpSocket>> senders;
        QByteArray chunk(1024 * 1024, 'x');
        for (int i = 0; i < 4; ++i) {
            auto socket = std::make_unique<QTcpSocket>();
            socket->bind(QHostAddress(address(100 + i)));
            socket->connectToHost(QHostAddress::LocalHost, g_port);
            socket->waitForConnected(5000);
            const QByteArray head =
                qstrcmp(shape, "declared") == 0
                    ? "POST /user/login HTTP/1.1\r\nContent-Type: application/json\r\n"
                      "Content-Length: 104857600\r\n\r\n"
                : qstrcmp(shape, "undeclared") == 0 ? request("GET", "/app/info", {})
                                                    : QByteArray("GET /app/info HTTP/1.1\r\nX: ");
            socket->write(head);
            senders.push_back(std::move(socket));
        }
        QElapsedTimer clock;
        clock.start();
        std::vector<qint64> sent(4, 0);
        while (clock.elapsed() < 20000) {
            bool open = false;
            for (int i = 0; i < 4; ++i) {
                QTcpSocket *socket = senders[i].get();
                if (socket->state() != QAbstractSocket::ConnectedState || sent[i] >= 100 << 20)
                    continue;
                open = true;
                if (socket->bytesToWrite() < (4 << 20)) {
                    socket->write(chunk);
                    sent[i] += chunk.size();
                }
                socket->readAll();
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            peak = std::max(peak, residentKiB(service.processId()));
            if (!open)
                break;
        }
        for (qint64 s : sent)
            sentTotal += s;
        std::printf(
            "4 x 100 MB %-10s: service resident %lld KiB before, peak %lld KiB (+%lld KiB); "
            "clients got %lld MB out before the service closed, %.1f s\n",
            shape, before, peak, peak - before, sentTotal >> 20, clock.elapsed() / 1000.0);
    }

    // One account per client, registered from the client's own address.
    constexpr int kClients = 50;
    QStringList passwords;
    for (int i = 0; i < kClients; ++i) {
        Client client(address(i), nullptr);
        int status = 0;
        client.onReply = [&](int s, double) { status = s; };
        client.send(request(
            "POST", "/user/register",
            QJsonDocument(QJsonObject{{"email", QStringLiteral("u%1@bench.example").arg(i)}})
                .toJson(QJsonDocument::Compact)));
        waitFor([&] { return status != 0; }, 20000);
    }
    const QDir outbox(home.filePath("outbox"));
    QHash<QString, QString> byEmail;
    for (const QString &name : outbox.entryList({"*.eml"})) {
        QFile file(outbox.filePath(name));
        file.open(QIODevice::ReadOnly);
        const QString text = QString::fromUtf8(file.readAll());
        byEmail.insert(
            QRegularExpression(QStringLiteral("To: <([^>]+)>")).match(text).captured(1),
            QRegularExpression(QStringLiteral("password is: (\\S+)")).match(text).captured(1));
    }
    for (int i = 0; i < kClients; ++i)
        passwords << byEmail.value(QStringLiteral("u%1@bench.example").arg(i));

    for (int level : {1, 10, 50}) {
        const int perClient = level == 1 ? 20 : level == 10 ? 6 : 4;
        std::vector<double> latencies;
        std::vector<double> infoLatencies;
        int busy = 0, failed = 0, done = 0;
        std::vector<std::unique_ptr<Client>> clients;
        QElapsedTimer wall;
        wall.start();
        for (int i = 0; i < level; ++i) {
            auto client = std::make_unique<Client>(address(i), nullptr);
            Client *raw = client.get();
            const QByteArray login = request(
                "POST", "/user/login",
                QJsonDocument(QJsonObject{{"email", QStringLiteral("u%1@bench.example").arg(i)},
                                          {"password", passwords.value(i)}})
                    .toJson(QJsonDocument::Compact));
            auto left = std::make_shared<int>(perClient);
            raw->onReply = [&, raw, login, left](int status, double ms) {
                if (status == 503) {
                    ++busy; // told to come back: once a second
                    QTimer::singleShot(1000, raw, [raw, login] { raw->send(login); });
                    return;
                }
                status == 200 ? latencies.push_back(ms) : void(++failed);
                if (--*left > 0)
                    raw->send(login);
                else
                    ++done;
            };
            raw->send(login);
            clients.push_back(std::move(client));
        }
        // A light client asks for /app/info every 100 ms meanwhile.
        Client info(QStringLiteral("127.0.9.1"), nullptr);
        const QByteArray infoRequest = request("GET", "/app/info", {});
        info.onReply = [&](int, double ms) {
            infoLatencies.push_back(ms);
            if (done < level)
                QTimer::singleShot(100, &info, [&] { info.send(infoRequest); });
        };
        info.send(infoRequest);
        waitFor([&] { return done == level; }, 180000);
        const double seconds = wall.nsecsElapsed() / 1e9;
        std::printf(
            "%2d clients: %5.1f logins/s, p50 %6.0f ms, p99 %6.0f ms (%zu ok, %d failed, "
            "%d answered 503), /app/info p50 %.1f ms p99 %.1f ms max %.1f ms (%zu), load %s\n",
            level, double(latencies.size()) / seconds, percentile(latencies, 0.5),
            percentile(latencies, 0.99), latencies.size(), failed, busy,
            percentile(infoLatencies, 0.5), percentile(infoLatencies, 0.99),
            percentile(infoLatencies, 1.0), infoLatencies.size(), qPrintable(loadNote()));
        waitFor([] { return false; }, 200);
    }

    service.terminate();
    service.waitForFinished(5000);
    return 0;
}
