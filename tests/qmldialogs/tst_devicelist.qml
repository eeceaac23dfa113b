import QtQuick
import QtTest
import Parvix

// The device list: groups start collapsed, the selection stays within one group, the device
// menu opens inside the list and closing it clears the selection; renames show at once.
DialogTestCase {
    id: testCase
    name: "DeviceList"

    property var manager: null
    property var list: null
    property var first: null
    property var second: null

    function init() {
        manager = managerWithPhones(4)
        first = manager.currentSelectedGroup
        second = groupNamed(manager, "Second")
        const devices = first.devicesForRepeater
        first.moveDevicesToGroup([devices[2].adbConnectionSerial, devices[3].adbConnectionSerial], second)
        tryCompare(second, "deviceCount", 2)
        list = make("DeviceList", { width: 300, height: 600, deviceGroupManager: manager })
    }

    function rows() {
        return findAll(list, "deviceRow").filter(row => row.visible)
    }

    function rowOf(device) {
        return rows().find(row => row.device === device)
    }

    function expandAll() {
        compare(rows().length, 0, "groups start collapsed")
        for (const button of findAll(list, "expandButton"))
            mouseClick(button)
        tryVerify(() => rows().length === 4, 2000, "four rows shown")
        waitForRendering(list)
    }

    function serials(devices) {
        return devices.map(device => device.adbConnectionSerial)
    }

    // Each click (Control held or not) and the selection and its group after it.
    function test_selection() {
        expandAll()
        manager.createDeviceGroup("Third")
        compare(rows().length, 4, "a new group leaves the others expanded")
        const line = find(rows()[0], "connectionLine")
        verify(line.mapToItem(rows()[0], 0, line.height).y <= rows()[0].height, "the last line fits")
        manager.removeDeviceGroup(groupNamed(manager, "Third"))
        const a1 = first.devicesForRepeater[0], a2 = first.devicesForRepeater[1]
        const b1 = second.devicesForRepeater[0]
        const steps = [[a1, false, [a1], first, "a click selects"],
                       [a2, true, [a1, a2], first, "Control adds"],
                       [b1, true, [a1, a2], first, "a phone of another group is not added"],
                       [a1, true, [a2], first, "Control removes"],
                       [a2, true, [], null, "removing the last one forgets the group"],
                       [b1, true, [b1], second, "then another group's phone may start"],
                       [a1, false, [a1], first, "a plain click starts over"]]
        for (const [device, control, selected, group, why] of steps) {
            mouseClick(rowOf(device), 20, 20, Qt.LeftButton, control ? Qt.ControlModifier : Qt.NoModifier)
            compare([list.selectedDevices, list.currentSourceGroup], [serials(selected), group], why)
        }
        // A right click keeps a selection the phone belongs to.
        mouseClick(rowOf(a2), 20, 20, Qt.LeftButton, Qt.ControlModifier)
        mouseClick(rowOf(a2), 20, 20, Qt.RightButton)
        const menu = findChild(list, "deviceMenu")
        tryCompare(menu, "opened", true)
        compare(list.selectedDevices.length, 2)
        menu.close()
        tryCompare(menu, "visible", false)
        // A press on empty space clears the selection, unless Control is held.
        mouseClick(rowOf(a1), 20, 20)
        mousePress(list, 150, list.height - 20, Qt.LeftButton, Qt.ControlModifier)
        mouseRelease(list, 150, list.height - 20, Qt.LeftButton, Qt.ControlModifier)
        compare(list.selectedDevices.length, 1, "Control keeps the selection")
        mouseClick(list, 150, list.height - 20)
        compare(list.selectedDevices.length, 0)
        // A rename shows at once.
        a1.setNickName("Phone 7")
        verify(find(rowOf(a1), "nameLine").text.indexOf("Phone 7") >= 0)
        a1.setNickName("")
        mouseClick(rowOf(a1), 20, 20)
        mouseClick(rowOf(a2), rowOf(a2).width - 15, 27)
        compare(list.selectedDevices, serials([a1]), "the buttons at the right of a row do not select")
    }

    function test_rightClickOpensMenuInsideList() {
        list.height = 400
        expandAll()
        const menu = findChild(list, "deviceMenu")
        const b2 = second.devicesForRepeater[1]
        const clickY = 5 // rows grow with their text: the lower edge may lie under the list's margin
        verify(rowOf(b2).mapToItem(list, 20, clickY).y + 280 > list.height, "low enough for the menu to overflow")
        mouseClick(rowOf(b2), 20, clickY, Qt.RightButton)
        tryCompare(menu, "opened", true)
        compare(menu.device, b2)
        compare(list.selectedDevices, [b2.adbConnectionSerial], "right click selects an unselected phone")
        compare(menu.y, Math.max(0, list.height - 280))
        menu.close()
        tryCompare(menu, "visible", false)
        compare(list.selectedDevices.length, 0, "closing the menu clears the selection")
    }

    // Clicks on two headers, so that they make no double click.
    function test_headerClickSelectsGroup() {
        const headers = findAll(list, "groupHeader")
        compare(headers.length, manager.deviceGroups.length)
        const headerOf = group => headers.find(header => header.parent.group === group)
        waitForRendering(list)
        mouseClick(headerOf(second), headers[0].width - 45, 20)
        compare(manager.currentSelectedGroup, second)
        // The rightmost 40 px belong to the expand button.
        mouseClick(headerOf(first), headers[0].width - 20, 20)
        verify(headerOf(first).parent.expanded)
        compare(manager.currentSelectedGroup, second)
    }
}
