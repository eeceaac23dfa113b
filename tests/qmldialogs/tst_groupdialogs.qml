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
        verify(!create.enabled)
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

        // Rename: to its own name is accepted and changes nothing; to another's is refused.
        const shop = manager.deviceGroups[1]
        let rows = visibleAll(dialog, "groupRow")
        compare(rows.length, 2)
        verify(find(rows[0], "deleteButton").enabled)
        click(find(rows[1], "editButton"))
        box = nameBox(dialog, "editGroupBox", "Shop")
        click(find(box, "confirmButton"))
        tryVerify(() => !box.visible)
        compare(shop.name, "Shop")
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
        compare(find(find(dialog, "showControlButtonsSwitch"), "switch").checked, true)

        // Keys move the slider like a drag does; each step is written at once.
        bitRate.forceActiveFocus()
        keyClick(Qt.Key_Right)
        compare(group.bitRate, 5000000)
        keyClick(Qt.Key_Right)
        compare(group.bitRate, 6000000)
        compare(find(find(dialog, "bitRateSlider"), "valueText").text, "6 Mbps")
        compare(group.bitRateBigView, 4000000)

        const delay = slider(dialog, "clickDelaySlider")
        delay.forceActiveFocus()
        keyClick(Qt.Key_Right)
        compare(group.clickDelaySeconds, 1)
        const width = slider(dialog, "cellWidthSlider")
        width.forceActiveFocus()
        keyClick(Qt.Key_Right)
        compare(group.cellWidth, 230)

        const audio = find(find(dialog, "enableAudioSwitch"), "switch")
        click(audio)
        compare(group.enableAudio, true)
        const buttons = find(find(dialog, "showControlButtonsSwitch"), "switch")
        click(buttons)
        compare(group.showControlButtons, false)

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

    // The mouse moves the sliders: a press on the track and a drag of the handle.
    function test_sliderMouse_data() {
        return [{ tag: "drag to the end", name: "bitRateSlider", key: "bitRate", to: 1, value: 8000000 },
                { tag: "drag to the start", name: "maxFPSBigViewSlider", key: "maxFPSBigView", to: 0, value: 5 },
                { tag: "press on the track", name: "clickDelaySlider", key: "clickDelaySeconds", press: 0.5,
                  value: 10 }]
    }

    function test_sliderMouse(data) {
        const manager = newManager()
        const dialog = openDialog(make("GroupSettingsDialog", { deviceGroupManager: manager }))
        const control = slider(dialog, data.name)
        const x = control.leftPadding + (data.press === undefined
                                          ? control.handle.x + control.handle.width / 2 - control.leftPadding
                                          : data.press * control.availableWidth)
        if (data.press === undefined)
            mouseDrag(control, x, control.height / 2, (data.to - 0.5) * 2 * control.width - x, 0)
        else
            mouseClick(control, x, control.height / 2)
        compare(manager.currentSelectedGroup[data.key], data.value)
    }
}
