#include "phoneshell.h"

#include "calllog.h"
#include "devicefs.h"
#include "fleet.h"
#include "media_clip.h"
#include "shellwords.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>

namespace {

const QByteArray kErrorNoise =
    "WARNING: linker: libsimfault.so: unsupported flags DT_FLAGS_1=0x8000001 (error ignored)\n";

QString hostPart(const QString &address)
{
    return address.section(QLatin1Char('.'), 0, 2);
}

QString macFor(const QString &serial)
{
    const QByteArray hash = QByteArray::number(qHash(serial), 16).rightJustified(10, '0').right(10);
    QStringList parts{QStringLiteral("02")};
    for (int i = 0; i < 10; i += 2)
        parts << QString::fromLatin1(hash.mid(i, 2));
    return parts.join(QLatin1Char(':'));
}

} // namespace

QByteArray ipAddrText(const QString &device, int index, const QString &address)
{
    QString text =
        QStringLiteral("%1: %2: <BROADCAST,MULTICAST,UP,LOWER_UP> mtu 1500 qdisc mq state UP "
                       "group default qlen 3000\n"
                       "    link/ether %3 brd ff:ff:ff:ff:ff:ff\n")
            .arg(index)
            .arg(device, macFor(device + address));
    if (!address.isEmpty()) {
        text += QStringLiteral("    inet %1/24 brd %2.255 scope global %3\n"
                               "       valid_lft forever preferred_lft forever\n")
                    .arg(address, hostPart(address), device);
    }
    text += QStringLiteral("    inet6 fe80::%1/64 scope link\n"
                           "       valid_lft forever preferred_lft forever\n")
                .arg(index * 17 + 4660, 0, 16);
    return text.toUtf8();
}

PhoneShell::PhoneShell(const ShellContext &context) : m_context(context) {}

ShellOutcome PhoneShell::run(const QString &commandLine)
{
    ShellOutcome outcome;
    const Phone &phone = m_context.fleet->phones.at(m_context.phoneIndex);
    if (phone.faults.shellPrintsError)
        outcome.out += kErrorNoise;

    const ShellScript script = parseShellLine(commandLine);
    if (!script.error.isEmpty()) {
        outcome.err += "/system/bin/sh: " + script.error.toUtf8() + '\n';
        outcome.exitCode = 2;
        return outcome;
    }
    if (script.steps.isEmpty()) {
        outcome.err += "phonesim: an interactive shell is not simulated; pass a command\n";
        outcome.exitCode = 1;
        return outcome;
    }

    // The server replaces this process, so it can only be the whole command line.
    for (const ShellStep &step : script.steps) {
        for (const ShellCommand &command : step.pipeline) {
            if (command.words.value(0) != QLatin1String("app_process"))
                continue;
            if (script.steps.size() != 1 || step.pipeline.size() != 1) {
                outcome.err += "/system/bin/sh: app_process must be the only command here\n";
                outcome.exitCode = 2;
                return outcome;
            }
            outcome.appProcess = command.words;
            outcome.appProcessAssignments = command.assignments;
            return outcome;
        }
    }

    int status = 0;
    for (const ShellStep &step : script.steps) {
        if ((step.connector == QLatin1String("&&") && status != 0) ||
            (step.connector == QLatin1String("||") && status == 0))
            continue;
        QByteArray piped;
        for (int i = 0; i < step.pipeline.size(); ++i) {
            const Result result = runCommand(step.pipeline.at(i), piped, outcome);
            outcome.err += result.err;
            status = result.exitCode;
            if (i + 1 < step.pipeline.size())
                piped = result.out;
            else
                outcome.out += result.out;
        }
    }
    outcome.exitCode = status;
    return outcome;
}

PhoneShell::Result PhoneShell::runCommand(const ShellCommand &command, const QByteArray &input,
                                          ShellOutcome &outcome)
{
    if (command.words.isEmpty())
        return {};
    const QString name = command.words.first();
    const QStringList args = command.words.mid(1);
    const Phone &phone = m_context.fleet->phones.at(m_context.phoneIndex);
    const DeviceFs fs(m_context.home, phone.serial);
    auto fromFs = [](const FsResult &r) { return Result{r.out, r.err, r.exitCode}; };

    if (name == QLatin1String("getprop"))
        return getprop(args);
    if (name == QLatin1String("wm"))
        return wm(args);
    if (name == QLatin1String("ip"))
        return ip(args);
    if (name == QLatin1String("ifconfig"))
        return ifconfig(args);
    if (name == QLatin1String("pm"))
        return pm(args);
    if (name == QLatin1String("dumpsys"))
        return dumpsys(args);
    if (name == QLatin1String("am"))
        return am(args);
    if (name == QLatin1String("pkill"))
        return pkill(args, outcome);
    if (name == QLatin1String("reboot"))
        return reboot(args, outcome);
    if (name == QLatin1String("ps"))
        return ps();
    if (name == QLatin1String("grep"))
        return grep(args, input);
    if (name == QLatin1String("cat"))
        return args.isEmpty() ? Result{input, {}, 0} : fromFs(fs.cat(args));
    if (name == QLatin1String("true"))
        return {};
    if (name == QLatin1String("false"))
        return {{}, {}, 1};
    if (name == QLatin1String("echo")) {
        QStringList words = args;
        const bool noNewline = words.value(0) == QLatin1String("-n");
        if (noNewline)
            words.removeFirst();
        return {words.join(QLatin1Char(' ')).toUtf8() + (noNewline ? "" : "\n"), {}, 0};
    }
    if (name == QLatin1String("ls")) {
        bool longFormat = false;
        bool all = false;
        QStringList paths;
        for (const QString &arg : args) {
            if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
                longFormat = longFormat || arg.contains(QLatin1Char('l'));
                all = all || arg.contains(QLatin1Char('a'));
            } else {
                paths << arg;
            }
        }
        return fromFs(fs.list(paths, longFormat, all));
    }
    return {{},
            QStringLiteral("/system/bin/sh: %1: inaccessible or not found\n").arg(name).toUtf8(),
            127};
}

PhoneShell::Result PhoneShell::getprop(const QStringList &args) const
{
    const Phone &phone = m_context.fleet->phones.at(m_context.phoneIndex);
    if (args.isEmpty()) {
        QByteArray out;
        const QJsonObject all = phone.allProperties();
        for (auto it = all.begin(); it != all.end(); ++it)
            out += QStringLiteral("[%1]: [%2]\n")
                       .arg(it.key(), it.value().toVariant().toString())
                       .toUtf8();
        return {out, {}, 0};
    }
    QString value = phone.property(args.first());
    if (value.isEmpty() && args.size() > 1)
        value = args.at(1); // getprop KEY DEFAULT
    return {value.toUtf8() + '\n', {}, 0};
}

PhoneShell::Result PhoneShell::wm(const QStringList &args) const
{
    const Phone &phone = m_context.fleet->phones.at(m_context.phoneIndex);
    if (args.value(0) == QLatin1String("size") && args.size() == 1) {
        // A phone streaming a clip has the clip's screen, so the computer scales touches to it.
        QSize size = phone.size;
        const QString clipPath = clipFilePath(m_context.home, phone);
        if (!clipPath.isEmpty()) {
            if (const std::optional<VideoClip> clip = VideoClip::load(clipPath, nullptr))
                size = clip->size;
        }
        QByteArray out = "Physical size: " + sizeText(size).toUtf8() + '\n';
        if (phone.overrideSize.isValid())
            out += "Override size: " + sizeText(phone.overrideSize).toUtf8() + '\n';
        return {out, {}, 0};
    }
    if (args.value(0) == QLatin1String("density") && args.size() == 1)
        return {"Physical density: 420\n", {}, 0};
    return {{}, "Error: unknown command '" + args.join(QLatin1Char(' ')).toUtf8() + "'\n", 255};
}

PhoneShell::Result PhoneShell::ip(const QStringList &args) const
{
    const Phone &phone = m_context.fleet->phones.at(m_context.phoneIndex);
    if (phone.ipLookup == QLatin1String("ifconfig"))
        return {{}, "/system/bin/sh: ip: inaccessible or not found\n", 127};
    const bool addr = args.value(0) == QLatin1String("addr") ||
                      args.value(0) == QLatin1String("a") ||
                      args.value(0) == QLatin1String("address");
    if (!addr)
        return {{}, "Command \"" + args.value(0).toUtf8() + "\" is unknown, try \"ip help\".\n", 1};
    QStringList rest = args.mid(1);
    if (rest.value(0) == QLatin1String("show"))
        rest.removeFirst();
    const QString device = rest.value(0);

    // Which interface carries the address depends on how the phone reaches the network.
    const bool onEthernet = phone.ipLookup == QLatin1String("eth0");
    const QString wlanAddress = phone.ipLookup == QLatin1String("ip") ? phone.ip : QString();
    QByteArray all =
        "1: lo: <LOOPBACK,UP,LOWER_UP> mtu 65536 qdisc noqueue state UNKNOWN group "
        "default qlen 1000\n    link/loopback 00:00:00:00:00:00 brd 00:00:00:00:00:00\n"
        "    inet 127.0.0.1/8 scope host lo\n       valid_lft forever preferred_lft forever\n";
    if (!onEthernet)
        all += ipAddrText(QStringLiteral("wlan0"), 30, wlanAddress);
    else
        all += ipAddrText(QStringLiteral("eth0"), 2, phone.ip);

    if (device.isEmpty())
        return {all, {}, 0};
    if (device == QLatin1String("wlan0") && !onEthernet)
        return {ipAddrText(device, 30, wlanAddress), {}, 0};
    if (device == QLatin1String("eth0") && onEthernet)
        return {ipAddrText(device, 2, phone.ip), {}, 0};
    if (device == QLatin1String("lo"))
        return {all.left(all.indexOf("30: ")), {}, 0};
    return {{}, "Device \"" + device.toUtf8() + "\" does not exist.\n", 1};
}

PhoneShell::Result PhoneShell::ifconfig(const QStringList &args) const
{
    const Phone &phone = m_context.fleet->phones.at(m_context.phoneIndex);
    const QString device = args.value(0, QStringLiteral("wlan0"));
    const bool onEthernet = phone.ipLookup == QLatin1String("eth0");
    const bool exists = device == (onEthernet ? QLatin1String("eth0") : QLatin1String("wlan0"));
    if (!exists)
        return {{}, "ifconfig: " + device.toUtf8() + ": No such device\n", 1};
    const bool showsAddress = phone.ipLookup == QLatin1String("ip") ||
                              phone.ipLookup == QLatin1String("ifconfig") || onEthernet;
    QString text = QStringLiteral("%1     Link encap:UNSPEC    Driver icnss\n").arg(device);
    if (showsAddress && !phone.ip.isEmpty()) {
        text += QStringLiteral("          inet addr:%1  Bcast:%2.255  Mask:255.255.255.0 \n")
                    .arg(phone.ip, hostPart(phone.ip));
    }
    text += QStringLiteral("          inet6 addr: fe80::1234/64 Scope: Link\n"
                           "          UP BROADCAST RUNNING MULTICAST  MTU:1500  Metric:1\n"
                           "          RX bytes:104857600 TX bytes:20971520\n");
    return {text.toUtf8(), {}, 0};
}

PhoneShell::Result PhoneShell::pm(const QStringList &args) const
{
    const Phone &phone = m_context.fleet->phones.at(m_context.phoneIndex);
    if (args.value(0) != QLatin1String("install"))
        return {{}, "Unknown command: " + args.value(0).toUtf8() + '\n', 1};
    QStringList paths;
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("-i") || arg == QLatin1String("-p") ||
            arg == QLatin1String("--user")) {
            ++i; // option with a value
        } else if (!arg.startsWith(QLatin1Char('-'))) {
            paths << arg;
        }
    }
    if (paths.isEmpty())
        return {"Failure [INSTALL_FAILED_INVALID_URI: no package specified]\n", {}, 1};
    const DeviceFs fs(m_context.home, phone.serial);
    // Several paths are one split package: every part must be a readable APK.
    for (const QString &path : paths) {
        if (!fs.isFile(path)) {
            return {QStringLiteral("Failure [INSTALL_FAILED_INVALID_URI: cannot open %1]\n")
                        .arg(path)
                        .toUtf8(),
                    {},
                    1};
        }
        if (!path.endsWith(QLatin1String(".apk"), Qt::CaseInsensitive)) {
            return {QStringLiteral("Failure [INSTALL_PARSE_FAILED_NOT_APK: Failed parse during "
                                   "installPackageLI: %1 is not an APK]\n")
                        .arg(path)
                        .toUtf8(),
                    {},
                    1};
        }
    }
    CallLog::appendJsonLine(phoneDir(m_context.home, phone.serial) +
                                QStringLiteral("/installed.jsonl"),
                            {{"timeMs", double(QDateTime::currentMSecsSinceEpoch())},
                             {"paths", QJsonArray::fromStringList(paths)}});
    return {"Success\n", {}, 0};
}

PhoneShell::Result PhoneShell::dumpsys(const QStringList &args) const
{
    if (args.value(0) != QLatin1String("battery"))
        return {"Can't find service: " + args.value(0).toUtf8() + '\n', {}, 0};
    // "battery" (percent) and "charging" of the phone in fleet.json; a full battery otherwise.
    const Phone &phone = m_context.fleet->phones.at(m_context.phoneIndex);
    const int level = qBound(0, phone.extra.value(QStringLiteral("battery")).toInt(100), 100);
    const bool charging = phone.extra.value(QStringLiteral("charging")).toBool(phone.usb);
    const QString text = QStringLiteral("Current Battery Service state:\n"
                                        "  AC powered: false\n"
                                        "  USB powered: %1\n"
                                        "  Wireless powered: false\n"
                                        "  Max charging current: 500000\n"
                                        "  status: %2\n"
                                        "  health: 2\n"
                                        "  present: true\n"
                                        "  level: %3\n"
                                        "  scale: 100\n"
                                        "  voltage: 4012\n"
                                        "  temperature: 265\n"
                                        "  technology: Li-ion\n")
                             .arg(charging ? QStringLiteral("true") : QStringLiteral("false"))
                             .arg(charging ? (level == 100 ? 5 : 2) : 3)
                             .arg(level);
    return {text.toUtf8(), {}, 0};
}

PhoneShell::Result PhoneShell::am(const QStringList &args) const
{
    const Phone &phone = m_context.fleet->phones.at(m_context.phoneIndex);
    if (args.value(0) != QLatin1String("start"))
        return {{}, "Error: unknown command '" + args.value(0).toUtf8() + "'\n", 255};
    QStringList parts;
    QJsonObject intent;
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const QString value = args.value(i + 1);
        if (arg == QLatin1String("-a")) {
            parts << QStringLiteral("act=") + value;
            intent.insert("action", value);
            ++i;
        } else if (arg == QLatin1String("-c")) {
            parts << QStringLiteral("cat=[%1]").arg(value);
            intent.insert("category", value);
            ++i;
        } else if (arg == QLatin1String("-d")) {
            parts << QStringLiteral("dat=") + value;
            intent.insert("data", value);
            ++i;
        } else if (arg == QLatin1String("-t")) {
            parts << QStringLiteral("typ=") + value;
            intent.insert("type", value);
            ++i;
        } else if (arg == QLatin1String("-n")) {
            parts << QStringLiteral("cmp=") + value;
            intent.insert("component", value);
            ++i;
        } else if (arg == QLatin1String("--grant-read-uri-permission")) {
            parts << QStringLiteral("flg=0x1");
            intent.insert("grantReadUriPermission", true);
        }
    }
    intent.insert("timeMs", double(QDateTime::currentMSecsSinceEpoch()));
    intent.insert("args", QJsonArray::fromStringList(args));
    CallLog::appendJsonLine(
        phoneDir(m_context.home, phone.serial) + QStringLiteral("/intents.jsonl"), intent);
    return {"Starting: Intent { " + parts.join(QLatin1Char(' ')).toUtf8() + " }\n", {}, 0};
}

PhoneShell::Result PhoneShell::pkill(const QStringList &args, ShellOutcome &outcome) const
{
    const Phone &phone = m_context.fleet->phones.at(m_context.phoneIndex);
    bool fullCommandLine = false;
    QString pattern;
    for (const QString &arg : args) {
        if (arg == QLatin1String("-f"))
            fullCommandLine = true;
        else if (arg.startsWith(QLatin1Char('-')))
            continue; // a signal such as -9: every signal ends the simulated server
        else
            pattern = arg;
    }
    if (pattern.isEmpty())
        return {{}, "pkill: Need 1 argument\n", 1};
    const QRegularExpression expression(pattern);
    if (!expression.isValid())
        return {{}, "pkill: bad regex '" + pattern.toUtf8() + "'\n", 1};
    for (const ProcessEntry &entry : ProcessRegistry::live(m_context.home)) {
        if (entry.kind != QLatin1String("server") || entry.phone != phone.serial)
            continue;
        const QString subject =
            fullCommandLine ? entry.cmdline : entry.cmdline.section(QLatin1Char(' '), 0, 0);
        const bool matches = expression.match(subject).hasMatch();
        if (matches)
            outcome.killed.append(entry);
    }
    // Like pkill: silent, and exit status 1 when nothing matched.
    return {{}, {}, outcome.killed.isEmpty() ? 1 : 0};
}

PhoneShell::Result PhoneShell::reboot(const QStringList &args, ShellOutcome &outcome) const
{
    Fleet &fleet = *m_context.fleet;
    if (args.contains(QStringLiteral("-p"))) {
        outcome.teardown.merge(FleetActions::powerOff(fleet, m_context.phoneIndex));
    } else {
        outcome.teardown.merge(FleetActions::restartAdbd(
            fleet, m_context.phoneIndex, 0, QDateTime::currentMSecsSinceEpoch(), fleet.rebootMs));
    }
    outcome.fleetChanged = true;
    return {};
}

PhoneShell::Result PhoneShell::ps() const
{
    const Phone &phone = m_context.fleet->phones.at(m_context.phoneIndex);
    QByteArray out =
        "USER            PID   PPID     VSZ    RSS WCHAN            ADDR S NAME\n"
        "root              1      0 10904500  9820 0                   0 S init\n"
        "root            712      1 14567332 102400 0                  0 S zygote64\n"
        "system         1410    712 21345660 380200 0                  0 S system_server\n"
        "shell          2290      1 10875904  3600 0                   0 S adbd\n";
    for (const ProcessEntry &entry : ProcessRegistry::live(m_context.home)) {
        if (entry.kind == QLatin1String("server") && entry.phone == phone.serial) {
            out +=
                QStringLiteral("shell      %1   2290 5213412  98304 0                   0 S %2\n")
                    .arg(entry.pid, 8)
                    .arg(entry.cmdline.section(QLatin1Char(' '), 0, 0))
                    .toUtf8();
        }
    }
    out += "shell          4242   2290 10800000  3300 0                   0 R ps\n";
    return {out, {}, 0};
}

PhoneShell::Result PhoneShell::grep(const QStringList &args, const QByteArray &input)
{
    bool invert = false;
    bool ignoreCase = false;
    QString pattern;
    for (const QString &arg : args) {
        if (arg == QLatin1String("-v"))
            invert = true;
        else if (arg == QLatin1String("-i"))
            ignoreCase = true;
        else if (pattern.isEmpty())
            pattern = arg;
    }
    const QRegularExpression expression(pattern, ignoreCase
                                                     ? QRegularExpression::CaseInsensitiveOption
                                                     : QRegularExpression::NoPatternOption);
    QByteArray out;
    for (const QByteArray &line : input.split('\n')) {
        if (line.isEmpty())
            continue;
        if (expression.match(QString::fromUtf8(line)).hasMatch() != invert)
            out += line + '\n';
    }
    return {out, {}, out.isEmpty() ? 1 : 0};
}
