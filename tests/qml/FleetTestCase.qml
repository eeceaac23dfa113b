import QtQuick
import QtTest
import Parvix

// A test case over the virtual phones: managers whose groups hold real devices.
TestCase {
    id: base

    when: windowShown
    visible: true
    width: 1400
    height: 900

    Component {
        id: managerComponent
        DeviceGroupManager {}
    }

    // A group manager (destroyed after the test) whose current group holds the first `count`
    // phones of the fleet.
    readonly property string groupsRoot: AppConfig.getDeviceGroupSavePath()
    property int managers: 0

    function managerWithPhones(count) {
        verify(fleet.valid, "the virtual phones are available")
        // A group file of its own: groups remember their phones from one manager to the next.
        AppConfig.setDeviceGroupSavePath(groupsRoot + "/" + (++managers))
        const manager = createTemporaryObject(managerComponent, base)
        manager.scanDevices()
        tryVerify(() => !manager.isScanning && manager.availableDeviceInfos.length >= count,
                  20000, "the scan lists the phones")
        const infos = []
        for (let i = 0; i < count; ++i)
            infos.push(manager.availableDeviceInfos[i])
        const group = manager.currentSelectedGroup
        verify(group.addDevices(infos))
        tryCompare(group, "deviceCount", count, 10000)
        return manager
    }

    // The manager's group of that name, created when missing.
    function groupNamed(manager, name) {
        for (const group of manager.deviceGroups)
            if (group.name === name)
                return group
        manager.createDeviceGroup(name)
        for (const group of manager.deviceGroups)
            if (group.name === name)
                return group
        return null
    }

    function startAndWait(device) {
        device.startScrcpySession()
        tryVerify(() => device.running && device.controller !== null, 20000, "the session runs")
    }

    // Touch events the phone received, oldest first, as Android actions (0 down, 1 up, 2 move).
    function touches(serial) {
        return fleet.controlLog(serial).filter(entry => entry.type === "inject_touch_event")
    }

    function keys(serial) {
        return fleet.controlLog(serial).filter(entry => entry.type === "inject_keycode")
    }

    function findByName(item, name) {
        if (!item)
            return null
        if (item.objectName === name)
            return item
        const children = item.children || []
        for (let i = 0; i < children.length; ++i) {
            const found = findByName(children[i], name)
            if (found)
                return found
        }
        return null
    }

    function findAllByName(item, name, into) {
        const found = into || []
        if (!item)
            return found
        if (item.objectName === name)
            found.push(item)
        const children = item.children || []
        for (let i = 0; i < children.length; ++i)
            findAllByName(children[i], name, found)
        return found
    }
}
