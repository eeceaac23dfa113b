import QtQuick
import QtQuick.Controls.impl
import Parvix

// An SVG drawn at `size` and recoloured to `color` (the icon files are single-colour line art).
// IconImage recolours the picture once, when it is loaded: a plain image, which Qt Quick draws
// together with its neighbours, where a colour effect would cost a draw of its own per frame.
Item {
    id: icon

    property alias source: image.source
    property real size: 24
    property alias color: image.color

    implicitWidth: size
    implicitHeight: size

    IconImage {
        id: image
        anchors.fill: parent
        sourceSize.width: icon.size * 2
        sourceSize.height: icon.size * 2
        fillMode: Image.PreserveAspectFit
        smooth: true
        color: Theme.textWhite
    }
}
