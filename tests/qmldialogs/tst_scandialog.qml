import QtQuick
import QtTest
import Parvix

// The scan dialog: the delayed scan, ticking rows, Select All and adding to a group; ticked
// rows added by mouse: the journeys.
DialogTestCase {
    id: testCase
    name: "ScanDialog"

    SignalSpy {
        id: scanningSpy
        signalName: "isScanningChanged"
    }

    function rows(dialog) {
        return visibleAll(dialog, "deviceRow")
    }

    function ticks(dialog) {
        return rows(dialog).map(row => find(row, "rowCheckBox").checked)
    }

    function scanned(manager, count) {
        const dialog = openDialog(make("DeviceScanDialog", { deviceGroupManager: manager }))
        tryVerify(() => rows(dialog).length === count && !manager.isScanning, 20000)
        return dialog
    }

    function test_scanStartsLateAndClosingForgetsTheList() {
        const manager = newManager()
        scanningSpy.target = manager
        scanningSpy.clear()
        const dialog = openDialog(make("DeviceScanDialog", { deviceGroupManager: manager }))
        const alert = findChild(dialog, "scanErrorAlert")
        // Drawn first; the scan follows 300 ms later.
        verify(!manager.isScanning && findChild(dialog, "scanTimer").running)
        closeDialog(dialog)
        verify(!findChild(dialog, "scanTimer").running, "closing before the delay cancels the scan")
        compare(scanningSpy.count, 0)
        manager.scanError("not shown while the dialog is closed")
        verify(!alert.visible)
        openDialog(dialog)
        tryCompare(scanningSpy, "count", 1, 2000)
        verify(find(dialog, "scanSpinner").visible)
        tryCompare(manager, "isScanning", false, 20000)
        compare(rows(dialog).length, 4)
        manager.scanError("adb: protocol fault")
        tryVerify(() => alert.opened)
        compare([alert.alertTitle, alert.alertMessage], ["Error", "adb: protocol fault"])
        alert.close()
        closeDialog(dialog)
        compare(manager.availableDeviceInfos.length, 0, "the next opening shows no stale list")
    }

    function test_tickingRules() {
        const manager = newManager()
        manager.createDeviceGroup("Shop")
        const dialog = scanned(manager, 4)
        const selectAll = find(dialog, "selectAllBox")
        compare(find(dialog, "selectAllText").text, "Select All (4)")
        // Row by row: every phone ticked, yet "Select All" stays clear.
        rows(dialog).forEach(click)
        verify(!selectAll.checked)
        click(rows(dialog)[1])
        compare(ticks(dialog), [true, false, true, true])
        // Select All ticks the rest without doubling any; unticking one keeps the others.
        click(selectAll)
        compare(dialog.selectedDevices.map(d => d.adb_serial)[3], manager.availableDeviceInfos[1].adb_serial,
                "kept in order of ticking")
        compare(dialog.selectedDevices.length, 4)
        click(find(rows(dialog)[2], "rowCheckBox"))
        compare(ticks(dialog), [true, true, false, true])
        verify(!selectAll.checked)
        click(selectAll)
        click(selectAll)
        compare(ticks(dialog), [false, false, false, false], "clearing Select All clears all")
        // Into the chosen group: the ticked phones in the order of ticking.
        click(rows(dialog)[3])
        click(rows(dialog)[0])
        const expected = [3, 0].map(i => manager.availableDeviceInfos[i].adb_serial)
        const groupBox = find(dialog, "groupBox")
        groupBox.currentIndex = 1
        groupBox.activated(1)
        click(find(dialog, "addButton"))
        tryVerify(() => !dialog.visible)
        const shop = manager.deviceGroups[1]
        tryCompare(shop, "deviceCount", 2, 5000)
        compare(shop.devicesForRepeater.map(d => d.adbConnectionSerial), expected)
        compare(manager.currentSelectedGroup.deviceCount, 0)
    }

    function test_oneListedPhoneAndTheAddGuard() {
        const manager = managerWithPhones(3)
        const dialog = scanned(manager, 1)
        verify(!find(dialog, "selectAllRow").visible)
        // Nothing ticked: "Add to Group" is grey and does nothing.
        const add = find(dialog, "addButton")
        compare(add.textColor, Theme.textGray)
        click(add)
        verify(dialog.opened)
        click(rows(dialog)[0])
        compare(add.textColor, Theme.textGreen)
        click(add)
        tryVerify(() => !dialog.visible)
        tryCompare(manager.currentSelectedGroup, "deviceCount", 4, 5000)
    }
}
