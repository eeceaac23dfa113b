pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import Parvix

// Adds a touch or a swipe for a key pressed in it, to the profile of the two row models.
KeyMappingBox {
    id: addBox

    required property KeyMappingModel touches
    required property KeyMappingModel swipes

    objectName: "addBox"
    title: qsTr("Add New Key Mapping")
    width: 400
    height: 550

    property int keyCode: 0
    property int modifiers: 0
    property string keyDisplay: ""
    property int type: KeyMappingModel.Touch
    property bool duplicate: false

    function reset() {
        keyCode = 0
        modifiers = 0
        keyDisplay = ""
        type = KeyMappingModel.Touch
        duplicate = false
        addX.value = 0.5
        addY.value = 0.5
        addCount.value = 1
        addStartX.value = 0.2
        addStartY.value = 0.5
        addEndX.value = 0.8
        addEndY.value = 0.5
        addDuration.value = 200
    }

    function capture(key: int, mods: int) {
        if (key === Qt.Key_Control || key === Qt.Key_Alt || key === Qt.Key_Shift
                || key === Qt.Key_Meta)
            return
        keyCode = key
        modifiers = mods
        keyDisplay = touches.keyText(key, mods)
        duplicate = false
    }

    function save() {
        if (!touches.profile || keyDisplay === "")
            return
        for (const field of [addX, addY, addCount, addStartX, addStartY, addEndX, addEndY,
                             addDuration])
            field.commit()
        const added = type === KeyMappingModel.Swipe
            ? swipes.addSwipe(keyCode, modifiers, addStartX.value, addStartY.value, addEndX.value,
                              addEndY.value, addDuration.value)
            : touches.addTouch(keyCode, modifiers, addX.value, addY.value, addCount.value)
        if (!added) {
            duplicate = true
            return
        }
        reset()
        close()
    }

    onAboutToShow: {
        duplicate = false
        for (const field of [addX, addY, addCount, addStartX, addStartY, addEndX, addEndY,
                             addDuration])
            field.show()
    }

    footerButtons: [
        PXButton {
            text: qsTr("Cancel")
            onClicked: addBox.close()
        },
        PXButton {
            objectName: "saveButton"
            text: qsTr("Save")
            enabled: addBox.keyDisplay !== ""
            onClicked: addBox.save()
        }
    ]

    GridLayout {
        anchors.fill: parent
        anchors.margins: 8
        columns: 3
        columnSpacing: 8
        rowSpacing: 10

        KeyMappingLabel { text: qsTr("Key:") }
        KeyCapture {
            id: keyCapture
            objectName: "keyCapture"
            Layout.columnSpan: 2
            display: addBox.keyDisplay
            onKeyCaptured: (key, modifiers) => addBox.capture(key, modifiers)
        }

        KeyMappingLabel { text: qsTr("Type:") }
        DialogComboBox {
            objectName: "typeBox"
            Layout.columnSpan: 2
            Layout.fillWidth: true
            readonly property var types: [KeyMappingModel.Touch, KeyMappingModel.Swipe]
            model: [qsTr("Touch"), qsTr("Swipe")]
            currentIndex: types.indexOf(addBox.type)
            onActivated: index => {
                addBox.type = types[index]
                currentIndex = Qt.binding(() => types.indexOf(addBox.type))
            }
        }

        KeyMappingLabel { text: qsTr("X:"); visible: addBox.type === KeyMappingModel.Touch }
        KeyMappingNumberField { id: addX; objectName: "xField"; value: 0.5; visible: addBox.type === KeyMappingModel.Touch }
        KeyMappingLabel { hint: true; visible: addBox.type === KeyMappingModel.Touch }

        KeyMappingLabel { text: qsTr("Y:"); visible: addBox.type === KeyMappingModel.Touch }
        KeyMappingNumberField { id: addY; objectName: "yField"; value: 0.5; visible: addBox.type === KeyMappingModel.Touch }
        KeyMappingLabel { hint: true; visible: addBox.type === KeyMappingModel.Touch }

        KeyMappingLabel { text: qsTr("Count:"); visible: addBox.type === KeyMappingModel.Touch }
        KeyMappingNumberField {
            id: addCount
            objectName: "countField"
            integer: true
            minimum: 1
            maximum: 10
            value: 1
            visible: addBox.type === KeyMappingModel.Touch
        }
        KeyMappingLabel { hint: true; text: qsTr("(1-10)"); visible: addBox.type === KeyMappingModel.Touch }

        KeyMappingLabel { text: qsTr("Start X:"); visible: addBox.type === KeyMappingModel.Swipe }
        KeyMappingNumberField { id: addStartX; objectName: "startXField"; value: 0.2; visible: addBox.type === KeyMappingModel.Swipe }
        KeyMappingLabel { hint: true; visible: addBox.type === KeyMappingModel.Swipe }

        KeyMappingLabel { text: qsTr("Start Y:"); visible: addBox.type === KeyMappingModel.Swipe }
        KeyMappingNumberField { id: addStartY; objectName: "startYField"; value: 0.5; visible: addBox.type === KeyMappingModel.Swipe }
        KeyMappingLabel { hint: true; visible: addBox.type === KeyMappingModel.Swipe }

        KeyMappingLabel { text: qsTr("End X:"); visible: addBox.type === KeyMappingModel.Swipe }
        KeyMappingNumberField { id: addEndX; objectName: "endXField"; value: 0.8; visible: addBox.type === KeyMappingModel.Swipe }
        KeyMappingLabel { hint: true; visible: addBox.type === KeyMappingModel.Swipe }

        KeyMappingLabel { text: qsTr("End Y:"); visible: addBox.type === KeyMappingModel.Swipe }
        KeyMappingNumberField { id: addEndY; objectName: "endYField"; value: 0.5; visible: addBox.type === KeyMappingModel.Swipe }
        KeyMappingLabel { hint: true; visible: addBox.type === KeyMappingModel.Swipe }

        KeyMappingLabel { text: qsTr("Duration:"); visible: addBox.type === KeyMappingModel.Swipe }
        KeyMappingNumberField {
            id: addDuration
            objectName: "durationField"
            integer: true
            minimum: 50
            maximum: 2000
            value: 200
            visible: addBox.type === KeyMappingModel.Swipe
        }
        KeyMappingLabel { hint: true; text: qsTr("(50-2000ms)"); visible: addBox.type === KeyMappingModel.Swipe }

        Text {
            objectName: "duplicateText"
            Layout.columnSpan: 3
            Layout.fillWidth: true
            visible: addBox.duplicate
            text: qsTr("This key is already mapped in this profile.")
            color: Theme.textRed
            font.pixelSize: Theme.contentFont
            wrapMode: Text.Wrap
        }

        Item {
            Layout.columnSpan: 3
            Layout.fillHeight: true
        }
    }

    // Shows the captured key; a click gives it the keyboard, which then goes to keyCaptured.
    component KeyCapture: Rectangle {
        id: capture

        property string display

        signal keyCaptured(int key, int modifiers)

        Layout.fillWidth: true
        implicitHeight: Theme.textfieldHeight
        radius: 4
        color: Theme.backgroundDarkGray
        border.width: 1
        border.color: activeFocus ? Theme.borderLightGreen : Theme.borderDarkGray
        activeFocusOnTab: true

        Text {
            anchors.fill: parent
            anchors.leftMargin: 12
            verticalAlignment: Text.AlignVCenter
            text: capture.display !== "" ? capture.display : qsTr("Press a key...")
            color: capture.display !== "" ? Theme.textGreen : Theme.textGray
            font.pixelSize: Theme.contentFont
            font.bold: capture.display !== ""
        }

        MouseArea {
            anchors.fill: parent
            onClicked: capture.forceActiveFocus()
        }

        // Every key is the user's choice here, Escape and Tab included.
        Keys.onShortcutOverride: event => event.accepted = true
        Keys.onPressed: event => {
            event.accepted = true
            capture.keyCaptured(event.key, event.modifiers)
        }
    }
}
