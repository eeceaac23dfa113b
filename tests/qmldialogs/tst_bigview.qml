import QtQuick
import QtTest
import Parvix

// The enlarged view: its window follows the device's isBigView, and each switch restarts the
// phone's stream once.
DialogTestCase {
    id: testCase
    name: "BigDeviceView"

    // Counts the device's stops and starts over one switch.
    function countSwitch(device, action) {
        let stops = 0, starts = 0
        const counter = () => device.running ? ++starts : ++stops
        device.runningChanged.connect(counter)
        action()
        tryVerify(() => starts >= 1 && device.controller !== null, 20000, "the stream comes back")
        device.runningChanged.disconnect(counter)
        return { stops: stops, starts: starts }
    }

    function test_switchesRestartTheStreamOnce() {
        const manager = managerWithPhones(1)
        const group = manager.currentSelectedGroup
        group.orientation = DeviceGroup.Portrait
        group.bigViewWidth = 400
        const grid = make("PhoneScreenGrid", { width: 1200, height: 800, deviceGroupManager: manager })
        const view = findChild(grid, "grid")
        tryVerify(() => view.count === 1)
        const tile = view.itemAtIndex(0)
        const device = tile.device
        startAndWait(device)

        const opened = countSwitch(device, () => mouseClick(findChild(tile, "enlarge")))
        compare(opened, { stops: 1, starts: 1 })
        verify(findChild(tile, "onBigScreen").visible && !findChild(tile, "video").visible)

        const window = grid.bigViewOf(device)
        verify(window && window.visible, "the enlarged window exists")
        compare(window.width, 400 + 35 + 20)
        fuzzyCompare(window.height, 400 * 16 / 9 + 55, 1)
        verify(window.flags & Qt.WindowStaysOnTopHint)
        tryVerify(() => window.currentFps > 0, 10000, "the window shows the stream")

        const closed = countSwitch(device, () => window.close())
        compare(closed, { stops: 1, starts: 1 })
        verify(!grid.bigViewOf(device), "the window is gone")
        verify(findChild(tile, "video").visible)
    }

    function test_enlargingAStoppedPhoneStartsIt() {
        const manager = managerWithPhones(1)
        manager.currentSelectedGroup.orientation = DeviceGroup.Landscape
        manager.currentSelectedGroup.bigViewWidth = 960
        const grid = make("PhoneScreenGrid", { width: 1200, height: 800, deviceGroupManager: manager })
        const view = findChild(grid, "grid")
        tryVerify(() => view.count === 1)
        const device = view.itemAtIndex(0).device
        verify(!device.running)
        device.setIsBigView(true)
        tryVerify(() => device.running, 20000)
        const window = grid.bigViewOf(device)
        compare(window.width, 1015)
        fuzzyCompare(window.height, 595, 1)
        // A portrait stream in a landscape window keeps its shape.
        const video = findChild(window.contentItem, "video")
        const shape = size => size.width / size.height
        tryVerify(() => device.frameSize.width > 0 && Math.abs(shape(video) - shape(device.frameSize)) < 0.01,
                  10000, "the picture keeps the stream's shape once it is laid out")
        const first = manager.currentSelectedGroup
        manager.setCurrentSelectedGroup(groupNamed(manager, "Elsewhere"))
        compare(grid.bigViewOf(device), window, "showing another group keeps the window")
        manager.setCurrentSelectedGroup(first)
        manager.removeDeviceGroup(groupNamed(manager, "Elsewhere"))
        device.setIsBigView(false)
        tryVerify(() => !grid.bigViewOf(device))
    }
}
