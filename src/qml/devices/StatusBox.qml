import QtQuick
import Parvix

// A box centred on the picture that says what the view is waiting for.
Rectangle {
    id: box

    property alias text: label.text
    property int textSize: 10

    signal clicked

    anchors.centerIn: parent
    width: Math.min(parent.width - 20, 200)
    height: 60
    radius: 4
    color: Theme.backgroundBlackGreen

    Text {
        id: label
        anchors.fill: parent
        anchors.margins: 4
        color: Theme.textGray
        font.pixelSize: box.textSize
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    MouseArea {
        Accessible.role: Accessible.Button
        Accessible.name: label.text
        anchors.fill: parent
        onClicked: box.clicked()
    }
}
