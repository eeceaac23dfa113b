import QtQuick

// Frames per second the view presented, in a corner of the picture.
Rectangle {
    id: box

    property real fps: 0
    property int textSize: 10

    width: 50
    height: 20
    radius: 3
    color: Theme.fpsFill

    Text {
        anchors.centerIn: parent
        text: box.fps.toFixed(1) + " FPS"
        color: "white"
        font.pixelSize: box.textSize
        font.bold: true
    }
}
