#include "fleet.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

QJsonObject without(QJsonObject json, std::initializer_list<const char *> keys)
{
    for (const char *key : keys)
        json.remove(QLatin1String(key));
    return json;
}

void insertAll(QJsonObject &into, const QJsonObject &from)
{
    for (auto it = from.begin(); it != from.end(); ++it)
        into.insert(it.key(), it.value());
}

} // namespace

QString fleetFilePath(const QString &home)
{
    return home + QStringLiteral("/fleet.json");
}

QString phoneDir(const QString &home, const QString &serial)
{
    return home + QLatin1Char('/') + serial;
}

QString clipFilePath(const QString &home, const Phone &phone)
{
    return phone.clip.isEmpty() ? QString() : QDir(home).absoluteFilePath(phone.clip);
}

QSize parseSize(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{1,5})\\s*x\\s*(\\d{1,5})\\s*$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return {};
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    return size.width() > 0 && size.height() > 0 ? size : QSize();
}

QString sizeText(const QSize &size)
{
    return size.isValid() ? QStringLiteral("%1x%2").arg(size.width()).arg(size.height())
                          : QString();
}

PhoneFaults PhoneFaults::fromJson(const QJsonObject &json)
{
    PhoneFaults faults;
    faults.pushFails = json.value("pushFails").toBool();
    faults.reverseFails = json.value("reverseFails").toBool();
    faults.serverExitAfterSec = json.value("serverExitAfterSec").toDouble();
    faults.serverNeverConnects = json.value("serverNeverConnects").toBool();
    faults.delayMs = json.value("delayMs").toInt();
    faults.shellPrintsError = json.value("shellPrintsError").toBool();
    faults.audioSetupFails = json.value("audioSetupFails").toBool();
    faults.videoCodecId = json.value("videoCodecId").toString();
    faults.audioCodecId = json.value("audioCodecId").toString();
    return faults;
}

QJsonObject PhoneFaults::toJson() const
{
    return {{"pushFails", pushFails},
            {"reverseFails", reverseFails},
            {"serverExitAfterSec", serverExitAfterSec},
            {"serverNeverConnects", serverNeverConnects},
            {"delayMs", delayMs},
            {"shellPrintsError", shellPrintsError},
            {"audioSetupFails", audioSetupFails},
            {"videoCodecId", videoCodecId},
            {"audioCodecId", audioCodecId}};
}

Phone Phone::fromJson(const QJsonObject &json)
{
    Phone phone;
    phone.serial = json.value("serial").toString();
    phone.state = json.value("state").toString(QStringLiteral("device"));
    phone.model = json.value("model").toString();
    phone.product = json.value("product").toString();
    phone.device = json.value("device").toString();
    phone.usb = json.value("usb").toBool(true);
    phone.usbPort = json.value("usbPort").toString();
    phone.transportId = json.value("transportId").toInt();
    phone.tcpSerial = json.value("tcpSerial").toString();
    phone.tcpTransportId = json.value("tcpTransportId").toInt();
    phone.tcpipPort = json.value("tcpipPort").toInt();
    phone.offlineUntilMs = qint64(json.value("offlineUntilMs").toDouble());
    phone.poweredOff = json.value("poweredOff").toBool();
    phone.ip = json.value("ip").toString();
    phone.ipLookup = json.value("ipLookup").toString(QStringLiteral("ip"));
    phone.size = parseSize(json.value("size").toString());
    if (!phone.size.isValid())
        phone.size = QSize(1080, 2400);
    phone.overrideSize = parseSize(json.value("overrideSize").toString());
    phone.fps = json.value("fps").toInt(60);
    phone.audio = json.value("audio").toBool(true);
    phone.toneHz = json.value("toneHz").toInt(440);
    phone.selectedText = json.value("selectedText").toString();
    phone.replay = json.value("replay").toBool();
    phone.clip = json.value("clip").toString();
    phone.autojs = json.value("autojs").toBool(true);
    phone.properties = json.value("properties").toObject();
    phone.faults = PhoneFaults::fromJson(json.value("faults").toObject());
    phone.extra = without(
        json, {"serial",       "state",          "model",       "product",   "device",
               "usb",          "usbPort",        "transportId", "tcpSerial", "tcpTransportId",
               "tcpipPort",    "offlineUntilMs", "poweredOff",  "ip",        "ipLookup",
               "size",         "overrideSize",   "fps",         "audio",     "toneHz",
               "selectedText", "replay",         "clip",        "autojs",    "properties",
               "faults"});
    return phone;
}

QJsonObject Phone::toJson() const
{
    QJsonObject json{{"serial", serial},
                     {"state", state},
                     {"model", model},
                     {"product", product},
                     {"device", device},
                     {"usb", usb},
                     {"usbPort", usbPort},
                     {"transportId", transportId},
                     {"tcpSerial", tcpSerial},
                     {"tcpTransportId", tcpTransportId},
                     {"tcpipPort", tcpipPort},
                     {"offlineUntilMs", double(offlineUntilMs)},
                     {"poweredOff", poweredOff},
                     {"ip", ip},
                     {"ipLookup", ipLookup},
                     {"size", sizeText(size)},
                     {"overrideSize", sizeText(overrideSize)},
                     {"fps", fps},
                     {"audio", audio},
                     {"toneHz", toneHz},
                     {"selectedText", selectedText},
                     {"replay", replay},
                     {"clip", clip},
                     {"autojs", autojs},
                     {"properties", properties},
                     {"faults", faults.toJson()}};
    insertAll(json, extra);
    return json;
}

QString Phone::property(const QString &key) const
{
    // Properties that mirror a field of the fleet file are derived from it, so editing
    // the field is enough and the two can never disagree.
    if (key == QLatin1String("ro.product.model"))
        return model;
    if (key == QLatin1String("ro.product.name"))
        return product;
    if (key == QLatin1String("ro.product.device"))
        return device;
    if (key == QLatin1String("ro.serialno"))
        return serial;
    if (key == QLatin1String("service.adb.tcp.port") && tcpipPort > 0)
        return QString::number(tcpipPort);
    if (key == QLatin1String("dhcp.wlan0.ipaddress"))
        return ipLookup == QLatin1String("dhcp") ? ip : QString();
    return properties.value(key).toVariant().toString();
}

QJsonObject Phone::allProperties() const
{
    QJsonObject all = properties;
    for (const char *key : {"ro.product.model", "ro.product.name", "ro.product.device",
                            "ro.serialno", "service.adb.tcp.port", "dhcp.wlan0.ipaddress"}) {
        const QString value = property(QLatin1String(key));
        if (!value.isEmpty())
            all.insert(QLatin1String(key), value);
    }
    return all;
}

bool Phone::isEmulator() const
{
    return property(QStringLiteral("ro.kernel.qemu")) == QLatin1String("1");
}

std::optional<Fleet> Fleet::load(const QString &home, QString *error)
{
    QFile file(fleetFilePath(home));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(file.fileName(), file.errorString());
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        if (error)
            *error = QStringLiteral("%1 is not a JSON object: %2")
                         .arg(file.fileName(), parseError.errorString());
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    Fleet fleet;
    fleet.home = home;
    fleet.adbServerRunning = root.value("adbServerRunning").toBool();
    fleet.nextTransportId = qMax(1, root.value("nextTransportId").toInt(1));
    fleet.restartMs = root.value("restartMs").toInt(1000);
    fleet.rebootMs = root.value("rebootMs").toInt(3000);
    fleet.host = root.value("host").toString(fleet.host);
    fleet.hostPort = root.value("hostPort").toInt(fleet.hostPort);
    fleet.hostCut = root.value("hostCut").toBool();
    fleet.hostSilent = root.value("hostCut").toString() == QLatin1String("silent");
    for (const QJsonValue &value : root.value("phones").toArray()) {
        Phone phone = Phone::fromJson(value.toObject());
        if (phone.serial.isEmpty())
            continue;
        fleet.nextTransportId =
            qMax(fleet.nextTransportId, qMax(phone.transportId, phone.tcpTransportId) + 1);
        fleet.phones.append(phone);
    }
    fleet.extra = without(root, {"adbServerRunning", "nextTransportId", "restartMs", "rebootMs",
                                 "host", "hostPort", "hostCut", "phones"});
    return fleet;
}

bool Fleet::save(QString *error) const
{
    QJsonArray phoneArray;
    for (const Phone &phone : phones)
        phoneArray.append(phone.toJson());
    QJsonObject root{{"adbServerRunning", adbServerRunning},
                     {"nextTransportId", nextTransportId},
                     {"restartMs", restartMs},
                     {"rebootMs", rebootMs},
                     {"host", host},
                     {"hostPort", hostPort},
                     {"hostCut", hostSilent ? QJsonValue("silent") : QJsonValue(hostCut)},
                     {"phones", phoneArray}};
    insertAll(root, extra);

    QSaveFile file(fleetFilePath(home));
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QVector<Transport> Fleet::listed(qint64 nowMs) const
{
    QVector<Transport> entries;
    for (int i = 0; i < phones.size(); ++i) {
        const Phone &phone = phones.at(i);
        if (phone.poweredOff || phone.isRestarting(nowMs))
            continue;
        if (phone.usb)
            entries.append({i, TransportKind::Usb, phone.serial, phone.transportId});
        if (!phone.tcpSerial.isEmpty())
            entries.append({i, TransportKind::Tcp, phone.tcpSerial, phone.tcpTransportId});
    }
    return entries;
}

std::optional<Transport> Fleet::findListed(const QString &serial, qint64 nowMs) const
{
    for (const Transport &transport : listed(nowMs)) {
        if (transport.serial == serial)
            return transport;
    }
    return std::nullopt;
}

std::optional<Transport> Fleet::findListedById(int transportId, qint64 nowMs) const
{
    for (const Transport &transport : listed(nowMs)) {
        if (transport.id == transportId)
            return transport;
    }
    return std::nullopt;
}

int Fleet::phoneIndex(const QString &serial) const
{
    for (int i = 0; i < phones.size(); ++i) {
        if (phones.at(i).serial == serial)
            return i;
    }
    return -1;
}

int Fleet::phoneIndexByIp(const QString &ip) const
{
    for (int i = 0; i < phones.size(); ++i) {
        if (!ip.isEmpty() && phones.at(i).ip == ip)
            return i;
    }
    return -1;
}
