import QtQuick
import QtTest
import Parvix

// A test case over the virtual phones: managers of real devices, and the items of a dialog.
TestCase {
    id: base

    when: windowShown
    visible: true
    width: 1400
    height: 900

    property int managers: 0

    function make(type, properties) {
        const component = Qt.createQmlObject("import QtQuick; import Parvix; Component { " + type + " {} }",
                                             base, type)
        return createTemporaryObject(component, base, properties || {})
    }

    // A manager over a group file of its own, so each test starts with the "Default Group".
    function newManager() {
        AppConfig.setDeviceGroupSavePath(helper.temporaryFolder() + "/groups-" + name + (++managers))
        return make("DeviceGroupManager")
    }

    function managerWithPhones(count) {
        const manager = newManager()
        manager.scanDevices()
        tryVerify(() => !manager.isScanning && manager.availableDeviceInfos.length >= count,
                  20000, "the scan lists the phones")
        verify(manager.currentSelectedGroup.addDevices(manager.availableDeviceInfos.slice(0, count)))
        tryCompare(manager.currentSelectedGroup, "deviceCount", count, 10000)
        manager.clearAvailableDevices()
        return manager
    }

    function openDialog(dialog) {
        dialog.open()
        tryVerify(() => dialog.opened, 3000, "the dialog opens")
        waitForRendering(base)
        return dialog
    }

    function closeDialog(dialog) {
        dialog.close()
        tryVerify(() => !dialog.visible, 3000, "the dialog closes")
    }

    function shown(parent, name) {
        const popup = findChild(parent, name)
        tryVerify(() => popup && popup.opened, 10000, name + " opens")
        return popup
    }

    // The popup `name` under `parent` that the button (an item, or its objectName there) opens.
    function openedBy(parent, button, name) {
        click(typeof button === "string" ? find(parent, button) : button)
        return shown(parent, name)
    }

    // The alert under `parent` has this title (and message); closed. Its message.
    function alerted(parent, name, title, message) {
        const alert = shown(parent, name)
        compare(alert.alertTitle, title)
        if (message !== undefined)
            compare(alert.alertMessage, message)
        compare(Qt.colorEqual(alert.titleColor, Theme.textGreen), title.indexOf("Success") >= 0, "success alone in green")
        const text = alert.alertMessage
        closeDialog(alert)
        return text
    }

    // Items of a dialog (its header, content and footer) or of any item, by objectName.
    function findAll(obj, name, into) {
        const found = into || []
        if (obj.objectName === name)
            found.push(obj)
        const next = obj.children !== undefined ? obj.children
                   : obj.contentItem !== undefined ? [obj.contentItem, obj.header, obj.footer] : []
        Array.from(next).forEach(child => child && findAll(child, name, found)) // a dialog may have no footer
        return found
    }

    function find(obj, name) {
        const found = findAll(obj, name)
        verify(found.length > 0, "found " + name)
        return found[0]
    }

    function visibleAll(obj, name) {
        return findAll(obj, name).filter(item => item.visible)
    }

    function click(item) {
        verify(item.visible, (item.objectName || "item") + " is visible")
        mouseClick(item)
    }

    function typeText(field, text) {
        field.forceActiveFocus()
        field.selectAll()
        keyClick(Qt.Key_Delete)
        for (const c of text)
            keyClick(c)
    }

    // Each field of `fields` (objectName: text) typed, then the button clicked; `closes`: it closes.
    function typed(parent, fields, button, closes) {
        for (const name in fields)
            typeText(find(parent, name), fields[name])
        click(find(parent, button))
        if (closes)
            tryVerify(() => !parent.visible, 5000, button + " closes it")
    }

    // The box `button` opens, its `field` starting with `before`; `text` typed there and `confirm` clicked.
    function edited(parent, button, boxName, field, before, text, confirm, closes) {
        const box = openedBy(parent, button, boxName)
        compare(find(box, field).text, before, field + " starts with the current text")
        typed(box, { [field]: text }, confirm, closes)
        return box
    }

    function startAndWait(device) {
        device.startScrcpySession()
        tryVerify(() => device.running && device.controller !== null, 20000, "the session runs")
    }

    // The entries a fleet log gains from now on (of that type when given), read anew at each call.
    function fleetLogFrom(path, type) {
        const seen = helper.fleetLog(path).length
        return () => helper.fleetLog(path).slice(seen).filter(entry => !type || entry.type === type)
    }

    function file(name, content) {
        const path = helper.temporaryFolder() + "/" + name
        verify(helper.writeFile(path, content))
        return path
    }
}
