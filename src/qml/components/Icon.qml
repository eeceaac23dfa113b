import QtQuick
import Qt5Compat.GraphicalEffects
import Parvix

// An SVG drawn at `size` and recoloured to `color` (the icon files are single-colour line art).
Item {
    id: icon

    property url source
    property real size: 24
    property color color: Theme.textWhite

    implicitWidth: size
    implicitHeight: size

    Image {
        id: image
        anchors.fill: parent
        source: icon.source
        sourceSize.width: icon.size * 2
        sourceSize.height: icon.size * 2
        fillMode: Image.PreserveAspectFit
        smooth: true
        visible: false
    }

    ColorOverlay {
        anchors.fill: image
        source: image
        color: icon.color
    }
}
