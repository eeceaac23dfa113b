pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// Creates, renames and deletes device groups; names are trimmed and must be unique.
PXDialog {
    id: root

    required property DeviceGroupManager deviceGroupManager

    readonly property var groups: deviceGroupManager ? deviceGroupManager.deviceGroups : []
    // The group the edit box or the delete confirmation is about.
    property DeviceGroup targetGroup: null

    title: qsTr("Device Group Manager")
    width: 600
    height: 500
    showCloseButton: false

    // The reason a name cannot be given to a group (to `exceptGroup` when renaming), or "".
    function nameProblem(name, exceptGroup) {
        const trimmed = name.trim()
        if (trimmed === "")
            return qsTr("Group name cannot be empty")
        for (let i = 0; i < groups.length; ++i)
            if (groups[i] !== exceptGroup && groups[i].name === trimmed)
                return qsTr("Group name already exists")
        return ""
    }

    function showError(message: string) {
        errorAlert.alertMessage = message
        errorAlert.open()
    }

    function createGroup(name: string): bool {
        const problem = nameProblem(name, null)
        if (problem !== "") {
            showError(problem)
            return false
        }
        deviceGroupManager.createDeviceGroup(name.trim())
        return true
    }

    function renameGroup(group: DeviceGroup, name: string): bool {
        const problem = nameProblem(name, group)
        if (problem !== "") {
            showError(problem)
            return false
        }
        group.renameTo(name.trim())
        return true
    }

    function openEdit(group: DeviceGroup) {
        targetGroup = group
        editBox.open()
    }

    function openDelete(group: DeviceGroup) {
        targetGroup = group
        deleteBox.open()
    }

    headerItems: [
        PXButton {
            objectName: "newGroupButton"
            text: qsTr("New Group")
            onClicked: newBox.open()
        }
    ]

    footerButtons: [
        PXButton {
            text: qsTr("Close")
            onClicked: root.close()
        }
    ]

    ListView {
        id: list
        objectName: "groupList"
        anchors.fill: parent
        clip: true
        spacing: 4
        model: root.groups
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}

        delegate: Rectangle {
            id: row
            objectName: "groupRow"
            required property DeviceGroup modelData

            width: ListView.view.width
            height: 40
            radius: 4
            color: Theme.backgroundDarkGray

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 12
                anchors.rightMargin: 8
                spacing: 8

                Text {
                    Layout.fillWidth: true
                    text: row.modelData.name
                    color: Theme.textWhite
                    font.pixelSize: Theme.titleFont
                    elide: Text.ElideRight
                }

                PXButton {
                    objectName: "editButton"
                    text: qsTr("Edit")
                    textColor: Theme.textYellow
                    onClicked: root.openEdit(row.modelData)
                }

                PXButton {
                    objectName: "deleteButton"
                    text: qsTr("Delete")
                    textColor: Theme.textRed
                    enabled: root.groups.length > 1
                    onClicked: root.openDelete(row.modelData)
                }
            }
        }

        Text {
            anchors.centerIn: parent
            visible: root.groups.length === 0
            text: qsTr("No device groups")
            color: Theme.textGray
            font.pixelSize: Theme.contentFont
        }
    }

    NameBox {
        id: newBox
        objectName: "newGroupBox"
        confirmText: qsTr("Create")
        onAboutToShow: newBox.field.text = ""
        onConfirmed: name => {
            if (root.createGroup(name))
                newBox.close()
        }
    }

    NameBox {
        id: editBox
        objectName: "editGroupBox"
        confirmText: qsTr("Save")
        onAboutToShow: editBox.field.text = root.targetGroup ? root.targetGroup.name : ""
        onConfirmed: name => {
            if (root.targetGroup && root.renameGroup(root.targetGroup, name))
                editBox.close()
        }
    }

    PXDialog {
        id: deleteBox
        objectName: "deleteGroupBox"
        width: 350
        height: 150
        showHeader: false
        contentFramed: false

        footerButtons: [
            PXButton {
                text: qsTr("Cancel")
                onClicked: deleteBox.close()
            },
            PXButton {
                objectName: "confirmDeleteButton"
                text: qsTr("Delete")
                textColor: Theme.textWhite
                backgroundColor: Theme.danger
                onClicked: {
                    if (root.targetGroup)
                        root.deviceGroupManager.removeDeviceGroup(root.targetGroup)
                    deleteBox.close()
                }
            }
        ]

        Text {
            objectName: "deleteQuestion"
            anchors.fill: parent
            text: qsTr("Are you sure you want to delete group \"%1\"?")
                  .arg(root.targetGroup ? root.targetGroup.name : "")
            color: Theme.textWhite
            font.pixelSize: Theme.titleFont
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
    }

    PXAlert {
        id: errorAlert
        objectName: "groupErrorAlert"
        parent: Overlay.overlay
        alertTitle: qsTr("Error")
        titleColor: Theme.textRed
        buttonText: qsTr("OK")
    }

    // The box of a group name: "Group Name", the field, Cancel and the confirming button
    // (enabled while the trimmed name is not empty).
    component NameBox: PXDialog {
        id: box

        property alias field: nameField
        property string confirmText

        signal confirmed(string name)

        width: 350
        height: 200
        showHeader: false
        contentFramed: false
        onOpened: nameField.forceActiveFocus()

        footerButtons: [
            PXButton {
                text: qsTr("Cancel")
                onClicked: box.close()
            },
            PXButton {
                objectName: "confirmButton"
                text: box.confirmText
                enabled: nameField.text.trim() !== ""
                onClicked: box.confirmed(nameField.text)
            }
        ]

        ColumnLayout {
            anchors.fill: parent
            spacing: 12

            Text {
                text: qsTr("Group Name")
                color: Theme.textGreen
                font.pixelSize: Theme.titleFont
                font.bold: true
            }

            PXTextField {
                id: nameField
                objectName: "nameField"
                placeholderTextValue: qsTr("Enter group name...")
                onAccepted: {
                    if (text.trim() !== "")
                        box.confirmed(text)
                }
            }

            Item {
                Layout.fillHeight: true
            }
        }
    }
}
