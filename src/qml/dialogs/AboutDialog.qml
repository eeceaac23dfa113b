import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// Product name, version and the web site; closes on Escape or a click outside.
PXDialog {
    id: root

    readonly property string websiteUrl: "https://parvix.app"

    width: 400
    height: 320
    showHeader: false
    showFooter: false
    contentFramed: false
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 8
        spacing: 14

        Rectangle {
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: 56
            Layout.preferredHeight: 56
            radius: 10
            color: Theme.backgroundBlackGreen
            border.width: 1
            border.color: Theme.borderDarkGreen

            Text {
                anchors.centerIn: parent
                text: "PX"
                color: Theme.textGreen
                font.pixelSize: 22
                font.bold: true
            }
        }

        Text {
            Layout.alignment: Qt.AlignHCenter
            text: "Parvix Multi-Phones Control"
            color: Theme.textGreen
            font.pixelSize: 18
            font.bold: true
        }

        Text {
            objectName: "versionText"
            Layout.alignment: Qt.AlignHCenter
            text: qsTr("Version") + " " + AppConfig.currentVersion
            color: Theme.textWhite
            font.pixelSize: Theme.contentFont
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 1
            color: Theme.borderDarkGray
        }

        Text {
            Layout.fillWidth: true
            text: qsTr("Visit our website for more information and instructions.")
            color: Theme.textGray
            font.pixelSize: Theme.contentFont
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
        }

        Item {
            objectName: "websiteRow"
            Layout.alignment: Qt.AlignHCenter
            implicitWidth: websiteRow.implicitWidth
            implicitHeight: websiteRow.implicitHeight

            Row {
                id: websiteRow
                spacing: 8

                Icon {
                    anchors.verticalCenter: parent.verticalCenter
                    source: "qrc:/Parvix/src/icons/web.svg"
                    size: 24
                    color: Theme.textGreen
                }

                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: root.websiteUrl
                    color: Theme.primaryLight
                    font.pixelSize: Theme.contentFont
                    font.underline: true
                }
            }

            // Over the whole row, so the icon opens the site too.
            MouseArea {
                Accessible.role: Accessible.Link
                Accessible.name: root.websiteUrl
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: Qt.openUrlExternally(root.websiteUrl)
            }
        }

        Item {
            Layout.fillHeight: true
        }
    }
}
