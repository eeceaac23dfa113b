import QtQuick
import QtTest
import Parvix

// Every QML file of the module can be created, with a device where it wants one, without a
// single QML warning.
DialogTestCase {
    id: testCase
    name: "Smoke"

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
            const component = Qt.createComponent(file)
            compare(component.status, Component.Ready, file + ": " + component.errorString())
            const object = component.createObject(testCase, properties)
            verify(object, file)
            wait(0) // its bindings and deferred work run before it goes
            object.destroy()
            wait(0)
        }
        compare(Theme.danger, ColorManager.danger)
    }
}
