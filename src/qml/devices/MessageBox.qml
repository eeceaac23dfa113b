import QtQuick
import QtQuick.Controls
import Parvix

// The device's latest message over its picture, coloured by its type, with a "×" to hide it.
Rectangle {
    id: box

    property string message: ""
    property string type: ""

    signal dismissed

    anchors.centerIn: parent
    width: Math.min(parent.width - 20, 200)
    height: 60
    radius: 4
    visible: message !== ""
    color: type === "error" ? Theme.error
         : type === "success" ? Theme.success
         : type === "info" ? Theme.info : Theme.backgroundBlackGreen

    Text {
        objectName: "messageText"
        anchors.fill: parent
        anchors.margins: 4
        anchors.rightMargin: 18
        text: box.message
        color: "white"
        font.pixelSize: 12
        wrapMode: Text.Wrap
        elide: Text.ElideRight
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    Button {
        id: dismissButton
        objectName: "dismissMessage"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: 2
        width: 15
        height: 15
        padding: 0
        hoverEnabled: true
        onClicked: box.dismissed()
        contentItem: Text {
            text: "×"
            color: Theme.textGreen
            font.pixelSize: 8
            font.bold: true
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            radius: 2
            color: dismissButton.hovered ? Theme.backgroundBlackGreen : Theme.backgroundDarkGray
        }
    }
}
