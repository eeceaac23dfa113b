pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// The main window: the current group's phones as live tiles. Scanning adds every
// phone adb sees to the current group.
ApplicationWindow {
    id: root
    width: 1480
    height: 800
    visible: true
    title: qsTr("Vodav Evodo")
    color: Theme.backgroundBlack

    property bool addAfterScan: false
    readonly property var currentGroup: deviceGroupManager.currentSelectedGroup

    DeviceGroupManager {
        id: deviceGroupManager
        onIsScanningChanged: {
            if (!isScanning && root.addAfterScan && root.currentGroup) {
                root.addAfterScan = false
                root.currentGroup.addDevices(availableDeviceInfos)
            }
        }
    }

    function scanAndAdd() {
        addAfterScan = true
        deviceGroupManager.scanDevices()
    }

    header: Rectangle {
        height: 44
        color: "#222222"
        RowLayout {
            anchors.fill: parent
            anchors.margins: 8
            spacing: 8
            Label {
                text: qsTr("Parvix Multi-Phones Control")
                color: Theme.textGreen
                font.pixelSize: 16
                Layout.alignment: Qt.AlignVCenter
            }
            Label {
                text: root.currentGroup ? root.currentGroup.name + "  (" + root.currentGroup.deviceCount + ")" : ""
                color: Theme.textGray
                font.pixelSize: Theme.contentFont
            }
            Item { Layout.fillWidth: true }
            Button {
                text: qsTr("Scan Devices")
                enabled: !deviceGroupManager.isScanning
                onClicked: root.scanAndAdd()
            }
            Button {
                text: qsTr("Start All")
                enabled: root.currentGroup !== null && root.currentGroup.deviceCount > 0
                onClicked: root.currentGroup.startAllDevices()
            }
            Button {
                text: qsTr("Stop All")
                enabled: root.currentGroup !== null && root.currentGroup.deviceCount > 0
                onClicked: root.currentGroup.stopAllDevices()
            }
        }
    }

    Button {
        anchors.centerIn: parent
        padding: 20
        visible: !root.currentGroup || root.currentGroup.deviceCount === 0
        text: qsTr("No Devices In This Group, Click To Scan")
        onClicked: root.scanAndAdd()
    }

    GridView {
        id: grid
        anchors.fill: parent
        anchors.margins: 10
        clip: true
        visible: root.currentGroup !== null && root.currentGroup.deviceCount > 0
        model: root.currentGroup
        cellWidth: root.currentGroup ? root.currentGroup.cellWidth : 220
        cellHeight: 20 + (cellWidth - 10) * 16 / 9 + 10
        cacheBuffer: 2 * cellHeight

        delegate: Rectangle {
            id: tile
            required property var device
            width: (root.currentGroup ? root.currentGroup.cellWidth : 220) - 10
            height: 20 + (width) * 16 / 9 + 10 - 10
            radius: 8
            color: Theme.backgroundDarkGray
            border.width: 2
            border.color: device && device.running ? Theme.borderDarkGreen : Theme.borderDarkGray

            property string message: ""
            property string messageType: ""

            Connections {
                target: tile.device
                function onDeviceMessage(message, type, timeout) {
                    tile.message = message
                    tile.messageType = type
                    messageTimer.interval = timeout
                    messageTimer.restart()
                }
            }
            Timer {
                id: messageTimer
                onTriggered: tile.message = ""
            }

            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 5
                spacing: 5
                RowLayout {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 20
                    Label {
                        Layout.fillWidth: true
                        elide: Text.ElideRight
                        color: Theme.textWhite
                        font.pixelSize: 12
                        text: tile.device ? (tile.device.indexInGroup + 1)
                                            + (tile.device.nickname ? " - " + tile.device.nickname : "") : ""
                    }
                    Label {
                        text: tile.device && tile.device.running ? "■" : "▶"
                        color: tile.device && tile.device.running ? Theme.textRed : Theme.textGreen
                        MouseArea {
                            anchors.fill: parent
                            onClicked: tile.device.running ? tile.device.stopScrcpySession()
                                                           : tile.device.startScrcpySession()
                        }
                    }
                }
                Rectangle {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    color: "black"
                    YuvFboItem {
                        id: video
                        anchors.fill: parent
                        anchors.margins: 1
                        // Frames go from the decoder to the item without passing through QML.
                        feed: tile.device ? tile.device.videoFeed : null
                        visible: tile.device !== null && tile.device.running
                        focus: true
                        MouseArea {
                            id: input
                            anchors.fill: parent
                            acceptedButtons: Qt.LeftButton | Qt.RightButton | Qt.MiddleButton
                            preventStealing: true
                            property bool isDragging: false
                            property double lastMoveTime: 0
                            function forward(type, mouse) {
                                if (tile.device && tile.device.running && tile.device.controller)
                                    tile.device.controller.handleMouseEvent(type, mouse.x, mouse.y,
                                                                            mouse.button, mouse.buttons)
                            }
                            onPressed: mouse => { video.forceActiveFocus(); isDragging = true; forward(2, mouse) }
                            onReleased: mouse => { isDragging = false; forward(3, mouse) }
                            onCanceled: isDragging = false
                            onPositionChanged: mouse => {
                                const now = Date.now()
                                if (isDragging && now - lastMoveTime > 16) {
                                    lastMoveTime = now
                                    forward(5, mouse)
                                }
                            }
                        }
                        Keys.onPressed: event => {
                            if (tile.device && tile.device.running && tile.device.controller)
                                tile.device.controller.handleKeyEvent(6, event.key, event.modifiers, event.text)
                        }
                        Keys.onReleased: event => {
                            if (tile.device && tile.device.running && tile.device.controller)
                                tile.device.controller.handleKeyEvent(7, event.key, event.modifiers, event.text)
                        }
                    }
                    Rectangle {
                        anchors.centerIn: parent
                        width: Math.min(parent.width - 20, 200)
                        height: 60
                        radius: 4
                        color: Theme.backgroundBlackGreen
                        visible: !tile.device || !tile.device.running
                        Label {
                            anchors.centerIn: parent
                            text: qsTr("Click To Start")
                            color: Theme.textGray
                            font.pixelSize: 10
                        }
                        MouseArea {
                            anchors.fill: parent
                            onClicked: if (tile.device) tile.device.startScrcpySession()
                        }
                    }
                    Rectangle {
                        anchors.centerIn: parent
                        width: Math.min(parent.width - 20, 200)
                        height: 60
                        radius: 4
                        visible: tile.message !== ""
                        color: tile.messageType === "error" ? Theme.error
                             : tile.messageType === "success" ? Theme.success
                             : tile.messageType === "info" ? Theme.info : Theme.backgroundBlackGreen
                        Label {
                            anchors.fill: parent
                            anchors.margins: 4
                            text: tile.message
                            color: "white"
                            font.pixelSize: 12
                            wrapMode: Text.Wrap
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                        }
                    }
                }
            }
        }
    }
}
