#include "adbcommand.h"

#include "devicefs.h"
#include "fleet.h"
#include "fleetlock.h"
#include "phoneshell.h"
#include "tunnels.h"
#include "version.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QByteArray kDaemonStarting =
    "* daemon not running; starting now at tcp:5037\n* daemon started successfully\n";
const QString kServerClass = QStringLiteral("com.genymobile.scrcpy.Server");
const QString kServerVersion = QStringLiteral(PARVIX_SERVER_VERSION);

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

CommandResult failure(const QString &message, int exitCode = 1)
{
    return {{}, message.toUtf8() + '\n', exitCode};
}

// adbd shows banner values with everything but [A-Za-z0-9._-] replaced by '_'.
QString sanitized(const QString &value)
{
    QString text = value;
    for (QChar &c : text) {
        const bool keep = (c.unicode() < 128 && c.isLetterOrNumber()) || c == QLatin1Char('.') ||
                          c == QLatin1Char('-') || c == QLatin1Char('_');
        if (!keep)
            c = QLatin1Char('_');
    }
    return text;
}

bool isSocketSpec(const QString &spec)
{
    for (const char *prefix : {"tcp:", "localabstract:", "localreserved:", "localfilesystem:",
                               "local:", "dev:", "jdwp:", "vsock:", "acceptfd:"}) {
        if (spec.startsWith(QLatin1String(prefix)) && spec.size() > int(qstrlen(prefix)))
            return true;
    }
    return false;
}

QString phoneStateError(const Phone &phone)
{
    if (phone.state == QLatin1String("unauthorized")) {
        return QStringLiteral("error: device unauthorized.\n"
                              "This adb server's $ADB_VENDOR_KEYS is not set\n"
                              "Try 'adb kill-server' if that seems wrong.\n"
                              "Otherwise check for a confirmation dialog on your device.");
    }
    if (phone.state == QLatin1String("offline"))
        return QStringLiteral("error: device offline");
    if (phone.state != QLatin1String("device"))
        return QStringLiteral("error: device still %1").arg(phone.state);
    return {};
}

// Opens a listening socket on address:port that a child process can inherit.
int listenOn(int port, int *boundPort, const QString &address = QStringLiteral("127.0.0.1"))
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in socketAddress = {};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = htons(quint16(port));
    if (::inet_pton(AF_INET, qPrintable(address), &socketAddress.sin_addr) != 1) {
        ::close(fd);
        return -1;
    }
    if (::bind(fd, reinterpret_cast<sockaddr *>(&socketAddress), sizeof socketAddress) != 0 ||
        ::listen(fd, 16) != 0) {
        ::close(fd);
        return -1;
    }
    socklen_t length = sizeof socketAddress;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&socketAddress), &length);
    *boundPort = ntohs(socketAddress.sin_port);
    return fd;
}

// Starts "phonesim __forward-helper ..." detached from this call: its own session, no
// standard streams, so the caller of this adb command never waits on it.
qint64 spawnForwardHelper(const QStringList &arguments)
{
    QList<QByteArray> storage;
    storage << QFile::encodeName(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    for (const QString &argument : arguments)
        storage << argument.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

} // namespace

QByteArray deviceLine(const Phone &phone, const Transport &transport, bool longFormat)
{
    if (!longFormat)
        return (transport.serial + QLatin1Char('\t') + phone.state + QLatin1Char('\n')).toUtf8();
    QString line = QStringLiteral("%1 %2").arg(transport.serial, -22).arg(phone.state);
    if (transport.kind == TransportKind::Usb && !phone.usbPort.isEmpty())
        line += QStringLiteral(" usb:") + phone.usbPort;
    if (phone.state == QLatin1String("device")) {
        line += QStringLiteral(" product:%1 model:%2 device:%3")
                    .arg(sanitized(phone.product), sanitized(phone.model), sanitized(phone.device));
    }
    line += QStringLiteral(" transport_id:%1\n").arg(transport.id);
    return line.toUtf8();
}

AdbCommand::AdbCommand(const QString &home, const QStringList &args, ProcessEntry &self)
    : m_home(home), m_args(args), m_self(self)
{}

bool AdbCommand::parseGlobalOptions(CommandResult &result)
{
    int i = 0;
    for (; i < m_args.size(); ++i) {
        const QString &arg = m_args.at(i);
        if (arg == QLatin1String("-s") || arg == QLatin1String("-t") ||
            arg == QLatin1String("-H") || arg == QLatin1String("-P") ||
            arg == QLatin1String("-L")) {
            if (i + 1 >= m_args.size()) {
                result = failure(QStringLiteral("adb: option %1 requires an argument").arg(arg));
                return false;
            }
            const QString value = m_args.at(++i);
            if (arg == QLatin1String("-s")) {
                m_target.serial = value;
            } else if (arg == QLatin1String("-t")) {
                bool ok = false;
                m_target.transportId = value.toInt(&ok);
                if (!ok || m_target.transportId <= 0) {
                    result = failure(QStringLiteral("adb: invalid transport id '%1'").arg(value));
                    return false;
                }
            }
        } else if (arg.startsWith(QLatin1Char('-')) && arg != QLatin1String("--")) {
            continue; // -d, -e, -a: no effect on a simulated fleet
        } else {
            break;
        }
    }
    m_command = m_args.mid(i);
    if (m_target.serial.isEmpty() && m_target.transportId == 0)
        m_target.serial = qEnvironmentVariable("ANDROID_SERIAL");
    return true;
}

CommandResult AdbCommand::run()
{
    CommandResult result;
    if (!parseGlobalOptions(result))
        return result;
    if (m_command.isEmpty())
        return failure(QStringLiteral("adb: no command given (phonesim plays adb; see README.md)"));

    const QString command = m_command.first();
    const QStringList args = m_command.mid(1);
    CommandResult outcome;
    if (command == QLatin1String("version")) {
        outcome = {"Android Debug Bridge version 1.0.41\nVersion 35.0.2-phonesim\n", {}, 0};
    } else if (command == QLatin1String("host-features")) {
        outcome = {"shell_v2,cmd,stat_v2,ls_v2,fixed_push_mkdir,abb,abb_exec,track_app\n", {}, 0};
    } else if (command == QLatin1String("start-server")) {
        outcome = startServer();
    } else if (command == QLatin1String("kill-server")) {
        outcome = killServer();
    } else if (command == QLatin1String("devices")) {
        outcome = devices(args);
    } else if (command == QLatin1String("track-devices")) {
        outcome = trackDevices(args);
    } else if (command == QLatin1String("connect")) {
        outcome = connectTcp(args);
    } else if (command == QLatin1String("pair")) {
        outcome = pair(args);
    } else if (command == QLatin1String("disconnect")) {
        outcome = disconnectTcp(args);
    } else if (command == QLatin1String("forward")) {
        outcome = forward(args);
    } else {
        static const QStringList phoneCommands{"shell",  "push", "reverse",   "tcpip",       "usb",
                                               "reboot", "emu",  "get-state", "get-serialno"};
        if (!phoneCommands.contains(command))
            return failure(QStringLiteral("adb: unknown command %1").arg(command));
        outcome = runOnPhone(command, args);
    }
    // Sessions end only once the lock is released: they take it to unregister.
    ProcessRegistry::end(m_killed, SIGUSR1);
    m_teardown.run();
    return outcome;
}

void AdbCommand::ensureServer(Fleet &fleet, CommandResult &result, bool &changed) const
{
    if (fleet.adbServerRunning)
        return;
    fleet.adbServerRunning = true;
    result.err += kDaemonStarting;
    changed = true;
}

CommandResult AdbCommand::startServer()
{
    FleetLock lock(m_home);
    QString error;
    auto fleet = Fleet::load(m_home, &error);
    if (!fleet)
        return failure(QStringLiteral("error: %1").arg(error));
    CommandResult result;
    bool changed = false;
    ensureServer(*fleet, result, changed);
    if (changed)
        fleet->save();
    return result;
}

CommandResult AdbCommand::killServer()
{
    FleetLock lock(m_home);
    QString error;
    auto fleet = Fleet::load(m_home, &error);
    if (!fleet)
        return failure(QStringLiteral("error: %1").arg(error));
    // The tunnels and shell sessions lived in the adb server and end with it.
    m_teardown.merge(FleetActions::dropEverything(m_home));
    // A new server knows no Wi-Fi phone until it is asked to connect again.
    for (Phone &phone : fleet->phones) {
        phone.tcpSerial.clear();
        phone.tcpTransportId = 0;
    }
    fleet->adbServerRunning = false;
    fleet->save();
    return {};
}

CommandResult AdbCommand::devices(const QStringList &args)
{
    bool longFormat = false;
    for (const QString &arg : args) {
        if (arg == QLatin1String("-l"))
            longFormat = true;
        else
            return failure(QStringLiteral("adb: usage: adb devices [-l]"));
    }
    FleetLock lock(m_home);
    QString error;
    auto fleet = Fleet::load(m_home, &error);
    if (!fleet)
        return failure(QStringLiteral("error: %1").arg(error));
    CommandResult result;
    bool changed = false;
    ensureServer(*fleet, result, changed);
    if (changed)
        fleet->save();
    result.out = "List of devices attached\n";
    for (const Transport &transport : fleet->listed(nowMs()))
        result.out += deviceLine(fleet->phones.at(transport.phoneIndex), transport, longFormat);
    result.out += '\n';
    return result;
}

CommandResult AdbCommand::trackDevices(const QStringList &args)
{
    const bool longFormat = args == QStringList{QStringLiteral("-l")};
    if (!args.isEmpty() && !longFormat)
        return failure(QStringLiteral("adb: usage: adb track-devices [-l]"));
    // The fleet file is read again when it changed, when a phone's restart ends, and now
    // and then in case a change fell within the file time's resolution; a quiet fleet
    // costs a stat every few milliseconds.
    constexpr int kPollMs = 20;
    constexpr int kRereadMs = 250;
    QByteArray last;
    bool sent = false;
    QDateTime seen;
    qint64 recheckAtMs = 0;
    qint64 readAtMs = 0;
    for (bool firstRound = true;; firstRound = false) {
        if (!firstRound)
            QThread::msleep(kPollMs);
        const QDateTime modified = QFileInfo(fleetFilePath(m_home)).lastModified();
        if (!sent || modified != seen || (recheckAtMs > 0 && nowMs() >= recheckAtMs) ||
            nowMs() - readAtMs >= kRereadMs) {
            seen = modified;
            readAtMs = nowMs();
            QByteArray listing;
            {
                FleetLock lock(m_home);
                auto fleet = Fleet::load(m_home, nullptr);
                if (!fleet) {
                    // Caught in the middle of a hand edit: read it again shortly.
                    seen = {};
                    continue;
                }
                // A silent cut: the stream stays open and says nothing.
                if (fleet->hostSilent)
                    continue;
                if (sent && !fleet->adbServerRunning)
                    return failure(QStringLiteral("error: protocol fault (couldn't read status)"));
                // A cut host's connection drops.
                if (fleet->hostCut)
                    return failure(QStringLiteral("error: closed"));
                CommandResult result;
                bool changed = false;
                ensureServer(*fleet, result, changed);
                if (changed)
                    fleet->save();
                if (!result.err.isEmpty()) {
                    std::fwrite(result.err.constData(), 1, size_t(result.err.size()), stderr);
                    std::fflush(stderr);
                }
                const qint64 now = nowMs();
                recheckAtMs = 0;
                for (const Phone &phone : std::as_const(fleet->phones)) {
                    if (phone.isRestarting(now) && !phone.poweredOff &&
                        (recheckAtMs == 0 || phone.offlineUntilMs < recheckAtMs))
                        recheckAtMs = phone.offlineUntilMs;
                }
                for (const Transport &transport : fleet->listed(now))
                    listing +=
                        deviceLine(fleet->phones.at(transport.phoneIndex), transport, longFormat);
            }
            if (!sent || listing != last) {
                const QByteArray block =
                    QByteArray::number(listing.size(), 16).rightJustified(4, '0') + listing;
                if (std::fwrite(block.constData(), 1, size_t(block.size()), stdout) !=
                        size_t(block.size()) ||
                    std::fflush(stdout) != 0)
                    return {};
                last = listing;
                sent = true;
            }
        }
    }
}

CommandResult AdbCommand::connectTcp(const QStringList &args)
{
    if (args.size() != 1)
        return failure(QStringLiteral("adb: usage: adb connect HOST[:PORT]"));
    QString host = args.first();
    int port = 5555;
    if (host.contains(QLatin1Char(':'))) {
        bool ok = false;
        port = host.section(QLatin1Char(':'), -1).toInt(&ok);
        host = host.section(QLatin1Char(':'), 0, -2);
        if (!ok || port <= 0 || port > 65535)
            return {QStringLiteral("failed to connect to '%1': bad port number\n")
                        .arg(args.first())
                        .toUtf8(),
                    {},
                    0};
    }
    const QString serial = QStringLiteral("%1:%2").arg(host).arg(port);
    if (host.isEmpty())
        return {QStringLiteral("failed to connect to '%1': empty host name\n").arg(serial).toUtf8(),
                {},
                0};

    // While the phone's adbd restarts (after tcpip) a connection attempt waits for it.
    for (;;) {
        qint64 waitMs = 0;
        {
            FleetLock lock(m_home);
            QString error;
            auto fleet = Fleet::load(m_home, &error);
            if (!fleet)
                return failure(QStringLiteral("error: %1").arg(error));
            CommandResult result;
            bool changed = false;
            ensureServer(*fleet, result, changed);
            const int index = fleet->phoneIndexByIp(host);
            Phone *phone = index >= 0 ? &fleet->phones[index] : nullptr;
            const bool reachable = phone && !phone->poweredOff && phone->tcpipPort == port;
            if (reachable && phone->isRestarting(nowMs())) {
                waitMs = qBound(qint64(1), phone->offlineUntilMs - nowMs(), qint64(10000));
            } else {
                // adb reports a failed connect on standard output and still exits with 0.
                if (!reachable) {
                    result.out = QStringLiteral("failed to connect to '%1': Connection refused\n")
                                     .arg(serial)
                                     .toUtf8();
                } else if (phone->tcpSerial == serial) {
                    result.out = QStringLiteral("already connected to %1\n").arg(serial).toUtf8();
                } else {
                    phone->tcpSerial = serial;
                    phone->tcpTransportId = fleet->allocateTransportId();
                    changed = true;
                    result.out = QStringLiteral("connected to %1\n").arg(serial).toUtf8();
                }
                if (changed)
                    fleet->save();
                return result;
            }
            if (changed)
                fleet->save();
        }
        QThread::msleep(quint64(waitMs));
    }
}

// Wireless debugging's pairing: the phone at HOST takes the code of its "pairCode" in
// fleet.json (any port); it is then marked "paired".
CommandResult AdbCommand::pair(const QStringList &args)
{
    if (args.isEmpty() || args.size() > 2)
        return failure(QStringLiteral("adb: usage: adb pair HOST[:PORT] [PAIRING CODE]"));
    if (args.size() == 1)
        return failure(QStringLiteral("adb: pairing code required on a non-interactive input"));
    const QString address = args.first();
    const QString host = address.section(QLatin1Char(':'), 0, 0);
    FleetLock lock(m_home);
    QString error;
    auto fleet = Fleet::load(m_home, &error);
    if (!fleet)
        return failure(QStringLiteral("error: %1").arg(error));
    CommandResult result;
    bool changed = false;
    ensureServer(*fleet, result, changed);
    const int index = fleet->phoneIndexByIp(host);
    Phone *phone = index >= 0 ? &fleet->phones[index] : nullptr;
    const QString code =
        phone ? phone->extra.value(QStringLiteral("pairCode")).toString() : QString();
    if (!phone || phone->poweredOff || code.isEmpty()) {
        result.out = "Failed: Unable to start pairing client.\n";
        result.exitCode = 1;
    } else if (args.at(1) != code) {
        result.out = "Failed: Wrong password or connection was dropped.\n";
        result.exitCode = 1;
    } else {
        phone->extra.insert(QStringLiteral("paired"), true);
        changed = true;
        result.out = QStringLiteral("Successfully paired to %1 [guid=adb-%2-phonesim]\n")
                         .arg(address, phone->serial)
                         .toUtf8();
    }
    if (changed)
        fleet->save();
    return result;
}

CommandResult AdbCommand::disconnectTcp(const QStringList &args)
{
    if (args.size() > 1)
        return failure(QStringLiteral("adb: usage: adb disconnect [HOST[:PORT]]"));
    FleetLock lock(m_home);
    QString error;
    auto fleet = Fleet::load(m_home, &error);
    if (!fleet)
        return failure(QStringLiteral("error: %1").arg(error));
    CommandResult result;
    bool changed = false;
    ensureServer(*fleet, result, changed);

    if (args.isEmpty()) {
        // Like adb: without an address every Wi-Fi connection goes, whatever -s says.
        for (int i = 0; i < fleet->phones.size(); ++i)
            m_teardown.merge(FleetActions::disconnectTcp(*fleet, i));
        fleet->save();
        result.out = "disconnected everything\n";
        return result;
    }
    QString serial = args.first();
    if (!serial.contains(QLatin1Char(':')))
        serial += QStringLiteral(":5555");
    for (int i = 0; i < fleet->phones.size(); ++i) {
        if (fleet->phones.at(i).tcpSerial == serial) {
            m_teardown.merge(FleetActions::disconnectTcp(*fleet, i));
            fleet->save();
            result.out = QStringLiteral("disconnected %1\n").arg(serial).toUtf8();
            return result;
        }
    }
    if (changed)
        fleet->save();
    result.err += QStringLiteral("error: no such device '%1'\n").arg(serial).toUtf8();
    result.exitCode = 1;
    return result;
}

std::optional<Transport> AdbCommand::resolve(const Fleet &fleet, CommandResult &result) const
{
    const QVector<Transport> listed = fleet.listed(nowMs());
    std::optional<Transport> found;
    if (!m_target.serial.isEmpty()) {
        found = fleet.findListed(m_target.serial, nowMs());
        if (!found) {
            result = failure(QStringLiteral("error: device '%1' not found").arg(m_target.serial));
            return std::nullopt;
        }
    } else if (m_target.transportId > 0) {
        found = fleet.findListedById(m_target.transportId, nowMs());
        if (!found) {
            result = failure(QStringLiteral("error: no device with transport id '%1'")
                                 .arg(m_target.transportId));
            return std::nullopt;
        }
    } else if (listed.isEmpty()) {
        result = failure(QStringLiteral("error: no devices/emulators found"));
        return std::nullopt;
    } else if (listed.size() > 1) {
        result = failure(QStringLiteral("error: more than one device/emulator"));
        return std::nullopt;
    } else {
        found = listed.first();
    }
    const QString stateError = phoneStateError(fleet.phones.at(found->phoneIndex));
    if (!stateError.isEmpty()) {
        result = failure(stateError);
        return std::nullopt;
    }
    return found;
}

CommandResult AdbCommand::runOnPhone(const QString &command, const QStringList &args)
{
    CommandResult result;
    int delayMs = 0;
    {
        FleetLock lock(m_home);
        QString error;
        auto fleet = Fleet::load(m_home, &error);
        if (!fleet)
            return failure(QStringLiteral("error: %1").arg(error));
        bool changed = false;
        ensureServer(*fleet, result, changed);
        if (changed)
            fleet->save();
        CommandResult resolveError;
        const auto transport = resolve(*fleet, resolveError);
        if (!transport) {
            resolveError.err.prepend(result.err);
            return resolveError;
        }
        delayMs = fleet->phones.at(transport->phoneIndex).faults.delayMs;
    }
    // A slow phone answers late; the phone may even leave meanwhile.
    if (delayMs > 0)
        QThread::msleep(quint64(delayMs));

    FleetLock lock(m_home);
    QString error;
    auto fleet = Fleet::load(m_home, &error);
    if (!fleet)
        return failure(QStringLiteral("error: %1").arg(error));
    CommandResult resolveError;
    const auto transport = resolve(*fleet, resolveError);
    if (!transport) {
        resolveError.err.prepend(result.err);
        return resolveError;
    }
    m_self.phone = fleet->phones.at(transport->phoneIndex).serial;
    m_self.transport = transport->serial;
    ProcessRegistry::write(m_home, m_self);

    CommandResult outcome;
    if (command == QLatin1String("shell")) {
        outcome = shell(*fleet, *transport, args);
    } else if (command == QLatin1String("push")) {
        outcome = push(*fleet, *transport, args);
    } else if (command == QLatin1String("reverse")) {
        outcome = reverse(*fleet, *transport, args);
    } else if (command == QLatin1String("tcpip")) {
        outcome = restartAdbd(*fleet, *transport, args, true);
    } else if (command == QLatin1String("usb")) {
        outcome = restartAdbd(*fleet, *transport, args, false);
    } else if (command == QLatin1String("reboot")) {
        outcome = reboot(*fleet, *transport);
    } else if (command == QLatin1String("emu")) {
        outcome = emu(*fleet, *transport, args);
    } else if (command == QLatin1String("get-state")) {
        outcome.out = fleet->phones.at(transport->phoneIndex).state.toUtf8() + '\n';
    } else if (command == QLatin1String("get-serialno")) {
        outcome.out = transport->serial.toUtf8() + '\n';
    }
    outcome.err.prepend(result.err);
    return outcome;
}

CommandResult AdbCommand::shell(Fleet &fleet, const Transport &transport, const QStringList &args)
{
    // Options of adb shell itself come before the command.
    QStringList words = args;
    while (!words.isEmpty() &&
           (words.first() == QLatin1String("-n") || words.first() == QLatin1String("-T") ||
            words.first() == QLatin1String("-t") || words.first() == QLatin1String("-x")))
        words.removeFirst();
    PhoneShell shell({m_home, &fleet, transport.phoneIndex, transport.serial});
    ShellOutcome outcome = shell.run(words.join(QLatin1Char(' ')));
    m_teardown.merge(outcome.teardown);
    m_killed += outcome.killed;
    if (outcome.fleetChanged)
        fleet.save();
    if (outcome.appProcess) {
        CommandResult launched =
            launchServer(fleet, transport, *outcome.appProcess, outcome.appProcessAssignments);
        launched.out.prepend(outcome.out);
        return launched;
    }
    return {outcome.out, outcome.err, outcome.exitCode};
}

CommandResult AdbCommand::launchServer(Fleet &fleet, const Transport &transport,
                                       const QStringList &words, const QStringList &assignments)
{
    const Phone &phone = fleet.phones.at(transport.phoneIndex);
    QString classpath;
    for (const QString &assignment : assignments) {
        if (assignment.startsWith(QLatin1String("CLASSPATH=")))
            classpath = assignment.mid(10);
    }
    const QString className = words.value(2);
    const DeviceFs fs(m_home, phone.serial);
    if (classpath.isEmpty() || !fs.isFile(classpath) || className != kServerClass) {
        return failure(
            QStringLiteral("Exception in thread \"main\" java.lang.ClassNotFoundException: "
                           "Didn't find class \"%1\" on path: %2")
                .arg(className, classpath));
    }
    const QString version = words.value(3);
    if (version != kServerVersion) {
        return failure(QStringLiteral("[server] ERROR: The server version (%1) does not match the "
                                      "client (%2)")
                           .arg(kServerVersion, version));
    }
    QString error;
    const auto options = ServerOptions::parse(words.mid(4), &error);
    if (!options)
        return failure(QStringLiteral("[server] ERROR: Exception on thread Thread[main]: "
                                      "java.lang.IllegalArgumentException: %1")
                           .arg(error));

    ServerLaunch launch{m_home, phone, transport.serial, *options, 0};
    const QString socket = QStringLiteral("localabstract:") + options->socketName();
    if (options->tunnelForward) {
        // The phone's socket, which adb forwards reach through the registration below.
        launch.listenFd = listenOn(0, &launch.port);
        if (launch.listenFd < 0)
            return failure(QStringLiteral("[server] ERROR: Exception on thread Thread[main]: "
                                          "java.io.IOException: Address already in use"));
        m_self.port = launch.port;
        m_self.socket = socket;
    } else {
        launch.port = Tunnels::load(m_home).reversePort(phone.serial, socket);
        if (launch.port == 0 && !phone.faults.serverNeverConnects) {
            return failure(QStringLiteral("[server] ERROR: Exception on thread Thread[main]: "
                                          "java.io.IOException: Connection refused (%1)")
                               .arg(options->socketName()));
        }
    }
    m_self.kind = QStringLiteral("server");
    m_self.cmdline = words.join(QLatin1Char(' '));
    ProcessRegistry::write(m_home, m_self);
    m_serverLaunch = launch;
    return {};
}

CommandResult AdbCommand::push(Fleet &fleet, const Transport &transport, const QStringList &args)
{
    const Phone &phone = fleet.phones.at(transport.phoneIndex);
    QStringList paths;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("-z")) {
            ++i;
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1 && paths.isEmpty()) {
            continue; // --sync, -a, -Z, -n, -q
        } else {
            paths << arg;
        }
    }
    if (paths.size() < 2)
        return failure(
            QStringLiteral("adb: usage: push [--sync] [-z ALGORITHM] [-Z] LOCAL... REMOTE"));
    const QString remote = paths.takeLast();
    const FsResult copied =
        DeviceFs(m_home, phone.serial).push(paths, remote, phone.faults.pushFails);
    return {copied.out, copied.err, copied.exitCode};
}

CommandResult AdbCommand::reverse(Fleet &fleet, const Transport &transport, const QStringList &args)
{
    const Phone &phone = fleet.phones.at(transport.phoneIndex);
    Tunnels tunnels = Tunnels::load(m_home);
    const QString option = args.value(0);
    if (option == QLatin1String("--list")) {
        CommandResult result;
        for (const ReverseTunnel &tunnel : tunnels.reverses) {
            if (tunnel.transport == transport.serial)
                result.out += QStringLiteral("%1 %2 %3\n")
                                  .arg(tunnel.transport, tunnel.remote, tunnel.local)
                                  .toUtf8();
        }
        return result;
    }
    if (phone.faults.reverseFails)
        return failure(QStringLiteral("adb: error: cannot bind listener: Operation not permitted"));
    if (option == QLatin1String("--remove-all")) {
        tunnels.reverses.erase(
            std::remove_if(tunnels.reverses.begin(), tunnels.reverses.end(),
                           [&](const ReverseTunnel &t) { return t.transport == transport.serial; }),
            tunnels.reverses.end());
        tunnels.save(m_home);
        return {};
    }
    if (option == QLatin1String("--remove")) {
        if (args.size() != 2)
            return failure(QStringLiteral("adb: usage: reverse --remove REMOTE"));
        for (int i = 0; i < tunnels.reverses.size(); ++i) {
            const ReverseTunnel &tunnel = tunnels.reverses.at(i);
            if (tunnel.transport == transport.serial && tunnel.remote == args.at(1)) {
                tunnels.reverses.removeAt(i);
                tunnels.save(m_home);
                return {};
            }
        }
        return failure(QStringLiteral("adb: error: listener '%1' not found").arg(args.at(1)));
    }
    QStringList specs = args;
    const bool noRebind = specs.value(0) == QLatin1String("--no-rebind");
    if (noRebind)
        specs.removeFirst();
    if (specs.size() != 2)
        return failure(QStringLiteral("adb: usage: reverse [--no-rebind] REMOTE LOCAL"));
    const QString remote = specs.at(0);
    const QString local = specs.at(1);
    if (!isSocketSpec(remote) || tcpPort(local) == 0)
        return failure(QStringLiteral("adb: error: cannot bind listener: bad socket spec '%1'")
                           .arg(isSocketSpec(remote) ? local : remote));
    // One phone-side socket name leads to one place; setting it again moves it.
    for (int i = 0; i < tunnels.reverses.size(); ++i) {
        if (tunnels.reverses.at(i).phone == phone.serial &&
            tunnels.reverses.at(i).remote == remote) {
            if (noRebind)
                return failure(QStringLiteral("adb: error: cannot rebind existing socket"));
            tunnels.reverses.removeAt(i);
            break;
        }
    }
    tunnels.reverses.append({transport.serial, phone.serial, remote, local});
    tunnels.save(m_home);
    return {};
}

CommandResult AdbCommand::forward(const QStringList &args)
{
    const QString option = args.value(0);
    if (option == QLatin1String("--list") || option == QLatin1String("--remove") ||
        option == QLatin1String("--remove-all")) {
        CommandResult result;
        QVector<ProcessEntry> helpers;
        {
            FleetLock lock(m_home);
            Tunnels tunnels = Tunnels::load(m_home);
            const QVector<ProcessEntry> live = ProcessRegistry::live(m_home);
            auto helperOf = [&](const ForwardTunnel &tunnel) {
                for (const ProcessEntry &entry : live) {
                    if (entry.pid == tunnel.pid)
                        helpers.append(entry);
                }
            };
            if (option == QLatin1String("--list")) {
                for (const ForwardTunnel &tunnel : tunnels.forwards)
                    result.out += QStringLiteral("%1 %2 %3\n")
                                      .arg(tunnel.transport, tunnel.local, tunnel.remote)
                                      .toUtf8();
                return result;
            }
            bool found = false;
            for (int i = tunnels.forwards.size() - 1; i >= 0; --i) {
                if (option == QLatin1String("--remove-all") ||
                    tunnels.forwards.at(i).local == args.value(1)) {
                    helperOf(tunnels.forwards.at(i));
                    tunnels.forwards.removeAt(i);
                    found = true;
                }
            }
            if (!found && option == QLatin1String("--remove"))
                return failure(
                    QStringLiteral("adb: error: listener '%1' not found").arg(args.value(1)));
            tunnels.save(m_home);
        }
        ProcessRegistry::end(helpers, SIGTERM);
        return result;
    }

    QStringList specs = args;
    const bool noRebind = specs.value(0) == QLatin1String("--no-rebind");
    if (noRebind)
        specs.removeFirst();
    if (specs.size() != 2)
        return failure(QStringLiteral("adb: usage: forward [--no-rebind] LOCAL REMOTE"));
    const QString local = specs.at(0);
    const QString remote = specs.at(1);
    const bool anyPort = local == QLatin1String("tcp:0");
    if ((!anyPort && tcpPort(local) == 0) || !isSocketSpec(remote))
        return failure(QStringLiteral("adb: error: cannot bind listener: bad socket spec '%1'")
                           .arg(isSocketSpec(remote) ? local : remote));

    CommandResult result;
    Phone phone;
    QString transportSerial;
    QVector<ProcessEntry> replaced;
    int delayMs = 0;
    QString bindAddress;
    {
        FleetLock lock(m_home);
        QString error;
        auto fleet = Fleet::load(m_home, &error);
        if (!fleet)
            return failure(QStringLiteral("error: %1").arg(error));
        bool changed = false;
        ensureServer(*fleet, result, changed);
        if (changed)
            fleet->save();
        CommandResult resolveError;
        const auto transport = resolve(*fleet, resolveError);
        if (!transport) {
            resolveError.err.prepend(result.err);
            return resolveError;
        }
        phone = fleet->phones.at(transport->phoneIndex);
        transportSerial = transport->serial;
        bindAddress = fleet->host; // a server started with -a: reachable at the host's address
        delayMs = phone.faults.delayMs;
        m_self.phone = phone.serial;
        m_self.transport = transportSerial;
        ProcessRegistry::write(m_home, m_self);

        // A second forward of the same computer port replaces the first.
        Tunnels tunnels = Tunnels::load(m_home);
        for (int i = tunnels.forwards.size() - 1; i >= 0; --i) {
            if (!anyPort && tunnels.forwards.at(i).local == local) {
                if (noRebind)
                    return failure(QStringLiteral("adb: error: cannot rebind existing socket"));
                for (const ProcessEntry &entry : ProcessRegistry::live(m_home)) {
                    if (entry.pid == tunnels.forwards.at(i).pid)
                        replaced.append(entry);
                }
                tunnels.forwards.removeAt(i);
            }
        }
        tunnels.save(m_home);
    }
    if (delayMs > 0)
        QThread::msleep(quint64(delayMs));
    ProcessRegistry::end(replaced, SIGTERM);

    int boundPort = 0;
    const int fd = listenOn(anyPort ? 0 : tcpPort(local), &boundPort, bindAddress);
    if (fd < 0)
        return failure(QStringLiteral("adb: error: cannot bind listener: Address already in use"));
    const QString boundLocal = QStringLiteral("tcp:%1").arg(boundPort);
    const qint64 pid = spawnForwardHelper(
        {QStringLiteral("__forward-helper"), QStringLiteral("--home"), m_home,
         QStringLiteral("--phone"), phone.serial, QStringLiteral("--transport"), transportSerial,
         QStringLiteral("--model"), phone.model, QStringLiteral("--remote"), remote,
         QStringLiteral("--local"), QString::number(boundPort), QStringLiteral("--fd"),
         QString::number(fd), QStringLiteral("--autojs"),
         phone.autojs ? QStringLiteral("1") : QStringLiteral("0")});
    ::close(fd);
    if (pid <= 0)
        return failure(QStringLiteral("adb: error: cannot start the forward"));

    FleetLock lock(m_home);
    ProcessEntry helper;
    helper.pid = pid;
    helper.startTicks = ProcessRegistry::startTicks(pid);
    helper.kind = QStringLiteral("forward");
    helper.phone = phone.serial;
    helper.transport = transportSerial;
    helper.port = boundPort;
    helper.startMs = nowMs();
    helper.cmdline = QStringLiteral("%1 %2").arg(boundLocal, remote);
    ProcessRegistry::write(m_home, helper);
    Tunnels tunnels = Tunnels::load(m_home);
    tunnels.forwards.append({transportSerial, phone.serial, boundLocal, remote, pid});
    tunnels.save(m_home);
    if (anyPort)
        result.out = QByteArray::number(boundPort) + '\n';
    return result;
}

CommandResult AdbCommand::restartAdbd(Fleet &fleet, const Transport &transport,
                                      const QStringList &args, bool toTcp)
{
    int port = 0;
    if (toTcp) {
        bool ok = false;
        port = args.value(0).toInt(&ok);
        if (args.size() != 1 || !ok || port <= 0 || port > 65535)
            return failure(QStringLiteral("adb: usage: adb tcpip PORT"));
    }
    m_teardown.merge(
        FleetActions::restartAdbd(fleet, transport.phoneIndex, port, nowMs(), fleet.restartMs));
    fleet.save();
    if (toTcp)
        return {QStringLiteral("restarting in TCP mode port: %1\n").arg(port).toUtf8(), {}, 0};
    return {"restarting in USB mode\n", {}, 0};
}

CommandResult AdbCommand::reboot(Fleet &fleet, const Transport &transport)
{
    m_teardown.merge(
        FleetActions::restartAdbd(fleet, transport.phoneIndex, 0, nowMs(), fleet.rebootMs));
    fleet.save();
    return {};
}

CommandResult AdbCommand::emu(Fleet &fleet, const Transport &transport, const QStringList &args)
{
    if (!fleet.phones.at(transport.phoneIndex).isEmulator())
        return failure(
            QStringLiteral("error: could not connect to TCP port 5554: Connection refused"));
    if (args.value(0) != QLatin1String("kill"))
        return {"KO: unknown command, try 'help'\n", {}, 1};
    m_teardown.merge(FleetActions::powerOff(fleet, transport.phoneIndex));
    fleet.save();
    return {"OK: killing emulator, bye bye\nOK\n", {}, 0};
}
