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
    readonly property var mappings: KeyMapping.currentMappings
    readonly property var touchMappings: mappings.filter(m => m.type === 0)
    readonly property var swipeMappings: mappings.filter(m => m.type === 1)
    readonly property bool isMac: Qt.platform.os === "osx" || Qt.platform.os === "macos"

    // On macOS Qt reports the Command key as Control and the Control key as Meta.
    function keyDisplayFor(key: int, modifiers: int, mac: bool): string {
        let text = ""
        if (modifiers & Qt.ControlModifier)
            text += mac ? "Cmd+" : "Ctrl+"
        if (modifiers & Qt.MetaModifier)
            text += mac ? "Ctrl+" : "Meta+"
        if (modifiers & Qt.AltModifier)
            text += "Alt+"
        if (modifiers & Qt.ShiftModifier)
            text += "Shift+"
        return text + keyName(key)
    }

    function keyName(key: int): string {
        if ((key >= Qt.Key_A && key <= Qt.Key_Z) || (key >= Qt.Key_0 && key <= Qt.Key_9))
            return String.fromCharCode(key)
        if (key >= Qt.Key_F1 && key <= Qt.Key_F12)
            return "F" + (key - Qt.Key_F1 + 1)
        const names = {}
        names[Qt.Key_Space] = "Space"
        names[Qt.Key_Minus] = "-"
        names[Qt.Key_Equal] = "="
        names[Qt.Key_BracketLeft] = "["
        names[Qt.Key_BracketRight] = "]"
        names[Qt.Key_Backslash] = "\\"
        names[Qt.Key_Semicolon] = ";"
        names[Qt.Key_Apostrophe] = "'"
        names[Qt.Key_Comma] = ","
        names[Qt.Key_Period] = "."
        names[Qt.Key_Slash] = "/"
        names[Qt.Key_QuoteLeft] = "`"
        names[Qt.Key_Escape] = "Esc"
        names[Qt.Key_Tab] = "Tab"
        names[Qt.Key_Return] = "Enter"
        names[Qt.Key_Backspace] = "Backspace"
        names[Qt.Key_Delete] = "Delete"
        names[Qt.Key_Insert] = "Insert"
        names[Qt.Key_Home] = "Home"
        names[Qt.Key_End] = "End"
        names[Qt.Key_PageUp] = "PageUp"
        names[Qt.Key_PageDown] = "PageDown"
        names[Qt.Key_Left] = "Left"
        names[Qt.Key_Right] = "Right"
        names[Qt.Key_Up] = "Up"
        names[Qt.Key_Down] = "Down"
        return names[key] !== undefined ? names[key] : "Key_" + key
    }

    // The entry's index in the profile: the first one with the same key and modifiers.
    function indexOfEntry(entry): int {
        for (let i = 0; i < mappings.length; ++i)
            if (mappings[i].keyCode === entry.keyCode && mappings[i].modifiers === entry.modifiers)
                return i
        return -1
    }

    function removeEntry(entry) {
        if (profile)
            profile.removeMapping(indexOfEntry(entry))
    }

    function editEntry(entry) {
        if (entry.type === 1) {
            swipeEditBox.entry = entry
            swipeEditBox.open()
        } else {
            touchEditBox.entry = entry
            touchEditBox.open()
        }
    }

    function indexOfName(names, name: string): int {
        for (let i = 0; i < names.length; ++i)
            if (names[i] === name)
                return i
        return -1
    }

    function fixed(value): string {
        return Number(value).toFixed(2)
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
                addBox.type = tabBar.currentIndex
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
                text: qsTr("Touch") + " (" + root.touchMappings.length + ")"
            }
            MappingTab {
                objectName: "swipeTab"
                text: qsTr("Swipe") + " (" + root.swipeMappings.length + ")"
            }
        }

        StackLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            currentIndex: tabBar.currentIndex

            MappingTable {
                objectName: "touchTable"
                hasProfile: root.profile !== null
                onEditRequested: entry => root.editEntry(entry)
                onRemoveRequested: entry => root.removeEntry(entry)
                headers: ["#", qsTr("Key"), qsTr("X"), qsTr("Y"), qsTr("Count"), qsTr("Actions")]
                entries: root.touchMappings
                cellsOf: entry => [root.fixed(entry.data.x), root.fixed(entry.data.y),
                                   String(entry.data.count !== undefined ? entry.data.count : 1)]
            }

            MappingTable {
                objectName: "swipeTable"
                hasProfile: root.profile !== null
                onEditRequested: entry => root.editEntry(entry)
                onRemoveRequested: entry => root.removeEntry(entry)
                headers: ["#", qsTr("Key"), qsTr("Start"), qsTr("End"), qsTr("Duration(ms)"),
                          qsTr("Actions")]
                entries: root.swipeMappings
                cellsOf: entry => [
                    "(" + root.fixed(entry.data.startX) + ", " + root.fixed(entry.data.startY) + ")",
                    "(" + root.fixed(entry.data.endX) + ", " + root.fixed(entry.data.endY) + ")",
                    String(entry.data.duration !== undefined ? entry.data.duration : 200)]
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
        property int type: 0
        property bool duplicate: false

        function reset() {
            keyCode = 0
            modifiers = 0
            keyDisplay = ""
            type = 0
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
            keyDisplay = root.keyDisplayFor(key, mods, root.isMac)
            duplicate = false
        }

        function save() {
            const target = root.profile
            if (!target || keyDisplay === "")
                return
            for (const field of [addX, addY, addCount, addStartX, addStartY, addEndX, addEndY,
                                 addDuration])
                field.commit()
            const added = type === 1
                ? target.addSwipeMapping(keyCode, modifiers, keyDisplay, addStartX.value,
                                         addStartY.value, addEndX.value, addEndY.value,
                                         addDuration.value)
                : target.addMapping(keyCode, modifiers, keyDisplay, addX.value, addY.value,
                                    addCount.value)
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
                model: [qsTr("Touch"), qsTr("Swipe")]
                currentIndex: addBox.type
                onActivated: index => {
                    addBox.type = index
                    currentIndex = Qt.binding(() => addBox.type)
                }
            }

            FieldLabel { text: qsTr("X:"); visible: addBox.type === 0 }
            NumberField { id: addX; objectName: "xField"; value: 0.5; visible: addBox.type === 0 }
            Hint { visible: addBox.type === 0 }

            FieldLabel { text: qsTr("Y:"); visible: addBox.type === 0 }
            NumberField { id: addY; objectName: "yField"; value: 0.5; visible: addBox.type === 0 }
            Hint { visible: addBox.type === 0 }

            FieldLabel { text: qsTr("Count:"); visible: addBox.type === 0 }
            NumberField {
                id: addCount
                objectName: "countField"
                integer: true
                minimum: 1
                maximum: 10
                value: 1
                visible: addBox.type === 0
            }
            Hint { text: qsTr("(1-10)"); visible: addBox.type === 0 }

            FieldLabel { text: qsTr("Start X:"); visible: addBox.type === 1 }
            NumberField { id: addStartX; objectName: "startXField"; value: 0.2; visible: addBox.type === 1 }
            Hint { visible: addBox.type === 1 }

            FieldLabel { text: qsTr("Start Y:"); visible: addBox.type === 1 }
            NumberField { id: addStartY; objectName: "startYField"; value: 0.5; visible: addBox.type === 1 }
            Hint { visible: addBox.type === 1 }

            FieldLabel { text: qsTr("End X:"); visible: addBox.type === 1 }
            NumberField { id: addEndX; objectName: "endXField"; value: 0.8; visible: addBox.type === 1 }
            Hint { visible: addBox.type === 1 }

            FieldLabel { text: qsTr("End Y:"); visible: addBox.type === 1 }
            NumberField { id: addEndY; objectName: "endYField"; value: 0.5; visible: addBox.type === 1 }
            Hint { visible: addBox.type === 1 }

            FieldLabel { text: qsTr("Duration:"); visible: addBox.type === 1 }
            NumberField {
                id: addDuration
                objectName: "durationField"
                integer: true
                minimum: 50
                maximum: 2000
                value: 200
                visible: addBox.type === 1
            }
            Hint { text: qsTr("(50-2000ms)"); visible: addBox.type === 1 }

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

        property var entry: null
        property bool duplicate: false

        function save() {
            const target = root.profile
            if (!target || !entry)
                return
            for (const field of [editX, editY, editCount])
                field.commit()
            if (target.updateMapping(root.indexOfEntry(entry), entry.keyCode, entry.modifiers,
                                     entry.keyDisplay, editX.value, editY.value, editCount.value))
                close()
        }

        onAboutToShow: {
            if (!entry)
                return
            editX.value = entry.data.x
            editY.value = entry.data.y
            editCount.value = entry.data.count !== undefined ? entry.data.count : 1
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
                text: touchEditBox.entry ? touchEditBox.entry.keyDisplay : ""
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

        property var entry: null

        // The entry goes and comes back at the end of the list with the new values.
        function save() {
            const target = root.profile
            if (!target || !entry)
                return
            for (const field of [editStartX, editStartY, editEndX, editEndY, editDuration])
                field.commit()
            const index = root.indexOfEntry(entry)
            if (index < 0 || !target.removeMapping(index))
                return
            if (target.addSwipeMapping(entry.keyCode, entry.modifiers, entry.keyDisplay,
                                       editStartX.value, editStartY.value, editEndX.value,
                                       editEndY.value, editDuration.value))
                close()
        }

        onAboutToShow: {
            if (!entry)
                return
            editStartX.value = entry.data.startX
            editStartY.value = entry.data.startY
            editEndX.value = entry.data.endX
            editEndY.value = entry.data.endY
            editDuration.value = entry.data.duration !== undefined ? entry.data.duration : 200
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
                text: swipeEditBox.entry ? swipeEditBox.entry.keyDisplay : ""
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

    // "#", "Key", three value columns from cellsOf(entry), and the two actions.
    component MappingTable: Rectangle {
        id: table

        property var headers: []
        property var entries: []
        property var cellsOf: entry => []
        property bool hasProfile: false

        signal editRequested(var entry)
        signal removeRequested(var entry)
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
                model: table.entries
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar {}

                delegate: Rectangle {
                    id: row
                    objectName: "mappingRow"
                    required property var modelData
                    required property int index
                    readonly property var cells: [String(index + 1), modelData.keyDisplay]
                                                 .concat(table.cellsOf(modelData))

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
                                onClicked: table.editRequested(row.modelData)
                            }
                            PXButton {
                                objectName: "deleteButton"
                                anchors.verticalCenter: parent.verticalCenter
                                minWidth: 60
                                implicitHeight: 26
                                text: qsTr("Delete")
                                textColor: Theme.textRed
                                onClicked: table.removeRequested(row.modelData)
                            }
                        }
                    }
                }
            }

            Text {
                Layout.alignment: Qt.AlignHCenter
                Layout.bottomMargin: 8
                visible: table.entries.length === 0
                text: table.hasProfile ? qsTr("No mappings yet") : qsTr("Create a profile first")
                color: Theme.textGray
                font.pixelSize: Theme.contentFont
            }
        }
    }
}
