import QtQuick
import QtTest
import Parvix

// The adb command, rename and device information dialogs, and the adb restart.
DialogTestCase {
    id: testCase
    name: "DeviceDialogs"

    SignalSpy {
        id: renamedSpy
        signalName: "deviceRenamed"
    }

    function test_commandTitle() {
        const manager = managerWithPhones(1)
        const group = manager.currentSelectedGroup
        const device = group.devicesForRepeater[0]
        const dialog = make("ADBCommandDialog", { device: device })
        device.setNickName("Phone 7")
        compare(dialog.title, "Phone 7 - ADB")
        device.setNickName("")
        dialog.device = null
        dialog.deviceGroup = group
        compare(dialog.title, "Default Group - ADB")
    }

    function test_commandsRunOffTheGuiThread() {
        const manager = managerWithPhones(2)
        const group = manager.currentSelectedGroup
        const device = group.devicesForRepeater[0]
        const dialog = openDialog(make("ADBCommandDialog", { device: device }))
        const output = find(dialog, "outputArea")
        const input = find(dialog, "inputArea")
        const execute = find(dialog, "executeButton")
        compare(output.text, "Command output will be displayed here...")

        // Blank input runs nothing.
        input.text = "  \n "
        click(execute)
        verify(!device.adbCommandRunning)

        input.text = "shell echo hello"
        click(execute)
        verify(device.adbCommandRunning && !execute.enabled, "the command runs in the background")
        tryCompare(output, "text", "hello\n", 10000)

        // A command adb does not know is offered to the phone's shell.
        input.text = "getprop ro.serialno"
        click(execute)
        tryVerify(() => find(dialog, "shellHint").visible, 10000)
        click(find(dialog, "useShellButton"))
        compare(input.text, "shell getprop ro.serialno")
        click(execute)
        tryCompare(output, "text", device.adbConnectionSerial + "\n", 10000)
        closeDialog(dialog)

        // The group's output: numbered blocks, as the blocking call gives them.
        const groupDialog = openDialog(make("ADBCommandDialog", { deviceGroup: group }))
        find(groupDialog, "inputArea").text = "shell echo hi there"
        click(find(groupDialog, "executeButton"))
        verify(group.adbCommandRunning)
        const groupOutput = find(groupDialog, "outputArea")
        tryVerify(() => groupOutput.text.startsWith("Device 1: " + device.adbConnectionSerial + "\n"), 10000)
        compare(groupOutput.text, group.executeADBCommand("shell echo hi there"))
    }

    function test_rename() {
        const manager = managerWithPhones(1)
        const device = manager.currentSelectedGroup.devicesForRepeater[0]
        device.setNickName("Desk")
        const dialog = make("DeviceRenameDialog", { targetDevice: device })
        renamedSpy.target = dialog
        renamedSpy.clear()
        openDialog(dialog)
        const field = find(dialog, "nameField")
        compare(field.selectedText, "Desk")

        // Blank: OK is off and Return does nothing.
        typeText(field, "   ")
        verify(!find(dialog, "okButton").enabled)
        keyClick(Qt.Key_Return)
        compare(renamedSpy.count, 0)
        verify(dialog.opened)

        typeText(field, "  Counter 2 ")
        keyClick(Qt.Key_Return)
        compare([renamedSpy.count, renamedSpy.signalArguments[0][0], renamedSpy.signalArguments[0][1]],
                [1, device, "Counter 2"])
        tryVerify(() => !dialog.visible)
        device.setNickName("")
        openDialog(dialog)
        compare(find(dialog, "currentNameText").text, "No Custom Name")
    }

    function infoRows(dialog) {
        const rows = {}
        let bottom = 0 // each row below the one before, in their order
        for (const row of visibleAll(dialog, "infoRow")) {
            rows[row.label] = row.value
            const y = row.mapToItem(dialog.contentItem, 0, 0).y
            if (y < bottom || row.height <= 0)
                return null
            bottom = y + row.height
        }
        return rows
    }

    // Positioners settle on the next polish: wait for it, then the order must hold.
    function settledRows(dialog) {
        let rows = null
        tryVerify(() => (rows = infoRows(dialog)) !== null, 5000, "each row lies below the one before")
        return rows
    }

    function test_deviceInformation() {
        const dialog = openDialog(make("DeviceInfoDialog"))
        let rows = settledRows(dialog)
        compare(Object.keys(rows).length, 10)
        for (const label in rows)
            compare(rows[label], "Unknown", label + " without a device")
        closeDialog(dialog)

        const manager = managerWithPhones(1)
        const device = manager.currentSelectedGroup.devicesForRepeater[0]
        tryVerify(() => device.deviceInfo.screen_size.width > 0, 10000, "the properties arrive")
        dialog.device = device
        openDialog(dialog)
        rows = settledRows(dialog)
        compare(rows["Serial Number:"], device.adbConnectionSerial)
        compare(rows["Screen Size:"], "720x1280px")
        compare(rows["Device Model:"], device.deviceInfo.model !== "" ? device.deviceInfo.model : "Unknown")
        verify(/^\d+GB$/.test(rows["Memory Size:"]), rows["Memory Size:"])
        compare(dialog.shown("[error] device offline"), "Unknown")
    }

    function test_adbRestart() {
        const manager = newManager()
        const dialog = openDialog(make("ADBRestartDialog", { deviceGroupManager: manager }))
        const icon = find(dialog, "stateIcon")
        const button = find(dialog, "restartButton")
        verify(String(icon.source).endsWith("alert-triangle.svg"))
        compare(find(dialog, "stateText").text, "Restarting ADB will disconnect all connected devices.")

        // In Chinese, a successful restart still shows the success icon.
        verify(helper.setLanguage("zh_CN"))
        click(button)
        verify(manager.restartingADBServer && !button.enabled)
        tryVerify(() => dialog.hasResult, 20000, "the restart ends")
        verify(dialog.succeeded)
        verify(String(icon.source).endsWith("check-circle.svg"))
        verify(find(dialog, "stateText").text !== "ADB server restarted successfully", "translated")
        helper.setLanguage("")
        compare(find(dialog, "stateText").text, "ADB server restarted successfully")
        click(button)
        tryVerify(() => !dialog.visible)

        // Opening again starts over; a failure shows its own icon and text.
        openDialog(dialog)
        compare(button.text, "Restart ADB Server")
        dialog.waiting = true
        manager.adbServerRestartFinished(false)
        verify(String(icon.source).endsWith("x-circle.svg"))
        compare(find(dialog, "stateText").text, "Failed to restart ADB server")
    }
}
