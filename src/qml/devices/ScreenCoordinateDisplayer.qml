import QtQuick

// Shows where the pointer is on the phone's picture as fractions of its width and height,
// the unit key mappings are written in. While shown it takes the input the phone would get.
Rectangle {
    id: overlay

    color: Theme.coordinateVeil
    visible: false

    readonly property alias mouseX: tracker.mouseX
    readonly property alias mouseY: tracker.mouseY
    readonly property alias ratioX: tracker.ratioX
    readonly property alias ratioY: tracker.ratioY

    function toggle() {
        visible = !visible
    }

    MouseArea {
        id: tracker

        property int mouseX: 0
        property int mouseY: 0
        property real ratioX: 0
        property real ratioY: 0

        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton
        cursorShape: Qt.CrossCursor

        function track(x, y) {
            mouseX = Math.round(x)
            mouseY = Math.round(y)
            ratioX = overlay.width > 0 ? Math.round(x / overlay.width * 100) / 100 : 0
            ratioY = overlay.height > 0 ? Math.round(y / overlay.height * 100) / 100 : 0
        }

        onPositionChanged: mouse => track(mouse.x, mouse.y)
        onPressed: mouse => track(mouse.x, mouse.y)
    }

    Rectangle {
        id: box
        width: 120
        height: 30
        radius: 4
        color: Theme.overlayFill
        border.width: 1
        border.color: Theme.warning
        x: Math.max(5, Math.min(tracker.mouseX + 15, overlay.width - width - 5))
        y: Math.max(5, Math.min(tracker.mouseY + 15, overlay.height - height - 5))

        Text {
            anchors.centerIn: parent
            text: "X: " + tracker.ratioX.toFixed(2) + "  Y: " + tracker.ratioY.toFixed(2)
            color: "white"
            font.pixelSize: 12
            font.bold: true
            font.family: "Courier"
        }
    }
}
