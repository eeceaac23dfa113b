import QtQuick
import QtTest
import Parvix

// Files dropped on a tile or a group, the batch job panel following a group upload, and the
// wireless pairing dialog's refusals.
DialogTestCase {
    id: testCase
    name: "JobsAndPairing"

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
        const grid = make("PhoneScreenGrid", { width: 1200, height: 800, deviceGroupManager: managerWithPhones(2) })
        const apk = file("dropped.apk", "PK apk")
        const view = find(grid, "grid")
        tryVerify(() => view.count === 2 && view.itemAtIndex(1) !== null)
        waitForRendering(grid)
        const seen = helper.fleetLog("adb.log").length
        verify(helper.dropFiles(data.target === "tile" ? view.itemAtIndex(1) : find(grid, data.target), [apk]),
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
