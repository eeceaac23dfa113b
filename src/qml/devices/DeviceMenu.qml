pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import Parvix

// Right-click menu of a phone in the device list. "Move to Group" opens the list of groups
// beside it while the pointer rests on it.
Menu {
    id: root

    property Device device: null
    // Dialog hosts of the device list (DialogHost): open(properties).
    property var renameDialog: null
    property var deviceInfoDialog: null
    property DeviceGroupManager deviceGroupManager: null
    property DeviceGroup currentSourceGroup: null
    property list<string> selectedDevices: []

    readonly property bool canMove: device !== null && deviceGroupManager !== null
                                    && selectedDevices.length > 0

    // What "Move to Group" acts on, taken when its list opens: closing the menu clears the
    // list's selection before a click in the group list arrives.
    property list<string> movingSerials: []
    property DeviceGroup movingFrom: null
    property bool pointerOnGroupList: false

    width: 220
    padding: 1

    background: Rectangle {
        implicitWidth: 220
        color: Theme.backgroundBlackGreen
        border.width: 1
        border.color: Theme.borderDarkGreen
        radius: 4
    }

    onClosed: groupPopup.close()

    function openGroupList() {
        if (!canMove)
            return
        movingSerials = selectedDevices
        movingFrom = currentSourceGroup
        leaveTimer.stop()
        groupPopup.open()
    }

    function moveTo(group) {
        if (!movingFrom || group === movingFrom)
            return
        movingFrom.moveDevicesToGroup(movingSerials, group)
        groupPopup.close()
        root.close()
    }

    component PXMenuItem: MenuItem {
        id: item
        implicitWidth: 220
        implicitHeight: 35
        leftPadding: 0 // the text's own 8 px, in line with "Move to Group"
        contentItem: Text {
            leftPadding: 8
            text: item.text
            color: !item.enabled ? Theme.textGray : item.highlighted ? Theme.textBlack : Theme.textGreen
            font.pixelSize: 12
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }
        background: Rectangle {
            color: item.highlighted && item.enabled ? Theme.backgroundLightGreen : "transparent"
            radius: 2
        }
    }

    // A group in the "Move to Group" list; the group the phones are in is grey and inert.
    component GroupRow: Rectangle {
        id: groupRow
        required property DeviceGroup modelData
        readonly property bool isSource: modelData === root.movingFrom

        width: 200
        height: 30
        radius: 2
        color: rowArea.containsMouse && !isSource ? Theme.backgroundLightGreen
                                                   : "transparent"

        Text {
            anchors.fill: parent
            anchors.leftMargin: 8
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
            text: groupRow.modelData.name + " (" + groupRow.modelData.deviceCount + ")"
            color: groupRow.isSource ? Theme.textGray
                                     : rowArea.containsMouse ? Theme.textBlack
                                                             : Theme.textGreen
            font.pixelSize: 12
        }

        MouseArea {
            id: rowArea
            Accessible.role: Accessible.MenuItem
            Accessible.name: groupRow.modelData.name
            anchors.fill: parent
            hoverEnabled: true
            enabled: !groupRow.isSource
            onClicked: root.moveTo(groupRow.modelData)
        }
    }

    PXMenuItem {
        objectName: "renameItem"
        text: qsTr("Naming Device")
        enabled: root.device !== null
        onTriggered: if (root.renameDialog) root.renameDialog.open({ targetDevice: root.device })
    }

    PXMenuItem {
        objectName: "enableWiFiItem"
        text: qsTr("Enable WiFi Connection")
        enabled: root.device !== null && root.device.connectionType === Device.USB
        onTriggered: root.device.setWiFiConnection()
    }

    PXMenuItem {
        objectName: "disconnectWiFiItem"
        text: qsTr("Disconnect WiFi")
        enabled: root.device !== null && root.device.connectionType === Device.WiFi
        onTriggered: root.device.disconnectWiFiAsync()
    }

    PXMenuItem {
        objectName: "infoItem"
        text: qsTr("Device Information")
        enabled: root.device !== null
        onTriggered: if (root.deviceInfoDialog) root.deviceInfoDialog.open({ device: root.device })
    }

    MenuSeparator {
        contentItem: Rectangle {
            implicitWidth: 200
            implicitHeight: 1
            color: Theme.borderDarkGray
        }
    }

    // Not a MenuItem: a click here must not close the menu.
    Rectangle {
        id: moveItem
        objectName: "moveItem"
        width: 218
        height: 35
        radius: 2
        enabled: root.canMove
        color: enabled && (moveArea.containsMouse || groupPopup.visible) ? Theme.backgroundLightGreen
                                                                          : "transparent"

        Text {
            anchors.fill: parent
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            text: qsTr("Move to Group")
            color: !moveItem.enabled ? Theme.textGray
                                     : moveArea.containsMouse || groupPopup.visible ? Theme.textBlack
                                                                                    : Theme.textGreen
            font.pixelSize: 12
            verticalAlignment: Text.AlignVCenter
        }

        Text {
            anchors.right: parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            text: "▶"
            color: moveItem.enabled ? Theme.textGreen : Theme.textGray
            font.pixelSize: 10
        }

        MouseArea {
            id: moveArea
            Accessible.role: Accessible.MenuItem
            Accessible.name: qsTr("Move to Group")
            anchors.fill: parent
            hoverEnabled: true
            onEntered: root.openGroupList()
            onExited: leaveTimer.restart()
            onClicked: root.openGroupList()
        }

        Timer {
            id: leaveTimer
            interval: 200
            onTriggered: {
                if (!root.pointerOnGroupList && !moveArea.containsMouse)
                    groupPopup.close()
            }
        }

        Popup {
            id: groupPopup
            objectName: "groupPopup"
            x: moveItem.width
            y: 0
            padding: 1
            closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

            background: Rectangle {
                color: Theme.backgroundBlackGreen
                border.width: 1
                border.color: Theme.borderDarkGreen
                radius: 4
            }

            contentItem: MouseArea {
                implicitWidth: 200
                implicitHeight: childrenRect.height
                hoverEnabled: true
                onEntered: root.pointerOnGroupList = true
                onExited: {
                    root.pointerOnGroupList = false
                    leaveTimer.restart()
                }

                Column {
                    width: parent.width

                    Repeater {
                        model: root.deviceGroupManager ? root.deviceGroupManager.deviceGroups : []

                        delegate: GroupRow {}
                    }
                }
            }
        }
    }
}
