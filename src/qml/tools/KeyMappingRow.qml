pragma ComponentBehavior: Bound
import QtQuick
import Parvix

// One entry of a key-mapping table: "#", the key, three numbers by its type, Edit and Delete.
Rectangle {
    id: row
    objectName: "mappingRow"

    property var widths: []
    signal editClicked
    signal deleteClicked

    required property int index
    required property string keyDisplay
    required property int type
    required property real touchX
    required property real touchY
    required property int count
    required property real startX
    required property real startY
    required property real endX
    required property real endY
    required property int duration
    readonly property var cells: type === KeyMappingModel.Swipe
        ? [String(index + 1), keyDisplay,
           "(" + startX.toFixed(2) + ", " + startY.toFixed(2) + ")",
           "(" + endX.toFixed(2) + ", " + endY.toFixed(2) + ")", String(duration)]
        : [String(index + 1), keyDisplay, touchX.toFixed(2), touchY.toFixed(2),
           String(count)]

    width: ListView.view ? ListView.view.width : 0
    height: 36
    color: index % 2 === 0 ? Theme.backgroundBlack : Theme.backgroundPureBlack

    Row {
        anchors.fill: parent

        Repeater {
            model: row.cells

            delegate: Text {
                required property string modelData
                required property int index
                width: row.widths[index]
                height: row.height
                leftPadding: 8
                text: modelData
                color: Theme.textWhite
                font.pixelSize: Theme.contentFont
                verticalAlignment: Text.AlignVCenter
                elide: Text.ElideRight
            }
        }

        Row {
            height: row.height
            spacing: 6

            PXButton {
                objectName: "editButton"
                anchors.verticalCenter: parent.verticalCenter
                minWidth: 60
                implicitHeight: 26
                text: qsTr("Edit")
                textColor: Theme.textYellow
                onClicked: row.editClicked()
            }
            PXButton {
                objectName: "deleteButton"
                anchors.verticalCenter: parent.verticalCenter
                minWidth: 60
                implicitHeight: 26
                text: qsTr("Delete")
                textColor: Theme.textRed
                onClicked: row.deleteClicked()
            }
        }
    }
}
