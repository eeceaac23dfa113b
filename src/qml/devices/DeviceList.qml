pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// The groups and their phones. A header click shows that group in the grid; phones are
// selected here (all from one group) for the device menu's "Move to Group".
Rectangle {
    id: root

    required property DeviceGroupManager deviceGroupManager
    property list<string> selectedDevices: []
    property DeviceGroup currentSourceGroup: null
    // Kept here, not in the rows: the group list is handed out anew on every change.
    property var expandedGroups: []

    readonly property int menuHeight: 280

    color: Theme.backgroundPureBlack

    function isSelected(device: Device): bool {
        return device !== null && selectedDevices.indexOf(device.adbConnectionSerial) >= 0
    }

    function selectOnly(device: Device, group: DeviceGroup) {
        selectedDevices = [device.adbConnectionSerial]
        currentSourceGroup = group
    }

    // Control+click: the selection never spans two groups.
    function toggleSelection(device: Device, group: DeviceGroup) {
        const serial = device.adbConnectionSerial
        const index = selectedDevices.indexOf(serial)
        if (index >= 0) {
            const remaining = selectedDevices.slice()
            remaining.splice(index, 1)
            selectedDevices = remaining
            if (remaining.length === 0)
                currentSourceGroup = null
            return
        }
        if (selectedDevices.length > 0 && currentSourceGroup !== null && currentSourceGroup !== group)
            return
        selectedDevices = selectedDevices.concat([serial])
        currentSourceGroup = group
    }

    function clearSelection() {
        selectedDevices = []
        currentSourceGroup = null
    }

    function openMenu(device: Device, group: DeviceGroup, x: real, y: real) {
        if (!isSelected(device))
            selectOnly(device, group)
        deviceMenu.device = device
        const top = y + menuHeight > height ? Math.max(0, height - menuHeight) : y
        deviceMenu.popup(x, top)
    }

    // Presses on empty list space land here, behind the list: the list takes presses only
    // while it has something to scroll.
    MouseArea {
        objectName: "emptySpace"
        anchors.fill: parent
        onPressed: mouse => {
            if (!(mouse.modifiers & Qt.ControlModifier))
                root.clearSelection()
        }
    }

    ListView {
        id: list
        interactive: contentHeight > height
        objectName: "groupList"
        anchors.fill: parent
        anchors.margins: 10
        spacing: 5
        clip: true
        model: root.deviceGroupManager ? root.deviceGroupManager.deviceGroups : []


        delegate: Column {
            id: groupEntry

            required property DeviceGroup modelData
            readonly property DeviceGroup group: modelData
            readonly property bool isCurrent: root.deviceGroupManager !== null
                                              && root.deviceGroupManager.currentSelectedGroup === group
            readonly property bool expanded: root.expandedGroups.indexOf(group) >= 0

            width: ListView.view.width
            spacing: 5

            Rectangle {
                objectName: "groupHeader"
                width: parent.width
                height: 40
                radius: 4
                color: groupEntry.isCurrent ? Theme.backgroundBlackGreen : Theme.backgroundDarkGray

                MouseArea {
                    Accessible.role: Accessible.ListItem
                    Accessible.name: groupEntry.group ? groupEntry.group.name : ""
                    anchors.fill: parent
                    anchors.rightMargin: 40
                    onClicked: root.deviceGroupManager.setCurrentSelectedGroup(groupEntry.group)
                }

                RowLayout {
                    anchors.fill: parent
                    anchors.margins: 10
                    spacing: 8

                    Text {
                        text: groupEntry.group ? groupEntry.group.name : ""
                        color: groupEntry.isCurrent ? Theme.textGreen : Theme.textWhite
                        font.pixelSize: 14
                        font.bold: true
                        elide: Text.ElideRight
                        Layout.maximumWidth: 170
                    }
                    Text {
                        text: "(" + (groupEntry.group ? groupEntry.group.deviceCount : 0) + ")"
                        color: Theme.textGray
                        font.pixelSize: 12
                    }
                    Item {
                        Layout.fillWidth: true
                    }
                    Button {
                        id: expandButton
                        objectName: "expandButton"
                        Accessible.name: groupEntry.expanded ? qsTr("Collapse") : qsTr("Expand")
                        implicitWidth: 24
                        implicitHeight: 24
                        hoverEnabled: true
                        onClicked: root.expandedGroups = groupEntry.expanded
                                   ? root.expandedGroups.filter(g => g !== groupEntry.group)
                                   : root.expandedGroups.concat([groupEntry.group])
                        contentItem: Text {
                            text: groupEntry.expanded ? "▼" : "▲"
                            color: "white"
                            font.pixelSize: 10
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                        }
                        background: Rectangle {
                            radius: 3
                            color: expandButton.hovered ? Theme.hoverFill : "transparent"
                            border.width: expandButton.hovered ? 1 : 0
                            border.color: Theme.hoverBorder
                        }
                    }
                }
            }

            Repeater {
                model: groupEntry.expanded && groupEntry.group ? groupEntry.group.devicesForRepeater : []

                delegate: Rectangle {
                    id: row
                    objectName: "deviceRow"

                    required property Device modelData
                    readonly property Device device: modelData
                    // The row outlives its device by a moment when the device leaves.
                    readonly property bool present: device !== null
                    readonly property string serial: present ? device.adbConnectionSerial : ""
                    readonly property bool running: present && device.running
                    readonly property bool selected: present && root.selectedDevices.indexOf(serial) >= 0

                    x: groupEntry.width - width
                    width: groupEntry.width - 30
                    height: Math.max(55, rowContent.implicitHeight + 12)
                    radius: 2
                    color: selected ? Theme.backgroundBlackGreen : Theme.backgroundDarkGray
                    border.width: selected ? 2 : 0
                    border.color: Theme.selectedBorder

                    MouseArea {
                        objectName: "rowArea"
                        Accessible.role: Accessible.ListItem
                        Accessible.name: row.serial
                        anchors.fill: parent
                        anchors.rightMargin: 60
                        acceptedButtons: Qt.LeftButton | Qt.RightButton
                        onClicked: mouse => {
                            if (!row.present)
                                return
                            if (mouse.button === Qt.RightButton) {
                                const p = mapToItem(root, mouse.x, mouse.y)
                                root.openMenu(row.device, groupEntry.group, p.x, p.y)
                            } else if (mouse.modifiers & Qt.ControlModifier) {
                                root.toggleSelection(row.device, groupEntry.group)
                            } else {
                                root.selectOnly(row.device, groupEntry.group)
                            }
                        }
                    }

                    RowLayout {
                        id: rowContent
                        anchors.fill: parent
                        anchors.leftMargin: 10
                        anchors.rightMargin: 10
                        anchors.topMargin: 6
                        anchors.bottomMargin: 6
                        spacing: 8

                        Text {
                            text: row.present ? row.device.indexInGroup + 1 : ""
                            color: Theme.textWhite
                            font.pixelSize: 12
                        }
                        Column {
                            Layout.fillWidth: true
                            Text {
                                objectName: "nameLine"
                                width: parent.width
                                elide: Text.ElideRight
                                text: qsTr("name") + ": " + (row.present ? row.device.nickname : "")
                                color: Theme.textGray
                                font.pixelSize: Theme.textFont
                            }
                            Text {
                                width: parent.width
                                elide: Text.ElideRight
                                text: qsTr("serial") + ": " + row.serial
                                color: Theme.textGray
                                font.pixelSize: Theme.textFont
                            }
                            Text {
                                width: parent.width
                                elide: Text.ElideRight
                                text: "ip: " + (row.present ? row.device.ipAddress : "")
                                color: Theme.textGray
                                font.pixelSize: Theme.textFont
                            }
                            Text {
                                objectName: "connectionLine"
                                width: parent.width
                                elide: Text.ElideRight
                                text: qsTr("connection type") + ": "
                                      + (!row.present ? "USB"
                                         : row.device.connectionType === Device.WiFi ? "WiFi"
                                         : row.device.wifiSerial !== "" ? "USB+WiFi" : "USB")
                                color: Theme.textGray
                                font.pixelSize: Theme.textFont
                            }
                            Text {
                                objectName: "stateLine"
                                width: parent.width
                                wrapMode: Text.Wrap
                                visible: text !== ""
                                text: !row.present ? ""
                                      : (row.device.link.reconnecting ? qsTr("Reconnecting…") : "")
                                        + (row.device.link.reconnecting && row.device.link.stateText !== ""
                                           ? " · " : "")
                                        + row.device.link.stateText
                                color: Theme.textRed
                                font.pixelSize: Theme.textFont
                            }
                        }
                        BatteryLabel {
                            device: row.present ? row.device : null
                        }
                        Text {
                            objectName: "rowStartStop"
                            Layout.preferredWidth: 20
                            Layout.preferredHeight: 20
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                            text: row.running ? "■" : "▶"
                            color: row.running ? Theme.textRed : Theme.textGreen
                            font.pixelSize: 14
                            MouseArea {
                                Accessible.role: Accessible.Button
                                Accessible.name: (row.running ? qsTr("Stop") : qsTr("Start")) + " " + row.serial
                                anchors.fill: parent
                                onClicked: {
                                    if (!row.present)
                                        return
                                    if (row.running)
                                        row.device.stopScrcpySession()
                                    else
                                        row.device.startScrcpySession()
                                }
                            }
                        }
                        Text {
                            objectName: "rowRemove"
                            Layout.preferredWidth: 20
                            Layout.preferredHeight: 20
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                            text: "X"
                            color: Theme.textRed
                            font.pixelSize: 14
                            font.bold: true
                            MouseArea {
                                Accessible.role: Accessible.Button
                                Accessible.name: qsTr("Remove") + " " + row.serial
                                anchors.fill: parent
                                onClicked: if (row.present) row.device.removeFromDeviceGroup()
                            }
                        }
                    }
                }
            }
        }
    }

    DeviceMenu {
        id: deviceMenu
        objectName: "deviceMenu"
        deviceGroupManager: root.deviceGroupManager
        currentSourceGroup: root.currentSourceGroup
        selectedDevices: root.selectedDevices
        renameDialog: renameDialog
        deviceInfoDialog: infoDialog
        onClosed: root.clearSelection()
    }

    DialogHost {
        id: renameDialog
        sourceComponent: Component { DeviceRenameDialog {} }
        onCreated: dialog => dialog.deviceRenamed.connect((device, newNickname) => device.setNickName(newNickname))
    }

    DialogHost {
        id: infoDialog
        sourceComponent: Component { DeviceInfoDialog {} }
    }
}
