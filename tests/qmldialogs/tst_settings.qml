import QtQuick
import QtTest
import Parvix

// The main window, the application's and the groups' settings, the key-mapping and phrase editors.
DialogTestCase {
    id: testCase
    name: "Settings"

    KeyMappingModel {
        id: keyRows
    }

    function test_menusAndStoreProblems() {
        helper.reportStoreError("found before the window")
        const main = make("Main")
        const alert = findChild(main, "storeErrorAlert")
        tryVerify(() => alert.opened, 3000, "problems from loading are shown when the window opens")
        verify(alert.alertMessage.indexOf("found before the window") >= 0)
        closeDialog(alert)
        tryCompare(StoreErrors.messages, "length", 0, 3000, "closing the alert dismisses them")
        helper.reportStoreError("a save failed")
        alerted(main, "storeErrorAlert", alert.alertTitle, "a save failed") // a later problem opens it again

        // Logged out, the Member menu offers only Login (each entry opens its dialog: the journeys).
        const member = findChild(main, "memberMenu")
        compare(member.menuItems.filter(item => item.visible !== false).map(item => item.label), ["Login"])
        mouseClick(member)
        tryVerify(() => member.popupOpen)
        mouseClick(main.contentItem, 700, 400)
        tryVerify(() => !member.popupOpen, 2000, "a press elsewhere closes it")
    }

    function test_everyFileLoadsCleanly() {
        const manager = managerWithPhones(1)
        const device = manager.currentSelectedGroup.devicesForRepeater[0]
        const withDevice = ["DeviceView", "BigDeviceView", "DeviceInputArea", "ControlButtons", "DeviceHeader",
                            "DeviceMenu"]
        const withManager = ["DeviceMenu", "DeviceList", "PhoneScreenGrid", "DeviceScanDialog",
                             "DeviceGroupManagerDialog", "ADBRestartDialog", "GroupSettingsDialog"]
        const keyRow = { index: 0, keyDisplay: "A", type: KeyMappingModel.Touch, touchX: 0.5, touchY: 0.5, count: 1,
                         startX: 0, startY: 0, endX: 0, endY: 0, duration: 200 }
        const own = { KeyMappingAddBox: { touches: keyRows, swipes: keyRows }, KeyMappingTouchEditBox: { rows: keyRows },
                      KeyMappingSwipeEditBox: { rows: keyRows }, KeyMappingTable: { model: keyRows },
                      KeyMappingRow: keyRow }
        // The main window's manager then restores the phone from the group file.
        tryVerify(() => helper.readFile(AppConfig.getDeviceGroupSavePath() + "/device_groups.json")
                           .indexOf(device.adbConnectionSerial) >= 0, 5000, "the group is saved")
        failOnWarning(/.*/)
        const files = helper.files(":/Parvix/src/qml").filter(f => f.endsWith(".qml")).map(f => "qrc" + f)
        verify(files.length >= 20, files.length + " files")
        for (const file of files.filter(f => !f.endsWith("/Theme.qml"))) {
            const name = file.substring(file.lastIndexOf("/") + 1, file.length - 4)
            const properties = Object.assign({}, own[name] || {})
            if (withDevice.includes(name))
                properties.device = device
            if (withManager.includes(name))
                properties.deviceGroupManager = manager
            if (name.includes("Phrase"))
                properties.phraseManager = CommonPhraseManager
            const component = Qt.createComponent(file)
            const object = component.createObject(testCase, properties)
            verify(object, file + ": " + component.errorString())
            wait(0) // its bindings and deferred work run before it goes
            object.destroy()
            wait(0)
        }
        DeviceSettings.setDeviceNickname("qml-serial", "Nick") // the nickname store reaches QML
        compare(DeviceSettings.getDeviceNickname("qml-serial"), "Nick")
        DeviceSettings.removeDeviceNickname("qml-serial")
    }

    function settings() {
        return [AppConfig.getLocale(), AppConfig.getVideoSavePath(), AppConfig.getScreenshotSavePath(),
                AppConfig.getKeyMappingSavePath(), AppConfig.getCommonPhraseSavePath(),
                AppConfig.getDeviceNicknameSavePath(), AppConfig.getDeviceGroupSavePath()]
    }

    // Unusable folders refused, nothing stored; fixed, Save writes and asks for a restart (by mouse: the journeys).
    function test_saveAndBrowse() {
        const before = settings()
        const dialog = openDialog(make("AppSettingsDialog"))
        const [videos, keymaps] = ["/videos/new", "/keymaps"].map(path => helper.temporaryFolder() + path)
        const fields = visibleAll(dialog, "pathField")
        typeText(fields[0], videos)
        typeText(fields[2], "/proc/parvix-keymaps")
        typeText(fields[4], "")
        click(find(dialog, "saveButton"))
        const problems = alerted(dialog, "folderErrorAlert", "Error")
        compare(problems.split("<br/>"), ["KeyMapping save path: " + AppConfig.folderProblem("/proc/parvix-keymaps"),
                                          "Device Nickname save path: " + AppConfig.folderProblem("")])
        compare([dialog.opened, settings()], [true, before], "nothing is stored, the dialog stays for a correction")
        typeText(fields[2], keymaps)
        typeText(fields[4], before[5])
        typed(dialog, {}, "saveButton", true)
        alerted(dialog, "restartAlert", "Success", "Please restart the application to apply the changes.")
        compare(settings(), [before[0], videos, before[2], keymaps].concat(before.slice(4)))
        compare(["zh_CN", "zh_TW", "en_US", "C", "de_DE"].map(dialog.languageLabel),
                ["简体中文", "繁體中文", "English", "English", "English"])

        openDialog(dialog)
        const chooser = find(dialog, "folderChooser")
        chooser.implementationImports += "import Parvix.Missing; "
        click(visibleAll(dialog, "browseButton")[1])
        tryVerify(() => chooser.shownFailure && chooser.shownFailure.opened, 5000,
                  "a missing module of Qt's own dialog is told instead of taking the process down")
        verify(dialog.opened)
        chooser.shownFailure.close()
    }

    // Group names and deletion, the group settings following the group (by mouse: the journeys).

    function test_groupNamesAndSettings() {
        const manager = newManager()
        const dialog = openDialog(make("DeviceGroupManagerDialog", { deviceGroupManager: manager }))
        verify(!find(dialog, "deleteButton").enabled, "the last group cannot go")
        compare(dialog.nameProblem("", null), "Group name cannot be empty")
        const row = () => visibleAll(dialog, "groupRow")[1]
        let box = edited(dialog, "newGroupButton", "newGroupBox", "nameField", "", "   ", "confirmButton")
        verify(box.opened && !find(box, "confirmButton").enabled, "an empty name is refused by the button")
        typed(box, { nameField: "  Shop  " }, "confirmButton", true)
        box = edited(dialog, "newGroupButton", "newGroupBox", "nameField", "", "Shop ", "confirmButton")
        alerted(dialog, "groupErrorAlert", "Error", "Group name already exists")
        verify(box.opened, "the box stays for a correction")
        box.close()
        box = edited(dialog, find(row(), "editButton"), "editGroupBox", "nameField", "Shop", "Default Group", "confirmButton")
        alerted(dialog, "groupErrorAlert", "Error", "Group name already exists")
        typed(box, { nameField: " Counter " }, "confirmButton", true)
        compare(manager.deviceGroups.map(group => group.name), ["Default Group", "Counter"])
        const removal = openedBy(dialog, find(row(), "deleteButton"), "deleteGroupBox")
        compare(find(removal, "deleteQuestion").text, "Are you sure you want to delete group \"Counter\"?")
        click(find(removal, "confirmDeleteButton"))
        compare(manager.deviceGroups.map(group => group.name), ["Default Group"])

        const group = manager.currentSelectedGroup
        const settings = openDialog(make("GroupSettingsDialog", { deviceGroupManager: manager }))
        const slider = name => find(find(settings, name), "slider")
        const bitRateText = find(find(settings, "bitRateSlider"), "valueText")
        compare([slider("bitRateSlider").value, bitRateText.text, slider("maxSizeSlider").value], [4, "4 Mbps", 720],
                "the sliders start at the group's values, bit rates in Mbps")
        slider("bitRateSlider").forceActiveFocus()
        keyClick(Qt.Key_Right)
        compare([group.bitRate, bitRateText.text, group.bitRateBigView], [5000000, "5 Mbps", 4000000],
                "keys move the slider like a drag, written at once")
        group.setMaxFPS(60)
        group.setBitRate(8000000)
        compare([slider("maxFPSSlider").value, slider("bitRateSlider").value], [60, 8], "the dialog follows the group")
        typed(settings, {}, "saveButton", true)
        compare(group.bitRate, 8000000, "Save writes nothing back")
    }

    // The key-mapping editor's rules, and its edits reaching the file (a profile picked: the journeys).

    function saved() {
        return JSON.parse(helper.readFile(KeyMapping.getConfigFilePath())).profiles.Game
    }

    function press(box, key, modifiers) {
        click(find(box, "keyCapture"))
        keyClick(key, modifiers || Qt.NoModifier)
    }

    function test_addEditDeleteRoundTrip() {
        const dialog = openDialog(make("KeyMappingDialog"))
        verify(!find(dialog, "addMappingButton").enabled && !find(dialog, "deleteProfileButton").enabled,
               "nothing to add to or delete without a profile")
        for (const name of ["Game", " Game "]) {
            tryVerify(() => !findChild(dialog, "newProfileBox").visible)
            typed(openedBy(dialog, "newProfileButton", "newProfileBox"), { profileNameField: name }, "createButton")
        }
        const newBox = findChild(dialog, "newProfileBox")
        verify(newBox.opened && find(newBox, "takenText").visible, "a name in use, trimmed, is refused")
        newBox.close()
        compare([KeyMapping.profileNames, KeyMapping.currentProfile.name, find(dialog, "profileBox").currentText,
                 saved()], [["Game"], "Game", "Game", []], "a new profile becomes the current one")

        let add = openedBy(dialog, "addMappingButton", "addBox")
        const save = find(add, "saveButton")
        verify(!save.enabled)
        press(add, Qt.Key_Shift, Qt.ShiftModifier)
        compare(add.keyDisplay, "", "modifier keys alone are ignored")
        keyClick(Qt.Key_A, Qt.ControlModifier | Qt.ShiftModifier)
        const expectedKey = "Ctrl+Shift+A"
        verify(add.keyDisplay === expectedKey && save.enabled)
        for (const [name, text, value, display] of [["xField", "1.5", 0.5, "0.50"], ["xField", "0.25", 0.25, "0.25"],
                                                  ["countField", "0", 1, "1"], ["countField", "3", 3, "3"]]) {
            typeText(find(add, name), text)
            keyClick(Qt.Key_Return)
            compare([find(add, name).value, find(add, name).text], [value, display], "rejected keeps the value: " + name + text)
        }
        typed(add, {}, "saveButton", true)
        compare(saved(), [{ keyCode: Qt.Key_A, keyDisplay: expectedKey, type: 0,
                            modifiers: Qt.ControlModifier | Qt.ShiftModifier, data: { x: 0.25, y: 0.5, count: 3 } }])

        add = openedBy(dialog, "addMappingButton", "addBox")
        compare([add.keyDisplay, find(add, "xField").text], ["", "0.50"], "a saved box starts over")
        press(add, Qt.Key_A, Qt.ControlModifier | Qt.ShiftModifier)
        click(find(add, "saveButton"))
        verify(add.opened && find(add, "duplicateText").visible, "the same key is refused, the box stays with the reason")

        find(add, "typeBox").activated(1)
        verify(find(add, "startXField").visible && !find(add, "xField").visible)
        press(add, Qt.Key_Space)
        typeText(find(add, "durationField"), "40")
        keyClick(Qt.Key_Return)
        compare(find(add, "durationField").value, 200, "a swipe below 50 ms is refused")
        typed(add, { durationField: "350" }, "saveButton", true)
        compare([find(dialog, "touchTab").text, find(dialog, "swipeTab").text], ["Touch (1)", "Swipe (1)"])

        const touchRow = visibleAll(find(dialog, "touchTable"), "mappingRow")[0]
        compare(touchRow.cells, ["1", expectedKey, "0.25", "0.50", "3"])
        const touchEdit = openedBy(dialog, find(touchRow, "editButton"), "touchEditBox")
        compare(find(touchEdit, "countField").text, "3")
        typed(touchEdit, { yField: "0.9" }, "saveButton", true)
        find(dialog, "tabBar").currentIndex = 1
        tryVerify(() => visibleAll(find(dialog, "swipeTable"), "mappingRow").length === 1)
        waitForRendering(find(dialog, "swipeTable"))
        const swipeRow = visibleAll(find(dialog, "swipeTable"), "mappingRow")[0]
        // The tab's columns take their widths from its header once it shows: click at rest.
        const swipeEditButton = find(swipeRow, "editButton")
        tryVerify(() => swipeRow.widths[2] > 0 && !isPolishScheduled(swipeEditButton.parent)
                        && !isPolishScheduled(swipeEditButton.parent.parent), 3000, "row laid out")
        typed(openedBy(dialog, swipeEditButton, "swipeEditBox"), { endYField: "0.1" }, "saveButton", true)
        compare(swipeRow.cells, ["1", "Space", "(0.20, 0.50)", "(0.80, 0.10)", "350"])
        compare(saved().map(e => e.data), [{ x: 0.25, y: 0.9, count: 3 },
                                           { startX: 0.2, startY: 0.5, endX: 0.8, endY: 0.1, duration: 350 }],
                "the touch, then the swipe edited in place")
        click(find(swipeRow, "deleteButton"))
        compare(saved().map(e => e.keyDisplay), [expectedKey], "the swipe's Delete needs no confirmation")
        click(find(openedBy(dialog, "deleteProfileButton", "deleteProfileBox"), "confirmDeleteButton"))
        compare(saved(), undefined, "the profile is deleted after its confirmation")
    }

    // The phrases editor and picker (a phrase sent to a phone: the journeys).

    // Each test starts without key-mapping profiles (the phones' tests make some; none makes phrases).
    function init() {
        KeyMapping.profileNames.slice().forEach(name => KeyMapping.removeProfile(name))
    }

    function test_editorAndPicker() {
        const editor = openDialog(make("CommonPhrasesDialog", { phraseManager: CommonPhraseManager }))
        verify(!find(editor, "newPhraseButton").enabled && !find(editor, "deleteCategoryButton").enabled)
        const category = (button, before, text) => edited(editor, button, "categoryEditBox", "categoryField", before,
                                                          text, "saveCategoryButton", true)
        const phrase = (button, before, text) => edited(editor, button, "phraseBox", "phraseField", before, text,
                                                        "savePhraseButton", true)
        category("newCategoryButton", "", " Greetings ")
        category("newCategoryButton", "", "Orders")
        compare(find(editor, "categoryBox").currentText, "Orders", "the new one is selected")
        category("editCategoryButton", "Orders", "Shipping")
        compare(CommonPhraseManager.getCategoriesList().map(c => c.name), ["Greetings", "Shipping"])
        phrase("newPhraseButton", "", "  Sent today  ")
        const shipping = editor.selectedCategory.id
        const saved = () => JSON.parse(helper.readFile(AppConfig.getCommonPhraseSavePath() + "/common_phrases.json"))
        compare(saved().phrases, [{ id: saved().phrases[0].id, text: "Sent today", category: shipping, description: "" }])
        phrase(find(visibleAll(editor, "phraseRow")[0], "editPhraseButton"), "Sent today", "Sent tomorrow")
        compare(CommonPhraseManager.getPhrasesByCategory(shipping).map(p => p.text), ["Sent tomorrow"])
        click(find(visibleAll(editor, "phraseRow")[0], "deletePhraseButton"))
        click(find(shown(editor, "deletePhraseBox"), "confirmButton"))
        compare(saved().phrases, [], "the phrase's Delete, once confirmed, reaches the file")
        click(find(openedBy(editor, "deleteCategoryButton", "deleteCategoryBox"), "confirmButton"))
        compare([editor.selectedCategory.name, JSON.stringify(saved()).indexOf("Shipping")], ["Greetings", -1],
                "the category's Delete reaches the file, the first remaining one is selected")

        CommonPhraseManager.addCategory("Orders", "")
        const [greetings, orders] = CommonPhraseManager.getCategoriesList().map(c => c.id)
        CommonPhraseManager.addPhrase("Hello there", greetings, "")
        CommonPhraseManager.addPhrase("Line one\nline two\nline three\nline four\nline five", greetings, "")
        CommonPhraseManager.addPhrase("Ship today, 你好", orders, "")
        const picker = openDialog(make("PhraseSelectionDialog", { phraseManager: CommonPhraseManager }))
        const tabs = visibleAll(picker, "categoryTab")
        const rows = visibleAll(picker, "phraseRow")
        compare([picker.selectedCategoryId, tabs.length, rows.length], [greetings, 2, 2], "the first category")
        verify(rows[1].height < rows[0].height * 5, "a long phrase shows four lines at most")
        click(tabs[1])
        compare([picker.selectedCategoryId, visibleAll(picker, "phraseRow").length], [orders, 1],
                "a tab shows its category's phrases")
    }
}
