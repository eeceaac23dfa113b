import QtQuick
import QtTest
import Parvix

// The main window's menus: items in order, the Member menu shows one entry; the scan button of
// an empty group; data-file problems reach the user in an alert. Every QML file of the module
// can be created, with a device where it wants one, without a single QML warning.
DialogTestCase {
    id: testCase
    name: "Main"

    KeyMappingModel {
        id: keyRows
    }

    function visibleLabels(menu) {
        return menu.menuItems.filter(item => item.visible !== false)
                             .map(item => item.type === "separator" ? "-" : item.label)
    }

    function test_menusAndScanButton() {
        const main = make("Main")
        waitForRendering(main.contentItem)
        const member = findChild(main, "memberMenu")
        verify(!UserSession.isLoggedIn)
        compare(visibleLabels(member), ["Login"])
        mouseClick(member)
        tryVerify(() => member.popupOpen)
        compare(findAll(member.menuColumn, "menuEntry").filter(entry => entry.visible).length, 1)
        compare(member.menuColumn.height, 28)
        mouseClick(main.contentItem, 700, 400)
        tryVerify(() => !member.popupOpen, 2000, "a press elsewhere closes it")
        compare(visibleLabels(findChild(main, "devicesMenu")),
                ["Scan Devices", "Wireless Pairing", "-", "Manage Device Groups", "Restart ADB Server"])
        compare(visibleLabels(findChild(main, "toolsMenu")), ["Common Phrases", "Key Mapping"])
        compare(visibleLabels(findChild(main, "settingsMenu")), ["About APP", "APP Settings"])

        const scan = findChild(main, "scanButton")
        if (main.currentGroup && main.currentGroup.deviceCount > 0)
            main.currentGroup.clearDevices()
        tryVerify(() => scan.visible && findChild(main, "phoneScreenGrid").visible, 10000,
                  "the group header stays in reach")
        verify(!scan.contentItem.truncated, "the padding is added to the text's width")
        main.close()
    }

    function test_storeProblemsAreShownOnce() {
        helper.reportStoreError("found before the window")
        const main = make("Main")
        const alert = findChild(main, "storeErrorAlert")
        tryVerify(() => alert.opened, 3000, "problems from loading are shown when the window opens")
        verify(alert.alertMessage.indexOf("found before the window") >= 0)
        alert.close()
        tryCompare(StoreErrors.messages, "length", 0, 3000, "closing the alert dismisses them")
        helper.reportStoreError("a save failed")
        tryVerify(() => alert.opened, 3000, "a later problem opens the alert again")
        compare(alert.alertMessage, "a save failed")
        alert.close()
        main.close()
    }

    function test_everyFileLoadsCleanly() {
        const manager = managerWithPhones(1)
        const device = manager.currentSelectedGroup.devicesForRepeater[0]
        const withDevice = ["DeviceView", "BigDeviceView", "DeviceInputArea", "ControlButtons", "DeviceHeader",
                            "DeviceMenu"]
        const withManager = ["DeviceMenu", "DeviceList", "PhoneScreenGrid", "DeviceScanDialog",
                             "DeviceGroupManagerDialog", "ADBRestartDialog", "GroupSettingsDialog"]
        // The main window's manager then restores the phone from the group file.
        tryVerify(() => helper.readFile(AppConfig.getDeviceGroupSavePath() + "/device_groups.json")
                           .indexOf(device.adbConnectionSerial) >= 0, 5000, "the group is saved")
        failOnWarning(/.*/)
        const files = helper.moduleQmlFiles()
        verify(files.length >= 20, files.length + " files")
        for (const file of files.filter(f => !f.endsWith("/Theme.qml"))) {
            const name = file.substring(file.lastIndexOf("/") + 1, file.length - 4)
            const properties = {}
            if (withDevice.includes(name))
                properties.device = device
            if (withManager.includes(name))
                properties.deviceGroupManager = manager
            if (name.includes("Phrase"))
                properties.phraseManager = CommonPhraseManager
            Object.assign(properties, {
                KeyMappingAddBox: { touches: keyRows, swipes: keyRows },
                KeyMappingTouchEditBox: { rows: keyRows },
                KeyMappingSwipeEditBox: { rows: keyRows },
                KeyMappingTable: { model: keyRows },
                KeyMappingRow: { index: 0, keyDisplay: "A", type: KeyMappingModel.Touch, touchX: 0.5,
                                 touchY: 0.5, count: 1, startX: 0, startY: 0, endX: 0, endY: 0,
                                 duration: 200 }
            }[name] || {})
            const component = Qt.createComponent(file)
            compare(component.status, Component.Ready, file + ": " + component.errorString())
            const object = component.createObject(testCase, properties)
            verify(object, file)
            wait(0) // its bindings and deferred work run before it goes
            object.destroy()
            wait(0)
        }
        compare(Theme.danger, ColorManager.danger)
        DeviceSettings.setDeviceNickname("qml-serial", "Nick") // the nickname store reaches QML
        compare(DeviceSettings.getDeviceNickname("qml-serial"), "Nick")
        DeviceSettings.removeDeviceNickname("qml-serial")
    }
}
