pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// Edits the key-mapping profiles: the current profile's touches and swipes, new and deleted
// profiles. Every change goes through the store, which saves it.
PXDialog {
    id: root

    readonly property KeyMappingProfile profile: KeyMapping.currentProfile

    function editEntry(row: KeyMappingRow) {
        if (row.type === KeyMappingModel.Swipe)
            swipeEditBox.edit(row)
        else
            touchEditBox.edit(row)
    }

    function indexOfName(names, name: string): int {
        for (let i = 0; i < names.length; ++i)
            if (names[i] === name)
                return i
        return -1
    }

    title: qsTr("Key Mapping Settings")
    width: 750
    height: 650

    footerButtons: [
        PXButton {
            objectName: "addMappingButton"
            text: qsTr("Add New Mapping")
            enabled: root.profile !== null
            onClicked: {
                addBox.type = tabBar.currentIndex === 1 ? KeyMappingModel.Swipe : KeyMappingModel.Touch
                addBox.open()
            }
        },
        PXButton {
            text: qsTr("Close")
            onClicked: root.close()
        }
    ]

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 4
        spacing: 10

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Text {
                text: qsTr("Mapping Profile:")
                color: Theme.textWhite
                font.pixelSize: Theme.contentFont
            }

            DialogComboBox {
                id: profileBox
                objectName: "profileBox"
                Layout.preferredWidth: 220
                model: KeyMapping.profileNames
                displayText: currentIndex >= 0 ? currentText : ""

                // The combo box moves its index itself on a choice and on a new list.
                readonly property int profileIndex: root.profile
                                                    ? root.indexOfName(KeyMapping.profileNames,
                                                                       root.profile.name)
                                                    : -1
                onProfileIndexChanged: currentIndex = profileIndex
                onCountChanged: currentIndex = profileIndex
                Component.onCompleted: currentIndex = profileIndex
                onActivated: index => {
                    KeyMapping.currentProfile = KeyMapping.getProfile(KeyMapping.profileNames[index])
                    currentIndex = profileIndex
                }
            }

            PXButton {
                objectName: "newProfileButton"
                text: qsTr("New")
                onClicked: newProfileBox.open()
            }

            PXButton {
                objectName: "deleteProfileButton"
                text: qsTr("Delete")
                textColor: Theme.textRed
                enabled: root.profile !== null
                onClicked: deleteProfileBox.open()
            }

            Item {
                Layout.fillWidth: true
            }
        }

        TabBar {
            id: tabBar
            objectName: "tabBar"
            Layout.fillWidth: true
            spacing: 4
            background: Rectangle {
                color: "transparent"
            }

            MappingTab {
                objectName: "touchTab"
                text: qsTr("Touch") + " (" + touchModel.count + ")"
            }
            MappingTab {
                objectName: "swipeTab"
                text: qsTr("Swipe") + " (" + swipeModel.count + ")"
            }
        }

        StackLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            currentIndex: tabBar.currentIndex

            KeyMappingTable {
                objectName: "touchTable"
                hasProfile: root.profile !== null
                onEditRequested: row => root.editEntry(row)
                headers: ["#", qsTr("Key"), qsTr("X"), qsTr("Y"), qsTr("Count"), qsTr("Actions")]
                model: KeyMappingModel {
                    id: touchModel
                    profile: root.profile
                    type: KeyMappingModel.Touch
                }
            }

            KeyMappingTable {
                objectName: "swipeTable"
                hasProfile: root.profile !== null
                onEditRequested: row => root.editEntry(row)
                headers: ["#", qsTr("Key"), qsTr("Start"), qsTr("End"), qsTr("Duration(ms)"),
                          qsTr("Actions")]
                model: KeyMappingModel {
                    id: swipeModel
                    profile: root.profile
                    type: KeyMappingModel.Swipe
                }
            }
        }
    }

    // ---- boxes ----------------------------------------------------------------------------

    KeyMappingAddBox {
        id: addBox
        touches: touchModel
        swipes: swipeModel
    }

    KeyMappingTouchEditBox {
        id: touchEditBox
        rows: touchModel
    }

    KeyMappingSwipeEditBox {
        id: swipeEditBox
        rows: swipeModel
    }

    KeyMappingBox {
        id: newProfileBox
        objectName: "newProfileBox"
        title: qsTr("Create New Profile")
        width: 400
        height: 200

        property bool taken: false

        function create() {
            const name = profileNameField.text.trim()
            if (name === "")
                return
            if (!KeyMapping.addProfile(name)) {
                taken = true
                return
            }
            KeyMapping.currentProfile = KeyMapping.getProfile(name)
            profileNameField.text = ""
            close()
        }

        onAboutToShow: taken = false
        onOpened: profileNameField.forceActiveFocus()

        footerButtons: [
            PXButton {
                text: qsTr("Cancel")
                onClicked: newProfileBox.close()
            },
            PXButton {
                objectName: "createButton"
                text: qsTr("Create")
                enabled: profileNameField.text.trim() !== ""
                onClicked: newProfileBox.create()
            }
        ]

        ColumnLayout {
            anchors.fill: parent
            anchors.margins: 8
            spacing: 8

            KeyMappingLabel { text: qsTr("Profile Name:") }
            PXTextField {
                id: profileNameField
                objectName: "profileNameField"
                placeholderTextValue: qsTr("Enter profile name...")
                onTextEdited: newProfileBox.taken = false
                onAccepted: newProfileBox.create()
            }
            Text {
                objectName: "takenText"
                visible: newProfileBox.taken
                text: qsTr("A profile of this name exists already.")
                color: Theme.textRed
                font.pixelSize: Theme.contentFont
            }
            Item {
                Layout.fillHeight: true
            }
        }
    }

    KeyMappingBox {
        id: deleteProfileBox
        objectName: "deleteProfileBox"
        title: qsTr("Delete Profile")
        width: 400
        height: 200

        footerButtons: [
            PXButton {
                text: qsTr("Cancel")
                onClicked: deleteProfileBox.close()
            },
            PXButton {
                objectName: "confirmDeleteButton"
                text: qsTr("Delete")
                textColor: Theme.textWhite
                backgroundColor: Theme.danger
                onClicked: {
                    if (root.profile)
                        KeyMapping.removeProfile(root.profile.name)
                    deleteProfileBox.close()
                }
            }
        ]

        Text {
            objectName: "deleteQuestion"
            anchors.fill: parent
            anchors.margins: 8
            text: qsTr("Are you sure you want to delete profile") + " \""
                  + (root.profile ? root.profile.name : "") + "\"?"
            color: Theme.textWhite
            font.pixelSize: Theme.titleFont
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
    }

    component MappingTab: TabButton {
        id: tab
        width: implicitWidth + 20
        contentItem: Text {
            text: tab.text
            color: tab.checked ? Theme.textGreen : Theme.textGray
            font.pixelSize: Theme.contentFont
            font.bold: tab.checked
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            color: tab.checked ? Theme.backgroundBlackGreen : Theme.backgroundDarkGray
            radius: 4
            border.width: 1
            border.color: tab.checked ? Theme.borderDarkGreen : Theme.borderDarkGray
        }
    }
}
