import QtQuick

// Creates a dialog of the module the first time it is opened and keeps it. `source` names
// its file relative to src/qml ("dialogs/DeviceRenameDialog.qml"). A dialog that cannot be
// loaded or created is reported to the user and the application goes on. created(dialog)
// lets the owner connect to the dialog's signals once.
Item {
    id: host

    property string source: ""
    // Given to the dialog when it is created (for its required properties).
    property var initialProperties: ({})
    property var dialog: null
    readonly property bool available: component !== null
    property var component: null

    // The alert that told the user why nothing opened.
    property FailureAlert shownFailure: null

    signal created(var dialog)

    function load(properties) {
        if (dialog)
            return dialog
        if (!component) {
            const c = Qt.createComponent(Qt.resolvedUrl("../" + source))
            if (c.status !== Component.Ready) {
                report(c.errorString())
                return null
            }
            component = c
        }
        dialog = component.createObject(host, Object.assign({}, initialProperties, properties || {}))
        if (!dialog) {
            report(component.errorString() || source)
            return null
        }
        created(dialog)
        return dialog
    }

    function report(reason: string) {
        console.warn("Dialog not available:", source, reason)
        shownFailure = failureAlert.createObject(host, { reason: reason })
        shownFailure.open()
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

    Component {
        id: failureAlert
        FailureAlert {}
    }
}
