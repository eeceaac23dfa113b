#include "fleetcli.h"

#include "clipcli.h"
#include "devicefs.h"
#include "fleet.h"
#include "fleetactions.h"
#include "fleetlock.h"
#include "tunnels.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <cstdio>

namespace {

struct ModelTemplate
{
    const char *manufacturer;
    const char *brand;
    const char *model;
    const char *product;
    const char *device;
    QSize size;
    const char *release;
    int sdk;
    const char *ddr;
    const char *operatorName;
    const char *country;
    const char *sales;
};

// Varied screens on purpose: group control rescales touches between them.
const ModelTemplate kModels[] = {
    {"Google",
     "google",
     "Pixel 7",
     "panther",
     "panther",
     {1080, 2400},
     "14",
     34,
     "8GB",
     "T-Mobile",
     "USA",
     "TMB"},
    {"samsung",
     "samsung",
     "SM-A515F",
     "a51nsxx",
     "a51",
     {1080, 2400},
     "13",
     33,
     "4GB",
     "Vodafone",
     "Germany",
     "DBT"},
    {"Xiaomi",
     "Redmi",
     "Redmi Note 9 Pro",
     "joyeuse_global",
     "joyeuse",
     {1080, 2400},
     "12",
     31,
     "6GB",
     "Orange",
     "France",
     "XEF"},
    {"motorola",
     "motorola",
     "moto g(8)",
     "rav_retail",
     "rav",
     {720, 1560},
     "11",
     30,
     "4GB",
     "Claro",
     "Brazil",
     "ZTO"},
    {"Google",
     "google",
     "Pixel 4a",
     "sunfish",
     "sunfish",
     {1080, 2340},
     "13",
     33,
     "6GB",
     "Verizon",
     "USA",
     "VZW"},
    {"samsung",
     "samsung",
     "SM-G991B",
     "o1sxeea",
     "o1s",
     {1080, 2400},
     "14",
     34,
     "8GB",
     "EE",
     "UK",
     "BTU"},
    {"OnePlus",
     "OnePlus",
     "LE2115",
     "OnePlus9_EEA",
     "OnePlus9",
     {1080, 2400},
     "13",
     33,
     "8GB",
     "Telekom",
     "Austria",
     "ATO"},
    {"HUAWEI",
     "HUAWEI",
     "ELE-L29",
     "ELE-L29EEA",
     "HWELE",
     {1080, 2340},
     "10",
     29,
     "6GB",
     "China Mobile",
     "China",
     "CHC"},
};
constexpr int kModelCount = int(sizeof kModels / sizeof kModels[0]);

QString option(const QStringList &args, const QString &name)
{
    const int index = args.indexOf(name);
    return index >= 0 ? args.value(index + 1) : QString();
}

int fail(const QString &message)
{
    std::fprintf(stderr, "phonesim: %s\n", qPrintable(message));
    return 1;
}

Phone makePhone(int index, const QSize &size, int fps)
{
    const ModelTemplate &base = kModels[index % kModelCount];
    const int round = index / kModelCount;
    // Later rounds of the same model stay distinct, the way a shop's second batch would.
    const QString suffix = round == 0 ? QString() : QStringLiteral(" %1").arg(round + 1);
    const QString productSuffix = round == 0 ? QString() : QStringLiteral("_%1").arg(round + 1);

    Phone phone;
    phone.serial = QStringLiteral("PXSIM%1").arg(index + 1, 4, 10, QLatin1Char('0'));
    phone.model = QLatin1String(base.model) + suffix;
    phone.product = QLatin1String(base.product) + productSuffix;
    phone.device = QLatin1String(base.device);
    phone.usbPort = QStringLiteral("1-1.%1").arg(index + 1);
    phone.transportId = index + 1;
    phone.ip = QStringLiteral("192.168.%1.%2").arg(50 + index / 150).arg(101 + index % 150);
    phone.size = size.isValid() ? size : base.size;
    phone.fps = fps;
    phone.toneHz = 440 + 110 * (index % 16);
    phone.selectedText = QStringLiteral("Selected text on %1 (%2)").arg(phone.model, phone.serial);
    phone.properties = QJsonObject{
        {"ro.product.manufacturer", base.manufacturer},
        {"ro.product.brand", base.brand},
        {"ro.build.version.release", base.release},
        {"ro.build.version.sdk", QString::number(base.sdk)},
        {"ro.build.fingerprint", QStringLiteral("%1/%2/%3:%4/PXS.%5/%6:user/release-keys")
                                     .arg(QLatin1String(base.brand), phone.product, phone.device,
                                          QLatin1String(base.release))
                                     .arg(240101 + index)
                                     .arg(1000 + index)},
        {"ro.csc.country_code", base.country},
        {"ro.csc.sales_code", base.sales},
        {"gsm.operator.alpha", base.operatorName},
        {"service.adb.tcp.port", ""},
        {"sys.usb.config", "mtp,adb"},
        {"ro.boot.ddr_size", base.ddr},
        {"ro.product.cpu.abi", "arm64-v8a"},
        {"ro.build.type", "user"}};
    return phone;
}

void endEverything(const QString &home)
{
    Teardown teardown;
    if (QFile::exists(fleetFilePath(home))) {
        FleetLock lock(home);
        teardown = FleetActions::dropEverything(home);
    }
    teardown.run();
}

} // namespace

int FleetCli::init(const QStringList &args)
{
    const QString home = option(args, QStringLiteral("--home"));
    bool ok = false;
    const int count = option(args, QStringLiteral("--phones")).toInt(&ok);
    if (home.isEmpty() || !ok || count < 0 || count > 9999)
        return fail(
            QStringLiteral("usage: phonesim init --home DIR --phones N [--size WxH] [--fps F] "
                           "[--clip FILE] [--host ADDRESS[:PORT]]"));
    QSize size;
    if (args.contains(QStringLiteral("--size"))) {
        size = parseSize(option(args, QStringLiteral("--size")));
        if (!size.isValid())
            return fail(QStringLiteral("--size wants WIDTHxHEIGHT, e.g. 1080x2400"));
    }
    int fps = 60;
    if (args.contains(QStringLiteral("--fps"))) {
        fps = option(args, QStringLiteral("--fps")).toInt(&ok);
        if (!ok || fps < 1 || fps > 240)
            return fail(QStringLiteral("--fps wants a frame rate from 1 to 240"));
    }
    QString clip;
    QSize clipSize;
    if (args.contains(QStringLiteral("--clip"))) {
        QString error;
        clip = ClipCli::checkedClip(option(args, QStringLiteral("--clip")), &clipSize, &error);
        if (clip.isEmpty())
            return fail(error);
    }
    QString host = QStringLiteral("127.0.0.1");
    int hostPort = 5037;
    if (args.contains(QStringLiteral("--host"))) {
        const QString address = option(args, QStringLiteral("--host"));
        host = address.section(QLatin1Char(':'), 0, 0);
        if (address.contains(QLatin1Char(':')))
            hostPort = address.section(QLatin1Char(':'), 1).toInt(&ok);
        if (host.isEmpty() || !ok || hostPort < 1 || hostPort > 65535)
            return fail(
                QStringLiteral("--host wants an IPv4 address and a port, e.g. 127.0.0.2:5037"));
    }
    if (!QDir().mkpath(home))
        return fail(QStringLiteral("cannot create %1").arg(home));
    const QString absoluteHome = QDir(home).absolutePath();

    // A fresh fleet: whatever ran on the previous one ends first. The encoding cache stays.
    endEverything(absoluteHome);
    FleetLock lock(absoluteHome);
    QDir(absoluteHome + QStringLiteral("/run")).removeRecursively();
    QFile::remove(absoluteHome + QStringLiteral("/adb.log"));

    Fleet fleet;
    fleet.home = absoluteHome;
    fleet.host = host;
    fleet.hostPort = hostPort;
    for (int i = 0; i < count; ++i) {
        Phone phone = makePhone(i, size, fps);
        phone.clip = clip;
        QDir(phoneDir(absoluteHome, phone.serial)).removeRecursively();
        DeviceFs::createSkeleton(absoluteHome, phone.serial);
        fleet.phones.append(phone);
    }
    fleet.nextTransportId = count + 1;
    QString error;
    if (!fleet.save(&error))
        return fail(QStringLiteral("cannot write %1: %2").arg(fleetFilePath(absoluteHome), error));

    QSaveFile server(absoluteHome + QStringLiteral("/scrcpy-server"));
    if (!server.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write %1").arg(server.fileName()));
    server.write("phonesim placeholder for the phone-side server 3.3.1\n");
    server.commit();

    for (const Phone &phone : std::as_const(fleet.phones))
        std::printf("%s\t%s\t%s\n", qPrintable(phone.serial), qPrintable(phone.model),
                    qPrintable(sizeText(clip.isEmpty() ? phone.size : clipSize)));
    return 0;
}

int FleetCli::plug(const QStringList &args, bool attach)
{
    const QString home = option(args, QStringLiteral("--home"));
    QStringList rest = args;
    rest.removeAll(QStringLiteral("--home"));
    rest.removeAll(home);
    const QString serial = rest.value(0);
    if (home.isEmpty() || serial.isEmpty())
        return fail(
            QStringLiteral("usage: phonesim %1 --home DIR SERIAL").arg(attach ? "plug" : "unplug"));

    Teardown teardown;
    {
        FleetLock lock(home);
        QString error;
        auto fleet = Fleet::load(home, &error);
        if (!fleet)
            return fail(error);
        int index = fleet->phoneIndex(serial);
        for (int i = 0; index < 0 && i < fleet->phones.size(); ++i) {
            const Phone &phone = fleet->phones.at(i);
            const bool wifiSerial =
                serial.contains(QLatin1Char(':')) &&
                (phone.tcpSerial == serial ||
                 (attach && serial.section(QLatin1Char(':'), 0, -2) == phone.ip));
            if (wifiSerial)
                index = i;
        }
        if (index < 0)
            return fail(QStringLiteral("no phone '%1' in the fleet").arg(serial));
        if (attach)
            FleetActions::plug(*fleet, index, serial);
        else
            teardown = FleetActions::unplug(*fleet, index, serial);
        if (!fleet->save(&error))
            return fail(error);
    }
    teardown.run();
    return 0;
}

int FleetCli::status(const QStringList &args)
{
    const QString home = option(args, QStringLiteral("--home"));
    if (home.isEmpty())
        return fail(QStringLiteral("usage: phonesim status --home DIR"));
    FleetLock lock(home);
    QString error;
    auto fleet = Fleet::load(home, &error);
    if (!fleet)
        return fail(error);
    QJsonArray devices;
    for (const Transport &transport : fleet->listed(QDateTime::currentMSecsSinceEpoch())) {
        devices.append(QJsonObject{{"serial", transport.serial},
                                   {"phone", fleet->phones.at(transport.phoneIndex).serial},
                                   {"usb", transport.kind == TransportKind::Usb},
                                   {"transportId", transport.id}});
    }
    QJsonArray processes;
    for (const ProcessEntry &entry : ProcessRegistry::live(home))
        processes.append(entry.toJson());
    const Tunnels tunnels = Tunnels::load(home);
    QJsonArray reverses;
    for (const ReverseTunnel &t : tunnels.reverses)
        reverses.append(
            QJsonObject{{"transport", t.transport}, {"remote", t.remote}, {"local", t.local}});
    QJsonArray forwards;
    for (const ForwardTunnel &t : tunnels.forwards)
        forwards.append(QJsonObject{{"transport", t.transport},
                                    {"local", t.local},
                                    {"remote", t.remote},
                                    {"pid", double(t.pid)}});
    const QJsonObject status{{"adbServerRunning", fleet->adbServerRunning},
                             {"devices", devices},
                             {"processes", processes},
                             {"reverse", reverses},
                             {"forward", forwards}};
    std::fputs(QJsonDocument(status).toJson(QJsonDocument::Indented).constData(), stdout);
    return 0;
}
