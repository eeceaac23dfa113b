import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// Free-form adb commands for one phone or for every phone of a group. The commands run off the
// GUI thread; the output replaces the text when they are done.
PXDialog {
    id: root

    // At most one of the two is set.
    property Device device: null
    property DeviceGroup deviceGroup: null

    readonly property bool running: (device !== null && device.adbCommandRunning)
                                    || (deviceGroup !== null && deviceGroup.adbCommandRunning)
    readonly property string initialOutput: qsTr("Command output will be displayed here...")

    // The group's name, else the phone's nickname, else its serial.
    function titleFor(group: DeviceGroup, phone: Device): string {
        let name = ""
        if (group)
            name = group.name
        else if (phone)
            name = phone.nickname !== "" ? phone.nickname : phone.adbConnectionSerial
        return (name !== "" ? name : qsTr("Unknown")) + " - ADB"
    }

    // The first command adb did not know ("adb: unknown command X"), or "".
    readonly property string unknownCommand: {
        const found = /adb: unknown command (\S+)/.exec(outputArea.text)
        return found ? found[1] : ""
    }

    // Runs the commands adb did not know in the phone's shell instead.
    function useShell() {
        const word = unknownCommand
        inputArea.text = inputArea.text.split("\n").map(
            line => line.trim().split(/\s+/)[0] === word ? "shell " + line.trim() : line).join("\n")
    }

    function execute() {
        const input = inputArea.text
        if (input.trim() === "" || running)
            return
        if (device)
            device.executeADBCommandAsync(input)
        if (deviceGroup)
            deviceGroup.executeADBCommandAsync(input)
    }

    title: titleFor(deviceGroup, device)
    width: 500
    height: 550
    showCloseButton: false

    Connections {
        target: root.device
        function onAdbCommandFinished(output: string) {
            outputArea.text = output
        }
    }

    // The group as a plain object: the linter does not see that a list model is a QObject.
    readonly property var groupTarget: deviceGroup

    Connections {
        target: root.groupTarget
        function onAdbCommandFinished(output: string) {
            outputArea.text = output
        }
    }

    headerItems: [
        BusyIndicator {
            objectName: "busyIndicator"
            implicitWidth: 28
            implicitHeight: 28
            running: root.running
            visible: root.running
        }
    ]

    footerButtons: [
        PXButton {
            objectName: "clearButton"
            text: qsTr("Clear")
            onClicked: {
                outputArea.text = ""
                inputArea.text = ""
            }
        },
        PXButton {
            text: qsTr("Close")
            onClicked: root.close()
        },
        PXButton {
            objectName: "executeButton"
            text: qsTr("Execute")
            enabled: !root.running
            onClicked: root.execute()
        }
    ]

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 4
        spacing: 8

        Text {
            text: qsTr("Command Output")
            color: Theme.textGreen
            font.pixelSize: Theme.titleFont
            font.bold: true
        }

        ScrollView {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredHeight: 3
            contentWidth: availableWidth

            TextArea {
                id: outputArea
                objectName: "outputArea"
                readOnly: true
                selectByMouse: true
                wrapMode: TextEdit.Wrap
                text: root.initialOutput
                color: Theme.textWhite
                selectionColor: Theme.primaryDark
                font.pixelSize: Theme.contentFont
                font.family: "monospace"
                background: Rectangle {
                    color: Theme.backgroundPureBlack
                    radius: 4
                    border.width: 1
                    border.color: Theme.borderDarkGray
                }
            }
        }

        Text {
            text: qsTr("ADB Command")
            color: Theme.textGreen
            font.pixelSize: Theme.titleFont
            font.bold: true
        }

        RowLayout {
            objectName: "shellHint"
            Layout.fillWidth: true
            visible: root.unknownCommand !== ""
            spacing: 8

            Text {
                Layout.fillWidth: true
                text: qsTr("adb has no command \"%1\"; on the phone it runs as \"shell %1 ...\".")
                      .arg(root.unknownCommand)
                color: Theme.textRed
                font.pixelSize: Theme.contentFont
                wrapMode: Text.Wrap
            }

            PXButton {
                objectName: "useShellButton"
                text: qsTr("Use \"shell %1\"").arg(root.unknownCommand)
                onClicked: root.useShell()
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredHeight: 1
            spacing: 6

            // The fixed "adb" keeps the argument form visible while typing.
            Text {
                Layout.alignment: Qt.AlignTop
                topPadding: 6
                text: "adb"
                color: Theme.textGray
                font.pixelSize: Theme.contentFont
                font.family: "monospace"
            }

            ScrollView {
                Layout.fillWidth: true
                Layout.fillHeight: true
                contentWidth: availableWidth

                TextArea {
                    id: inputArea
                    objectName: "inputArea"
                    Accessible.name: qsTr("ADB Command")
                    selectByMouse: true
                    wrapMode: TextEdit.Wrap
                    placeholderText: qsTr("Enter ADB command, for example:") + "\nshell ls\nshell ps"
                    placeholderTextColor: Theme.textGray
                    color: Theme.textWhite
                    selectionColor: Theme.primaryDark
                    font.pixelSize: Theme.contentFont
                    background: Rectangle {
                        color: Theme.backgroundDarkGray
                        radius: 4
                        border.width: 1
                        border.color: inputArea.activeFocus ? Theme.borderDarkGreen : Theme.borderDarkGray
                    }
                }
            }
        }
    }
}
