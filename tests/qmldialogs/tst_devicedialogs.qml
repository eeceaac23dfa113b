import QtQuick
import QtTest
import Parvix

// The adb command, rename and device information dialogs, and the adb restart's states.
DialogTestCase {
    id: testCase
    name: "DeviceDialogs"

    SignalSpy {
        id: renamedSpy
        signalName: "deviceRenamed"
    }

    // The command the journeys run by mouse reaches adb; here its output and the group's.
    function test_commands() {
        const manager = managerWithPhones(2)
        const group = manager.currentSelectedGroup
        const device = group.devicesForRepeater[0]
        const dialog = openDialog(make("ADBCommandDialog", { device: device }))
        device.setNickName("Phone 7")
        compare(dialog.title, "Phone 7 - ADB")
        device.setNickName("")
        const output = find(dialog, "outputArea")
        const input = find(dialog, "inputArea")
        const execute = find(dialog, "executeButton")
        compare(output.text, "Command output will be displayed here...")
        input.text = "  \n "
        click(execute)
        verify(!device.adbCommandRunning, "blank input runs nothing")
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
        dialog.device = null
        dialog.deviceGroup = group
        compare(dialog.title, "Default Group - ADB")
        openDialog(dialog)
        input.text = "shell echo hi there"
        click(execute)
        verify(group.adbCommandRunning)
        tryVerify(() => output.text.startsWith("Device 1: " + device.adbConnectionSerial + "\n"), 10000)
        compare(output.text, group.executeADBCommand("shell echo hi there"))
    }

    // Renaming by Return: the journeys.
    function test_rename() {
        const device = managerWithPhones(1).currentSelectedGroup.devicesForRepeater[0]
        device.setNickName("Desk")
        const dialog = make("DeviceRenameDialog", { targetDevice: device })
        renamedSpy.target = dialog
        renamedSpy.clear()
        openDialog(dialog)
        const field = find(dialog, "nameField")
        compare(field.selectedText, "Desk")
        typeText(field, "   ")
        verify(!find(dialog, "okButton").enabled)
        keyClick(Qt.Key_Return)
        verify(renamedSpy.count === 0 && dialog.opened, "a blank name is not taken")
        typeText(field, "  Counter 2 ")
        keyClick(Qt.Key_Return)
        compare([renamedSpy.count, renamedSpy.signalArguments[0][0], renamedSpy.signalArguments[0][1]],
                [1, device, "Counter 2"])
        tryVerify(() => !dialog.visible)
        device.setNickName("")
        openDialog(dialog)
        compare(find(dialog, "currentNameText").text, "No Custom Name")
    }

    // The rows' labels and values, once each lies below the one before (positioners settle on
    // the next polish).
    function settledRows(dialog) {
        let rows = null
        tryVerify(() => {
            rows = {}
            let bottom = 0
            for (const row of visibleAll(dialog, "infoRow")) {
                rows[row.label] = row.value
                const y = row.mapToItem(dialog.contentItem, 0, 0).y
                if (y < bottom || row.height <= 0)
                    return false
                bottom = y + row.height
            }
            return true
        }, 5000, "each row lies below the one before")
        return rows
    }

    function test_deviceInformation() {
        const dialog = openDialog(make("DeviceInfoDialog"))
        let rows = settledRows(dialog)
        compare(Object.keys(rows).length, 10)
        for (const label in rows)
            compare(rows[label], "Unknown", label + " without a device")
        closeDialog(dialog)
        const device = managerWithPhones(1).currentSelectedGroup.devicesForRepeater[0]
        tryVerify(() => device.deviceInfo.screen_size.width > 0, 10000, "the properties arrive")
        dialog.device = device
        openDialog(dialog)
        rows = settledRows(dialog)
        compare([rows["Serial Number:"], rows["Screen Size:"], rows["Device Model:"]],
                [device.adbConnectionSerial, "720x1280px", device.deviceInfo.model || "Unknown"])
        verify(/^\d+GB$/.test(rows["Memory Size:"]), rows["Memory Size:"])
        compare(dialog.shown("[error] device offline"), "Unknown")
    }

    // Pressed from the menu (adb runs): the journeys; here the states' icons and texts.
    function test_adbRestart() {
        const manager = newManager()
        const dialog = openDialog(make("ADBRestartDialog", { deviceGroupManager: manager }))
        const icon = find(dialog, "stateIcon")
        const text = find(dialog, "stateText")
        const button = find(dialog, "restartButton")
        verify(String(icon.source).endsWith("alert-triangle.svg"))
        compare(text.text, "Restarting ADB will disconnect all connected devices.")
        // In Chinese, a successful restart still shows the success icon.
        verify(helper.setLanguage("zh_CN"))
        click(button)
        verify(manager.restartingADBServer && !button.enabled)
        tryVerify(() => dialog.hasResult, 20000, "the restart ends")
        verify(dialog.succeeded && String(icon.source).endsWith("check-circle.svg"))
        verify(text.text !== "ADB server restarted successfully", "translated")
        helper.setLanguage("")
        compare(text.text, "ADB server restarted successfully")
        click(button)
        tryVerify(() => !dialog.visible)
        // Opening again starts over; a failure shows its own icon and text.
        openDialog(dialog)
        compare(button.text, "Restart ADB Server")
        dialog.waiting = true
        manager.adbServerRestartFinished(false)
        verify(String(icon.source).endsWith("x-circle.svg"))
        compare(text.text, "Failed to restart ADB server")
    }
}
