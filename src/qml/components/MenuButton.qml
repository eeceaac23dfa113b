pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import Parvix

// A button that drops down a list of actions. menuItems holds plain objects:
// { label, action, visible } for an entry (visible defaults to true), { type: "separator" }.
Button {
    id: control

    property var menuItems: []
    // The drop-down ends at the button's right edge (a button at the right of a dialog).
    property bool alignRight: false
    readonly property alias popupOpen: popup.visible
    readonly property Item menuColumn: popup.contentItem

    implicitHeight: 28
    implicitWidth: Math.max(implicitContentWidth + 20, 80)
    hoverEnabled: true

    function runItem(item) {
        popup.close()
        if (item && typeof item.action === "function")
            item.action()
    }

    // Left-aligned with the button, or right-aligned where that would cross the window edge.
    function popupX() {
        const window = control.Window.window
        if (alignRight)
            return control.width - popup.width
        if (!window)
            return 0
        const left = control.mapToItem(null, 0, 0).x
        return left + popup.width > window.width ? control.width - popup.width : 0
    }

    onClicked: {
        if (popup.visible) {
            popup.close()
            return
        }
        popup.x = popupX()
        popup.open()
    }

    contentItem: Text {
        text: control.text
        color: Theme.textGreen
        font.pixelSize: 12
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    background: Rectangle {
        radius: 4
        border.width: 1
        border.color: Theme.borderDarkGreen
        color: control.down || popup.visible || control.hovered ? Theme.backgroundBlackGreen
                                                                 : Theme.backgroundDarkGray
        Behavior on color {
            ColorAnimation { duration: 150 }
        }
    }

    // One line of the drop-down: an action, or a separator.
    component MenuEntry: Rectangle {
        id: entry
        objectName: "menuEntry"

        required property var modelData
        readonly property bool separator: modelData.type === "separator"

        width: Math.max(control.width, 150)
        height: separator ? 1 : 28
        visible: modelData.visible !== false
        color: separator ? Theme.borderDarkGray
                         : entryArea.containsMouse ? Theme.backgroundLightGreen
                                                   : "transparent"
        opacity: separator ? 0.8 : 1.0

        Text {
            visible: !entry.separator
            anchors.left: parent.left
            anchors.leftMargin: 8
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            text: entry.modelData.label || ""
            color: entryArea.containsMouse ? Theme.textBlack : Theme.textGreen
            font.pixelSize: 12
            elide: Text.ElideRight
        }

        MouseArea {
            id: entryArea
            Accessible.role: Accessible.MenuItem
            Accessible.name: entry.modelData.label || ""
            anchors.fill: parent
            enabled: !entry.separator
            hoverEnabled: true
            onClicked: control.runItem(entry.modelData)
        }
    }

    Popup {
        id: popup
        y: control.height + 4
        modal: false
        padding: 6
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutsideParent

        background: Rectangle {
            color: Theme.backgroundBlackGreen
            border.width: 1
            border.color: Theme.borderLightGreen
            radius: 4
        }

        contentItem: Column {
            width: Math.max(control.width, 150)
            spacing: 2

            Repeater {
                model: control.menuItems

                delegate: MenuEntry {}
            }
        }
    }
}
