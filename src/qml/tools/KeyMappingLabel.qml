import QtQuick
import QtQuick.Layouts
import Parvix

// The label before a field of the key-mapping boxes, or the hint after it.
Text {
    property bool hint: false

    Layout.preferredWidth: 80
    color: hint ? Theme.textGray : Theme.textWhite
    font.pixelSize: hint ? Theme.textFont : Theme.contentFont
}
