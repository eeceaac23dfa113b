import QtQuick
import QtTest
import Parvix

// The control-button column and the device menu.
DialogTestCase {
    id: testCase
    name: "Controls"

    function toArray(list) {
        const items = []
        for (let i = 0; i < list.length; ++i)
            items.push(list[i])
        return items
    }

    function buttons(column) {
        return toArray(column.contentItem.children[0].children).filter(child => child.tip !== undefined)
    }

    function test_buttonsInOrder() {
        const column = make("ControlButtons", { width: 35, height: 500 })
        compare(buttons(column).map(b => b.tip),
                ["Home", "Task List", "Back", "Swipe Up", "Swipe Down", "Swipe Left", "Swipe Right",
                 "Rotate Screen", "Screenshot", "Record Video", "Select Phrase", "Volume Up",
                 "Volume Down", "Upload File", "Key Mapping", "Screen Position", "Install APK",
                 "Run AutoJS", "Run ADB Command", "Screen On", "Screen Off", "Audio Disabled",
                 "Reboot", "Shutdown"])
        for (const b of buttons(column)) {
            compare(b.height, 24)
            compare(b.width, 28)
        }
        verify(findChild(column, "moreBelow").visible, "more buttons than fit are hinted at")
        column.contentY = column.contentHeight - column.height
        verify(!findChild(column, "moreBelow").visible)
    }

    function test_nothingHappensWithoutDevice() {
        const column = make("ControlButtons", { width: 35, height: 500 })
        let signalled = 0
        column.toggleScreenCoordinateDisplayer.connect(() => ++signalled)
        column.openKeyMappingProfilePicker.connect(() => ++signalled)
        column.openPhraseSelectionDialog.connect(() => ++signalled)
        for (const b of buttons(column))
            b.activated()
        compare(signalled, 0)
    }

    // The tips and the power confirmation as the journeys use them; here what they do not see.
    function test_statesFollowTheDevice() {
        const manager = managerWithPhones(1)
        const device = manager.currentSelectedGroup.devicesForRepeater[0]
        const column = make("ControlButtons", { width: 35, height: 500, device: device })
        const keyMapping = findChild(column, "keyMappingButton")
        verify(KeyMapping.addProfile("Game") || KeyMapping.getProfile("Game"))
        device.setCurrentKeyMappingProfile(KeyMapping.getProfile("Game"))
        compare(keyMapping.tip, "KeyMapping: Game")
        verify(!Qt.colorEqual(keyMapping.iconColor, Theme.textGreen), "the active state stands out")
        device.setCurrentKeyMappingProfile(null)
        buttons(column).find(b => b.tip === "Shutdown").activated()
        verify(column.confirmation.alertMessage.indexOf(device.adbConnectionSerial) >= 0)
        column.confirmation.close()
    }

    function test_wifiItemsByConnectionType() {
        const manager = managerWithPhones(1)
        const device = manager.currentSelectedGroup.devicesForRepeater[0]
        const menu = make("DeviceMenu", { device: device })
        const usb = device.connectionType === Device.USB
        compare(findChild(menu, "enableWiFiItem").enabled, usb)
        compare(findChild(menu, "disconnectWiFiItem").enabled, !usb)
        const nobody = make("DeviceMenu")
        verify(!findChild(nobody, "renameItem").enabled && !findChild(nobody, "enableWiFiItem").enabled)
    }

    function test_moveToGroup() {
        const manager = managerWithPhones(2)
        const source = manager.currentSelectedGroup
        const target = groupNamed(manager, "Target")
        const device = source.devicesForRepeater[0]
        const menu = make("DeviceMenu", {
            device: device, deviceGroupManager: manager, currentSourceGroup: source,
            selectedDevices: []
        })
        const moveItem = findChild(menu, "moveItem")
        verify(!moveItem.enabled, "nothing selected")

        menu.selectedDevices = [device.adbConnectionSerial]
        verify(moveItem.enabled)
        menu.popup(10, 10)
        tryCompare(menu, "opened", true)
        mouseMove(moveItem, 20, 10)
        const popup = findChild(menu, "groupPopup")
        tryCompare(popup, "opened", true)

        // The source group's row is inert.
        const rows = toArray(popup.contentItem.children[0].children).filter(r => r.modelData !== undefined)
        const sourceRow = rows.find(r => r.modelData === source)
        const targetRow = rows.find(r => r.modelData === target)
        verify(sourceRow.isSource)
        mouseClick(sourceRow, 20, 10)
        compare(source.deviceCount, 2)
        verify(menu.visible)

        mouseMove(targetRow, 20, 10)
        mouseClick(targetRow, 20, 10)
        tryCompare(target, "deviceCount", 1)
        compare(source.deviceCount, 1)
        tryCompare(menu, "visible", false)
        tryCompare(popup, "visible", false)
    }
}
