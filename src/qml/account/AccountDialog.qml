import QtQuick
import QtQuick.Layouts
import Parvix

// The frame of the account dialogs: the logo and the product name above the dialog's form.
PXDialog {
    id: dialog

    default property alias form: formColumn.data

    width: 500
    height: 500
    showFooter: false
    contentFramed: false

    ColumnLayout {
        anchors.fill: parent
        anchors.leftMargin: 40
        anchors.rightMargin: 40
        spacing: 12

        Rectangle {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 4
            Layout.preferredWidth: 70
            Layout.preferredHeight: 70
            radius: 12
            color: Theme.backgroundBlackGreen
            border.width: 2
            border.color: Theme.borderDarkGreen

            Text {
                anchors.centerIn: parent
                text: "PX"
                color: Theme.textGreen
                font.pixelSize: 28
                font.bold: true
            }
        }

        Text {
            Layout.alignment: Qt.AlignHCenter
            text: "Parvix Multi-Phones Control"
            color: Theme.textGreen
            font.pixelSize: 16
            font.bold: true
        }

        ColumnLayout {
            id: formColumn
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.topMargin: 8
            spacing: 10
        }
    }
}
