import QtQuick
import Parvix

// A clickable green word, such as "Register" after "Don't have an account? ".
Text {
    id: link

    signal activated

    color: area.containsMouse ? Theme.primaryLight : Theme.textGreen
    font.pixelSize: Theme.contentFont
    font.underline: area.containsMouse

    MouseArea {
        id: area
        Accessible.role: Accessible.Link
        Accessible.name: link.text
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: link.activated()
    }
}
