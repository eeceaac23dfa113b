import QtQuick
import QtTest
import Parvix

// The control-button column and the device menu; what each button sends: the journeys.
DialogTestCase {
    id: testCase
    name: "Controls"

    function buttons(column) {
        return Array.from(column.contentItem.children[0].children).filter(child => child.tip !== undefined)
    }

    function test_buttonsWithoutDevice() {
        const column = make("ControlButtons", { width: 35, height: 500 })
        compare(buttons(column).map(b => b.tip),
                ["Home", "Task List", "Back", "Swipe Up", "Swipe Down", "Swipe Left", "Swipe Right",
                 "Rotate Screen", "Screenshot", "Record Video", "Select Phrase", "Volume Up",
                 "Volume Down", "Upload File", "Key Mapping", "Screen Position", "Install APK",
                 "Run AutoJS", "Run ADB Command", "Screen On", "Screen Off", "Audio Disabled",
                 "Reboot", "Shutdown"])
        verify(buttons(column).every(b => b.width === 28 && b.height === 24))
        verify(findChild(column, "moreBelow").visible, "more buttons than fit are hinted at")
        column.contentY = column.contentHeight - column.height
        verify(!findChild(column, "moreBelow").visible)
        let signalled = 0
        column.toggleScreenCoordinateDisplayer.connect(() => ++signalled)
        column.openKeyMappingProfilePicker.connect(() => ++signalled)
        column.openPhraseSelectionDialog.connect(() => ++signalled)
        buttons(column).forEach(b => b.activated())
        compare(signalled, 0, "nothing happens without a device")
        const nobody = make("DeviceMenu")
        verify(!findChild(nobody, "renameItem").enabled && !findChild(nobody, "enableWiFiItem").enabled)
    }

    function test_statesFollowTheDevice() {
        const manager = managerWithPhones(2)
        const source = manager.currentSelectedGroup
        const device = source.devicesForRepeater[0]
        const column = make("ControlButtons", { width: 35, height: 500, device: device })
        const keyMapping = findChild(column, "keyMappingButton")
        verify(KeyMapping.addProfile("Game") || KeyMapping.getProfile("Game"))
        device.setCurrentKeyMappingProfile(KeyMapping.getProfile("Game"))
        verify(!Qt.colorEqual(keyMapping.iconColor, Theme.textGreen), "the active state stands out")
        device.setCurrentKeyMappingProfile(null)
        buttons(column).find(b => b.tip === "Shutdown").activated()
        verify(column.confirmation.alertMessage.indexOf(device.adbConnectionSerial) >= 0)
        column.confirmation.close()

        const target = groupNamed(manager, "Target")
        const menu = make("DeviceMenu", { device: device, deviceGroupManager: manager, currentSourceGroup: source,
                                          selectedDevices: [] })
        const usb = device.connectionType === Device.USB
        compare([findChild(menu, "enableWiFiItem").enabled, findChild(menu, "disconnectWiFiItem").enabled], [usb, !usb])
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
        const rows = Array.from(popup.contentItem.children[0].children).filter(r => r.modelData !== undefined)
        const sourceRow = rows.find(r => r.modelData === source)
        verify(sourceRow.isSource)
        mouseClick(sourceRow, 20, 10)
        compare(source.deviceCount, 2)
        verify(menu.visible)
        const targetRow = rows.find(r => r.modelData === target)
        mouseMove(targetRow, 20, 10)
        mouseClick(targetRow, 20, 10)
        tryCompare(target, "deviceCount", 1)
        compare(source.deviceCount, 1)
        tryVerify(() => !menu.visible && !popup.visible)
    }
}
