import QtQuick
import QtTest
import Parvix

// The group manager dialog's name rules and the group settings writing through.
DialogTestCase {
    id: testCase
    name: "GroupDialogs"

    function names(manager) {
        return manager.deviceGroups.map(group => group.name)
    }

    function nameBox(dialog, name, text) {
        const box = findChild(dialog, name)
        tryVerify(() => box.opened)
        const field = find(box, "nameField")
        compare(field.text, text)
        return box
    }

    function expectError(dialog, message) {
        const alert = findChild(dialog, "groupErrorAlert")
        tryVerify(() => alert.opened)
        compare(alert.alertMessage, message)
        alert.close()
        tryVerify(() => !alert.visible)
    }

    function test_createRenameAndDelete() {
        const manager = newManager()
        const dialog = openDialog(make("DeviceGroupManagerDialog", { deviceGroupManager: manager }))
        compare(names(manager), ["Default Group"])
        // The last group cannot go.
        verify(!find(dialog, "deleteButton").enabled)

        // Create: trimmed, empty refused by the button, duplicate refused with a reason.
        click(find(dialog, "newGroupButton"))
        let box = nameBox(dialog, "newGroupBox", "")
        const create = find(box, "confirmButton")
        typeText(find(box, "nameField"), "   ")
        verify(!create.enabled)
        typeText(find(box, "nameField"), "  Shop  ")
        click(create)
        tryVerify(() => !box.visible)
        compare(names(manager), ["Default Group", "Shop"])

        click(find(dialog, "newGroupButton"))
        box = nameBox(dialog, "newGroupBox", "")
        typeText(find(box, "nameField"), "Shop ")
        click(find(box, "confirmButton"))
        expectError(dialog, "Group name already exists")
        verify(box.opened, "the box stays for a correction")
        compare(names(manager), ["Default Group", "Shop"])
        box.close()
        compare(dialog.nameProblem("", null), "Group name cannot be empty")

        // Rename: to another group's name is refused.
        let rows = visibleAll(dialog, "groupRow")
        click(find(rows[1], "editButton"))
        box = nameBox(dialog, "editGroupBox", "Shop")
        typeText(find(box, "nameField"), "Default Group")
        click(find(box, "confirmButton"))
        expectError(dialog, "Group name already exists")
        typeText(find(box, "nameField"), " Counter ")
        click(find(box, "confirmButton"))
        tryVerify(() => !box.visible)
        compare(names(manager), ["Default Group", "Counter"])

        // Delete after the confirmation.
        click(find(rows[1], "deleteButton"))
        const confirm = findChild(dialog, "deleteGroupBox")
        tryVerify(() => confirm.opened)
        compare(find(confirm, "deleteQuestion").text, "Are you sure you want to delete group \"Counter\"?")
        click(find(confirm, "confirmDeleteButton"))
        tryVerify(() => !confirm.visible)
        compare(names(manager), ["Default Group"])
    }

    function slider(dialog, name) {
        return find(find(dialog, name), "slider")
    }

    function test_settingsWriteThrough() {
        const manager = newManager()
        const group = manager.currentSelectedGroup
        const dialog = openDialog(make("GroupSettingsDialog", { deviceGroupManager: manager }))
        // The sliders start at the group's values, bit rates in Mbps.
        const bitRate = slider(dialog, "bitRateSlider")
        compare(bitRate.value, 4)
        compare(find(find(dialog, "bitRateSlider"), "valueText").text, "4 Mbps")
        compare(slider(dialog, "maxSizeSlider").value, 720)

        // Keys move the slider like a drag does; each step is written at once.
        bitRate.forceActiveFocus()
        keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Right)
        compare(group.bitRate, 6000000)
        compare(find(find(dialog, "bitRateSlider"), "valueText").text, "6 Mbps")
        compare(group.bitRateBigView, 4000000)
        click(find(find(dialog, "enableAudioSwitch"), "switch"))
        compare(group.enableAudio, true)

        // The group saved every change.
        const saved = JSON.parse(helper.readFile(AppConfig.getDeviceGroupSavePath()
                                                 + "/device_groups.json"))
        const settings = saved.device_groups[0].settings
        compare(settings.bitRate, 6000000)
        compare(settings.enableAudio, true)

        // The dialog follows the group when it changes elsewhere, and writes nothing back.
        group.setMaxFPS(60)
        compare(slider(dialog, "maxFPSSlider").value, 60)
        group.setBitRate(8000000)
        compare(bitRate.value, 8)
        click(find(dialog, "saveButton"))
        tryVerify(() => !dialog.visible)
        compare(group.bitRate, 8000000)
    }
}
