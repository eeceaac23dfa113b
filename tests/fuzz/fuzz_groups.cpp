// "device_groups.json" with any content.
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "fuzzsupport.h"

PARVIX_FUZZ_TARGET(false)
{
    const QString path = DeviceGroupManager::filePath();
    checkRoundTrip(path, data, size, [] {
        DeviceGroupManager manager;
        // There is always a group to show, and it is one of the list.
        FUZZ_CHECK(!manager.deviceGroups().isEmpty(), {});
        FUZZ_CHECK(manager.deviceGroups().contains(manager.currentSelectedGroup()), {});
        for (const DeviceGroup *group : manager.deviceGroups()) {
            FUZZ_CHECK(!group->name().isEmpty(), {});
            FUZZ_CHECK(group->orientation() == DeviceGroup::Portrait ||
                           group->orientation() == DeviceGroup::Landscape,
                       {});
        }
        manager.removeDeviceGroup(nullptr); // writes the file, changes nothing
    });
}
