// accountd: the reference account service of Parvix.
//   accountd --db FILE --outbox DIR [--listen 127.0.0.1:8790] [--smtp HOST:PORT] ...
//   accountd --db FILE --list-users
#include "accountservice.h"
#include "accountstore.h"
#include "crypto.h"
#include "mailer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QUrl>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
int fail(const QString &message)
{
    std::fprintf(stderr, "accountd: %s\n", qPrintable(message));
    return 2;
}

// "host:port", "[v6]:port"; false when the port is missing or out of range.
bool splitHostPort(const QString &text, QString *host, quint16 *port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    bool ok = false;
    const uint value = text.mid(colon + 1).toUInt(&ok);
    if (!ok || value > 65535)
        return false;
    *host = text.left(colon);
    if (host->startsWith(QLatin1Char('[')) && host->endsWith(QLatin1Char(']')))
        *host = host->mid(1, host->size() - 2);
    *port = quint16(value);
    return true;
}

int s_signalPipe[2] = {-1, -1};

void writeSignalByte(int)
{
    const char byte = 1;
    (void)!::write(s_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop through a pipe, so main returns as on any other
// end: the database is closed after the last request, mails being written are finished.
bool quitOnTermination(QCoreApplication *app)
{
    // pipe() and fcntl(), not pipe2(): macOS has no pipe2.
    if (::pipe(s_signalPipe) != 0)
        return false;
    for (const int end : s_signalPipe) {
        if (::fcntl(end, F_SETFD, FD_CLOEXEC) != 0 ||
            ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK) != 0)
            return false;
    }
    auto *notifier = new QSocketNotifier(s_signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = writeSignalByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGINT, &action, nullptr) == 0;
}

int positiveOption(const QCommandLineParser &parser, const QString &name, int fallback)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    return ok && value > 0 ? value : fallback;
}
} // namespace

int main(int argc, char **argv)
{
    // Everything the service writes (database, journal, mails) is for its own user.
    umask(077);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("accountd"));

    ServiceOptions defaults;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Reference account service of Parvix."));
    parser.addHelpOption();
    parser.addOptions({
        {"db", "SQLite database file (created when missing).", "file"},
        {"outbox", "Folder that receives every mail as an .eml file.", "dir"},
        {"listen", "Address and port to listen on (port 0: any free port).", "host:port",
         "127.0.0.1:8790"},
        {"public-url",
         "Address of the service as users reach it, used in mailed links and as the only "
         "accepted Origin (required when listening on all addresses; default: the listening "
         "address).",
         "url"},
        {"smtp", "Also relay mails to this SMTP server (no authentication).", "host:port"},
        {"mail-from", "Sender of the mails.", "address", "Parvix <no-reply@parvix.invalid>"},
        {"app-name", "Application name announced by /app/info.", "name", defaults.appName},
        {"app-version", "Application version announced by /app/info.", "version",
         defaults.appVersion},
        {"token-days", "Days a login token stays valid.", "days",
         QString::number(defaults.tokenDays)},
        {"login-free-failures", "Failed logins of one email from one address before delays start.",
         "count", QString::number(defaults.login.freeFailures)},
        {"login-delay",
         "Seconds of the first delay after the free failures; it doubles with each "
         "further one.",
         "seconds", QString::number(defaults.login.firstDelayMs / 1000)},
        {"login-limit-email",
         "Failed logins of one email from all addresses within the window; beyond it only "
         "addresses without failures may try.",
         "count", QString::number(defaults.login.emailCeiling)},
        {"login-limit-address", "Failed logins per client address within the window.", "count",
         QString::number(defaults.loginLimitPerAddress)},
        {"limit-window", "Length of the rate-limit window in seconds.", "seconds",
         QString::number(defaults.login.windowMs / 1000)},
        {"register-limit-address", "Registrations per client address per hour.", "count",
         QString::number(defaults.registerLimitPerAddress)},
        {"reset-limit-address", "Reset links per client address per hour.", "count",
         QString::number(defaults.resetLimitPerAddress)},
        {"hash-threads", "Threads hashing passwords (default: one per core).", "count"},
        {"hash-queue", "Password hashes that may wait; beyond it requests get 503.", "count",
         QString::number(defaults.hashQueue)},
        {"max-connections", "Open connections at most, and per client address.",
         "total,per-address",
         QStringLiteral("%1,%2")
             .arg(defaults.http.maxConnections)
             .arg(defaults.http.maxConnectionsPerAddress)},
        {"request-timeout", "Seconds a request may take to arrive.", "seconds",
         QString::number(defaults.http.requestTimeoutMs / 1000)},
        {"idle-timeout", "Seconds an idle kept-alive connection stays open.", "seconds",
         QString::number(defaults.http.idleTimeoutMs / 1000)},
        {"list-users", "Print the registered users and exit."},
    });
    parser.process(app);

    if (!parser.isSet("db"))
        return fail(QStringLiteral("--db FILE is required"));
    if (!Crypto::init())
        return fail(QStringLiteral("libsodium could not be initialised"));

    // A database folder made here is private; one given by the operator is left as it is.
    const QFileInfo dbFile(parser.value("db"));
    if (!dbFile.absoluteDir().exists() && !QDir().mkpath(dbFile.absolutePath()))
        return fail(QStringLiteral("cannot create the folder of %1").arg(parser.value("db")));
    AccountStore store;
    QString error;
    if (!store.open(parser.value("db"), &error))
        return fail(QStringLiteral("cannot open %1: %2").arg(parser.value("db"), error));

    if (parser.isSet("list-users")) {
        for (const UserRecord &user : store.users()) {
            std::printf(
                "%s\t%s\t%s\t%s\n", qPrintable(user.id), qPrintable(user.email),
                user.verified ? "verified" : "unverified",
                qPrintable(
                    QDateTime::fromSecsSinceEpoch(user.createdAt, Qt::UTC).toString(Qt::ISODate)));
        }
        return 0;
    }

    if (!parser.isSet("outbox"))
        return fail(QStringLiteral("--outbox DIR is required"));
    const QString outbox = QDir(parser.value("outbox")).absolutePath();
    if (!QDir().mkpath(outbox) ||
        !QFile::setPermissions(outbox, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return fail(QStringLiteral("cannot create the outbox %1").arg(outbox));

    Mailer mailer(outbox, parser.value("mail-from"));
    if (parser.isSet("smtp")) {
        QString host;
        quint16 port = 0;
        if (!splitHostPort(parser.value("smtp"), &host, &port) || port == 0)
            return fail(QStringLiteral("--smtp wants host:port"));
        mailer.setRelay(host, port);
    }

    ServiceOptions options;
    options.appName = parser.value("app-name");
    options.appVersion = parser.value("app-version");
    options.publicUrl = parser.value("public-url");
    while (options.publicUrl.endsWith(QLatin1Char('/')))
        options.publicUrl.chop(1);
    options.tokenDays = positiveOption(parser, "token-days", defaults.tokenDays);
    options.login.freeFailures =
        positiveOption(parser, "login-free-failures", defaults.login.freeFailures);
    options.login.firstDelayMs =
        qint64(positiveOption(parser, "login-delay", int(defaults.login.firstDelayMs / 1000))) *
        1000;
    options.login.emailCeiling =
        positiveOption(parser, "login-limit-email", defaults.login.emailCeiling);
    options.loginLimitPerAddress =
        positiveOption(parser, "login-limit-address", defaults.loginLimitPerAddress);
    options.login.windowMs =
        qint64(positiveOption(parser, "limit-window", int(defaults.login.windowMs / 1000))) * 1000;
    options.registerLimitPerAddress =
        positiveOption(parser, "register-limit-address", defaults.registerLimitPerAddress);
    options.resetLimitPerAddress =
        positiveOption(parser, "reset-limit-address", defaults.resetLimitPerAddress);
    options.hashThreads = positiveOption(parser, "hash-threads", 0);
    options.hashQueue = positiveOption(parser, "hash-queue", defaults.hashQueue);
    const QStringList connections = parser.value("max-connections").split(QLatin1Char(','));
    options.http.maxConnections = connections.value(0).toInt() > 0 ? connections.value(0).toInt()
                                                                   : defaults.http.maxConnections;
    options.http.maxConnectionsPerAddress = connections.value(1).toInt() > 0
                                                ? connections.value(1).toInt()
                                                : options.http.maxConnections;
    options.http.requestTimeoutMs =
        positiveOption(parser, "request-timeout", defaults.http.requestTimeoutMs / 1000) * 1000;
    options.http.idleTimeoutMs =
        positiveOption(parser, "idle-timeout", defaults.http.idleTimeoutMs / 1000) * 1000;

    QString host;
    quint16 port = 0;
    if (!splitHostPort(parser.value("listen"), &host, &port))
        return fail(QStringLiteral("--listen wants host:port"));
    const QHostAddress address(host);
    if (address.isNull())
        return fail(QStringLiteral("--listen: %1 is not an IP address").arg(host));

    // Mailed links must lead somewhere a user can reach, never to 0.0.0.0.
    const bool anyAddress = address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6 ||
                            address == QHostAddress::Any;
    if (anyAddress && options.publicUrl.isEmpty())
        return fail(QStringLiteral("--public-url is required when listening on all addresses"));
    const QUrl publicUrl(options.publicUrl);
    if (!options.publicUrl.isEmpty() && (!publicUrl.isValid() || publicUrl.host().isEmpty() ||
                                         (publicUrl.scheme() != QLatin1String("https") &&
                                          publicUrl.scheme() != QLatin1String("http"))))
        return fail(QStringLiteral("--public-url wants http(s)://host[:port]"));

    AccountService service(&store, &mailer, options);
    if (!quitOnTermination(&app))
        return fail(QStringLiteral("cannot handle SIGTERM"));
    const quint16 bound = service.listen(address, port);
    if (!bound)
        return fail(QStringLiteral("cannot listen on %1").arg(parser.value("listen")));
    if (!address.isLoopback())
        std::fprintf(stderr, "accountd: warning: plain HTTP on a non-loopback address\n");
    // Scripts and tests wait for this line (and read the port from it).
    std::printf("accountd listening on http://%s:%u\n", qPrintable(host), unsigned(bound));
    std::printf("accountd outbox %s\n", qPrintable(outbox));
    std::fflush(stdout);
    return app.exec();
}
