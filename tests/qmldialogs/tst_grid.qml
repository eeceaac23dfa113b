import QtQuick
import QtTest
import Parvix

// The grid of tiles: cell sizes in both orientations, with and without control buttons, and
// the group header's toggles.
DialogTestCase {
    id: testCase
    name: "PhoneScreenGrid"

    // A header of 20, the picture (the buttons take 35 + 15, else 10) and a margin of 10.
    function test_cellSizes_data() {
        return [
            { tag: "portrait with buttons", width: 220, buttons: true, landscape: false, height: 332.22 },
            { tag: "landscape with buttons", width: 220, buttons: true, landscape: true, height: 125.63 },
            { tag: "portrait without buttons", width: 300, buttons: false, landscape: false, height: 545.56 },
            { tag: "landscape without buttons", width: 480, buttons: false, landscape: true, height: 294.38 }
        ]
    }

    function test_cellSizes(data) {
        const manager = managerWithPhones(1)
        const group = manager.currentSelectedGroup
        group.cellWidth = data.width
        group.showControlButtons = data.buttons
        group.orientation = data.landscape ? DeviceGroup.Landscape : DeviceGroup.Portrait
        const grid = make("PhoneScreenGrid", { width: 1200, height: 800, deviceGroupManager: manager })
        const view = findChild(grid, "grid")
        compare(view.cellWidth, data.width)
        fuzzyCompare(view.cellHeight, data.height, 0.01)
        compare(view.cacheBuffer, Math.floor(2 * view.cellHeight))
        tryVerify(() => view.count === 1)
        const tile = view.itemAtIndex(0)
        compare(tile.width, view.cellWidth - 10)
        fuzzyCompare(tile.height, view.cellHeight - 10, 0.01)
    }

    function test_orientationAndGroupControlButtons() {
        const manager = managerWithPhones(2)
        const group = manager.currentSelectedGroup
        group.orientation = DeviceGroup.Portrait
        const grid = make("PhoneScreenGrid", { width: 1200, height: 800, deviceGroupManager: manager })

        const orientation = findChild(grid, "orientationButton")
        compare(orientation.text, "Landscape")
        mouseClick(orientation)
        compare(group.orientation, DeviceGroup.Landscape)
        compare(orientation.text, "Portrait")

        const control = findChild(grid, "groupControlButton")
        compare(control.text, "Start Group Control")
        mouseClick(control)
        verify(group.groupControlMode)
        compare(control.text, "Group Controlling")

        mouseClick(findChild(grid, "clearAllButton"))
        const confirm = findChild(grid, "clearConfirm")
        tryVerify(() => confirm.opened)
        compare(group.deviceCount, 2, "nothing is removed before the answer")
        confirm.accepted()
        tryCompare(group, "deviceCount", 0, 5000)
    }

    function test_groupActionsMenuInOrder() {
        const manager = managerWithPhones(1)
        const grid = make("PhoneScreenGrid", { width: 1200, height: 800, deviceGroupManager: manager })
        const menu = findChild(grid, "groupActions")
        const labels = menu.menuItems.map(item => item.type === "separator" ? "-" : item.label)
        compare(labels, ["Screenshot", "Install APK", "Upload File", "-", "Run AutoJS", "Stop AutoJS",
                         "-", "ADB Commands", "Settings"])
    }
}
