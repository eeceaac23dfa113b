import QtQuick
import QtTest
import Parvix

// The key-mapping editor: field rules, and add, edit and delete reaching the file.
DialogTestCase {
    id: testCase
    name: "KeyMappingDialog"

    function savedProfile(name) {
        const saved = JSON.parse(helper.readFile(KeyMapping.getConfigFilePath()))
        return saved.profiles[name]
    }

    function box(dialog, name) {
        const found = findChild(dialog, name)
        tryVerify(() => found.opened, 3000, name + " opens")
        return found
    }

    function clearProfiles() {
        for (const name of KeyMapping.profileNames.slice())
            KeyMapping.removeProfile(name)
    }

    function test_addEditDeleteRoundTrip() {
        clearProfiles()
        const dialog = openDialog(make("KeyMappingDialog"))
        verify(!find(dialog, "addMappingButton").enabled, "nothing to add to without a profile")
        verify(!find(dialog, "deleteProfileButton").enabled)

        // A new profile becomes the current one.
        click(find(dialog, "newProfileButton"))
        let newBox = box(dialog, "newProfileBox")
        typeText(find(newBox, "profileNameField"), "Game")
        click(find(newBox, "createButton"))
        tryVerify(() => !newBox.visible)
        compare(KeyMapping.currentProfile.name, "Game")
        compare(find(dialog, "profileBox").currentText, "Game")
        compare(savedProfile("Game"), [])

        // Add a touch: modifier keys alone are ignored, rejected field text keeps the value.
        click(find(dialog, "addMappingButton"))
        let add = box(dialog, "addBox")
        const save = find(add, "saveButton")
        verify(!save.enabled)
        click(find(add, "keyCapture"))
        keyClick(Qt.Key_Shift, Qt.ShiftModifier)
        compare(add.keyDisplay, "")
        keyClick(Qt.Key_A, Qt.ControlModifier | Qt.ShiftModifier)
        const expectedKey = "Ctrl+Shift+A"
        compare(add.keyDisplay, expectedKey)
        verify(save.enabled)
        const x = find(add, "xField")
        compare(x.text, "0.50")
        enterText(x, "1.5")
        compare(x.value, 0.5)
        compare(x.text, "0.50", "the value in force shows again")
        enterText(x, "0.25")
        compare(x.value, 0.25)
        const count = find(add, "countField")
        enterText(count, "0")
        compare(count.value, 1)
        enterText(count, "2.5")
        compare(count.value, 1)
        enterText(count, "3")
        compare(count.value, 3)
        click(save)
        tryVerify(() => !add.visible)
        let saved = savedProfile("Game")
        compare(saved.length, 1)
        compare(saved[0].keyDisplay, expectedKey)
        compare(saved[0].keyCode, Qt.Key_A)
        compare(saved[0].modifiers, Qt.ControlModifier | Qt.ShiftModifier)
        compare(saved[0].data, { x: 0.25, y: 0.5, count: 3 })

        // The same key again: refused, and the box stays open with the reason.
        click(find(dialog, "addMappingButton"))
        add = box(dialog, "addBox")
        compare(add.keyDisplay, "", "a saved box starts over")
        compare(find(add, "xField").text, "0.50")
        click(find(add, "keyCapture"))
        keyClick(Qt.Key_A, Qt.ControlModifier | Qt.ShiftModifier)
        click(find(add, "saveButton"))
        verify(add.opened)
        verify(find(add, "duplicateText").visible)
        compare(savedProfile("Game").length, 1)

        // A swipe through the same box.
        find(add, "typeBox").activated(1)
        verify(find(add, "startXField").visible && !find(add, "xField").visible)
        click(find(add, "keyCapture"))
        keyClick(Qt.Key_Space)
        enterText(find(add, "durationField"), "40")
        compare(find(add, "durationField").value, 200, "below 50 ms is refused")
        typeText(find(add, "durationField"), "350")
        click(find(add, "saveButton"))
        tryVerify(() => !add.visible)
        compare(find(dialog, "touchTab").text, "Touch (1)")
        compare(find(dialog, "swipeTab").text, "Swipe (1)")

        // Edit the touch entry, then the swipe; delete the swipe at once, by key.
        const touchRows = visibleAll(find(dialog, "touchTable"), "mappingRow")
        click(find(touchRows[0], "editButton"))
        const touchEdit = box(dialog, "touchEditBox")
        compare(find(touchEdit, "countField").text, "3")
        typeText(find(touchEdit, "yField"), "0.9")
        click(find(touchEdit, "saveButton"))
        tryVerify(() => !touchEdit.visible)
        find(dialog, "tabBar").currentIndex = 1
        tryVerify(() => visibleAll(find(dialog, "swipeTable"), "mappingRow").length === 1)
        waitForRendering(find(dialog, "swipeTable"))
        const swipeRow = visibleAll(find(dialog, "swipeTable"), "mappingRow")[0]
        click(find(swipeRow, "editButton"))
        const swipeEdit = box(dialog, "swipeEditBox")
        typeText(find(swipeEdit, "endYField"), "0.1")
        click(find(swipeEdit, "saveButton"))
        tryVerify(() => !swipeEdit.visible)
        saved = savedProfile("Game")
        compare(saved[0].data, { x: 0.25, y: 0.9, count: 3 })
        compare(saved[1].data, { startX: 0.2, startY: 0.5, endX: 0.8, endY: 0.1, duration: 350 })
        click(find(visibleAll(find(dialog, "swipeTable"), "mappingRow")[0], "deleteButton"))
        compare(savedProfile("Game").map(e => e.keyDisplay), [expectedKey])
    }

    function test_profileNameTaken() {
        clearProfiles()
        verify(KeyMapping.addProfile("Shooter"))
        const dialog = openDialog(make("KeyMappingDialog"))
        click(find(dialog, "newProfileButton"))
        const newBox = box(dialog, "newProfileBox")
        typeText(find(newBox, "profileNameField"), " Shooter ")
        click(find(newBox, "createButton"))
        verify(newBox.opened)
        verify(find(newBox, "takenText").visible)
        newBox.close()
        compare(KeyMapping.profileNames, ["Shooter"])
    }

    function test_profilePicker() {
        clearProfiles()
        verify(KeyMapping.addProfile("Racing"))
        verify(KeyMapping.addProfile("Shooter"))
        const manager = managerWithPhones(1)
        const device = manager.currentSelectedGroup.devicesForRepeater[0]
        const picker = openDialog(make("KeyMapProfilePicker", { device: device }))
        let rows = visibleAll(picker, "profileRow")
        compare(rows.map(r => r.label), ["No KeyMap", "Racing", "Shooter"])
        compare(rows.map(r => find(r, "tick").visible), [true, false, false])
        click(rows[2])
        tryVerify(() => !picker.visible)
        compare(device.currentKeyMappingProfile, KeyMapping.getProfile("Shooter"))

        openDialog(picker)
        rows = visibleAll(picker, "profileRow")
        compare(rows.map(r => find(r, "tick").visible), [false, false, true])
        click(rows[0])
        tryVerify(() => !picker.visible)
        compare(device.currentKeyMappingProfile, null)
    }
}
