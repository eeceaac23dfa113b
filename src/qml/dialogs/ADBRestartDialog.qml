import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// Restarts the adb server off the GUI thread and shows how it went.
PXDialog {
    id: root

    required property DeviceGroupManager deviceGroupManager

    readonly property bool restarting: deviceGroupManager ? deviceGroupManager.restartingADBServer
                                                         : false
    // This dialog asked for the restart that is running.
    property bool waiting: false
    property bool hasResult: false
    property bool succeeded: false

    title: qsTr("Restart ADB Server")
    width: 520
    height: 250

    function restart() {
        if (hasResult) {
            close()
            return
        }
        waiting = true
        deviceGroupManager.restartADBServerAsync()
    }

    onAboutToShow: {
        hasResult = false
        succeeded = false
    }

    Connections {
        target: root.deviceGroupManager
        enabled: root.waiting
        function onAdbServerRestartFinished(success: bool) {
            root.waiting = false
            root.succeeded = success
            root.hasResult = true
        }
    }

    headerItems: [
        BusyIndicator {
            objectName: "busyIndicator"
            implicitWidth: 28
            implicitHeight: 28
            running: root.restarting
            visible: root.restarting
            palette.text: Theme.textGreen // Fusion draws it in the text colour: dark on dark
        }
    ]

    footerButtons: [
        PXButton {
            objectName: "cancelButton"
            text: qsTr("Cancel")
            visible: !root.restarting && !root.hasResult
            onClicked: root.close()
        },
        PXButton {
            objectName: "restartButton"
            text: root.hasResult ? qsTr("Close") : qsTr("Restart ADB Server")
            borderColor: root.hasResult ? Theme.borderDarkGreen : Theme.textRed
            enabled: !root.restarting
            onClicked: root.restart()
        }
    ]

    RowLayout {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 16

        Icon {
            objectName: "stateIcon"
            Layout.alignment: Qt.AlignVCenter
            size: root.hasResult ? 48 : 28
            source: !root.hasResult ? "qrc:/Parvix/src/icons/alert-triangle.svg"
                    : root.succeeded ? "qrc:/Parvix/src/icons/check-circle.svg"
                                     : "qrc:/Parvix/src/icons/x-circle.svg"
            color: !root.hasResult ? Theme.textYellow
                   : root.succeeded ? Theme.textGreen : Theme.textRed
        }

        Text {
            objectName: "stateText"
            Layout.fillWidth: true
            text: !root.hasResult ? qsTr("Restarting ADB will disconnect all connected devices.")
                  : root.succeeded ? qsTr("ADB server restarted successfully")
                                   : qsTr("Failed to restart ADB server")
            color: Theme.textWhite
            font.pixelSize: Theme.titleFont
            wrapMode: Text.Wrap
        }
    }
}
