import QtQuick
import QtQuick.Layouts
import Parvix

// The strip above a phone's picture: its number and nickname, the host flag, start/stop,
// and on the tile also remove and enlarge.
Rectangle {
    id: root

    property Device device: null
    property int titleSize: 12
    property bool titleBold: false
    property bool showRemove: false
    property bool showEnlarge: false
    readonly property bool running: device !== null && device.running

    signal enlargeRequested

    height: 20
    radius: 4
    color: Theme.backgroundDarkGray

    component HeaderButton: Text {
        property string name: ""
        id: button
        signal activated
        Layout.preferredWidth: 15
        Layout.preferredHeight: 15
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        font.pixelSize: 12
        MouseArea {
            Accessible.role: Accessible.Button
            Accessible.name: button.name
            anchors.fill: parent
            cursorShape: Qt.PointingHandCursor
            onClicked: button.activated()
        }
    }

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 5
        anchors.rightMargin: 5
        spacing: 4

        Text {
            objectName: "title"
            Layout.fillWidth: true
            elide: Text.ElideRight
            color: Theme.textWhite
            font.pixelSize: root.titleSize
            font.bold: root.titleBold
            text: !root.device ? ""
                  : root.device.nickname !== "" ? (root.device.indexInGroup + 1) + " - " + root.device.nickname
                                                : String(root.device.indexInGroup + 1)
        }

        BatteryLabel {
            objectName: "battery"
            device: root.device
        }

        // The computer of a phone on another adb server, red while that server is away.
        Text {
            objectName: "hostLabel"
            readonly property string host: root.device ? AdbHostWatch.hostOf(root.device.adbConnectionSerial) : ""
            // Read through the property, so the binding follows its changes.
            readonly property bool away: host !== "" && AdbHostWatch.awayHosts.length > 0 && AdbHostWatch.isHostAway(host)
            visible: host !== ""
            text: away ? qsTr("%1 offline").arg(host) : host
            color: away ? Theme.textRed : Theme.textGray
            font.pixelSize: Theme.textFont
        }

        Icon {
            visible: root.device !== null && root.device.isHostDevice
            size: 15
            source: "qrc:/Parvix/src/icons/flag.svg"
            color: Theme.textRed
        }

        HeaderButton {
            objectName: "startStop"
            name: root.running ? qsTr("Stop") : qsTr("Start")
            text: root.running ? "■" : "▶"
            color: root.running ? Theme.textRed : Theme.textGreen
            onActivated: {
                if (!root.device)
                    return
                if (root.running)
                    root.device.stopScrcpySession()
                else
                    root.device.startScrcpySession()
            }
        }

        HeaderButton {
            objectName: "remove"
            name: qsTr("Remove")
            visible: root.showRemove
            text: "X"
            color: Theme.textRed
            onActivated: if (root.device) root.device.removeFromDeviceGroup()
        }

        Icon {
            objectName: "enlarge"
            visible: root.showEnlarge
            size: 13
            source: "qrc:/Parvix/src/icons/enlarge.svg"
            color: Theme.textYellow
            Layout.preferredWidth: 15
            Layout.preferredHeight: 15
            MouseArea {
                Accessible.role: Accessible.Button
                Accessible.name: qsTr("Enlarge")
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: root.enlargeRequested()
            }
        }
    }
}
