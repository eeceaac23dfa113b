#include "adbrunner.h"

#include "adblog.h"
#include "adbpaths.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThreadPool>
#include <algorithm>
#include <atomic>
#include <limits>
#include <stdexcept>

namespace {
constexpr int kStartTimeoutMs = 5000;
constexpr int kCommandTimeoutMs = 30000;
constexpr int kTransferTimeoutMs = 300000; // pushes and installs of large files
// A batch job keeps up to eight of them busy for minutes; the others stay free for sessions.
constexpr int kWorkThreads = 16;

const QString kRemoteTmp = QStringLiteral("/data/local/tmp/");
const QString kWallpaperRemotePath = QStringLiteral("/data/local/tmp/wallpaper_phonefleet.png");

struct ExecutableOverride
{
    QMutex lock;
    QString path;
};
Q_GLOBAL_STATIC(ExecutableOverride, executableOverride)
std::atomic<int> commandTimeoutOverride{0};
std::atomic<int> transferTimeoutOverride{0};

int finishTimeoutFor(const QStringList &args)
{
    const bool transfer = args.contains(QLatin1String("push"), Qt::CaseSensitive) ||
                          args.contains(QLatin1String("install"), Qt::CaseSensitive);
    const int overridden =
        transfer ? transferTimeoutOverride.load() : commandTimeoutOverride.load();
    if (overridden > 0)
        return overridden;
    return transfer ? kTransferTimeoutMs : kCommandTimeoutMs;
}

// The phone's own adb server, then the phone.
QStringList onDevice(const QString &serial, const QStringList &args)
{
    return AdbServers::phoneOptions(serial) + args;
}

bool runFlag(const QStringList &args)
{
    return ADBRunner::run(args).succeeded;
}

bool hasLine(const QString &text, QLatin1String line)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    return std::any_of(lines.cbegin(), lines.cend(),
                       [line](const QString &l) { return l.trimmed() == line; });
}

QString firstCapture(const QString &text, const QRegularExpression &pattern)
{
    const QRegularExpressionMatch match = pattern.match(text);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

bool isDecimalDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

QString ADBRunner::adbExecutablePath()
{
    // A background command still finishing while the process exits runs nothing.
    if (executableOverride.isDestroyed())
        return QString();
    {
        QMutexLocker locker(&executableOverride->lock);
        if (!executableOverride->path.isEmpty())
            return executableOverride->path;
    }
    static const QString path = AdbPaths::resolve(
        qEnvironmentVariable("PARVIX_ADB"), QCoreApplication::applicationDirPath(),
        AdbPaths::adbRelativePath(), {QStandardPaths::findExecutable(QStringLiteral("adb"))});
    return path;
}

QString ADBRunner::scrcpyServerFilePath()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    static const QString path = AdbPaths::resolve(qEnvironmentVariable("PARVIX_SCRCPY_SERVER"),
                                                  appDir, AdbPaths::scrcpyServerRelativePath(),
                                                  {AdbPaths::installedServerPath(appDir)});
    return path;
}

ADBRunner::Outcome ADBRunner::run(const QStringList &args)
{
    return run(args, 0);
}

ADBRunner::Outcome ADBRunner::run(const QStringList &args, int timeoutMs)
{
    const int finishTimeoutMs = timeoutMs > 0 ? timeoutMs : finishTimeoutFor(args);
    const int startTimeoutMs =
        timeoutMs > 0 ? std::min(timeoutMs, kStartTimeoutMs) : kStartTimeoutMs;

    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(adbExecutablePath(), args, QIODevice::ReadWrite);
    if (!process.waitForStarted(startTimeoutMs)) {
        qCWarning(lcAdb) << "adb did not start:" << process.errorString();
        return {false,
                QStringLiteral("[error] failed to start adb: %1").arg(process.errorString())};
    }
    // Nothing is ever written to adb; an open stdin would keep a reading shell waiting.
    process.closeWriteChannel();

    if (!process.waitForFinished(finishTimeoutMs)) {
        process.kill();
        process.waitForFinished(startTimeoutMs);
        // The command's words stay out: typed text and file names may be private.
        qCWarning(lcAdb, "an adb call ran out of its %d s", finishTimeoutMs / 1000);
        return {false, QStringLiteral("[error] adb command timed out after %1 seconds")
                           .arg(finishTimeoutMs / 1000)};
    }

    // A crash is a failure even when the platform reports exit code 0 for it.
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return {true, QString::fromUtf8(process.readAllStandardOutput()).trimmed()};

    // adb's notes on starting its own server are not the command's reason.
    static const QRegularExpression serverStart(
        QStringLiteral("^\\* daemon (not running|started successfully)[^\n]*\n?"),
        QRegularExpression::MultilineOption);
    QString errorText = QString::fromUtf8(process.readAllStandardError()).remove(serverStart);
    // Some tools on the phone (pm) give their reason on standard output only.
    if (errorText.isEmpty() && process.exitStatus() == QProcess::NormalExit)
        errorText = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    if (errorText.isEmpty())
        errorText = QStringLiteral("unknown error");
    return {false, QStringLiteral("[error] adb command failed (exit code %1): %2")
                       .arg(process.exitCode())
                       .arg(errorText)};
}

QString ADBRunner::runCommand(const QStringList &args)
{
    return run(args).output;
}

bool ADBRunner::isSuccess(const QString &output)
{
    return !output.startsWith(QLatin1String("[error] "));
}

bool ADBRunner::startServer()
{
    return runFlag({QStringLiteral("start-server")});
}

bool ADBRunner::killServer()
{
    return runFlag({QStringLiteral("kill-server")});
}

bool ADBRunner::killServer(int timeoutMs)
{
    return run({QStringLiteral("kill-server")}, timeoutMs).succeeded;
}

bool ADBRunner::restartServer()
{
    if (!killServer())
        return false;
    return startServer();
}

bool ADBRunner::reboot(const QString &serial)
{
    return runFlag(onDevice(serial, {QStringLiteral("reboot")}));
}

bool ADBRunner::shutdown(const QString &serial)
{
    const QString qemu =
        runCommand(onDevice(serial, {QStringLiteral("shell"), QStringLiteral("getprop"),
                                     QStringLiteral("ro.kernel.qemu")}));
    if (qemu == QLatin1String("1"))
        return runFlag(onDevice(serial, {QStringLiteral("emu"), QStringLiteral("kill")}));
    return runFlag(onDevice(
        serial, {QStringLiteral("shell"), QStringLiteral("reboot"), QStringLiteral("-p")}));
}

bool ADBRunner::push(const QString &serial, const QString &localPath, const QString &remotePath,
                     QString *failure)
{
    if (localPath.isEmpty() || !QFileInfo::exists(localPath)) {
        if (failure)
            *failure = QStringLiteral("[error] no such file: %1").arg(localPath);
        return false;
    }
    const Outcome pushed = run(onDevice(serial, {QStringLiteral("push"), localPath, remotePath}));
    if (!pushed.succeeded && failure)
        *failure = pushed.output;
    return pushed.succeeded;
}

bool ADBRunner::install(const QString &serial, const QString &apkPath, QString *failure)
{
    // Without a fresh push, pm would install whatever older file has that name.
    if (!push(serial, apkPath, kRemoteTmp, failure))
        return false;
    const QString remoteApk = kRemoteTmp + QFileInfo(apkPath).fileName();
    const Outcome pm =
        run(onDevice(serial, {QStringLiteral("shell"),
                              QStringLiteral("pm install -r ") + shellQuote(remoteApk)}));
    // Phones without the shell protocol exit with 0 whatever pm says; pm's own verdict
    // is a line of its own (a failure may quote a file name containing the word).
    const bool installed = pm.succeeded && hasLine(pm.output, QLatin1String("Success"));
    if (!installed && failure)
        *failure = pm.output;
    return installed;
}

bool ADBRunner::reverse(const QString &serial, const QString &socketName, quint16 port)
{
    return runFlag(
        onDevice(serial, {QStringLiteral("reverse"), QStringLiteral("localabstract:") + socketName,
                          QStringLiteral("tcp:") + QString::number(port)}));
}

bool ADBRunner::removeReverse(const QString &serial, const QString &socketName)
{
    return runFlag(onDevice(serial, {QStringLiteral("reverse"), QStringLiteral("--remove"),
                                     QStringLiteral("localabstract:") + socketName}));
}

bool ADBRunner::forward(const QString &serial, quint16 localPort, quint16 remotePort)
{
    return runFlag(onDevice(serial, {QStringLiteral("forward"),
                                     QStringLiteral("tcp:") + QString::number(localPort),
                                     QStringLiteral("tcp:") + QString::number(remotePort)}));
}

namespace {

quint16 forwardFromFreePort(const QString &serial, const QString &remote)
{
    const ADBRunner::Outcome forwarded = ADBRunner::run(
        onDevice(serial, {QStringLiteral("forward"), QStringLiteral("tcp:0"), remote}));
    if (!forwarded.succeeded)
        return 0;
    // adb prints the port it chose, alone on the last line.
    bool ok = false;
    const uint port = forwarded.output.section(QLatin1Char('\n'), -1).trimmed().toUInt(&ok);
    return ok && port > 0 && port <= 65535 ? quint16(port) : 0;
}

} // namespace

quint16 ADBRunner::forwardToSocket(const QString &serial, const QString &socketName)
{
    const QString remote = QStringLiteral("localabstract:") + socketName;
    // A session that ended while its server was away could not remove its forward there;
    // "forward --list" gives "SERIAL tcp:PORT REMOTE" lines.
    const QString listing = run(AdbServers::serverOf(serial).options() +
                                QStringList{QStringLiteral("forward"), QStringLiteral("--list")})
                                .output;
    for (const QString &line : listing.split(QLatin1Char('\n'))) {
        const QStringList fields = line.simplified().split(QLatin1Char(' '));
        if (fields.size() == 3 && fields.at(0) == AdbServers::plainSerial(serial) &&
            fields.at(2) == remote)
            run(onDevice(serial,
                         {QStringLiteral("forward"), QStringLiteral("--remove"), fields.at(1)}));
    }
    return forwardFromFreePort(serial, remote);
}

quint16 ADBRunner::forwardToPort(const QString &serial, quint16 remotePort)
{
    return forwardFromFreePort(serial, QStringLiteral("tcp:") + QString::number(remotePort));
}

bool ADBRunner::removeForward(const QString &serial, quint16 localPort, int timeoutMs)
{
    return run(onDevice(serial, {QStringLiteral("forward"), QStringLiteral("--remove"),
                                 QStringLiteral("tcp:") + QString::number(localPort)}),
               timeoutMs)
        .succeeded;
}

bool ADBRunner::pushWallpaper(const QString &serial, const QString &imagePath)
{
    if (!push(serial, imagePath, kWallpaperRemotePath))
        return false;
    runCommand(onDevice(
        serial, {QStringLiteral("shell"), QStringLiteral("am"), QStringLiteral("start"),
                 QStringLiteral("-a"), QStringLiteral("android.intent.action.ATTACH_DATA"),
                 QStringLiteral("-c"), QStringLiteral("android.intent.category.DEFAULT"),
                 QStringLiteral("-d"), QStringLiteral("file://%1").arg(kWallpaperRemotePath),
                 QStringLiteral("-t"), QStringLiteral("image/*"),
                 QStringLiteral("--grant-read-uri-permission")}));
    return true;
}

QList<ADBDeviceInfo> ADBRunner::getDevices()
{
    return getDevices(AdbServer());
}

QList<ADBDeviceInfo> ADBRunner::getDevices(const AdbServer &server)
{
    const Outcome listing =
        run(server.options() + QStringList{QStringLiteral("devices"), QStringLiteral("-l")});
    if (!listing.succeeded)
        throw std::runtime_error(listing.output.toStdString());
    QList<ADBDeviceInfo> listed = parseDevices(listing.output);
    for (ADBDeviceInfo &info : listed)
        info.adb_serial = AdbServers::qualified(info.adb_serial, server);
    return listed;
}

QList<ADBDeviceInfo> ADBRunner::getPhones()
{
    QList<ADBDeviceInfo> phones;
    for (const AdbServer &server : AdbServers::configured()) {
        if (server.isLocal()) {
            phones += getPhones(server);
            continue;
        }
        try {
            phones += getPhones(server);
        } catch (const std::exception &) {
            // A computer that is away offers no phones; its own state says why.
        }
    }
    return phones;
}

QList<ADBDeviceInfo> ADBRunner::getPhones(const AdbServer &server)
{
    QList<ADBDeviceInfo> listed = getDevices(server);
    for (ADBDeviceInfo &info : listed) {
        const QString serialno =
            runCommand(
                onDevice(info.adb_serial, {QStringLiteral("shell"), QStringLiteral("getprop"),
                                           QStringLiteral("ro.serialno")}))
                .trimmed();
        const bool known = !serialno.isEmpty() && !serialno.startsWith(QLatin1String("[error]")) &&
                           !serialno.contains(QLatin1Char('\n'));
        // The same hardware serial on two servers names two phones.
        info.hardware_serial = known ? AdbServers::qualified(serialno, server) : QString();
    }
    return mergeSamePhones(listed);
}

QList<ADBDeviceInfo> ADBRunner::mergeSamePhones(const QList<ADBDeviceInfo> &listed)
{
    QList<ADBDeviceInfo> phones;
    for (ADBDeviceInfo info : listed) {
        if (info.hardware_serial.isEmpty())
            info.hardware_serial = info.adb_serial;
        auto same = std::find_if(phones.begin(), phones.end(), [&info](const ADBDeviceInfo &p) {
            return p.hardware_serial == info.hardware_serial;
        });
        if (same == phones.end()) {
            info.connections = QStringList{info.adb_serial};
            phones.append(info);
            continue;
        }
        QStringList connections = same->connections;
        if (info.is_usb_connection && !same->is_usb_connection) {
            connections.prepend(info.adb_serial);
            *same = info;
        } else {
            connections.append(info.adb_serial);
        }
        same->connections = connections;
    }
    return phones;
}

QThreadPool *ADBRunner::workPool()
{
    static QThreadPool *const pool = [] {
        auto *threads = new QThreadPool; // lives until the process ends
        threads->setObjectName(QStringLiteral("AdbWorkPool"));
        threads->setMaxThreadCount(kWorkThreads);
        return threads;
    }();
    return pool;
}

QThreadPool *ADBRunner::phonePool()
{
    static QThreadPool *const pool = [] {
        auto *threads = new QThreadPool; // lives until the process ends
        threads->setObjectName(QStringLiteral("AdbPhonePool"));
        threads->setMaxThreadCount(std::numeric_limits<int>::max());
        return threads;
    }();
    return pool;
}

QList<ADBDeviceInfo> ADBRunner::parseDevices(const QString &text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\\r?\\n"));
    // Unicode white space too: a serial or model never holds any.
    static const QRegularExpression whiteSpace(QStringLiteral("\\s+"),
                                               QRegularExpression::UseUnicodePropertiesOption);

    QList<ADBDeviceInfo> devices;
    const QStringList lines = text.split(lineBreak, Qt::SkipEmptyParts);
    for (const QString &rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("List of devices attached")))
            continue;
        const QStringList tokens = line.split(whiteSpace, Qt::SkipEmptyParts);
        // Only ready phones; unauthorized, offline, recovery and the like are left out.
        if (tokens.size() < 2 || tokens.at(1) != QLatin1String("device"))
            continue;

        ADBDeviceInfo entry;
        entry.adb_serial = tokens.at(0);
        entry.is_usb_connection = !(entry.adb_serial.contains(QLatin1Char(':')) &&
                                    entry.adb_serial.contains(QLatin1Char('.')));
        for (qsizetype i = 2; i < tokens.size(); ++i) {
            const QString &token = tokens.at(i);
            if (token.startsWith(QLatin1String("usb:"))) {
                entry.is_usb_connection = true;
            } else if (token.contains(QLatin1Char('-')) && token.contains(QLatin1Char('.')) &&
                       isDecimalDigit(token.at(0))) {
                entry.is_usb_connection = true; // a bare port path such as 1-1.2
            } else if (token.startsWith(QLatin1String("product:"))) {
                entry.product = token.mid(8);
            } else if (token.startsWith(QLatin1String("model:"))) {
                entry.model = token.mid(6);
            } else if (token.startsWith(QLatin1String("transport_id:"))) {
                bool ok = false;
                const int id = token.mid(13).toInt(&ok, 10);
                entry.transport_id = ok ? id : -1;
            }
        }
        devices.append(entry);
    }
    return devices;
}

// "[key]: [value]" lines; a value may run over several lines up to its closing bracket.
QHash<QString, QString> ADBRunner::parsePropertyListing(const QString &output)
{
    static const QRegularExpression line(QStringLiteral("^\\[([^\\]\\r\\n]*)\\]: \\[(.*?)\\]\\r?$"),
                                         QRegularExpression::MultilineOption |
                                             QRegularExpression::DotMatchesEverythingOption);
    QHash<QString, QString> properties;
    for (auto it = line.globalMatch(output); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        properties.insert(match.captured(1), match.captured(2).trimmed());
    }
    return properties;
}

// One listing instead of a process per property: adding a phone costs few adb processes.
DeviceInfo ADBRunner::getDeviceInfo(const QString &serial)
{
    const QString listing =
        runCommand(onDevice(serial, {QStringLiteral("shell"), QStringLiteral("getprop")}));
    const bool failed = listing.startsWith(QLatin1String("[error]"));
    const QHash<QString, QString> properties = parsePropertyListing(listing);
    auto property = [&](const char *key) {
        return failed ? listing : properties.value(QString::fromLatin1(key));
    };
    DeviceInfo info;
    info.manufacturer = property("ro.product.manufacturer");
    info.model = property("ro.product.model");
    info.build_version = property("ro.build.version.release");
    info.hardward_serial = property("ro.serialno");
    info.build_fingerprint = property("ro.build.fingerprint");
    info.country_code = property("ro.csc.country_code");
    info.sales_code = property("ro.csc.sales_code");
    info.gsm_operator_alpha = property("gsm.operator.alpha");
    info.adb_tcp_port = property("service.adb.tcp.port");
    info.usb_config = property("sys.usb.config");
    info.ddr_size = property("ro.boot.ddr_size");
    info.screen_size = parseScreenSize(runCommand(
        onDevice(serial, {QStringLiteral("shell"), QStringLiteral("wm"), QStringLiteral("size")})));
    return info;
}

QString ADBRunner::getDeviceIp(const QString &serial)
{
    const QString shell = QStringLiteral("shell");
    QString ip = parseIpAddrAddress(runCommand(onDevice(serial, {shell, "ip addr show wlan0"})));
    if (!ip.isEmpty())
        return ip;
    ip = parseIfconfigAddress(runCommand(onDevice(serial, {shell, "ifconfig wlan0"})));
    if (!ip.isEmpty())
        return ip;
    ip = parsePropertyAddress(
        runCommand(onDevice(serial, {shell, "getprop", "dhcp.wlan0.ipaddress"})));
    if (!ip.isEmpty())
        return ip;
    return parseIpAddrAddress(runCommand(onDevice(serial, {shell, "ip addr show eth0"})));
}

// "Physical size: 1080x2400", possibly followed by an "Override size:" line.
QSize ADBRunner::parseScreenSize(QString output)
{
    output.remove(QStringLiteral("Physical size: "));
    const QString firstLine = output.trimmed().section(QLatin1Char('\n'), 0, 0).trimmed();
    const QStringList pieces = firstLine.split(QLatin1Char('x'), Qt::KeepEmptyParts);
    bool ok = false;
    int width = pieces.value(0).toInt(&ok, 10);
    if (!ok)
        width = 0;
    int height = pieces.value(1).toInt(&ok, 10);
    if (!ok)
        height = 0;
    return QSize(width, height);
}

QString ADBRunner::parseIpAddrAddress(const QString &output)
{
    static const QRegularExpression ipAddr(
        QStringLiteral("inet\\s+(\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3})"));
    return firstCapture(output, ipAddr);
}

QString ADBRunner::parseIfconfigAddress(const QString &output)
{
    static const QRegularExpression ifconfig(
        QStringLiteral("inet\\s+(?:addr:)?(\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3})"));
    return firstCapture(output, ifconfig);
}

QString ADBRunner::parsePropertyAddress(const QString &output)
{
    static const QRegularExpression wholeAddress(
        QStringLiteral("^\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}$"));
    const QString value = output.trimmed();
    return wholeAddress.match(value).hasMatch() ? value : QString();
}

bool ADBRunner::tcpip(const QString &serial, quint16 port)
{
    return runFlag(onDevice(serial, {QStringLiteral("tcpip"), QString::number(port)}));
}

bool ADBRunner::connect(const QString &serial, const QString &ip, quint16 port)
{
    const Outcome connected = run(onDevice(
        serial, {QStringLiteral("connect"), ip + QLatin1Char(':') + QString::number(port)}));
    const QString &output = connected.output;
    // adb connect exits with 0 when it could not connect; its text tells.
    return connected.succeeded && !output.contains(QLatin1String("failed"), Qt::CaseSensitive) &&
           !output.contains(QLatin1String("cannot connect"), Qt::CaseSensitive) &&
           !output.contains(QLatin1String("unable to connect"), Qt::CaseSensitive);
}

bool ADBRunner::disconnect(const QString &serial)
{
    return runFlag(onDevice(serial, {QStringLiteral("disconnect")}));
}

bool ADBRunner::usb(const QString &serial)
{
    return runFlag(onDevice(serial, {QStringLiteral("usb")}));
}

QString ADBRunner::shellQuote(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

void ADBRunner::setExecutablePathForTesting(const QString &path)
{
    QMutexLocker locker(&executableOverride->lock);
    executableOverride->path = path;
}

void ADBRunner::setFinishTimeoutsForTesting(int commandMs, int transferMs)
{
    commandTimeoutOverride.store(commandMs);
    transferTimeoutOverride.store(transferMs);
}
