import QtQuick
import QtQuick.Controls
import Parvix

// The application's button: green text on dark grey, green border, hover tint.
Button {
    id: control

    property color textColor: Theme.textGreen
    property color backgroundColor: Theme.backgroundDarkGray
    property color hoverColor: Theme.backgroundBlackGreen
    property color disabledColor: Theme.backgroundBlack
    property color borderColor: Theme.borderDarkGreen
    property bool isBold: false
    property int textSize: 12
    property int borderWidth: 1
    property int extraPadding: 20
    property int minWidth: 80

    // The padding the button is given, or at least extraPadding, around its text.
    implicitWidth: Math.max(implicitContentWidth + Math.max(leftPadding + rightPadding, extraPadding), minWidth)
    implicitHeight: Math.max(28, implicitContentHeight + topPadding + bottomPadding)
    hoverEnabled: true

    contentItem: Text {
        text: control.text
        color: control.textColor
        opacity: control.enabled ? 1.0 : 0.5
        font.pixelSize: control.textSize
        font.bold: control.isBold
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    background: Rectangle {
        radius: 4
        border.width: control.borderWidth
        border.color: control.borderColor
        color: !control.enabled ? control.disabledColor
                                : (control.hovered || control.down) ? control.hoverColor
                                                                     : control.backgroundColor
        Behavior on color {
            ColorAnimation { duration: 150 }
        }
    }
}
