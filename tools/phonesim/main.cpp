// phonesim: a fleet of virtual Android phones. With PHONESIM_HOME set, every other
// command line is answered the way adb answers it; "init", "plug", "unplug", "status" and
// "set-clip" manage the fleet itself, "make-clip" encodes a busy clip for phones to stream.
// See README.md.
#include "adbcommand.h"
#include "autojsservice.h"
#include "calllog.h"
#include "clipcli.h"
#include "fleet.h"
#include "fleetcli.h"
#include "fleetlock.h"
#include "hostchoice.h"
#include "processregistry.h"
#include "signalbridge.h"
#include "simserver.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <csignal>
#include <cstdio>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

namespace {

QString option(const QStringList &args, const QString &name)
{
    const int index = args.indexOf(name);
    return index >= 0 ? args.value(index + 1) : QString();
}

void writeAll(FILE *stream, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int runForwardHelper(QCoreApplication &app, const QStringList &args)
{
    ForwardHelperOptions options;
    options.home = option(args, QStringLiteral("--home"));
    options.phone = option(args, QStringLiteral("--phone"));
    options.transport = option(args, QStringLiteral("--transport"));
    options.model = option(args, QStringLiteral("--model"));
    options.remote = option(args, QStringLiteral("--remote"));
    options.localPort = option(args, QStringLiteral("--local")).toInt();
    options.listenFd = option(args, QStringLiteral("--fd")).toInt();
    options.autojs = option(args, QStringLiteral("--autojs")) != QLatin1String("0");
    ForwardHelper helper(options);
    if (!helper.start())
        return 1;
    SignalBridge bridge({SIGTERM, SIGINT, SIGHUP});
    QObject::connect(&bridge, &SignalBridge::received, &app, [] { QCoreApplication::exit(0); });
    const int code = app.exec();
    FleetLock lock(options.home);
    ProcessRegistry::remove(options.home, ::getpid());
    return code;
}

// The adb side: register, answer, log. A call that starts the phone-side server keeps
// running it until the session ends.
int runAdb(QCoreApplication &app, const QStringList &args)
{
    const QString homes = qEnvironmentVariable("PHONESIM_HOME");
    if (homes.isEmpty() || !QFile::exists(fleetFilePath(homes.section(QLatin1Char(':'), 0, 0)))) {
        std::fprintf(stderr, "phonesim: PHONESIM_HOME must name a fleet made by 'phonesim init'\n");
        return 1;
    }
    const HostChoice choice = chooseFleet(homes, args);
    if (choice.home.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(choice.error));
        return 1;
    }
    const QString &home = choice.home;

    ProcessEntry self;
    self.pid = ::getpid();
    self.startTicks = ProcessRegistry::startTicks(self.pid);
    self.kind = QStringLiteral("call");
    self.args = args;
    self.startMs = QDateTime::currentMSecsSinceEpoch();
    {
        FleetLock lock(home);
        ProcessRegistry::live(home); // reaps calls that were killed
        self.seq = ProcessRegistry::nextSeq(home);
        ProcessRegistry::write(home, self);
    }

    AdbCommand command(home, args, self);
    const CommandResult result = command.run();
    writeAll(stdout, result.out);
    writeAll(stderr, result.err);

    int exitCode = result.exitCode;
    int fatalSignal = 0;
    if (command.serverLaunch()) {
        // The encoders' chatter would drown the server's own lines on the caller's side.
        av_log_set_level(AV_LOG_ERROR);
        SimServer server(*command.serverLaunch());
        // SIGUSR1: pkill on the phone ended the server; SIGUSR2: the phone's adb
        // connection went away; the others: this local adb process is being killed.
        SignalBridge bridge({SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2});
        QObject::connect(&bridge, &SignalBridge::received, &server, [&server](int signal) {
            if (signal == SIGUSR1)
                server.finish(128 + SIGTERM);
            else if (signal == SIGUSR2)
                server.finish(1, QStringLiteral("error: closed"));
            else
                server.finish(128 + signal, {}, signal);
        });
        QObject::connect(&server, &SimServer::finished, &app, [&](int code, int signal) {
            fatalSignal = signal;
            QCoreApplication::exit(code);
        });
        QMetaObject::invokeMethod(&server, &SimServer::start, Qt::QueuedConnection);
        exitCode = app.exec();
    }

    {
        FleetLock lock(home);
        ProcessRegistry::remove(home, self.pid);
        QJsonObject details;
        if (fatalSignal != 0)
            details.insert("signal", fatalSignal);
        CallLog::append(home, self, fatalSignal != 0 ? std::nullopt : std::optional<int>(exitCode),
                        details);
    }
    if (fatalSignal != 0) {
        std::signal(fatalSignal, SIG_DFL);
        ::raise(fatalSignal);
    }
    return exitCode;
}

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGPIPE, SIG_IGN); // a vanished reader must not kill a phone
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QCoreApplication app(argc, argv);

    const QString first = args.value(0);
    if (first == QLatin1String("init"))
        return FleetCli::init(args.mid(1));
    if (first == QLatin1String("plug") || first == QLatin1String("unplug"))
        return FleetCli::plug(args.mid(1), first == QLatin1String("plug"));
    if (first == QLatin1String("status"))
        return FleetCli::status(args.mid(1));
    if (first == QLatin1String("make-clip")) {
        av_log_set_level(AV_LOG_ERROR);
        return ClipCli::make(args.mid(1));
    }
    if (first == QLatin1String("set-clip"))
        return ClipCli::set(args.mid(1));
    if (first == QLatin1String("__forward-helper"))
        return runForwardHelper(app, args.mid(1));
    return runAdb(app, args);
}
