import QtQuick
import QtTest
import Parvix

// The scan dialog: the delayed scan, ticking rows, Select All and adding to a group.
DialogTestCase {
    id: testCase
    name: "ScanDialog"

    SignalSpy {
        id: scanningSpy
        signalName: "isScanningChanged"
    }

    function scanDialog(manager) {
        return make("DeviceScanDialog", { deviceGroupManager: manager })
    }

    function rows(dialog) {
        return visibleAll(dialog, "deviceRow")
    }

    function ticks(dialog) {
        return rows(dialog).map(row => find(row, "rowCheckBox").checked)
    }

    function test_scanStartsLateAndClosingForgetsTheList() {
        verify(helper.fleetValid)
        const manager = newManager()
        scanningSpy.target = manager
        scanningSpy.clear()
        const dialog = openDialog(scanDialog(manager))
        // Drawn first; the scan follows 300 ms later.
        verify(!manager.isScanning)
        verify(findChild(dialog, "scanTimer").running)
        closeDialog(dialog)
        verify(!findChild(dialog, "scanTimer").running, "closing before the delay cancels the scan")
        compare(scanningSpy.count, 0)

        openDialog(dialog)
        tryCompare(scanningSpy, "count", 1, 2000)
        verify(find(dialog, "scanSpinner").visible)
        tryCompare(manager, "isScanning", false, 20000)
        compare(rows(dialog).length, 4)
        closeDialog(dialog)
        compare(manager.availableDeviceInfos.length, 0, "the next opening shows no stale list")
    }

    function test_tickingRules() {
        const manager = newManager()
        manager.createDeviceGroup("Shop")
        const dialog = openDialog(scanDialog(manager))
        tryVerify(() => rows(dialog).length === 4 && !manager.isScanning, 20000)
        compare(find(dialog, "selectAllText").text, "Select All (4)")

        // Row by row: every phone ticked, yet "Select All" stays clear.
        for (const row of rows(dialog))
            click(row)
        verify(!find(dialog, "selectAllBox").checked)
        click(rows(dialog)[1])
        compare(ticks(dialog), [true, false, true, true])

        // Select All ticks the rest without doubling any; unticking one keeps the others.
        click(find(dialog, "selectAllBox"))
        compare(dialog.selectedDevices.length, 4)
        const order = dialog.selectedDevices.map(d => d.adb_serial)
        compare(order[3], manager.availableDeviceInfos[1].adb_serial, "kept in order of ticking")
        click(find(rows(dialog)[2], "rowCheckBox"))
        compare(ticks(dialog), [true, true, false, true])
        verify(!find(dialog, "selectAllBox").checked)
        click(find(dialog, "selectAllBox"))
        click(find(dialog, "selectAllBox"))
        compare(ticks(dialog), [false, false, false, false], "clearing Select All clears all")

        // Into the chosen group: the ticked phones in the order of ticking.
        click(rows(dialog)[3])
        click(rows(dialog)[0])
        const shop = manager.deviceGroups[1]
        const groupBox = find(dialog, "groupBox")
        groupBox.currentIndex = 1
        groupBox.activated(1)
        const expected = [manager.availableDeviceInfos[3].adb_serial,
                          manager.availableDeviceInfos[0].adb_serial]
        click(find(dialog, "addButton"))
        tryVerify(() => !dialog.visible)
        tryCompare(shop, "deviceCount", 2, 5000)
        compare(shop.devicesForRepeater.map(d => d.adbConnectionSerial), expected)
        compare(manager.currentSelectedGroup.deviceCount, 0)
    }

    function test_oneListedPhoneAndTheAddGuard() {
        const manager = managerWithPhones(3)
        const dialog = openDialog(scanDialog(manager))
        tryVerify(() => rows(dialog).length === 1 && !manager.isScanning, 20000)
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

    function test_scanErrorIsShown() {
        const manager = newManager()
        const dialog = scanDialog(manager)
        const alert = findChild(dialog, "scanErrorAlert")
        manager.scanError("not shown while the dialog is closed")
        verify(!alert.visible)
        openDialog(dialog)
        manager.scanError("adb: protocol fault")
        tryVerify(() => alert.opened)
        compare(alert.alertTitle, "Error")
        compare(alert.alertMessage, "adb: protocol fault")
        alert.close()
    }
}
