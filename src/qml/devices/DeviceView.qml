pragma ComponentBehavior: Bound
import QtQuick
import Parvix

// One phone's tile in the grid: header, live picture with input, overlays and, beside the
// picture, the control buttons. The picture reaches the video item without passing through
// QML: the item takes frames from the device's feed while it is visible.
Rectangle {
    id: root

    required property Device device
    property bool isLandscape: false
    property bool showControlButtons: true
    property int controlButtonsWidth: Theme.controlButtonsWidth
    property real aspectRatio: 16 / 9
    property color backgroundColor: Theme.backgroundDarkGray

    readonly property string deviceKey: device ? device.adbConnectionSerial : ""
    readonly property bool running: device !== null && device.running
    readonly property bool enlarged: device !== null && device.isBigView
    readonly property real currentFps: video.fps

    property string message: ""
    property string messageType: ""

    // Asks for the enlarged view; the window itself belongs to the grid.
    function enlarge() {
        if (device)
            device.setIsBigView(true)
    }

    function showMessage(text, type, timeout) {
        message = text
        messageType = type
        messageTimer.interval = timeout
        messageTimer.restart()
    }

    function dismissMessage() {
        messageTimer.stop()
        message = ""
    }

    radius: 8
    color: backgroundColor
    border.width: 2
    border.color: running ? Theme.borderDarkGreen : Theme.borderDarkGray

    Component.onCompleted: console.log("DeviceView created for device:", deviceKey)
    Component.onDestruction: console.log("DeviceView destroyed for device:", deviceKey)

    onDeviceChanged: if (device) device.setTileSize(videoContainer.tilePixels)

    // A reused tile starts clean for its new phone.
    GridView.onReused: dismissMessage()

    Connections {
        target: root.device
        function onDeviceMessage(message: string, type: string, timeout: int) {
            root.showMessage(message, type, timeout)
        }
    }

    Timer {
        id: messageTimer
        onTriggered: root.message = ""
    }

    Column {
        id: content
        anchors.fill: parent
        anchors.margins: 5
        spacing: 5

        DeviceHeader {
            width: content.width
            device: root.device
            showEnlarge: !root.enlarged
            showRemove: true
            onEnlargeRequested: root.enlarge()
        }

        Row {
            id: body
            width: content.width
            height: content.height - 25
            spacing: root.showControlButtons ? 3 : 0

            Rectangle {
                id: videoContainer
                width: body.width - (root.showControlButtons ? root.controlButtonsWidth + body.spacing : 0)
                height: body.height
                color: "black"

                // Streams sized to their tiles need the tile in device pixels.
                readonly property size tilePixels: Qt.size(width * Screen.devicePixelRatio,
                                                           height * Screen.devicePixelRatio)
                onTilePixelsChanged: if (root.device) root.device.setTileSize(tilePixels)

                YuvVideoItem {
                    id: video
                    objectName: "video"
                    // The phone's picture keeps its shape inside the box (the box's own before the first
                    // frame); input positions are relative to this rectangle.
                    readonly property real boxWidth: Math.max(0, parent.width - 2)
                    readonly property real boxHeight: Math.max(0, parent.height - 2)
                    readonly property real frameWidth: root.device ? root.device.frameSize.width : -1
                    readonly property real frameHeight: root.device ? root.device.frameSize.height : -1
                    readonly property real shape: frameWidth > 0 && frameHeight > 0 ? frameWidth / frameHeight
                                                                                  : boxWidth / Math.max(1, boxHeight)
                    anchors.centerIn: parent
                    width: Math.min(boxWidth, boxHeight * shape)
                    height: shape > 0 ? width / shape : 0
                    feed: root.device ? root.device.videoFeed : null
                    visible: root.running && !root.enlarged

                    Component.onCompleted: console.log("YuvVideoItem created for device:", root.deviceKey)
                    Component.onDestruction: console.log("YuvVideoItem destroyed for device:", root.deviceKey)

                    DeviceInputArea {
                        id: input
                        objectName: "input"
                        anchors.fill: parent
                        device: root.device
                        enabled: !coordinates.visible
                    }

                    ScreenCoordinateDisplayer {
                        id: coordinates
                        objectName: "coordinates"
                        anchors.fill: parent
                    }
                }

                StatusBox {
                    id: clickToStart
                    objectName: "clickToStart"
                    visible: !root.running
                    text: !root.device ? qsTr("Click To Start")
                          : root.device.link.reconnecting
                            ? qsTr("Reconnecting…") + (root.device.link.stateText !== ""
                                                       ? "\n" + root.device.link.stateText : "")
                          : root.device.link.stateText !== "" ? root.device.link.stateText
                          : qsTr("Click To Start")
                    onClicked: if (root.device) root.device.startScrcpySession()
                }

                // A phone that may never come back must not keep its tile waiting for it.
                PXButton {
                    objectName: "stopReconnecting"
                    anchors.top: clickToStart.bottom
                    anchors.topMargin: 6
                    anchors.horizontalCenter: parent.horizontalCenter
                    visible: !root.running && (root.device?.link.reconnecting ?? false)
                    height: 22
                    minWidth: 60
                    textSize: 10
                    text: qsTr("Stop Reconnecting")
                    onClicked: root.device?.stopScrcpySession()
                }

                StatusBox {
                    objectName: "onBigScreen"
                    visible: root.enlarged
                    text: qsTr("On Big Screen")
                    textSize: 12
                }

                MessageBox {
                    objectName: "messageBox"
                    message: root.message
                    type: root.messageType
                    onDismissed: root.dismissMessage()
                }

                FpsBox {
                    objectName: "fpsBox"
                    anchors.top: parent.top
                    anchors.right: parent.right
                    anchors.margins: 5
                    visible: root.running && !root.enlarged && root.currentFps > 0
                    fps: root.currentFps
                }

                // The picture fell behind the phone and skips ahead to the phone's next key frame.
                Rectangle {
                    objectName: "catchingUp"
                    anchors.top: parent.top
                    anchors.left: parent.left
                    anchors.margins: 5
                    width: catchingUpText.implicitWidth + 10
                    height: 20
                    radius: 3
                    color: Theme.fpsFill
                    visible: root.running && !root.enlarged && root.device.catchingUp

                    Text {
                        id: catchingUpText
                        anchors.centerIn: parent
                        text: qsTr("Catching up")
                        color: Theme.textYellow
                        font.pixelSize: 10
                        font.bold: true
                    }
                }
            }

            ControlButtons {
                visible: root.showControlButtons
                width: root.controlButtonsWidth
                height: body.height
                device: root.device
                frameSize: Qt.size(0, 0)
                onToggleScreenCoordinateDisplayer: coordinates.toggle()
                onOpenKeyMappingProfilePicker: profilePicker.open({ device: root.device })
                onOpenPhraseSelectionDialog: phrasePicker.open({ phraseManager: CommonPhraseManager })
            }
        }
    }

    DialogHost {
        id: profilePicker
        sourceComponent: Component { KeyMapProfilePicker {} }
    }

    DialogHost {
        id: phrasePicker
        sourceComponent: Component { PhraseSelectionDialog {} }
        onCreated: dialog => dialog.phraseSelected.connect(text => {
            if (root.device && root.device.controller)
                root.device.controller.actionInputText(text)
        })
    }
}
