import QtQuick
import Parvix

// A square tick box. A click only emits clicked(): the owner decides what `checked` becomes.
Rectangle {
    id: box

    property bool checked: false
    property int boxSize: 18
    property int borderWidth: 2
    property color borderColor: Theme.textGreen
    property color checkColor: Theme.textGreen

    signal clicked

    Accessible.role: Accessible.CheckBox
    Accessible.checked: checked
    implicitWidth: boxSize
    implicitHeight: boxSize
    width: boxSize
    height: boxSize
    radius: 3
    color: "transparent"
    border.width: borderWidth
    border.color: borderColor

    Text {
        anchors.centerIn: parent
        visible: box.checked
        text: "✓"
        color: box.checkColor
        font.pixelSize: 14
        font.bold: true
    }

    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onEntered: box.opacity = 0.8
        onExited: box.opacity = 1.0
        onClicked: box.clicked()
    }
}
