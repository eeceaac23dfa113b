import QtQuick
import QtQuick.Controls
import Parvix

// Tool tip beside its parent (5 px to the right, centred on it), after 500 ms, for 3 s.
ToolTip {
    id: tip

    delay: 500
    timeout: 3000
    x: parent ? parent.width + 5 : 0
    y: parent ? (parent.height - height) / 2 : 0
    padding: 6

    contentItem: Text {
        text: tip.text
        color: Theme.textWhite
        font.pixelSize: 11
    }

    background: Rectangle {
        color: Theme.backgroundBlackGreen
        border.width: 1
        border.color: Theme.primary
        radius: 4
    }
}
