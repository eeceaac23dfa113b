import QtQuick
import QtTest
import Parvix

// The group manager dialog's name rules and the group settings following the group; groups
// created and deleted, and every setting written by mouse: the journeys.
DialogTestCase {
    id: testCase
    name: "GroupDialogs"

    function names(manager) {
        return manager.deviceGroups.map(group => group.name)
    }

    // Opens the name box with the button, types the name and confirms; the box.
    function named(dialog, button, boxName, before, text) {
        click(button)
        const box = findChild(dialog, boxName)
        tryVerify(() => box.opened)
        compare(find(box, "nameField").text, before)
        typeText(find(box, "nameField"), text)
        click(find(box, "confirmButton"))
        return box
    }

    function expectError(dialog, message) {
        const alert = findChild(dialog, "groupErrorAlert")
        tryVerify(() => alert.opened)
        compare(alert.alertMessage, message)
        alert.close()
        tryVerify(() => !alert.visible)
    }

    function test_namesTrimmedAndUnique() {
        const manager = newManager()
        const dialog = openDialog(make("DeviceGroupManagerDialog", { deviceGroupManager: manager }))
        verify(!find(dialog, "deleteButton").enabled, "the last group cannot go")
        let box = named(dialog, find(dialog, "newGroupButton"), "newGroupBox", "", "   ")
        verify(box.opened && !find(box, "confirmButton").enabled, "an empty name is refused by the button")
        compare(dialog.nameProblem("", null), "Group name cannot be empty")
        typeText(find(box, "nameField"), "  Shop  ")
        click(find(box, "confirmButton"))
        tryVerify(() => !box.visible)
        compare(names(manager), ["Default Group", "Shop"])
        box = named(dialog, find(dialog, "newGroupButton"), "newGroupBox", "", "Shop ")
        expectError(dialog, "Group name already exists")
        verify(box.opened, "the box stays for a correction")
        box.close()
        // Renamed: not to another group's name.
        box = named(dialog, find(visibleAll(dialog, "groupRow")[1], "editButton"), "editGroupBox", "Shop",
                    "Default Group")
        expectError(dialog, "Group name already exists")
        typeText(find(box, "nameField"), " Counter ")
        click(find(box, "confirmButton"))
        tryVerify(() => !box.visible)
        compare(names(manager), ["Default Group", "Counter"])
        click(find(visibleAll(dialog, "groupRow")[1], "deleteButton"))
        const confirm = findChild(dialog, "deleteGroupBox")
        tryVerify(() => confirm.opened)
        compare(find(confirm, "deleteQuestion").text, "Are you sure you want to delete group \"Counter\"?")
    }

    function test_settingsFollowTheGroup() {
        const manager = newManager()
        const group = manager.currentSelectedGroup
        const dialog = openDialog(make("GroupSettingsDialog", { deviceGroupManager: manager }))
        const slider = name => find(find(dialog, name), "slider")
        const bitRateText = find(find(dialog, "bitRateSlider"), "valueText")
        // The sliders start at the group's values, bit rates in Mbps.
        compare([slider("bitRateSlider").value, bitRateText.text, slider("maxSizeSlider").value], [4, "4 Mbps", 720])
        // Keys move the slider like a drag does; each step is written at once.
        slider("bitRateSlider").forceActiveFocus()
        keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Right)
        compare([group.bitRate, bitRateText.text, group.bitRateBigView], [6000000, "6 Mbps", 4000000])
        // The dialog follows the group when it changes elsewhere, and writes nothing back.
        group.setMaxFPS(60)
        compare(slider("maxFPSSlider").value, 60)
        group.setBitRate(8000000)
        compare(slider("bitRateSlider").value, 8)
        click(find(dialog, "saveButton"))
        tryVerify(() => !dialog.visible)
        compare(group.bitRate, 8000000)
    }
}
