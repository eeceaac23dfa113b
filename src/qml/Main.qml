import QtQuick
import QtQuick.Controls

ApplicationWindow {
    id: root
    width: 1480
    height: 800
    visible: true
    title: qsTr("Vodav Evodo")
    color: Theme.backgroundBlack

    Label {
        anchors.centerIn: parent
        text: "Parvix Multi-Phones Control"
        color: Theme.primary
        font.pixelSize: Theme.headerFont
    }
}
