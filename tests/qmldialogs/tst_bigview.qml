import QtQuick
import QtTest
import Parvix

// The enlarged view: its window follows the device's isBigView, its size the group's width and
// orientation, and each switch restarts the phone's stream once.
DialogTestCase {
    id: testCase
    name: "BigDeviceView"

    function test_switches_data() {
        return [{ tag: "portrait, by the tile's button", orientation: DeviceGroup.Portrait, width: 400, running: true,
                  size: [455, 400 * 16 / 9 + 55] },
                { tag: "landscape, a stopped phone is started", orientation: DeviceGroup.Landscape, width: 960,
                  running: false, size: [1015, 595] }]
    }

    function test_switches(row) {
        const manager = managerWithPhones(1)
        manager.currentSelectedGroup.orientation = row.orientation
        manager.currentSelectedGroup.bigViewWidth = row.width
        const grid = make("PhoneScreenGrid", { width: 1200, height: 800, deviceGroupManager: manager })
        const view = findChild(grid, "grid")
        tryVerify(() => view.count === 1)
        const tile = view.itemAtIndex(0)
        const device = tile.device
        if (row.running)
            startAndWait(device)
        // Each switch stops and starts the stream once.
        let switches = []
        device.runningChanged.connect(() => switches.push(device.running))
        const settled = () => tryVerify(() => switches[switches.length - 1] === true && device.controller !== null,
                                        20000, "the stream comes back")
        if (row.running)
            mouseClick(findChild(tile, "enlarge"))
        else
            device.setIsBigView(true)
        settled()
        compare(switches, row.running ? [false, true] : [true])
        verify(findChild(tile, "onBigScreen").visible && !findChild(tile, "video").visible)
        const window = grid.bigViewOf(device)
        verify(window && window.visible && (window.flags & Qt.WindowStaysOnTopHint), "an enlarged window on top")
        compare(window.width, row.size[0])
        fuzzyCompare(window.height, row.size[1], 1)
        tryVerify(() => window.currentFps > 0, 10000, "the window shows the stream")
        // A portrait stream in a landscape window keeps its shape.
        const video = findChild(window.contentItem, "video")
        const shape = size => size.width / size.height
        tryVerify(() => Math.abs(shape(video) - shape(device.frameSize)) < 0.01, 10000, "the stream's shape")
        switches = []
        window.close()
        settled()
        compare(switches, [false, true])
        verify(!grid.bigViewOf(device), "the window is gone")
        verify(findChild(tile, "video").visible)
    }
}
