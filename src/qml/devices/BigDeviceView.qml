pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import Parvix

// One phone enlarged in a window of its own. While it is open the device streams with its
// big-view parameters and its tile shows "On Big Screen"; closing it switches back.
Window {
    id: root

    required property Device device
    property real aspectRatio: 16 / 9
    property bool showControlButtons: true
    property bool stayOnTop: true
    property bool isLandscape: false
    property int bigViewWidth: 960
    property int controlButtonsWidth: Theme.controlButtonsWidth

    readonly property bool running: device !== null && device.running
    readonly property real ratio: isLandscape ? 1 / aspectRatio : aspectRatio
    readonly property real currentFps: video.fps

    title: qsTr("Big Screen")
    flags: Qt.Window | Qt.WindowTitleHint | Qt.WindowCloseButtonHint | Qt.WindowMinimizeButtonHint
           | (stayOnTop ? Qt.WindowStaysOnTopHint : 0)
    color: Theme.backgroundDarkGray
    // Shrunk to fit the screen's free height; the picture keeps its shape inside.
    readonly property real fit: Math.min(1, Math.max(200, Screen.desktopAvailableHeight - 95)
                                            / (bigViewWidth * ratio))
    width: Math.round(bigViewWidth * fit) + (showControlButtons ? controlButtonsWidth + 20 : 20)
    height: Math.round(bigViewWidth * ratio * fit) + 55
    visible: true

    // The switch back is deferred: it destroys this window.
    onClosing: {
        const device = root.device
        Qt.callLater(() => {
            if (device)
                device.setIsBigView(false)
        })
    }

    Rectangle {
        id: frame
        anchors.fill: parent
        anchors.margins: 8
        radius: 8
        color: "transparent"
        border.width: 2
        border.color: root.running ? Theme.borderDarkGreen : Theme.borderDarkGray

        Column {
            id: content
            anchors.fill: parent
            anchors.margins: 5
            spacing: 5

            DeviceHeader {
                width: content.width
                device: root.device
                titleSize: 14
                titleBold: true
            }

            Row {
                id: body
                width: content.width - (root.showControlButtons ? 3 : 0)
                height: content.height - 25
                spacing: 3

                Rectangle {
                    id: videoContainer
                    width: body.width - (root.showControlButtons ? root.controlButtonsWidth + body.spacing : 0)
                    height: body.height
                    color: "black"

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
                        visible: root.running

                        DeviceInputArea {
                            objectName: "input"
                            anchors.fill: parent
                            device: root.device
                            verboseLog: false
                            enabled: !coordinates.visible
                        }

                        ScreenCoordinateDisplayer {
                            id: coordinates
                            objectName: "coordinates"
                            anchors.fill: parent
                        }
                    }

                    StatusBox {
                        visible: !root.running
                        text: qsTr("Click To Start")
                        onClicked: if (root.device) root.device.startScrcpySession()
                    }

                    BusyIndicator {
                        anchors.centerIn: parent
                        running: root.running && root.currentFps <= 0
                        visible: running
                    }

                    FpsBox {
                        anchors.top: parent.top
                        anchors.right: parent.right
                        anchors.margins: 5
                        width: 60
                        height: 24
                        radius: 4
                        textSize: 12
                        visible: root.running && root.currentFps > 0
                        fps: root.currentFps
                    }
                }

                ControlButtons {
                    visible: root.showControlButtons
                    width: root.controlButtonsWidth
                    height: body.height
                    device: root.device
                    isBigWindow: true
                    frameSize: Qt.size(0, 0)
                    onToggleScreenCoordinateDisplayer: coordinates.toggle()
                    onOpenKeyMappingProfilePicker: profilePicker.open({ device: root.device })
                    onOpenPhraseSelectionDialog: phrasePicker.open({ phraseManager: CommonPhraseManager })
                }
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
