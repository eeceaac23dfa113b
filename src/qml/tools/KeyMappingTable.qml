pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// "#", "Key", three value columns by the entry's type, and the two actions.
Rectangle {
    id: table

    property var headers: []
    property KeyMappingModel model
    property bool hasProfile: false

    signal editRequested(KeyMappingRow row)

    readonly property var widths: [40, 120, (width - 40 - 120 - 150) / 3,
                                   (width - 40 - 120 - 150) / 3, (width - 40 - 120 - 150) / 3, 150]

    color: "transparent"
    border.width: 1
    border.color: Theme.borderDarkGray
    radius: 4
    clip: true

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 1
        spacing: 0

        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 32
            color: Theme.backgroundDarkGray

            Row {
                anchors.fill: parent

                Repeater {
                    model: table.headers

                    delegate: Text {
                        required property string modelData
                        required property int index
                        width: table.widths[index]
                        height: parent.height
                        leftPadding: 8
                        text: modelData
                        color: Theme.textGreen
                        font.pixelSize: Theme.contentFont
                        font.bold: true
                        verticalAlignment: Text.AlignVCenter
                        elide: Text.ElideRight
                    }
                }
            }
        }

        ListView {
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: table.model
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}

            delegate: KeyMappingRow {
                id: entryRow
                widths: table.widths
                onEditClicked: table.editRequested(entryRow)
                onDeleteClicked: table.model.remove(entryRow.index)
            }
        }

        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.bottomMargin: 8
            visible: table.model.count === 0
            text: table.hasProfile ? qsTr("No mappings yet") : qsTr("Create a profile first")
            color: Theme.textGray
            font.pixelSize: Theme.contentFont
        }
    }
}
