pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// Language and the six data folders. Edits stay in the dialog until Save; a changed folder
// that cannot be created or written is reported then, and nothing is stored.
PXDialog {
    id: root

    // The edited values, loaded each time the dialog is about to show.
    property string editedLocale: ""
    property var folders: ({})
    // adb servers on other computers, one "host:port" a line; the local one is always used.
    property string editedServers: ""
    property bool editedAutoReconnect: true
    property bool editedResumeGroups: true

    // read/write: the AppConfig property that holds the folder.
    readonly property var folderRows: [
        { key: "videoSavePath", read: () => AppConfig.videoSavePath, write: path => { AppConfig.videoSavePath = path },
          label: qsTr("Video save path"),
          chooserTitle: qsTr("Select video save path") },
        { key: "screenshotSavePath", read: () => AppConfig.screenshotSavePath, write: path => { AppConfig.screenshotSavePath = path },
          label: qsTr("Screenshot save path"),
          chooserTitle: qsTr("Select screenshot save path") },
        { key: "keyMappingSavePath", read: () => AppConfig.keyMappingSavePath, write: path => { AppConfig.keyMappingSavePath = path },
          label: qsTr("KeyMapping save path"),
          chooserTitle: qsTr("Select KeyMapping save path") },
        { key: "commonPhraseSavePath", read: () => AppConfig.commonPhraseSavePath, write: path => { AppConfig.commonPhraseSavePath = path },
          label: qsTr("Common Phrase save path"),
          chooserTitle: qsTr("Select Common Phrase save path") },
        { key: "deviceNicknameSavePath", read: () => AppConfig.deviceNicknameSavePath, write: path => { AppConfig.deviceNicknameSavePath = path },
          label: qsTr("Device Nickname save path"),
          chooserTitle: qsTr("Select Device Nickname save path") },
        { key: "deviceGroupSavePath", read: () => AppConfig.deviceGroupSavePath, write: path => { AppConfig.deviceGroupSavePath = path },
          label: qsTr("Device Group save path"),
          chooserTitle: qsTr("Select Device Group save path") }
    ]

    title: qsTr("Application Settings")
    width: 600
    height: 550
    showCloseButton: false

    // Each language is named in its own script; the catalogue chosen at start-up is the one
    // named, so any other locale runs in English.
    function languageLabel(value: string): string {
        if (value.indexOf("CN") >= 0)
            return "简体中文"
        if (value.indexOf("TW") >= 0)
            return "繁體中文"
        return "English"
    }

    function setFolder(key: string, path: string) {
        const copy = Object.assign({}, folders)
        copy[key] = path
        folders = copy
    }

    function load() {
        editedLocale = AppConfig.locale
        editedAutoReconnect = AppConfig.autoReconnect
        editedResumeGroups = AppConfig.resumeStreamingGroups
        const loaded = {}
        for (const row of folderRows)
            loaded[row.key] = row.read()
        folders = loaded
        editedServers = AppConfig.adbServers.slice(1).join("\n")
    }

    function serverLines(): list<string> {
        return editedServers.split("\n").map(line => line.trim()).filter(line => line !== "")
    }

    // "label: reason" lines for the changed folders that cannot be used.
    function folderProblems(): list<string> {
        const problems = []
        for (const row of folderRows) {
            const path = folders[row.key]
            if (path === row.read())
                continue
            const problem = AppConfig.folderProblem(path)
            if (problem !== "")
                problems.push(row.label + ": " + problem)
        }
        return problems
    }

    function save(): bool {
        const problems = folderProblems()
        for (const line of serverLines()) {
            if (!AppConfig.isAdbServerEntry(line))
                problems.push(qsTr("Not an adb server address (host:port): %1").arg(line))
        }
        if (problems.length > 0) {
            errorAlert.alertMessage = problems.join("<br/>")
            errorAlert.open()
            return false
        }
        AppConfig.locale = editedLocale
        AppConfig.autoReconnect = editedAutoReconnect
        AppConfig.resumeStreamingGroups = editedResumeGroups
        for (const row of folderRows)
            row.write(folders[row.key])
        AppConfig.adbServers = serverLines()
        AppConfig.sync()
        close()
        restartAlert.open()
        return true
    }

    onAboutToShow: load()

    footerButtons: [
        PXButton {
            objectName: "cancelButton"
            text: qsTr("Cancel")
            onClicked: root.close()
        },
        PXButton {
            objectName: "saveButton"
            text: qsTr("Save")
            onClicked: root.save()
        }
    ]

    ScrollView {
        anchors.fill: parent
        anchors.margins: 4
        contentWidth: availableWidth
        clip: true

        ColumnLayout {
            width: parent.width
            spacing: 10

            RowLayout {
                Layout.fillWidth: true
                spacing: 10

                Text {
                    Layout.fillWidth: true
                    text: qsTr("Language")
                    color: Theme.textWhite
                    font.pixelSize: Theme.titleFont
                }

                MenuButton {
                    objectName: "languageButton"
                    Layout.preferredWidth: 120
                    alignRight: true
                    text: root.languageLabel(root.editedLocale)
                    menuItems: [
                        { label: "简体中文", action: () => root.editedLocale = "zh_CN" },
                        { label: "繁體中文", action: () => root.editedLocale = "zh_TW" },
                        { label: "English", action: () => root.editedLocale = "en_US" }
                    ]
                }
            }

            Text {
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                text: qsTr("adb servers on other computers (host:port, one a line); the local server is always used")
                color: Theme.textWhite
                font.pixelSize: Theme.contentFont
            }

            TextArea {
                objectName: "adbServersField"
                Layout.fillWidth: true
                Layout.preferredHeight: 70
                text: root.editedServers
                placeholderText: "192.168.1.20:5037"
                placeholderTextColor: Theme.textGray
                color: Theme.textWhite
                onTextChanged: root.editedServers = text
                background: Rectangle {
                    color: Theme.backgroundDarkGray
                    border.color: Theme.borderDarkGray
                }
            }

            Repeater {
                model: [
                    { key: "autoReconnect", label: qsTr("Reconnect phones that drop while mirroring") },
                    { key: "resumeGroups", label: qsTr("Resume the groups that were mirroring at start-up") }
                ]

                delegate: RowLayout {
                    id: switchRow
                    objectName: "switchRow"
                    required property var modelData
                    readonly property bool on: modelData.key === "autoReconnect" ? root.editedAutoReconnect
                                                                                 : root.editedResumeGroups
                    Layout.fillWidth: true
                    spacing: 10

                    PXCheckBox {
                        objectName: "switchBox"
                        checked: switchRow.on
                        onClicked: {
                            if (switchRow.modelData.key === "autoReconnect")
                                root.editedAutoReconnect = !root.editedAutoReconnect
                            else
                                root.editedResumeGroups = !root.editedResumeGroups
                        }
                    }

                    Text {
                        Layout.fillWidth: true
                        text: switchRow.modelData.label
                        color: Theme.textWhite
                        font.pixelSize: Theme.contentFont
                        wrapMode: Text.Wrap
                    }
                }
            }

            Repeater {
                model: root.folderRows

                delegate: ColumnLayout {
                    id: folderRow
                    objectName: "folderRow"
                    required property var modelData
                    readonly property alias field: pathField

                    Layout.fillWidth: true
                    spacing: 6

                    Rectangle {
                        Layout.fillWidth: true
                        Layout.preferredHeight: 1
                        color: Theme.borderDarkGray
                    }

                    Text {
                        text: folderRow.modelData.label
                        color: Theme.textWhite
                        font.pixelSize: Theme.contentFont
                    }

                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 8

                        PXTextField {
                            id: pathField
                            objectName: "pathField"
                            text: root.folders[folderRow.modelData.key] || ""
                            onTextEdited: root.setFolder(folderRow.modelData.key, text)
                        }

                        PXButton {
                            objectName: "browseButton"
                            text: qsTr("Browse...")
                            onClicked: {
                                const key = folderRow.modelData.key
                                folderChooser.title = folderRow.modelData.chooserTitle
                                folderChooser.fileSelectedCallback = path => root.setFolder(key, path)
                                folderChooser.open()
                            }
                        }
                    }
                }
            }
        }
    }

    FilePicker {
        id: folderChooser
        objectName: "folderChooser"
        selectFolder: true
    }

    PXAlert {
        id: errorAlert
        objectName: "folderErrorAlert"
        parent: Overlay.overlay
        height: 220
        alertTitle: qsTr("Error")
        titleColor: Theme.textRed
        buttonText: qsTr("OK")
    }

    PXAlert {
        id: restartAlert
        objectName: "restartAlert"
        parent: Overlay.overlay
        alertTitle: qsTr("Success")
        alertMessage: qsTr("Please restart the application to apply the changes.")
        buttonText: qsTr("OK")
    }
}
