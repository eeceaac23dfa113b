pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Dialogs
import Parvix

// A file or folder dialog that hands back local paths instead of URLs: one path, or a list
// of paths when multiSelect is set. The dialog is created on first use, and only after the
// modules Qt's own dialog implementation loads are found: a missing one would take the
// process down on open(), so it is reported instead.
Item {
    id: picker

    property string title: qsTr("Select File")
    property var nameFilters: [qsTr("All files (*.*)")]
    property int fileMode: FileDialog.OpenFile
    property bool multiSelect: false
    property bool selectFolder: false
    property var fileSelectedCallback: null
    property var fileRejectedCallback: null
    // The imports of Qt's non-native dialog implementation.
    property string implementationImports: "import QtQuick; import QtQuick.Layouts; "
                                           + "import QtQuick.Dialogs.quickimpl; import Qt.labs.folderlistmodel; "
    // Empty while the dialogs can be used, else why they cannot.
    property string loadError: ""
    property bool checked: false
    property var fileDialog: null
    property var folderDialog: null

    // The alert that told the user why nothing opened.
    property FailureAlert shownFailure: null

    signal filePathConverted(url originalUrl, string convertedPath)
    signal fileAccepted(var path)
    signal fileRejected

    function checkImplementation(): bool {
        if (!checked) {
            checked = true
            try {
                Qt.createQmlObject(implementationImports + "QtObject {}", picker, "FilePickerCheck").destroy()
            } catch (error) {
                loadError = error.qmlErrors && error.qmlErrors.length > 0 ? error.qmlErrors[0].message
                                                                          : String(error)
            }
        }
        return loadError === ""
    }

    function dialog() {
        if (!checkImplementation()) {
            console.warn("File dialog unavailable:", loadError)
            shownFailure = failureAlert.createObject(picker, { reason: loadError })
            shownFailure.open()
            return null
        }
        if (selectFolder) {
            if (!folderDialog)
                folderDialog = folderComponent.createObject(picker)
            return folderDialog
        }
        if (!fileDialog)
            fileDialog = fileComponent.createObject(picker)
        return fileDialog
    }

    // false when no dialog could be shown (the user has been told).
    function open(): bool {
        const d = dialog()
        if (!d)
            return false
        d.open()
        return true
    }

    function close() {
        if (fileDialog)
            fileDialog.close()
        if (folderDialog)
            folderDialog.close()
    }

    // "file:///C:/x" becomes "C:/x" on Windows, "file:///x" becomes "/x" elsewhere.
    function toLocalPath(fileUrl) {
        let path = fileUrl.toString()
        if (path.startsWith("file://"))
            path = path.substring(7)
        if (Qt.platform.os === "windows" && path.startsWith("/"))
            path = path.substring(1)
        return decodeURIComponent(path)
    }

    function accept(urls) {
        const paths = []
        for (const url of urls) {
            const path = toLocalPath(url)
            filePathConverted(url, path)
            paths.push(path)
        }
        const result = multiSelect ? paths : (paths.length > 0 ? paths[0] : "")
        fileAccepted(result)
        const callback = fileSelectedCallback
        if (typeof callback === "function")
            callback(result)
    }

    function reject() {
        fileRejected()
        const callback = fileRejectedCallback
        if (typeof callback === "function")
            callback()
    }

    Component {
        id: failureAlert
        FailureAlert {}
    }

    Component {
        id: fileComponent
        FileDialog {
            id: files
            title: picker.title
            nameFilters: picker.nameFilters
            fileMode: picker.multiSelect ? FileDialog.OpenFiles : picker.fileMode
            onAccepted: picker.accept(picker.multiSelect ? files.selectedFiles : [files.selectedFile])
            onRejected: picker.reject()
        }
    }

    Component {
        id: folderComponent
        FolderDialog {
            id: folder
            title: picker.title
            onAccepted: picker.accept([folder.selectedFolder])
            onRejected: picker.reject()
        }
    }
}
