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

    function editEntry(row) {
        const box = row.type === KeyMappingModel.Swipe ? swipeEditBox : touchEditBox
        box.edit(row)
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

            MappingTable {
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

            MappingTable {
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

    Box {
        id: addBox
        objectName: "addBox"
        title: qsTr("Add New Key Mapping")
        width: 400
        height: 550

        property int keyCode: 0
        property int modifiers: 0
        property string keyDisplay: ""
        property int type: KeyMappingModel.Touch
        property bool duplicate: false

        function reset() {
            keyCode = 0
            modifiers = 0
            keyDisplay = ""
            type = KeyMappingModel.Touch
            duplicate = false
            addX.value = 0.5
            addY.value = 0.5
            addCount.value = 1
            addStartX.value = 0.2
            addStartY.value = 0.5
            addEndX.value = 0.8
            addEndY.value = 0.5
            addDuration.value = 200
        }

        function capture(key: int, mods: int) {
            if (key === Qt.Key_Control || key === Qt.Key_Alt || key === Qt.Key_Shift
                    || key === Qt.Key_Meta)
                return
            keyCode = key
            modifiers = mods
            keyDisplay = touchModel.keyText(key, mods)
            duplicate = false
        }

        function save() {
            if (!root.profile || keyDisplay === "")
                return
            for (const field of [addX, addY, addCount, addStartX, addStartY, addEndX, addEndY,
                                 addDuration])
                field.commit()
            const added = type === KeyMappingModel.Swipe
                ? swipeModel.addSwipe(keyCode, modifiers, addStartX.value, addStartY.value,
                                      addEndX.value, addEndY.value, addDuration.value)
                : touchModel.addTouch(keyCode, modifiers, addX.value, addY.value, addCount.value)
            if (!added) {
                duplicate = true
                return
            }
            reset()
            close()
        }

        onAboutToShow: {
            duplicate = false
            for (const field of [addX, addY, addCount, addStartX, addStartY, addEndX, addEndY,
                                 addDuration])
                field.show()
        }

        footerButtons: [
            PXButton {
                text: qsTr("Cancel")
                onClicked: addBox.close()
            },
            PXButton {
                objectName: "saveButton"
                text: qsTr("Save")
                enabled: addBox.keyDisplay !== ""
                onClicked: addBox.save()
            }
        ]

        GridLayout {
            anchors.fill: parent
            anchors.margins: 8
            columns: 3
            columnSpacing: 8
            rowSpacing: 10

            FieldLabel { text: qsTr("Key:") }
            KeyCapture {
                id: keyCapture
                objectName: "keyCapture"
                Layout.columnSpan: 2
                display: addBox.keyDisplay
                onKeyCaptured: (key, modifiers) => addBox.capture(key, modifiers)
            }

            FieldLabel { text: qsTr("Type:") }
            DialogComboBox {
                objectName: "typeBox"
                Layout.columnSpan: 2
                Layout.fillWidth: true
                readonly property var types: [KeyMappingModel.Touch, KeyMappingModel.Swipe]
                model: [qsTr("Touch"), qsTr("Swipe")]
                currentIndex: types.indexOf(addBox.type)
                onActivated: index => {
                    addBox.type = types[index]
                    currentIndex = Qt.binding(() => types.indexOf(addBox.type))
                }
            }

            FieldLabel { text: qsTr("X:"); visible: addBox.type === KeyMappingModel.Touch }
            NumberField { id: addX; objectName: "xField"; value: 0.5; visible: addBox.type === KeyMappingModel.Touch }
            Hint { visible: addBox.type === KeyMappingModel.Touch }

            FieldLabel { text: qsTr("Y:"); visible: addBox.type === KeyMappingModel.Touch }
            NumberField { id: addY; objectName: "yField"; value: 0.5; visible: addBox.type === KeyMappingModel.Touch }
            Hint { visible: addBox.type === KeyMappingModel.Touch }

            FieldLabel { text: qsTr("Count:"); visible: addBox.type === KeyMappingModel.Touch }
            NumberField {
                id: addCount
                objectName: "countField"
                integer: true
                minimum: 1
                maximum: 10
                value: 1
                visible: addBox.type === KeyMappingModel.Touch
            }
            Hint { text: qsTr("(1-10)"); visible: addBox.type === KeyMappingModel.Touch }

            FieldLabel { text: qsTr("Start X:"); visible: addBox.type === KeyMappingModel.Swipe }
            NumberField { id: addStartX; objectName: "startXField"; value: 0.2; visible: addBox.type === KeyMappingModel.Swipe }
            Hint { visible: addBox.type === KeyMappingModel.Swipe }

            FieldLabel { text: qsTr("Start Y:"); visible: addBox.type === KeyMappingModel.Swipe }
            NumberField { id: addStartY; objectName: "startYField"; value: 0.5; visible: addBox.type === KeyMappingModel.Swipe }
            Hint { visible: addBox.type === KeyMappingModel.Swipe }

            FieldLabel { text: qsTr("End X:"); visible: addBox.type === KeyMappingModel.Swipe }
            NumberField { id: addEndX; objectName: "endXField"; value: 0.8; visible: addBox.type === KeyMappingModel.Swipe }
            Hint { visible: addBox.type === KeyMappingModel.Swipe }

            FieldLabel { text: qsTr("End Y:"); visible: addBox.type === KeyMappingModel.Swipe }
            NumberField { id: addEndY; objectName: "endYField"; value: 0.5; visible: addBox.type === KeyMappingModel.Swipe }
            Hint { visible: addBox.type === KeyMappingModel.Swipe }

            FieldLabel { text: qsTr("Duration:"); visible: addBox.type === KeyMappingModel.Swipe }
            NumberField {
                id: addDuration
                objectName: "durationField"
                integer: true
                minimum: 50
                maximum: 2000
                value: 200
                visible: addBox.type === KeyMappingModel.Swipe
            }
            Hint { text: qsTr("(50-2000ms)"); visible: addBox.type === KeyMappingModel.Swipe }

            Text {
                objectName: "duplicateText"
                Layout.columnSpan: 3
                Layout.fillWidth: true
                visible: addBox.duplicate
                text: qsTr("This key is already mapped in this profile.")
                color: Theme.textRed
                font.pixelSize: Theme.contentFont
                wrapMode: Text.Wrap
            }

            Item {
                Layout.columnSpan: 3
                Layout.fillHeight: true
            }
        }
    }

    Box {
        id: touchEditBox
        objectName: "touchEditBox"
        title: qsTr("Edit Key Mapping")
        width: 400
        height: 280

        property int row: -1
        property string keyDisplay

        function edit(entry) {
            row = entry.index
            keyDisplay = entry.keyDisplay
            editX.value = entry.touchX
            editY.value = entry.touchY
            editCount.value = entry.count
            open()
        }

        function save() {
            for (const field of [editX, editY, editCount])
                field.commit()
            if (touchModel.setTouch(row, editX.value, editY.value, editCount.value))
                close()
        }

        onAboutToShow: {
            for (const field of [editX, editY, editCount])
                field.show()
        }

        footerButtons: [
            PXButton {
                text: qsTr("Cancel")
                onClicked: touchEditBox.close()
            },
            PXButton {
                objectName: "saveButton"
                text: qsTr("Save")
                onClicked: touchEditBox.save()
            }
        ]

        GridLayout {
            anchors.fill: parent
            anchors.margins: 8
            columns: 3
            columnSpacing: 8
            rowSpacing: 10

            FieldLabel { text: qsTr("Key:") }
            Text {
                Layout.columnSpan: 2
                text: touchEditBox.keyDisplay
                color: Theme.textGreen
                font.pixelSize: Theme.contentFont
                font.bold: true
            }

            FieldLabel { text: qsTr("X:") }
            NumberField { id: editX; objectName: "xField" }
            Hint {}

            FieldLabel { text: qsTr("Y:") }
            NumberField { id: editY; objectName: "yField" }
            Hint {}

            FieldLabel { text: qsTr("Count:") }
            NumberField { id: editCount; objectName: "countField"; integer: true; minimum: 1; maximum: 10 }
            Hint { text: qsTr("(1-10)") }

            Item {
                Layout.columnSpan: 3
                Layout.fillHeight: true
            }
        }
    }

    Box {
        id: swipeEditBox
        objectName: "swipeEditBox"
        title: qsTr("Edit Swipe Mapping")
        width: 450
        height: 520

        property int row: -1
        property string keyDisplay

        function edit(entry) {
            row = entry.index
            keyDisplay = entry.keyDisplay
            editStartX.value = entry.startX
            editStartY.value = entry.startY
            editEndX.value = entry.endX
            editEndY.value = entry.endY
            editDuration.value = entry.duration
            open()
        }

        function save() {
            for (const field of [editStartX, editStartY, editEndX, editEndY, editDuration])
                field.commit()
            if (swipeModel.setSwipe(row, editStartX.value, editStartY.value, editEndX.value,
                                    editEndY.value, editDuration.value))
                close()
        }

        onAboutToShow: {
            for (const field of [editStartX, editStartY, editEndX, editEndY, editDuration])
                field.show()
        }

        footerButtons: [
            PXButton {
                text: qsTr("Cancel")
                onClicked: swipeEditBox.close()
            },
            PXButton {
                objectName: "saveButton"
                text: qsTr("Save")
                onClicked: swipeEditBox.save()
            }
        ]

        GridLayout {
            anchors.fill: parent
            anchors.margins: 8
            columns: 3
            columnSpacing: 8
            rowSpacing: 10

            FieldLabel { text: qsTr("Key:") }
            Text {
                Layout.columnSpan: 2
                text: swipeEditBox.keyDisplay
                color: Theme.textGreen
                font.pixelSize: Theme.contentFont
                font.bold: true
            }

            FieldLabel { text: qsTr("Start X:") }
            NumberField { id: editStartX; objectName: "startXField" }
            Hint {}

            FieldLabel { text: qsTr("Start Y:") }
            NumberField { id: editStartY; objectName: "startYField" }
            Hint {}

            FieldLabel { text: qsTr("End X:") }
            NumberField { id: editEndX; objectName: "endXField" }
            Hint {}

            FieldLabel { text: qsTr("End Y:") }
            NumberField { id: editEndY; objectName: "endYField" }
            Hint {}

            FieldLabel { text: qsTr("Duration(ms):") }
            NumberField {
                id: editDuration
                objectName: "durationField"
                integer: true
                minimum: 50
                maximum: 2000
            }
            Hint { text: qsTr("(50-2000ms)") }

            Item {
                Layout.columnSpan: 3
                Layout.fillHeight: true
            }
        }
    }

    Box {
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

            FieldLabel { text: qsTr("Profile Name:") }
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

    Box {
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

    // ---- parts ----------------------------------------------------------------------------

    component Box: PXDialog {
        showCloseButton: false
    }

    component FieldLabel: Text {
        Layout.preferredWidth: 80
        color: Theme.textWhite
        font.pixelSize: Theme.contentFont
    }

    component Hint: Text {
        Layout.preferredWidth: 80
        color: Theme.textGray
        font.pixelSize: Theme.textFont
    }

    // A number field that only takes values meeting its rule: when editing ends, other text
    // leaves the last accepted value in force (and shows it again). Fractions by default.
    component NumberField: PXTextField {
        id: numberField

        property real value: 0
        property bool integer: false
        property real minimum: 0
        property real maximum: 1

        // Shows the value in force (two decimals for fractions).
        function show() {
            text = integer ? String(Math.round(value)) : Number(value).toFixed(2)
        }

        function commit() {
            const pattern = integer ? /^\s*\d+\s*$/ : /^\s*(\d+(\.\d*)?|\.\d+)\s*$/
            if (pattern.test(text)) {
                const number = integer ? parseInt(text, 10) : parseFloat(text)
                if (number >= minimum && number <= maximum)
                    value = number
            }
            show()
        }

        Layout.fillWidth: true
        onEditingFinished: commit()
        Component.onCompleted: show()
    }

    // Shows the captured key; a click gives it the keyboard, which then goes to keyCaptured.
    component KeyCapture: Rectangle {
        id: capture

        property string display

        signal keyCaptured(int key, int modifiers)

        Layout.fillWidth: true
        implicitHeight: Theme.textfieldHeight
        radius: 4
        color: Theme.backgroundDarkGray
        border.width: 1
        border.color: activeFocus ? Theme.borderLightGreen : Theme.borderDarkGray
        activeFocusOnTab: true

        Text {
            anchors.fill: parent
            anchors.leftMargin: 12
            verticalAlignment: Text.AlignVCenter
            text: capture.display !== "" ? capture.display : qsTr("Press a key...")
            color: capture.display !== "" ? Theme.textGreen : Theme.textGray
            font.pixelSize: Theme.contentFont
            font.bold: capture.display !== ""
        }

        MouseArea {
            anchors.fill: parent
            onClicked: capture.forceActiveFocus()
        }

        // Every key is the user's choice here, Escape and Tab included.
        Keys.onShortcutOverride: event => event.accepted = true
        Keys.onPressed: event => {
            event.accepted = true
            capture.keyCaptured(event.key, event.modifiers)
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

    // "#", "Key", three value columns by the entry's type, and the two actions.
    component MappingTable: Rectangle {
        id: table

        property var headers: []
        property KeyMappingModel model
        property bool hasProfile: false

        signal editRequested(var row)
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

                delegate: Rectangle {
                    id: row
                    objectName: "mappingRow"
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

                    width: ListView.view.width
                    height: 36
                    color: index % 2 === 0 ? Theme.backgroundBlack : Theme.backgroundPureBlack

                    Row {
                        anchors.fill: parent

                        Repeater {
                            model: row.cells

                            delegate: Text {
                                required property string modelData
                                required property int index
                                width: table.widths[index]
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
                                onClicked: table.editRequested(row)
                            }
                            PXButton {
                                objectName: "deleteButton"
                                anchors.verticalCenter: parent.verticalCenter
                                minWidth: 60
                                implicitHeight: 26
                                text: qsTr("Delete")
                                textColor: Theme.textRed
                                onClicked: table.model.remove(row.index)
                            }
                        }
                    }
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
}
