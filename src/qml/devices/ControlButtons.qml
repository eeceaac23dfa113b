pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import Parvix

// The column of per-phone actions beside a phone's picture, scrolling when the view is too
// short for all of them. Without a device every button does nothing.
Flickable {
    id: root

    property Device device: null
    property size frameSize: Qt.size(0, 0)
    property bool isBigWindow: false

    signal toggleScreenCoordinateDisplayer
    signal openKeyMappingProfilePicker
    signal openPhraseSelectionDialog

    readonly property int buttonHeight: 24
    readonly property int buttonWidth: width - 7
    readonly property bool recording: device !== null && device.videoRecorder !== null
                                      && device.videoRecorder.isRecording
    readonly property bool autojsRunning: device !== null && device.autojs !== null
                                          && device.autojs.isRunning
    readonly property var keyMappingProfile: device ? device.currentKeyMappingProfile : null

    readonly property list<string> uploadFilters: ["所有文件 (*.*)", "文本文件 (*.txt)",
        "图片文件 (*.jpg *.jpeg *.png *.gif *.bmp)"]

    clip: true
    contentWidth: width
    contentHeight: column.height
    flickableDirection: Flickable.VerticalFlick
    boundsBehavior: Flickable.StopAtBounds

    // A bright handle on a visible track: most tiles are too short for all the buttons.
    ScrollBar.vertical: ScrollBar {
        policy: ScrollBar.AlwaysOn
        width: 4
        padding: 0
        minimumSize: 0.1
        contentItem: Rectangle {
            implicitWidth: 4
            radius: 2
            color: Theme.primary
        }
        background: Rectangle {
            implicitWidth: 4
            radius: 2
            color: Theme.borderDarkGray
        }
    }

    // A phone's power cannot be switched on again from here: asked first, by the phone's name.
    property PXAlert confirmation: null

    function confirmShutdown(device: Device) {
        confirmation = shutdownConfirm.createObject(root, {
            alertMessage: qsTr("Power off %1? It cannot be switched on again from this computer.")
                          .arg(device.nickname !== "" ? device.nickname : device.adbConnectionSerial)
        })
        confirmation.accepted.connect(() => {
            if (device.controller)
                device.controller.actionShutdown()
        })
        confirmation.open()
    }

    Component {
        id: shutdownConfirm
        PXAlert {
            parent: Overlay.overlay
            width: 380
            height: implicitHeight
            alertTitle: qsTr("Power Off")
            titleColor: Theme.textRed
            borderColor: Theme.error
            buttonText: qsTr("Power Off")
            cancelText: qsTr("Cancel")
            onClosed: destroy()
        }
    }

    // Runs a phone action on the phone's controller, only while the phone streams.
    function press(action) {
        if (root.device && root.device.controller)
            action(root.device.controller)
    }

    // Runs the action only when a device is set.
    function act(action) {
        if (root.device)
            action(root.device)
    }

    function pickFile(title, filters, callback) {
        picker.title = title
        picker.nameFilters = filters
        picker.fileSelectedCallback = callback
        picker.open()
    }

    component ControlButton: Rectangle {
        id: button

        property string tip: ""
        property url iconSource
        property color iconColor: Theme.textGreen
        property string face: ""
        property color faceColor: Theme.textGreen
        property int faceSize: 10

        signal activated

        width: root.buttonWidth
        height: root.buttonHeight
        radius: 3
        color: area.pressed ? Theme.backgroundBlackGreen
                            : area.containsMouse ? Theme.backgroundDarkGray : "transparent"

        Icon {
            visible: button.face === ""
            anchors.centerIn: parent
            size: Math.round(button.height * 0.6)
            source: button.iconSource
            color: button.iconColor
        }

        Text {
            visible: button.face !== ""
            anchors.centerIn: parent
            text: button.face
            color: button.faceColor
            font.pixelSize: button.faceSize
            font.bold: true
        }

        MouseArea {
            id: area
            Accessible.role: Accessible.Button
            Accessible.name: button.tip
            anchors.fill: parent
            hoverEnabled: true
            onClicked: button.activated()
            onContainsMouseChanged: root.hoverButton(button, containsMouse)
        }

    }

    Column {
        id: column
        x: 2
        width: root.buttonWidth
        spacing: Math.max(1, Math.min(4, Math.max(100, root.parent ? root.parent.height : 0) / 45))

        ControlButton {
            tip: qsTr("Home")
            iconSource: "qrc:/Parvix/src/icons/home.svg"
            onActivated: root.press(c => c.actionHome())
        }
        ControlButton {
            tip: qsTr("Task List")
            iconSource: "qrc:/Parvix/src/icons/task.svg"
            onActivated: root.press(c => c.actionShowTaskList())
        }
        ControlButton {
            tip: qsTr("Back")
            iconSource: "qrc:/Parvix/src/icons/back.svg"
            onActivated: root.press(c => c.actionBack())
        }
        ControlButton {
            tip: qsTr("Swipe Up")
            iconSource: "qrc:/Parvix/src/icons/swipe-up.svg"
            onActivated: root.press(c => c.actionSwipeUp())
        }
        ControlButton {
            tip: qsTr("Swipe Down")
            iconSource: "qrc:/Parvix/src/icons/swipe-down.svg"
            onActivated: root.press(c => c.actionSwipeDown())
        }
        ControlButton {
            tip: qsTr("Swipe Left")
            iconSource: "qrc:/Parvix/src/icons/swipe-left.svg"
            onActivated: root.press(c => c.actionSwipeLeft())
        }
        ControlButton {
            tip: qsTr("Swipe Right")
            iconSource: "qrc:/Parvix/src/icons/swipe-right.svg"
            onActivated: root.press(c => c.actionSwipeRight())
        }
        ControlButton {
            tip: qsTr("Rotate Screen")
            iconSource: "qrc:/Parvix/src/icons/rotate.svg"
            onActivated: root.press(c => c.actionRotateScreen())
        }
        ControlButton {
            objectName: "screenshotButton"
            tip: qsTr("Screenshot")
            iconSource: root.device && root.device.isScreenShotting
                        ? "qrc:/Parvix/src/icons/processing.svg" : "qrc:/Parvix/src/icons/camera.svg"
            onActivated: root.act(d => d.takeScreenshot())
        }
        ControlButton {
            objectName: "recordButton"
            tip: root.recording ? qsTr("Stop Recording") : qsTr("Record Video")
            iconSource: root.recording ? "qrc:/Parvix/src/icons/recording.svg"
                                       : "qrc:/Parvix/src/icons/recorder.svg"
            iconColor: root.recording ? Theme.textRed : Theme.textGreen
            onActivated: root.act(d => root.recording ? d.stopRecord() : d.startRecord())
        }
        ControlButton {
            tip: qsTr("Select Phrase")
            iconSource: "qrc:/Parvix/src/icons/dialog.svg"
            onActivated: root.act(() => root.openPhraseSelectionDialog())
        }
        ControlButton {
            tip: qsTr("Volume Up")
            iconSource: "qrc:/Parvix/src/icons/volume-up.svg"
            onActivated: root.press(c => c.actionVolumeUp())
        }
        ControlButton {
            tip: qsTr("Volume Down")
            iconSource: "qrc:/Parvix/src/icons/volume-down.svg"
            onActivated: root.press(c => c.actionVolumeDown())
        }
        ControlButton {
            tip: qsTr("Upload File")
            iconSource: "qrc:/Parvix/src/icons/folder.svg"
            onActivated: root.act(d => root.pickFile(qsTr("Select File"), root.uploadFilters,
                                                      path => d.uploadFile(path)))
        }
        ControlButton {
            objectName: "keyMappingButton"
            tip: root.keyMappingProfile ? qsTr("KeyMapping: %1").arg(root.keyMappingProfile.name)
                                        : qsTr("Key Mapping")
            iconSource: "qrc:/Parvix/src/icons/convert.svg"
            iconColor: root.keyMappingProfile ? Theme.textYellow : Theme.textGreen
            onActivated: root.act(() => root.openKeyMappingProfilePicker())
        }
        ControlButton {
            objectName: "screenPositionButton"
            tip: qsTr("Screen Position")
            iconSource: "qrc:/Parvix/src/icons/target.svg"
            onActivated: root.act(() => root.toggleScreenCoordinateDisplayer())
        }
        ControlButton {
            tip: qsTr("Install APK")
            face: "APK"
            faceColor: Theme.textBlackGreen
            onActivated: root.act(d => root.pickFile(qsTr("Select APK File"), [qsTr("APK files (*.apk)")],
                                                      path => d.installAPK(path)))
        }
        ControlButton {
            objectName: "autojsButton"
            tip: root.autojsRunning ? qsTr("Stop AutoJS") : qsTr("Run AutoJS")
            iconSource: root.autojsRunning ? "qrc:/Parvix/src/icons/recording.svg"
                                           : "qrc:/Parvix/src/icons/js.svg"
            iconColor: root.autojsRunning ? Theme.textRed : Theme.textGreen
            onActivated: root.act(d => {
                if (root.autojsRunning)
                    d.stopAutojs()
                else
                    root.pickFile(qsTr("Select AutoJS Script"), [qsTr("autojs files (*.js)")],
                                  path => d.runAutojs(path))
            })
        }
        ControlButton {
            tip: qsTr("Run ADB Command")
            face: "ADB"
            onActivated: root.act(d => adbCommandDialog.open({ device: d }))
        }
        ControlButton {
            tip: qsTr("Screen On")
            iconSource: "qrc:/Parvix/src/icons/screen-on.svg"
            onActivated: root.press(c => c.actionWakeUp())
        }
        ControlButton {
            tip: qsTr("Screen Off")
            iconSource: "qrc:/Parvix/src/icons/screen-off.svg"
            onActivated: root.press(c => c.actionSleep())
        }
        ControlButton {
            objectName: "audioButton"
            tip: root.device && root.device.isAudioEnabled ? qsTr("Audio Enabled") : qsTr("Audio Disabled")
            iconSource: root.device && root.device.isAudioEnabled ? "qrc:/Parvix/src/icons/audio-on.svg"
                                                                  : "qrc:/Parvix/src/icons/audio-off.svg"
            onActivated: root.act(d => d.setEnableAudio(!d.isAudioEnabled))
        }
        ControlButton {
            tip: qsTr("Reboot")
            iconSource: "qrc:/Parvix/src/icons/restart.svg"
            onActivated: root.press(c => c.actionReboot())
        }
        ControlButton {
            tip: qsTr("Shutdown")
            face: "OFF"
            faceColor: Theme.textRed
            onActivated: root.act(d => root.confirmShutdown(d))
        }
    }

    // More buttons below: a fade over the bottom edge until the end is reached.
    Rectangle {
        objectName: "moreBelow"
        parent: root
        anchors.bottom: parent.bottom
        width: root.buttonWidth
        height: 10
        visible: !root.atYEnd
        gradient: Gradient {
            GradientStop { position: 0; color: "transparent" }
            GradientStop { position: 1; color: Theme.primaryDark }
        }
    }

    FilePicker {
        id: picker
    }

    // One tool tip for the column, moved to the button under the pointer: a tile has two dozen
    // buttons and a grid many tiles.
    PXToolTip {
        id: toolTip
    }

    function hoverButton(button: Item, hovered: bool) {
        if (hovered) {
            toolTip.parent = button
            toolTip.text = Qt.binding(() => button.tip)
            toolTip.open()
        } else if (toolTip.parent === button) {
            toolTip.close()
        }
    }

    DialogHost {
        id: adbCommandDialog
        sourceComponent: Component { ADBCommandDialog {} }
    }
}
