#include "groupstartup.h"

#include "device.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"

bool GroupStartup::apply(DeviceGroupManager *manager, const QString &groupName, bool startAll)
{
    bool found = groupName.isEmpty();
    for (DeviceGroup *group : manager->deviceGroups()) {
        if (!found && group->name() == groupName) {
            manager->setCurrentSelectedGroup(group);
            found = true;
            break;
        }
    }
    DeviceGroup *group = manager->currentSelectedGroup();
    if (startAll && group) {
        // Lives on the group, so a group removed meanwhile takes the pending start with it.
        new GroupStartup(manager, group);
        manager->scanDevices();
    }
    return found;
}

GroupStartup::GroupStartup(DeviceGroupManager *manager, DeviceGroup *group)
    : QObject(group), m_manager(manager), m_group(group)
{
    connect(manager, &DeviceGroupManager::isScanningChanged, this, &GroupStartup::handleScanState);
    connect(manager, &DeviceGroupManager::scanError, this, &QObject::deleteLater);
}

void GroupStartup::handleScanState()
{
    if (m_manager->isScanning())
        return;
    disconnect(m_manager, nullptr, this, nullptr);
    const QList<ADBDeviceInfo> found = m_manager->availableDeviceInfos();
    if (found.isEmpty() || !m_group->addDevices(found)) {
        deleteLater();
        return;
    }
    // Devices join one by one, and the group may skip a phone it holds already: start once
    // nothing is waiting to join.
    connect(m_group, &DeviceGroup::deviceAddedIntoGroup, this, &GroupStartup::startWhenAllJoined);
    startWhenAllJoined();
}

void GroupStartup::startWhenAllJoined()
{
    if (m_group->pendingDeviceCount() > 0)
        return;
    disconnect(m_group, nullptr, this, nullptr);
    m_group->startAllDevices();
    deleteLater();
}
