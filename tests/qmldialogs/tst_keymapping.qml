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
        click(find(dialog, "newProfileButton")) // a name in use, trimmed, is refused
        newBox = box(dialog, "newProfileBox")
        typeText(find(newBox, "profileNameField"), " Game ")
        click(find(newBox, "createButton"))
        verify(newBox.opened && find(newBox, "takenText").visible)
        newBox.close()
        compare(KeyMapping.profileNames, ["Game"])

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
        verify(add.keyDisplay === expectedKey && save.enabled)
        compare(find(add, "xField").text, "0.50")
        // Text out of range or of the wrong kind leaves the value in force, shown again.
        for (const [name, text, value, shown] of [["xField", "1.5", 0.5, "0.50"],
                                                  ["xField", "0.25", 0.25, "0.25"],
                                                  ["countField", "0", 1, "1"],
                                                  ["countField", "2.5", 1, "1"],
                                                  ["countField", "3", 3, "3"]]) {
            enterText(find(add, name), text)
            compare([find(add, name).value, find(add, name).text], [value, shown], name + text)
        }
        click(save)
        tryVerify(() => !add.visible)
        compare(savedProfile("Game"), [{ keyCode: Qt.Key_A, keyDisplay: expectedKey, type: 0,
                                         modifiers: Qt.ControlModifier | Qt.ShiftModifier,
                                         data: { x: 0.25, y: 0.5, count: 3 } }])

        // The same key again: refused, and the box stays open with the reason.
        click(find(dialog, "addMappingButton"))
        add = box(dialog, "addBox")
        compare(add.keyDisplay, "", "a saved box starts over")
        compare(find(add, "xField").text, "0.50")
        click(find(add, "keyCapture"))
        keyClick(Qt.Key_A, Qt.ControlModifier | Qt.ShiftModifier)
        click(find(add, "saveButton"))
        verify(add.opened && find(add, "duplicateText").visible)
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
        compare([find(dialog, "touchTab").text, find(dialog, "swipeTab").text],
                ["Touch (1)", "Swipe (1)"])

        // Edit the touch entry, then the swipe (in its place); delete the swipe at once.
        const touchRow = visibleAll(find(dialog, "touchTable"), "mappingRow")[0]
        compare(touchRow.cells, ["1", expectedKey, "0.25", "0.50", "3"])
        click(find(touchRow, "editButton"))
        const touchEdit = box(dialog, "touchEditBox")
        compare(find(touchEdit, "countField").text, "3")
        typeText(find(touchEdit, "yField"), "0.9")
        click(find(touchEdit, "saveButton"))
        tryVerify(() => !touchEdit.visible)
        find(dialog, "tabBar").currentIndex = 1
        tryVerify(() => visibleAll(find(dialog, "swipeTable"), "mappingRow").length === 1)
        waitForRendering(find(dialog, "swipeTable"))
        const swipeRow = visibleAll(find(dialog, "swipeTable"), "mappingRow")[0]
        // The tab's columns take their widths from its header once it shows: click at rest.
        const swipeEditButton = find(swipeRow, "editButton")
        tryVerify(() => swipeRow.widths[2] > 0 && !isPolishScheduled(swipeEditButton.parent)
                        && !isPolishScheduled(swipeEditButton.parent.parent), 3000, "row laid out")
        click(swipeEditButton)
        const swipeEdit = box(dialog, "swipeEditBox")
        typeText(find(swipeEdit, "endYField"), "0.1")
        click(find(swipeEdit, "saveButton"))
        tryVerify(() => !swipeEdit.visible)
        compare(swipeRow.cells, ["1", "Space", "(0.20, 0.50)", "(0.80, 0.10)", "350"])
        compare(savedProfile("Game").map(e => e.data), [{ x: 0.25, y: 0.9, count: 3 },
                { startX: 0.2, startY: 0.5, endX: 0.8, endY: 0.1, duration: 350 }])
        click(find(swipeRow, "deleteButton"))
        compare(savedProfile("Game").map(e => e.keyDisplay), [expectedKey])
    }

    function test_profilePicker() {
        clearProfiles()
        verify(KeyMapping.addProfile("Racing") && KeyMapping.addProfile("Shooter"))
        const device = managerWithPhones(1).currentSelectedGroup.devicesForRepeater[0]
        const picker = openDialog(make("KeyMapProfilePicker", { device: device }))
        // Each choice with a star where the tick shows.
        const choices = () => visibleAll(picker, "profileRow")
                                  .map(r => r.label + (find(r, "tick").visible ? "*" : ""))
        compare(choices(), ["No KeyMap*", "Racing", "Shooter"])
        click(visibleAll(picker, "profileRow")[2])
        tryVerify(() => !picker.visible)
        compare(device.currentKeyMappingProfile, KeyMapping.getProfile("Shooter"))
        openDialog(picker)
        compare(choices(), ["No KeyMap", "Racing", "Shooter*"])
    }
}
