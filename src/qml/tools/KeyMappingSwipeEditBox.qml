pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import Parvix

// Changes the numbers of one swipe row of the model; its key stays.
KeyMappingBox {
    id: swipeEditBox

    required property KeyMappingModel rows
    objectName: "swipeEditBox"
    title: qsTr("Edit Swipe Mapping")
    width: 450
    height: 520

    property int row: -1
    property string keyDisplay

    function edit(entry: KeyMappingRow) {
        row = entry.index
        keyDisplay = entry.keyDisplay
        editStartX.value = entry.startX
        editStartY.value = entry.startY
        editEndX.value = entry.endX
        editEndY.value = entry.endY
        editDuration.value = entry.duration
        open()
    }

    function save() {
        for (const field of [editStartX, editStartY, editEndX, editEndY, editDuration])
            field.commit()
        if (rows.setSwipe(row, editStartX.value, editStartY.value, editEndX.value,
                                editEndY.value, editDuration.value))
            close()
    }

    onAboutToShow: {
        for (const field of [editStartX, editStartY, editEndX, editEndY, editDuration])
            field.show()
    }

    footerButtons: [
        PXButton {
            text: qsTr("Cancel")
            onClicked: swipeEditBox.close()
        },
        PXButton {
            objectName: "saveButton"
            text: qsTr("Save")
            onClicked: swipeEditBox.save()
        }
    ]

    GridLayout {
        anchors.fill: parent
        anchors.margins: 8
        columns: 3
        columnSpacing: 8
        rowSpacing: 10

        KeyMappingLabel { text: qsTr("Key:") }
        Text {
            Layout.columnSpan: 2
            text: swipeEditBox.keyDisplay
            color: Theme.textGreen
            font.pixelSize: Theme.contentFont
            font.bold: true
        }

        KeyMappingLabel { text: qsTr("Start X:") }
        KeyMappingNumberField { id: editStartX; objectName: "startXField" }
        KeyMappingLabel { hint: true }

        KeyMappingLabel { text: qsTr("Start Y:") }
        KeyMappingNumberField { id: editStartY; objectName: "startYField" }
        KeyMappingLabel { hint: true }

        KeyMappingLabel { text: qsTr("End X:") }
        KeyMappingNumberField { id: editEndX; objectName: "endXField" }
        KeyMappingLabel { hint: true }

        KeyMappingLabel { text: qsTr("End Y:") }
        KeyMappingNumberField { id: editEndY; objectName: "endYField" }
        KeyMappingLabel { hint: true }

        KeyMappingLabel { text: qsTr("Duration(ms):") }
        KeyMappingNumberField {
            id: editDuration
            objectName: "durationField"
            integer: true
            minimum: 50
            maximum: 2000
        }
        KeyMappingLabel { hint: true; text: qsTr("(50-2000ms)") }

        Item {
            Layout.columnSpan: 3
            Layout.fillHeight: true
        }
    }
}
