import QtQuick
import QtTest
import Parvix

// Every QML file of the module can be created, with a device where it wants one, without a
// single QML warning.
DialogTestCase {
    id: testCase
    name: "Smoke"

    KeyMappingModel {
        id: keyRows
    }

    // What the files that need collaborators are given.
    function propertiesFor(file, manager, device) {
        const name = file.substring(file.lastIndexOf("/") + 1, file.length - 4)
        const byName = {
            DeviceView: { device: device },
            BigDeviceView: { device: device },
            DeviceInputArea: { device: device },
            ControlButtons: { device: device },
            DeviceHeader: { device: device },
            DeviceMenu: { device: device, deviceGroupManager: manager },
            DeviceList: { deviceGroupManager: manager },
            PhoneScreenGrid: { deviceGroupManager: manager },
            DeviceScanDialog: { deviceGroupManager: manager },
            DeviceGroupManagerDialog: { deviceGroupManager: manager },
            ADBRestartDialog: { deviceGroupManager: manager },
            GroupSettingsDialog: { deviceGroupManager: manager },
            CommonPhrasesDialog: { phraseManager: CommonPhraseManager },
            PhraseSelectionDialog: { phraseManager: CommonPhraseManager },
            KeyMappingAddBox: { touches: keyRows, swipes: keyRows },
            KeyMappingTouchEditBox: { rows: keyRows },
            KeyMappingSwipeEditBox: { rows: keyRows },
            KeyMappingTable: { model: keyRows },
            KeyMappingRow: { index: 0, keyDisplay: "A", type: KeyMappingModel.Touch, touchX: 0.5,
                             touchY: 0.5, count: 1, startX: 0, startY: 0, endX: 0, endY: 0,
                             duration: 200 }
        }
        return byName[name] || {}
    }

    function test_everyFileLoadsCleanly() {
        const manager = managerWithPhones(1)
        const device = manager.currentSelectedGroup.devicesForRepeater[0]
        failOnWarning(/.*/)
        const files = helper.moduleQmlFiles()
        verify(files.length >= 20, files.length + " files")
        for (const file of files) {
            if (file.endsWith("/Theme.qml"))
                continue
            const component = Qt.createComponent(file)
            compare(component.status, Component.Ready, file + ": " + component.errorString())
            const object = component.createObject(testCase, propertiesFor(file, manager, device))
            verify(object, file)
            wait(20)
            object.destroy()
            wait(0)
        }
        compare(Theme.danger, ColorManager.danger)
    }
}
