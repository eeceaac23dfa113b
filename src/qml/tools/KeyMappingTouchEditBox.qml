pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import Parvix

// Changes the numbers of one touch row of the model; its key stays.
KeyMappingBox {
    id: touchEditBox

    required property KeyMappingModel rows
    objectName: "touchEditBox"
    title: qsTr("Edit Key Mapping")
    width: 400
    height: 280

    property int row: -1
    property string keyDisplay

    function edit(entry: KeyMappingRow) {
        row = entry.index
        keyDisplay = entry.keyDisplay
        editX.value = entry.touchX
        editY.value = entry.touchY
        editCount.value = entry.count
        open()
    }

    function save() {
        for (const field of [editX, editY, editCount])
            field.commit()
        if (rows.setTouch(row, editX.value, editY.value, editCount.value))
            close()
    }

    onAboutToShow: {
        for (const field of [editX, editY, editCount])
            field.show()
    }

    footerButtons: [
        PXButton {
            text: qsTr("Cancel")
            onClicked: touchEditBox.close()
        },
        PXButton {
            objectName: "saveButton"
            text: qsTr("Save")
            onClicked: touchEditBox.save()
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
            text: touchEditBox.keyDisplay
            color: Theme.textGreen
            font.pixelSize: Theme.contentFont
            font.bold: true
        }

        KeyMappingLabel { text: qsTr("X:") }
        KeyMappingNumberField { id: editX; objectName: "xField" }
        KeyMappingLabel { hint: true }

        KeyMappingLabel { text: qsTr("Y:") }
        KeyMappingNumberField { id: editY; objectName: "yField" }
        KeyMappingLabel { hint: true }

        KeyMappingLabel { text: qsTr("Count:") }
        KeyMappingNumberField { id: editCount; objectName: "countField"; integer: true; minimum: 1; maximum: 10 }
        KeyMappingLabel { hint: true; text: qsTr("(1-10)") }

        Item {
            Layout.columnSpan: 3
            Layout.fillHeight: true
        }
    }
}
