import QtQuick

// Creates a dialog the first time it is opened and keeps it. `sourceComponent` declares it
// (`Component { DeviceRenameDialog {} }`). A dialog that cannot be created is reported to the
// user and the application goes on. created(dialog) lets the owner connect to the dialog's
// signals once.
Item {
    id: host

    property Component sourceComponent: null
    // Given to the dialog when it is created (for its required properties).
    property var initialProperties: ({})
    property var dialog: null
    readonly property bool available: sourceComponent !== null

    // The alert that told the user why nothing opened.
    property FailureAlert shownFailure: null

    signal created(var dialog)

    function load(properties) {
        if (dialog)
            return dialog
        if (!sourceComponent) {
            console.warn("DialogHost without a sourceComponent")
            return null
        }
        dialog = sourceComponent.createObject(host, Object.assign({}, initialProperties, properties || {}))
        if (!dialog) {
            report(sourceComponent.errorString())
            return null
        }
        created(dialog)
        return dialog
    }

    function report(reason: string) {
        console.warn("Dialog not available:", reason)
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
