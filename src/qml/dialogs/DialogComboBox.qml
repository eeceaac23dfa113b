pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import Parvix

// The drop-down list of the dialogs, in the dark theme (the style's own is light).
ComboBox {
    id: control

    implicitHeight: 28
    implicitWidth: 150
    hoverEnabled: true
    font.pixelSize: Theme.contentFont
    // The style's drop-down list takes its background from the palette.
    palette.window: Theme.backgroundBlackGreen
    palette.base: Theme.backgroundBlackGreen
    palette.text: Theme.textGreen
    palette.highlight: Theme.backgroundLightGreen

    contentItem: Text {
        leftPadding: 8
        rightPadding: control.indicator.width + 4
        text: control.displayText
        color: Theme.textGreen
        font: control.font
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    indicator: Text {
        x: control.width - width - 8
        y: (control.height - height) / 2
        text: "▼"
        color: Theme.textGreen
        font.pixelSize: 9
    }

    background: Rectangle {
        radius: 4
        color: control.hovered || control.popup.visible ? Theme.backgroundBlackGreen
                                                        : Theme.backgroundDarkGray
        border.width: 1
        border.color: Theme.borderDarkGreen
    }

    delegate: ItemDelegate {
        id: entry
        required property int index

        width: ListView.view ? ListView.view.width : control.width
        height: 28
        hoverEnabled: true
        highlighted: control.highlightedIndex === index

        contentItem: Text {
            text: control.textAt(entry.index)
            color: entry.highlighted ? Theme.textBlack : Theme.textGreen
            font: control.font
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }

        background: Rectangle {
            color: entry.highlighted ? Theme.backgroundLightGreen : "transparent"
        }
    }
}
