import QtQuick
import QtQuick.Dialogs

// A file dialog that hands back local paths instead of URLs: one path, or a list of
// paths when multiSelect is set.
Item {
    id: picker

    property string title: qsTr("Select File")
    property var nameFilters: [qsTr("All files (*.*)")]
    property int fileMode: FileDialog.OpenFile
    property bool multiSelect: false
    property var fileSelectedCallback: null
    property var fileRejectedCallback: null

    signal filePathConverted(url originalUrl, string convertedPath)
    signal fileAccepted(var path)
    signal fileRejected

    function open() {
        dialog.open()
    }

    function close() {
        dialog.close()
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

    FileDialog {
        id: dialog
        title: picker.title
        nameFilters: picker.nameFilters
        fileMode: picker.multiSelect ? FileDialog.OpenFiles : picker.fileMode
        onAccepted: picker.accept(picker.multiSelect ? selectedFiles : [selectedFile])
        onRejected: picker.reject()
    }
}
