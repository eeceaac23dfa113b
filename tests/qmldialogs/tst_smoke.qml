import QtQuick
import QtTest
import Parvix

// Every QML file of the module can be created, with a device where it wants one, without a
// single QML warning.
DialogTestCase {
    id: testCase
    name: "Smoke"

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
            PhraseSelectionDialog: { phraseManager: CommonPhraseManager }
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
