import QtQuick
import QtQuick.Layouts
import Parvix

// Gives a phone a nickname; the device list applies it when deviceRenamed arrives.
PXDialog {
    id: root

    property Device targetDevice: null
    // The nickname when the dialog opened.
    property string currentName: ""

    signal deviceRenamed(var device, string newNickname)

    title: qsTr("Rename Device")
    width: 450
    height: 320
    showCloseButton: false

    function confirm() {
        const name = nameField.text.trim()
        if (name === "")
            return
        deviceRenamed(targetDevice, name)
        close()
    }

    onAboutToShow: {
        currentName = targetDevice ? targetDevice.nickname : ""
        nameField.text = currentName
    }
    onOpened: {
        nameField.selectAll()
        nameField.forceActiveFocus()
    }

    footerButtons: [
        PXButton {
            objectName: "cancelButton"
            text: qsTr("Cancel")
            onClicked: root.close()
        },
        PXButton {
            objectName: "okButton"
            text: qsTr("OK")
            enabled: nameField.text.trim() !== ""
            onClicked: root.confirm()
        }
    ]

    GridLayout {
        anchors.fill: parent
        anchors.margins: 12
        columns: 2
        columnSpacing: 12
        rowSpacing: 14

        Text {
            text: qsTr("Serial Number:")
            color: Theme.textGray
            font.pixelSize: Theme.contentFont
        }
        Text {
            objectName: "serialText"
            Layout.fillWidth: true
            text: root.targetDevice ? root.targetDevice.adbConnectionSerial : ""
            color: Theme.textWhite
            font.pixelSize: Theme.contentFont
            elide: Text.ElideRight
        }

        Text {
            text: qsTr("Current Name:")
            color: Theme.textGray
            font.pixelSize: Theme.contentFont
        }
        Text {
            objectName: "currentNameText"
            Layout.fillWidth: true
            text: root.currentName !== "" ? root.currentName : qsTr("No Custom Name")
            color: root.currentName !== "" ? Theme.textWhite : Theme.textGray
            font.pixelSize: Theme.contentFont
            elide: Text.ElideRight
        }

        Text {
            text: qsTr("New Name:")
            color: Theme.textGray
            font.pixelSize: Theme.contentFont
        }
        PXTextField {
            id: nameField
            objectName: "nameField"
            customHeight: 40
            placeholderTextValue: qsTr("Enter new device name")
            Keys.onReturnPressed: root.confirm()
            Keys.onEnterPressed: root.confirm()
        }

        Item {
            Layout.columnSpan: 2
            Layout.fillHeight: true
        }
    }
}
