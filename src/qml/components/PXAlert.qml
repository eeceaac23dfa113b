import QtQuick
import QtQuick.Controls
import Parvix

// A modal message box with one button. Giving cancelText adds a second button, which turns
// it into a confirmation: accepted() for the main button, rejected() for the other.
Popup {
    id: alert

    property string alertTitle: qsTr("Alert")
    property string alertMessage: ""
    // Text.PlainText for messages that come from outside (a service's reply).
    property int messageFormat: Text.StyledText
    property string buttonText: qsTr("OK")
    property string cancelText: ""
    property color titleColor: Theme.textGreen
    property color borderColor: Theme.borderDarkGreen

    signal accepted
    signal rejected

    width: 350
    height: 180
    modal: true
    focus: true
    anchors.centerIn: parent
    closePolicy: Popup.CloseOnEscape
    padding: 16

    background: Rectangle {
        color: Theme.backgroundBlack
        radius: 8
        border.width: 1
        border.color: alert.borderColor
    }

    contentItem: Column {
        spacing: 20

        Text {
            width: parent.width
            text: alert.alertTitle
            color: alert.titleColor
            font.pixelSize: 18
            font.bold: true
            horizontalAlignment: Text.AlignHCenter
        }

        Text {
            width: parent.width
            text: alert.alertMessage
            color: "white"
            font.pixelSize: Theme.contentFont
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            textFormat: alert.messageFormat
        }

        Row {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 10

            PXButton {
                visible: alert.cancelText !== ""
                text: alert.cancelText
                onClicked: {
                    alert.close()
                    alert.rejected()
                }
            }

            PXButton {
                text: alert.buttonText
                onClicked: {
                    alert.close()
                    alert.accepted()
                }
            }
        }
    }
}
