import QtQuick
import QtTest
import Parvix

// The grid of tiles: cell sizes in both orientations, with and without control buttons, and
// the group header's toggles and actions.
DialogTestCase {
    id: testCase
    name: "PhoneScreenGrid"

    function grid(manager) {
        return make("PhoneScreenGrid", { width: 1200, height: 800, deviceGroupManager: manager })
    }

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
        const view = findChild(grid(manager), "grid")
        compare(view.cellWidth, data.width)
        fuzzyCompare(view.cellHeight, data.height, 0.01)
        compare(view.cacheBuffer, Math.floor(2 * view.cellHeight))
        tryVerify(() => view.count === 1)
        compare(view.itemAtIndex(0).width, view.cellWidth - 10)
        fuzzyCompare(view.itemAtIndex(0).height, view.cellHeight - 10, 0.01)
    }

    // Start Group Control and the actions' entries by name: the journeys.
    function test_headerButtonsAndActions() {
        const manager = managerWithPhones(2)
        const group = manager.currentSelectedGroup
        group.orientation = DeviceGroup.Portrait
        const shown = grid(manager)
        const orientation = findChild(shown, "orientationButton")
        compare(orientation.text, "Landscape")
        mouseClick(orientation)
        compare([group.orientation, orientation.text], [DeviceGroup.Landscape, "Portrait"])
        compare(findChild(shown, "groupActions").menuItems.map(item => item.type === "separator" ? "-" : item.label),
                ["Screenshot", "Install APK", "Upload File", "-", "Run AutoJS", "Stop AutoJS", "-", "ADB Commands",
                 "Settings"])
        mouseClick(findChild(shown, "groupControlButton"))
        verify(group.groupControlMode)
        mouseClick(findChild(shown, "clearAllButton"))
        const confirm = findChild(shown, "clearConfirm")
        tryVerify(() => confirm.opened)
        compare(group.deviceCount, 2, "nothing is removed before the answer")
        confirm.accepted()
        tryCompare(group, "deviceCount", 0, 5000)
        verify(!group.groupControlMode, "group control ends with its phones")
    }
}
