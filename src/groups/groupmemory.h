#pragma once
#include <QJsonObject>
#include <QList>
#include <QStringList>

class Device;
class DeviceGroup;

// What a group remembers of its phones across runs: its members' serials and whether it
// was streaming, kept beside its name and settings in the group file.
namespace GroupMemory {

// Members longer than this many or with over-long serials are not kept.
constexpr int kMaxMembers = 500;
constexpr int kMaxSerialLength = 128;

// The group's entry with its members and the streaming flag added.
QJsonObject withMembers(QJsonObject entry, const DeviceGroup *group, bool streaming);
// The stored serials (none in files written before members were kept); *sound is
// cleared when the entry held something unusable.
QStringList members(const QJsonObject &entry, bool *sound);
bool wasStreaming(const QJsonObject &entry);
// Puts the members back into the group at once, shown as not connected until adb has them.
QList<Device *> restore(DeviceGroup *group, const QStringList &serials);

} // namespace GroupMemory
