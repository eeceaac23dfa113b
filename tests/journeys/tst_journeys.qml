import QtQuick
import QtTest
import Parvix
import "../qmldialogs"

// A new user's journeys through the real window to the virtual phones, by mouse and keys on the
// translated accessible names; PARVIX_JOURNEY_LANGUAGE picks the language ("" English).
DialogTestCase {
    id: testCase
    name: "Journeys"

    Component {
        id: mainComponent
        Main {}
    }

    property var main: null
    readonly property string language: helper.journeyLanguage

    function initTestCase() {
        verify(helper.setLanguage(language))
        // A phrase and a key-mapping profile for the tile's buttons to pick.
        CommonPhraseManager.addCategory("Journey")
        CommonPhraseManager.addPhrase("journey phrase", CommonPhraseManager.getCategoriesList()[0].id)
        verify(KeyMapping.addProfile("Journey"))
        main = mainComponent.createObject(testCase)
        main.requestActivate()
        tryVerify(() => main.active && main.contentItem.width > 0, 5000, "the window takes the keys")
    }

    function cleanupTestCase() {
        if (home)
            home.stopAllDevices() // sessions end before the phones and the window go
        tryVerify(() => !home || home.devicesForRepeater.every(d => !d.running), 10000)
        main.destroy()
    }

    // No journey, finished or failed half-way, leaves a dialog in the next one's way.
    function cleanup() {
        for (let i = 0; i < 3; ++i)
            helper.keyClick(main.contentItem, Qt.Key_Escape)
    }

    // The visible control of that name; the last one, as popups come after the window.
    function control(context, text, within) {
        let found = []
        tryVerify(() => (found = helper.named(qsTranslate(context, text), within || null)).length > 0, 10000,
                  "a control named " + text)
        return found[found.length - 1]
    }

    function reveal(item) {
        let view = item.parent
        while (view && !(view.clip && view.contentY !== undefined))
            view = view.parent
        for (let i = 0; view && i < 50; ++i) {
            const top = item.mapToItem(view, 0, 0).y
            if (top >= 0 && top + item.height <= view.height)
                break
            mouseWheel(view, view.width / 2, view.height / 2, 0, top < 0 ? 120 : -120)
            waitForRendering(main.contentItem)
        }
    }

    function use(context, text, within) {
        waitForRendering(main.contentItem) // items that just moved are where they are drawn
        const item = control(context, text, within)
        reveal(item)
        mouseClick(item)
        return item
    }

    function pick(menu, entry) {
        use("Main", menu)
        use("Main", entry, overlay()) // a tile's button may share the name
        return main.dialogHosts
    }

    function typeInto(field, text) {
        mouseClick(field)
        helper.keyClick(field, Qt.Key_A, Qt.ControlModifier)
        helper.keyClicks(field, text)
    }

    // The layout's problems once the rows that just arrived have taken their places.
    function settledLayout(item) {
        let problems = helper.layoutProblems(item)
        for (let frame = 0; frame < 20 && problems.length > 0; ++frame, problems = helper.layoutProblems(item))
            waitForRendering(main.contentItem)
        return problems
    }

    // The dialog shown on top: its text fits and nothing overlaps; then a screenshot.
    function checkDialog(dialog, shot) {
        tryVerify(() => dialog.opened, 10000, shot + " opens")
        checkLayout(dialog.contentItem.parent, shot)
    }

    function checkLayout(item, shot) {
        waitForRendering(main.contentItem)
        helper.saveScreenshot(shot, main.contentItem)
        compare(settledLayout(item), [], shot + " layout")
    }

    function overlay() {
        return Array.from(main.contentItem.parent.children).find(o => String(o).startsWith("QQuickOverlay"))
    }

    function closeByEscape(dialog) {
        helper.keyClick(main.contentItem, Qt.Key_Escape)
        tryVerify(() => !dialog.visible, 5000, "Escape closes it")
    }

    function test_1_menuOpensEachDialog_data() {
        const row = (menu, entry, dialog, press) => ({ tag: dialog, menu: menu, entry: entry, dialog: dialog, press: press })
        return [row("Devices", "Wireless Pairing", "WirelessPairingDialog"),
                row("Devices", "Manage Device Groups", "DeviceGroupManagerDialog"),
                row("Devices", "Restart ADB Server", "ADBRestartDialog", "Restart ADB Server"),
                row("Tools", "Common Phrases", "CommonPhrasesDialog"), row("Tools", "Key Mapping", "KeyMappingDialog"),
                row("Member", "Login", "MemberLoginDialog"), row("Settings", "About APP", "AboutDialog"),
                row("Settings", "APP Settings", "AppSettingsDialog")]
    }

    function test_1_menuOpensEachDialog(row) {
        const dialog = pick(row.menu, row.entry)[row.dialog].dialog
        checkDialog(dialog, row.dialog)
        if (row.press) {
            const adb = fleetLogFrom("adb.log")
            use(row.dialog, row.press, dialog.footer)
            tryVerify(() => dialog.succeeded && logged(adb, { args: ["start-server"] }), 10000, "adb restarts")
            verify(String(findChild(dialog, "stateIcon").source).endsWith("check-circle.svg"), "in every language")
        }
        closeByEscape(dialog)
    }

    function logged(entries, expected) {
        return entries().some(
            entry => Object.keys(expected).every(key => JSON.stringify(entry[key]) === JSON.stringify(expected[key])))
    }

    // The group the phones were added to; each journey starts with it shown.
    property var home: null

    function init() {
        if (home && main.currentGroup !== home)
            use("", home.name)
    }

    function phone(row) { return home.devicesForRepeater[row] }

    // The non-native file dialog on top: Cancel, or the path typed after Ctrl+L and Return.
    function chooseFile(path) {
        const cancel = control("QPlatformTheme", "Cancel")
        if (path === "")
            return mouseClick(cancel)
        helper.keyClick(cancel, Qt.Key_L, Qt.ControlModifier)
        helper.keyClicks(cancel, path)
        helper.keyClick(cancel, Qt.Key_Return)
    }

    function test_2_scanAddAndStart() {
        compare(settledLayout(main.contentItem.parent), [], "the empty group's scan button fits, its header in reach")
        use("Main", "No Devices In This Group, Click To Scan")
        const scan = main.dialogHosts.DeviceScanDialog.dialog
        for (const serial of helper.serials.slice(0, 2))
            use("", serial, scan.contentItem)
        use("DeviceScanDialog", "Add to Group", scan.footer)
        tryCompare(main.currentGroup, "deviceCount", 2, 10000)
        home = main.currentGroup
        // Rotating would restart a tile-sized stream under later buttons; that has its own test.
        home.setMatchTileSize(false)
        use("DeviceList", "Expand")
        compare(settledLayout(main.contentItem.parent), [], "the main window's layout")
        const wide = main.width
        main.width = 800 // the group's actions wrap under its title
        tryVerify(() => findChild(main, "phoneScreenGrid").width < 800, 5000, "the grid follows the window")
        compare(settledLayout(main.contentItem.parent), [], "a narrow window's layout")
        use("PhoneScreenGrid", "Start All")
        main.width = wide
        tryVerify(() => findChild(main, "phoneScreenGrid").width > 800, 5000, "and back")
        tryVerify(() => phone(0).running && phone(1).running && phone(1).controller !== null, 30000)
    }

    // Dialogs of a phone's row, its tile and the group's actions: a clean layout, Escape closes.
    function test_2b_dialogsOfPhonesAndGroups_data() {
        const groupAction = entry => () => { use("PhoneScreenGrid", "More Group Actions"); use("PhoneScreenGrid", entry) }
        const tileButton = name => () => use("ControlButtons", name, tile(0))
        return [
            { tag: "DeviceInfoDialog", open: () => deviceMenu(0, "Device Information") },
            { tag: "DeviceRenameDialog", open: () => deviceMenu(0, "Naming Device") },
            { tag: "ADBCommandDialog-group", open: groupAction("ADB Commands") },
            { tag: "ADBCommandDialog", open: tileButton("Run ADB Command") },
            { tag: "PhraseSelectionDialog", open: tileButton("Select Phrase") },
            { tag: "KeyMapProfilePicker", open: tileButton("Key Mapping") }
        ]
    }

    function test_2b_dialogsOfPhonesAndGroups(row) {
        row.open()
        let top
        tryVerify(() => (top = Array.from(overlay().children).filter(p => p.visible && p.opacity === 1).pop()) !== undefined)
        checkLayout(top, row.tag)
        closeByEscape(top)
    }

    function tile(row) {
        return Array.from(findChild(main, "grid").contentItem.children).find(view => view.device === phone(row)) || null
    }

    function adbLogged(entries, serial, words) {
        return entries().some(e => e.args.includes(serial) && e.args.join(" ").includes(words))
    }

    // Each of the tile's buttons, in order, and what the phone (or a folder) receives.
    function test_3_controlButtons_data() {
        const key = (tag, code) => ({ tag: tag, control: { type: "inject_keycode", keycode: code } })
        const touch = tag => ({ tag: tag, control: { type: "inject_touch_event" } })
        return [
            key("Home", 3), key("Task List", 187), key("Back", 4),
            touch("Swipe Up"), touch("Swipe Down"), touch("Swipe Left"), touch("Swipe Right"),
            { tag: "Rotate Screen", control: { type: "rotate_device" } },
            { tag: "Screenshot", folder: () => AppConfig.getScreenshotSavePath() },
            { tag: "Record Video", then: () => use("ControlButtons", "Stop Recording", tile(0)),
              folder: () => AppConfig.getVideoSavePath() },
            { tag: "Select Phrase", control: { type: "set_clipboard", text: "journey phrase", paste: true },
              then: () => use("", "journey phrase") },
            key("Volume Up", 24), key("Volume Down", 25),
            { tag: "Upload File", adb: "push", then: () => chooseFile(file("error-log.txt", "uploaded by a journey")) },
            { tag: "Key Mapping", then: () => use("", "Journey"), mapped: "Journey",
              undo: () => {
                  verify(!Qt.colorEqual(findChild(tile(0), "keyMappingButton").iconColor, Theme.textGreen),
                         "the active state stands out")
                  use("", qsTranslate("ControlButtons", "KeyMapping: %1").arg("Journey"), tile(0))
                  verify(findChild(control("", "Journey").parent, "tick").visible, "the profile in use is ticked")
                  use("KeyMapProfilePicker", "No KeyMap")
                  tryVerify(() => phone(0).currentKeyMappingProfile === null)
              } },
            { tag: "Screen Position", shows: "coordinates",
              undo: () => use("ControlButtons", "Screen Position", tile(0)) },
            { tag: "Install APK", log: "installed.jsonl", control: {}, then: () => chooseFile(file("journey.apk", "PK")) },
            key("Screen On", 224), key("Screen Off", 223),
            { tag: "Audio Disabled", audio: true },
            { tag: "Run AutoJS", log: "autojs.jsonl", control: { kind: 1 },
              then: () => chooseFile(file("journey.js", "toast('journey')")),
              undo: () => use("ControlButtons", "Stop AutoJS", tile(0)) }
        ]
    }

    function test_3_controlButtons(row) {
        const device = phone(0)
        const serial = device.adbConnectionSerial
        const [sent, adb] = [serial + "/" + (row.log || "control.jsonl"), "adb.log"].map(log => fleetLogFrom(log))
        const seenFiles = row.folder ? helper.files(row.folder()).length : 0
        use("ControlButtons", row.tag, tile(0))
        if (row.then) row.then()
        const expected = [row.control && (() => logged(sent, row.control)),
                          row.adb && (() => adbLogged(adb, serial, row.adb)),
                          row.folder && (() => helper.files(row.folder()).length > seenFiles),
                          row.mapped && (() => (device.currentKeyMappingProfile || {}).name === row.mapped),
                          row.shows && (() => findChild(tile(0), row.shows).visible),
                          row.audio && (() => device.isAudioEnabled)]
        for (const done of expected.filter(check => check))
            tryVerify(done, 10000, row.tag + ": " + done)
        if (row.undo) row.undo()
    }

    function slide(slider, fraction) {
        const from = slider.leftPadding + slider.visualPosition * slider.availableWidth
        mouseDrag(slider, from, slider.height / 2, fraction * slider.availableWidth, 0)
    }

    function groupSettingsDialog() {
        use("PhoneScreenGrid", "More Group Actions")
        use("PhoneScreenGrid", "Settings")
        return control("GroupSettingsDialog", "Group Control Delay:")
    }

    // A delay set while a phone is stopped reaches it when Start All starts it; back to 0 clears it.
    function test_4_groupControlDelayOnPhonesStartedLater() {
        use("DeviceHeader", "Stop", tile(1))
        tryVerify(() => !phone(1).running, 10000)
        const slider = groupSettingsDialog()
        slide(slider, 0.1)
        tryVerify(() => home.clickDelaySeconds > 0 && stored("clickDelaySeconds", home.clickDelaySeconds))
        helper.keyClick(slider, Qt.Key_Escape)
        use("PhoneScreenGrid", "Start All")
        tryVerify(() => phone(1).running && phone(1).controller !== null, 30000)
        use("PhoneScreenGrid", "Start Group Control")
        tryVerify(() => phone(0).isHostDevice)
        const touches = fleetLogFrom(phone(1).adbConnectionSerial + "/control.jsonl", "inject_touch_event")
        mouseClick(findChild(tile(0), "input"))
        tryVerify(() => touches().length > 0, 10000, "the group follows the host")
        use("PhoneScreenGrid", "Group Controlling")
        slide(groupSettingsDialog(), -1)
        tryCompare(main.currentGroup, "clickDelaySeconds", 0)
    }

    function stored(key, value) {
        const folder = AppConfig.getDeviceGroupSavePath()
        const pattern = new RegExp('"' + key + '":\\s*' + value + '\\b')
        return helper.files(folder).some(path => pattern.test(helper.readFile(path)))
    }

    // Every slider and switch of the group's settings takes the mouse and is written at once.
    function test_4b_everyGroupSetting_data() {
        const row = (label, key, nth) => ({ tag: key, label: label, key: key, nth: nth || 0 })
        return [row("Show Control Buttons:", "showControlButtons"), row("Enable Sound Output:", "enableAudio"),
                row("Width:", "cellWidth"), row("Resolution:", "maxSize"), row("Frame Rate:", "maxFPS"),
                row("Bit Rate:", "bitRate"), row("Big View Width:", "bigViewWidth"),
                row("Resolution:", "maxSizeBigView", 1), row("Frame Rate:", "maxFPSBigView", 1),
                row("Bit Rate:", "bitRateBigView", 1)]
    }

    function test_4b_everyGroupSetting(row) {
        groupSettingsDialog()
        const item = helper.named(qsTranslate("GroupSettingsDialog", row.label))[row.nth]
        const before = home[row.key]
        if (item.checked !== undefined && item.from === undefined) {
            mouseClick(item)
            tryVerify(() => home[row.key] === !before && stored(row.key, !before), 5000, "written")
            mouseClick(item) // back, so the tiles keep their buttons
        } else {
            slide(item, item.visualPosition > 0.5 ? -0.3 : 0.3)
        }
        tryVerify(() => home[row.key] !== before === (item.from !== undefined) && stored(row.key, home[row.key]),
                  5000, "written")
        checkLayout(overlay(), "GroupSettingsDialog")
    }

    function deviceMenu(row, entry) {
        for (let more = helper.named(qsTranslate("DeviceList", "Expand")); more.length > 0;
             more = helper.named(qsTranslate("DeviceList", "Expand")))
            mouseClick(more[0])
        waitForRendering(main.contentItem) // the rows take their places
        mouseClick(control("", phone(row).adbConnectionSerial), 10, 10, Qt.RightButton)
        use("DeviceMenu", entry)
    }

    // Rename through the device menu: the nickname is taken trimmed.
    function test_5_rename() {
        deviceMenu(0, "Naming Device")
        const field = control("DeviceRenameDialog", "Enter new device name")
        typeInto(field, "  Journey 1 ")
        helper.keyClick(field, Qt.Key_Return)
        tryCompare(phone(0), "nickname", "Journey 1")
    }

    // The enlarged phone keeps its window whichever group is shown (the second phone moves away).
    function test_7_enlargedViewAcrossGroupSwitch() {
        const manager = findChild(main, "phoneScreenGrid").deviceGroupManager
        manager.createDeviceGroup("Journey Group")
        home.moveDevicesToGroup([phone(1).adbConnectionSerial], manager.deviceGroups[1])
        const device = phone(0)
        const shown = () => (findChild(main, "phoneScreenGrid").bigViewOf(device) || {}).visible === true
        use("DeviceHeader", "Enlarge", tile(0))
        tryVerify(() => device.isBigView && shown(), 10000)
        use("", "Journey Group")
        tryVerify(() => main.currentGroup.name === "Journey Group")
        waitForRendering(main.contentItem)
        verify(shown(), "the window stays while another group is shown")
    }

    // Wi-Fi adb for a USB phone: adb switches it, and the next scan does not offer it again.
    function test_8_wifiThenScan() {
        const device = phone(0)
        const serial = device.adbConnectionSerial
        const adb = fleetLogFrom("adb.log")
        deviceMenu(0, "Enable WiFi Connection")
        tryVerify(() => device.wifiSerial !== "" && adbLogged(adb, serial, "tcpip"), 20000, "the Wi-Fi connection is made")
        const scan = pick("Devices", "Scan Devices").DeviceScanDialog.dialog
        const others = helper.serials.filter(s => s !== serial && s !== helper.serials[1])
        tryVerify(() => others.every(s => helper.named(s, scan.contentItem).length === 1), 20000)
        checkDialog(scan, "DeviceScanDialog")
        compare([serial, device.wifiSerial].map(s => helper.named(s, scan.contentItem).length), [0, 0])
        use("DeviceScanDialog", "Add to Group", scan.footer)
        verify(scan.opened, "nothing ticked, nothing to add")
        use("", others[0], scan.contentItem)
        use("DeviceScanDialog", "Add to Group", scan.footer)
        tryCompare(home, "deviceCount", 2, 10000)
    }

    // Register from the Member menu, log in with the mailed password, then see the profile.
    function test_9_account() {
        if (!helper.accountServiceAvailable)
            skip("the build has no reference account service")
        verify(helper.startAccountService() !== "")
        const email = "journey" + (language === "" ? "en" : language.replace("_", "").toLowerCase()) + "@example.com"
        pick("Member", "Login")
        use("MemberLoginDialog", "Register")
        typeInto(control("MemberRegisterDialog", "Enter email address..."), email)
        for (const button of ["Register", "OK", "Login"]) // the alert's OK, then the link back to the login
            use("MemberRegisterDialog", button)
        typeInto(control("MemberLoginDialog", "Enter email address..."), email)
        typeInto(control("MemberLoginDialog", "Enter password..."), helper.mailedPassword(email))
        use("MemberLoginDialog", "Login")
        tryVerify(() => UserSession.isLoggedIn, 10000, "logged in") // and the window shows the profile
        checkDialog(main.dialogHosts.UserProfileDialog.dialog, "UserProfileDialog")
    }

    // The application's language and a folder picked with the folder dialog are stored on Save only.
    function test_9b_appSettings_data() {
        return [{ tag: "language-cancelled", language: true, button: "Cancel" },
                { tag: "folder-cancelled", folder: "", button: "Save" },
                { tag: "language-and-folder-saved", language: true, folder: "videos", button: "Save" }]
    }

    function test_9b_appSettings(row) {
        const [locale, videos] = [AppConfig.getLocale(), AppConfig.getVideoSavePath()]
        const dialog = pick("Settings", "APP Settings").AppSettingsDialog.dialog
        const language = dialog.languageLabel(locale) === "English" ? "繁體中文" : "English"
        if (row.language) {
            use("", dialog.languageLabel(locale), dialog.contentItem)
            use("", language)
        }
        if (row.folder !== undefined) {
            mouseClick(helper.named(qsTranslate("AppSettingsDialog", "Browse..."), dialog.contentItem)[0])
            file("videos/kept", "") // the only folder of the one typed below
            chooseFile(row.folder && helper.temporaryFolder())
            if (row.folder) {
                use("", row.folder)
                use("QPlatformTheme", "Open")
            }
        }
        use("AppSettingsDialog", row.button, dialog.footer)
        tryVerify(() => !dialog.visible)
        const stored = [dialog.languageLabel(AppConfig.getLocale()), AppConfig.getVideoSavePath()]
        AppConfig.setLocale(locale) // the later journeys keep their folders
        AppConfig.setVideoSavePath(videos)
        compare(stored, [row.language && row.button === "Save" ? language : dialog.languageLabel(locale),
                         row.folder ? helper.temporaryFolder() + "/" + row.folder : videos])
    }

    // Last, as the phones leave adb: reboot (the phone added after Wi-Fi), power-off once confirmed.
    function test_z_powerButtons_data() {
        return [{ tag: "Reboot", adb: "reboot", row: 1 },
                { tag: "Shutdown", adb: "reboot -p", row: 0, confirm: "Power Off" }]
    }

    function test_z_powerButtons(row) {
        use("PhoneScreenGrid", "Start All")
        tryVerify(() => phone(row.row) && phone(row.row).running && phone(row.row).controller !== null, 30000)
        const serial = phone(row.row).adbConnectionSerial
        const adb = fleetLogFrom("adb.log")
        use("ControlButtons", row.tag, tile(row.row))
        if (row.confirm) // the alert's button, which shares the tile button's name
            mouseClick(control("ControlButtons", row.confirm, overlay()))
        tryVerify(() => adbLogged(adb, serial, row.adb), 10000, "adb runs " + row.adb)
    }
}
