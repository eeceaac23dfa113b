import QtQuick
import QtTest
import Parvix

// The grid of tiles: cell sizes in both orientations, with and without control buttons, the
// group header's toggles and actions, the enlarged view (its window follows the device's
// isBigView, its size the group's width and orientation, and each switch restarts the phone's
// stream once), files dropped on a tile or a group, the batch job panel following a group
// upload, and the wireless pairing dialog's refusals.
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
        const shown = grid(manager)
        const view = findChild(shown, "grid")
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
        const window = shown.bigViewOf(device)
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
        verify(!shown.bigViewOf(device), "the window is gone")
        verify(findChild(tile, "video").visible)
    }

    function file(name, content) {
        const path = helper.temporaryFolder() + "/" + name
        verify(helper.writeFile(path, content))
        return path
    }

    function test_panelKeepsAFinishedJobUntilDismissed() {
        const group = managerWithPhones(2).currentSelectedGroup
        const panel = make("BatchJobPanel", { width: 420, height: 300, jobs: group.jobs })
        verify(group.transferFiles([Qt.url("file://" + file("notes.txt", "notes"))], null) !== null)
        tryVerify(() => findAll(panel, "jobCounts").length === 1, 5000, "the job is listed")
        tryCompare(find(panel, "jobCounts"), "text", "2 of 2 done, 0 failed, 0 cancelled", 20000)
        verify(!find(panel, "cancelJob").visible)
        click(find(panel, "dismissJob"))
        compare(group.jobs.count, 0)
    }

    function test_droppedApkInstalls_data() {
        return [{ tag: "on a tile, that phone", target: "tile", phones: [1] },
                { tag: "on the group header, every phone", target: "groupDropArea", phones: [0, 1] }]
    }

    function test_droppedApkInstalls(data) {
        const shown = grid(managerWithPhones(2))
        const apk = file("dropped.apk", "PK apk")
        const view = find(shown, "grid")
        tryVerify(() => view.count === 2 && view.itemAtIndex(1) !== null)
        waitForRendering(shown)
        const seen = helper.fleetLog("adb.log").length
        verify(helper.dropFiles(data.target === "tile" ? view.itemAtIndex(1) : find(shown, data.target), [apk]),
               "the drop is taken")
        const expected = data.phones.map(i => view.itemAtIndex(i).device.adbConnectionSerial)
        const installedOn = () => helper.fleetLog("adb.log").slice(seen)
            .filter(e => e.args.join(" ").endsWith("pm install -r '/data/local/tmp/dropped.apk'"))
            .map(e => e.args[1]).sort()
        tryVerify(() => installedOn().length >= expected.length, 20000, "the phones install it")
        compare(installedOn(), expected.sort())
    }

    function test_pairingRefusesAShortCodeWithoutRunningAdb() {
        const dialog = openDialog(make("WirelessPairingDialog"))
        find(dialog, "addressField").text = "192.168.1.20:37000"
        find(dialog, "codeField").text = "12345"
        find(dialog, "portField").text = "40111"
        click(find(dialog, "pairButton"))
        verify(find(dialog, "pairingMessage").text.indexOf("six digits") >= 0)
        verify(find(dialog, "pairButton").enabled, "nothing runs")
    }
}
