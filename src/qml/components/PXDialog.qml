import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// The frame every dialog shares: modal, centred on the window, an optional header band with
// the title and a close button, the content (framed when contentFramed), and an optional
// footer band whose buttons (footerButtons) sit on the right.
Dialog {
    id: dialog

    property bool showHeader: true
    property bool showCloseButton: true
    property bool showFooter: true
    property bool contentFramed: true
    property alias footerButtons: footerRow.data
    property alias headerItems: headerExtras.data

    modal: true
    focus: true
    parent: Overlay.overlay
    anchors.centerIn: parent
    closePolicy: Popup.CloseOnEscape
    padding: 16

    background: Rectangle {
        color: Theme.backgroundBlack
        radius: 8
        border.width: 1
        border.color: Theme.borderDarkGreen

        Rectangle {
            visible: dialog.contentFramed
            anchors.fill: parent
            anchors.topMargin: (dialog.showHeader ? 50 : 0) + 8
            anchors.bottomMargin: (dialog.showFooter ? 50 : 0) + 8
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            color: "transparent"
            border.width: 1
            border.color: Theme.borderDarkGray
            radius: 4
        }
    }

    header: Rectangle {
        visible: dialog.showHeader
        implicitHeight: dialog.showHeader ? 50 : 0
        color: Theme.backgroundDarkGray
        radius: 8
        // Drawn over the dialog's frame: it carries the frame's top edge itself.
        border.width: 1
        border.color: Theme.borderDarkGreen

        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: 16
            anchors.rightMargin: 10
            spacing: 10

            Text {
                text: dialog.title
                color: Theme.textGreen
                font.pixelSize: Theme.headerFont
                font.bold: true
                elide: Text.ElideRight
                Layout.fillWidth: true
            }

            Row {
                id: headerExtras
                spacing: 8
                Layout.alignment: Qt.AlignVCenter
            }

            Button {
                id: closeButton
                visible: dialog.showCloseButton
                flat: true
                text: "✕"
                implicitWidth: 30
                implicitHeight: 30
                onClicked: dialog.reject()
                contentItem: Text {
                    text: "✕"
                    color: Theme.textWhite
                    font.pixelSize: 14
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                background: Rectangle {
                    radius: 4
                    color: closeButton.hovered ? Theme.backgroundBlackGreen : "transparent"
                }
            }
        }
    }

    footer: Item {
        visible: dialog.showFooter
        implicitHeight: dialog.showFooter ? 50 : 0

        Row {
            id: footerRow
            anchors.right: parent.right
            anchors.rightMargin: 16
            anchors.verticalCenter: parent.verticalCenter
            spacing: 10
        }
    }
}
