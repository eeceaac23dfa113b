import QtQuick
import QtTest
import Parvix

// Files dropped on a tile, the batch job panel following a group upload, and the wireless
// pairing dialog's refusals.
DialogTestCase {
    id: testCase
    name: "JobsAndPairing"

    Component {
        id: panelComponent
        BatchJobPanel {
            width: 420
            height: 300
        }
    }

    Component {
        id: gridComponent
        PhoneScreenGrid {
            width: 1200
            height: 800
        }
    }

    Component {
        id: pairingComponent
        WirelessPairingDialog {}
    }

    function test_panelKeepsAFinishedJobUntilDismissed() {
        const group = managerWithPhones(2).currentSelectedGroup
        const path = helper.temporaryFolder() + "/notes.txt"
        verify(helper.writeFile(path, "notes"))
        const panel = createTemporaryObject(panelComponent, testCase.Window.contentItem,
                                            { jobs: group.jobs })
        verify(group.transferFiles([Qt.url("file://" + path)], null) !== null)
        tryVerify(() => findAll(panel, "jobCounts").length === 1, 5000, "the job is listed")
        tryCompare(find(panel, "jobCounts"), "text", "2 of 2 done, 0 failed, 0 cancelled", 20000)
        verify(!find(panel, "cancelJob").visible)
        click(find(panel, "dismissJob"))
        compare(group.jobs.count, 0)
    }

    function test_droppedApkInstalls_data() {
        return [
            { tag: "on a tile, that phone", target: "tile", phones: [1] },
            { tag: "on the group header, every phone", target: "groupDropArea", phones: [0, 1] }
        ]
    }
    function test_droppedApkInstalls(data) {
        const manager = managerWithPhones(2)
        const apk = helper.temporaryFolder() + "/dropped.apk"
        verify(helper.writeFile(apk, "PK apk"))
        const grid = createTemporaryObject(gridComponent, testCase.Window.contentItem,
                                           { deviceGroupManager: manager })
        const view = find(grid, "grid")
        tryVerify(() => view.count === 2 && view.itemAtIndex(1) !== null)
        waitForRendering(grid)
        const seen = helper.fleetLog("adb.log").length
        const target = data.target === "tile" ? view.itemAtIndex(1) : find(grid, data.target)
        verify(helper.dropFiles(target, [apk]), "the drop is taken")
        const expected = data.phones.map(i => view.itemAtIndex(i).device.adbConnectionSerial)
        const installedOn = () => helper.fleetLog("adb.log").slice(seen)
            .filter(e => e.args.join(" ").endsWith("pm install -r '/data/local/tmp/dropped.apk'"))
            .map(e => e.args[1]).sort()
        tryVerify(() => installedOn().length >= expected.length, 20000, "the phones install it")
        compare(installedOn(), expected.sort())
    }

    function test_pairingRefusesAShortCodeWithoutRunningAdb() {
        const dialog = openDialog(createTemporaryObject(pairingComponent, testCase))
        find(dialog, "addressField").text = "192.168.1.20:37000"
        find(dialog, "codeField").text = "12345"
        find(dialog, "portField").text = "40111"
        click(find(dialog, "pairButton"))
        verify(find(dialog, "pairingMessage").text.indexOf("six digits") >= 0)
        verify(find(dialog, "pairButton").enabled, "nothing runs")
    }
}
