import QtQuick

// Creates a dialog of the module the first time it is opened and keeps it. `source` names
// its file relative to src/qml ("dialogs/DeviceRenameDialog.qml"); a dialog that is not part
// of the build yet is left out without an error. created(dialog) lets the owner connect to
// the dialog's signals once.
Item {
    id: host

    property string source: ""
    // Given to the dialog when it is created (for its required properties).
    property var initialProperties: ({})
    property var dialog: null
    readonly property bool available: component !== null
    property var component: null

    signal created(var dialog)

    function load(properties) {
        if (dialog)
            return dialog
        if (!component) {
            const c = Qt.createComponent(Qt.resolvedUrl("../" + source))
            if (c.status !== Component.Ready) {
                console.log("Dialog not available:", source)
                return null
            }
            component = c
        }
        dialog = component.createObject(host, Object.assign({}, initialProperties, properties || {}))
        if (dialog)
            created(dialog)
        return dialog
    }

    // Sets the given properties on the dialog, then opens it.
    function open(properties) {
        const d = load(properties)
        if (!d)
            return null
        for (const key in properties)
            d[key] = properties[key]
        d.open()
        return d
    }

    function close() {
        if (dialog)
            dialog.close()
    }
}
