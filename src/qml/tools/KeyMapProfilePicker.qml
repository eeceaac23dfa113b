pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import Parvix

// Chooses the key-mapping profile of one phone (or none). The choice is not saved.
PXDialog {
    id: root

    property Device device: null

    readonly property string activeName: device && device.currentKeyMappingProfile
                                         ? device.currentKeyMappingProfile.name : ""
    // "" stands for "No KeyMap".
    readonly property var choices: choicesFor(KeyMapping.profileNames)

    function choicesFor(names): var {
        const list = [""]
        for (let i = 0; i < names.length; ++i)
            list.push(names[i])
        return list
    }

    function choose(name: string) {
        if (device) {
            if (name === "")
                device.setCurrentKeyMappingProfile(null)
            else if (KeyMapping.getProfile(name))
                device.setCurrentKeyMappingProfile(KeyMapping.getProfile(name))
        }
        close()
    }

    title: qsTr("Select KeyMapping Profile")
    width: 280
    height: 400
    showCloseButton: false

    footerButtons: [
        PXButton {
            text: qsTr("Close")
            onClicked: root.close()
        }
    ]

    ListView {
        anchors.fill: parent
        anchors.margins: 2
        clip: true
        model: root.choices
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}

        delegate: Rectangle {
            id: row
            objectName: "profileRow"
            required property string modelData
            readonly property bool active: modelData === root.activeName
            readonly property string label: modelData === "" ? qsTr("No KeyMap") : modelData

            width: ListView.view.width
            height: 25
            color: area.containsMouse ? Theme.backgroundBlackGreen : "transparent"
            radius: 3

            Text {
                anchors.left: parent.left
                anchors.leftMargin: 8
                anchors.right: tick.left
                anchors.verticalCenter: parent.verticalCenter
                text: row.label
                color: row.active ? Theme.textGreen : Theme.textWhite
                font.pixelSize: Theme.contentFont
                elide: Text.ElideRight
            }

            Text {
                id: tick
                objectName: "tick"
                anchors.right: parent.right
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                visible: row.active
                text: "✓"
                color: Theme.textGreen
                font.pixelSize: 14
                font.bold: true
            }

            MouseArea {
                id: area
                Accessible.role: Accessible.Button
                Accessible.name: row.label
                anchors.fill: parent
                hoverEnabled: true
                onClicked: root.choose(row.modelData)
            }
        }
    }
}
