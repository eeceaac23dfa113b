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
        verify(list)
    }

    function rows() {
        return findAll(list, "deviceRow").filter(row => row.visible)
    }

    function rowOf(device) {
        return rows().find(row => row.device === device)
    }

    function expandAll() {
        for (const button of findAll(list, "expandButton"))
            mouseClick(button)
        tryVerify(() => rows().length === 4, 2000, "four rows shown")
        waitForRendering(list)
    }

    function test_groupsStartCollapsed() {
        compare(rows().length, 0)
        expandAll()
        manager.createDeviceGroup("Third")
        compare(rows().length, 4, "a new group leaves the others expanded")
        const line = find(rows()[0], "connectionLine")
        verify(line.mapToItem(rows()[0], 0, line.height).y <= rows()[0].height, "the last line fits")
        manager.removeDeviceGroup(groupNamed(manager, "Third"))
    }

    function test_selectionStaysInOneGroup() {
        expandAll()
        const a1 = first.devicesForRepeater[0], a2 = first.devicesForRepeater[1]
        const b1 = second.devicesForRepeater[0]

        mouseClick(rowOf(a1), 20, 20)
        compare(list.selectedDevices, [a1.adbConnectionSerial])
        compare(list.currentSourceGroup, first)

        mouseClick(rowOf(a2), 20, 20, Qt.LeftButton, Qt.ControlModifier)
        compare(list.selectedDevices, [a1.adbConnectionSerial, a2.adbConnectionSerial])

        mouseClick(rowOf(b1), 20, 20, Qt.LeftButton, Qt.ControlModifier)
        compare(list.selectedDevices, [a1.adbConnectionSerial, a2.adbConnectionSerial],
                "a phone of another group is not added")
        compare(list.currentSourceGroup, first)

        mouseClick(rowOf(a1), 20, 20, Qt.LeftButton, Qt.ControlModifier)
        mouseClick(rowOf(a2), 20, 20, Qt.LeftButton, Qt.ControlModifier)
        compare(list.selectedDevices.length, 0)
        compare(list.currentSourceGroup, null, "removing the last one forgets the group")

        mouseClick(rowOf(b1), 20, 20, Qt.LeftButton, Qt.ControlModifier)
        compare(list.selectedDevices, [b1.adbConnectionSerial])
        compare(list.currentSourceGroup, second)

        mouseClick(rowOf(a1), 20, 20)
        compare(list.selectedDevices, [a1.adbConnectionSerial], "a plain click starts over")
        compare(list.currentSourceGroup, first)

        // The buttons at the right of a row do not select.
        mouseClick(rowOf(a2), rowOf(a2).width - 15, 27)
        compare(list.selectedDevices, [a1.adbConnectionSerial])
    }

    function test_pressOnEmptySpaceClears() {
        expandAll()
        mouseClick(rowOf(first.devicesForRepeater[0]), 20, 20)
        compare(list.selectedDevices.length, 1)
        mousePress(list, 150, list.height - 20, Qt.LeftButton, Qt.ControlModifier)
        mouseRelease(list, 150, list.height - 20, Qt.LeftButton, Qt.ControlModifier)
        compare(list.selectedDevices.length, 1, "Control keeps the selection")
        mouseClick(list, 150, list.height - 20)
        compare(list.selectedDevices.length, 0)
    }

    function test_rightClickOpensMenuInsideList() {
        list.height = 400
        expandAll()
        const menu = findChild(list, "deviceMenu")
        const a2 = second.devicesForRepeater[1]
        const row = rowOf(a2)
        const clickY = 5 // rows grow with their text: the lower edge may lie under the list's margin
        const inList = row.mapToItem(list, 20, clickY)
        verify(inList.y + 280 > list.height, "the click is low enough for the menu to overflow")

        mouseClick(row, 20, clickY, Qt.RightButton)
        tryCompare(menu, "opened", true)
        compare(menu.device, a2)
        compare(list.selectedDevices, [a2.adbConnectionSerial], "right click selects an unselected phone")
        compare(menu.y, Math.max(0, list.height - 280))

        menu.close()
        tryCompare(menu, "visible", false)
        compare(list.selectedDevices.length, 0, "closing the menu clears the selection")
    }

    function test_rightClickKeepsASelectionItBelongsTo() {
        expandAll()
        const a1 = first.devicesForRepeater[0], a2 = first.devicesForRepeater[1]
        mouseClick(rowOf(a1), 20, 20)
        mouseClick(rowOf(a2), 20, 20, Qt.LeftButton, Qt.ControlModifier)
        mouseClick(rowOf(a2), 20, 20, Qt.RightButton)
        const menu = findChild(list, "deviceMenu")
        tryCompare(menu, "opened", true)
        compare(list.selectedDevices.length, 2)
        menu.close()
    }

    function test_renameShowsAtOnce() {
        expandAll()
        const device = first.devicesForRepeater[0]
        const line = find(rowOf(device), "nameLine")
        device.setNickName("Phone 7")
        verify(line.text.indexOf("Phone 7") >= 0, line.text)
    }

    function test_headerClickSelectsGroup() {
        const headers = findAll(list, "groupHeader")
        compare(headers.length, manager.deviceGroups.length)
        const headerOf = group => headers.find(header => header.parent.group === group)
        mouseClick(headerOf(second), 20, 20)
        compare(manager.currentSelectedGroup, second)
        // The rightmost 40 px belong to the expand button.
        mouseClick(headerOf(first), headers[0].width - 20, 20)
        compare(manager.currentSelectedGroup, second)
        verify(headerOf(first).parent.expanded)
        // Apart, so that the two clicks are not one double click.
        wait(Qt.styleHints.mouseDoubleClickInterval + 50)
        mouseClick(headerOf(first), headers[0].width - 45, 20)
        compare(manager.currentSelectedGroup, first)
    }
}
