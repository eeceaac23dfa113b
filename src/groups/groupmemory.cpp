#include "groupmemory.h"

#include "device.h"
#include "devicegroup.h"

#include <QJsonArray>

namespace {
const QString kMembers = QStringLiteral("members");
const QString kStreaming = QStringLiteral("streaming");
} // namespace

namespace GroupMemory {

QJsonObject withMembers(QJsonObject entry, const DeviceGroup *group, bool streaming)
{
    QJsonArray serials;
    for (const Device *device : group->devices())
        serials.append(device->adbConnectionSerial());
    entry.insert(kMembers, serials);
    entry.insert(kStreaming, streaming);
    return entry;
}

QStringList members(const QJsonObject &entry, bool *sound)
{
    const QJsonValue value = entry.value(kMembers);
    if (value.isUndefined())
        return {};
    if (!value.isArray())
        *sound = false;
    QStringList serials;
    for (const QJsonValue &serial : value.toArray()) {
        const QString text = serial.toString();
        if (text.isEmpty() || text.size() > kMaxSerialLength || text.contains(QLatin1Char(' ')) ||
            serials.contains(text) || serials.size() >= kMaxMembers) {
            *sound = false;
            continue;
        }
        serials.append(text);
    }
    return serials;
}

bool wasStreaming(const QJsonObject &entry)
{
    return entry.value(kStreaming).toBool();
}

QList<Device *> restore(DeviceGroup *group, const QStringList &serials)
{
    QList<Device *> restored;
    for (const QString &serial : serials) {
        auto *device = new Device(nullptr, serial);
        // Wi-Fi adb serials are ip:port; everything else came over USB.
        device->setConnectionType(serial.contains(QLatin1Char(':')) ? Device::WiFi : Device::USB);
        group->addDevice(device);
        restored.append(device);
    }
    return restored;
}

} // namespace GroupMemory
