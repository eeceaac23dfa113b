pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// The current group's stream and layout settings. Every move writes through to the group at
// once (it saves and pushes them itself), so "Save" only closes.
PXDialog {
    id: root

    required property DeviceGroupManager deviceGroupManager
    readonly property DeviceGroup group: deviceGroupManager ? deviceGroupManager.currentSelectedGroup
                                                           : null

    title: qsTr("Group Settings")
    width: 800
    height: 580
    showCloseButton: false

    footerButtons: [
        PXButton {
            objectName: "saveButton"
            text: qsTr("Save")
            onClicked: root.close()
        }
    ]

    RowLayout {
        anchors.fill: parent
        anchors.margins: 4
        spacing: 12

        SettingsPane {
            title: qsTr("General Settings")
            Layout.preferredWidth: 240
            Layout.fillWidth: false

            SettingSlider {

                group: root.group
                objectName: "clickDelaySlider"
                label: qsTr("Group Control Delay:")
                key: "clickDelaySeconds"
                from: 0
                to: 20
                stepSize: 1
                unit: " s"
            }
            SettingSwitch {
                group: root.group
                objectName: "showControlButtonsSwitch"
                label: qsTr("Show Control Buttons:")
                key: "showControlButtons"
            }
            SettingSwitch {
                group: root.group
                objectName: "enableAudioSwitch"
                label: qsTr("Enable Sound Output:")
                key: "enableAudio"
                note: qsTr("Android 11 or later") + ", " + qsTr("Need Reconnect")
            }
        }

        SettingsPane {
            title: qsTr("Small Window Settings")

            SettingSlider {

                group: root.group
                objectName: "cellWidthSlider"
                label: qsTr("Width:")
                key: "cellWidth"
                from: 220
                to: 720
                stepSize: 10
                unit: " px"
            }
            SettingSwitch {
                group: root.group
                objectName: "matchTileSizeSwitch"
                label: qsTr("Match Tile Size:")
                key: "matchTileSize"
                note: qsTr("Need Reconnect")
            }
            SettingSlider {
                group: root.group
                objectName: "maxSizeSlider"
                label: qsTr("Resolution:")
                key: "maxSize"
                from: 220
                to: 2400
                stepSize: 10
                unit: " px"
                note: qsTr("Need Reconnect")
            }
            SettingSlider {
                group: root.group
                objectName: "maxFPSSlider"
                label: qsTr("Frame Rate:")
                key: "maxFPS"
                from: 5
                to: 100
                stepSize: 1
                unit: " fps"
                note: qsTr("Need Reconnect")
            }
            SettingSlider {
                group: root.group
                objectName: "bitRateSlider"
                label: qsTr("Bit Rate:")
                key: "bitRate"
                factor: 1000000
                from: 2
                to: 8
                stepSize: 1
                unit: " Mbps"
                note: qsTr("Need Reconnect")
            }
        }

        SettingsPane {
            title: qsTr("Big Window Settings")

            SettingSlider {

                group: root.group
                objectName: "bigViewWidthSlider"
                label: qsTr("Big View Width:")
                key: "bigViewWidth"
                from: 400
                to: 1280
                stepSize: 10
                unit: " px"
            }
            SettingSlider {
                group: root.group
                objectName: "maxSizeBigViewSlider"
                label: qsTr("Resolution:")
                key: "maxSizeBigView"
                from: 220
                to: 2400
                stepSize: 10
                unit: " px"
                note: qsTr("Need Reconnect")
            }
            SettingSlider {
                group: root.group
                objectName: "maxFPSBigViewSlider"
                label: qsTr("Frame Rate:")
                key: "maxFPSBigView"
                from: 5
                to: 100
                stepSize: 1
                unit: " fps"
                note: qsTr("Need Reconnect")
            }
            SettingSlider {
                group: root.group
                objectName: "bitRateBigViewSlider"
                label: qsTr("Bit Rate:")
                key: "bitRateBigView"
                factor: 1000000
                from: 2
                to: 8
                stepSize: 1
                unit: " Mbps"
                note: qsTr("Need Reconnect")
            }
        }
    }

    // A titled column of settings.
    component SettingsPane: Rectangle {
        id: pane

        property string title
        default property alias rows: column.data

        Layout.fillWidth: true
        Layout.fillHeight: true
        color: Theme.backgroundPureBlack
        radius: 6
        border.width: 1
        border.color: Theme.borderDarkGray

        ColumnLayout {
            id: column
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.margins: 12
            spacing: 14

            Text {
                text: pane.title
                color: Theme.textGreen
                font.pixelSize: Theme.titleFont
                font.bold: true
            }
        }
    }

    // A group setting by its property name (`key`); the setter's name follows from it.
    component SettingRow: ColumnLayout {
        id: settingRow

        // Inline components do not see the file's ids: the dialog hands the group in.
        property DeviceGroup group: null
        property string label
        property string key
        property string note
        readonly property var groupValue: group ? group[key] : undefined

        Layout.fillWidth: true
        spacing: 2

        function write(value) {
            if (!group || group[key] === value)
                return
            const setter = "set" + key.charAt(0).toUpperCase() + key.slice(1)
            group[setter](value)
        }
    }

    component SettingSlider: SettingRow {
        id: sliderRow

        property real from
        property real to
        property real stepSize: 1
        // The group holds value × factor (bits per second for a slider in Mbps).
        property real factor: 1
        property string unit
        property alias slider: control

        function sync() {
            if (sliderRow.groupValue !== undefined)
                control.value = sliderRow.groupValue / sliderRow.factor
        }
        onGroupValueChanged: sync()
        Component.onCompleted: sync()

        // Label and value above a slider as wide as the pane: three panes leave too little
        // room for all three on one line.
        RowLayout {
            Layout.fillWidth: true
            spacing: 6

            Text {
                Layout.fillWidth: true
                text: sliderRow.label
                color: Theme.textWhite
                font.pixelSize: Theme.contentFont
                elide: Text.ElideRight
            }

            Text {
                objectName: "valueText"
                text: Math.round(control.value * 10) / 10 + sliderRow.unit
                color: Theme.textGreen
                font.pixelSize: Theme.contentFont
                font.bold: true
            }
        }

        Slider {
            id: control
            objectName: "slider"
            Accessible.name: sliderRow.label
            Layout.fillWidth: true
            from: sliderRow.from
            to: sliderRow.to
            stepSize: sliderRow.stepSize
            snapMode: Slider.SnapAlways
            onMoved: sliderRow.write(Math.round(value * sliderRow.factor))

            background: Rectangle {
                implicitWidth: 120
                implicitHeight: 4
                x: control.leftPadding
                y: control.topPadding + control.availableHeight / 2 - height / 2
                width: control.availableWidth
                height: implicitHeight
                radius: 2
                color: Theme.backgroundDarkGray

                Rectangle {
                    width: control.visualPosition * parent.width
                    height: parent.height
                    radius: 2
                    color: Theme.primary
                }
            }

            handle: Rectangle {
                x: control.leftPadding + control.visualPosition * (control.availableWidth - width)
                y: control.topPadding + control.availableHeight / 2 - height / 2
                implicitWidth: 16
                implicitHeight: 16
                radius: 8
                color: control.pressed ? Theme.primaryLight : Theme.primary
                border.width: control.visualFocus ? 2 : 1
                border.color: control.visualFocus ? Theme.textWhite : Theme.borderDarkGreen
            }
        }

        Text {
            visible: sliderRow.note !== ""
            text: sliderRow.note
            color: Theme.textGray
            font.pixelSize: Theme.textFont
        }
    }

    component SettingSwitch: SettingRow {
        id: switchRow

        property alias toggle: control

        function sync() {
            if (switchRow.groupValue !== undefined)
                control.checked = switchRow.groupValue
        }
        onGroupValueChanged: sync()
        Component.onCompleted: sync()

        RowLayout {
            Layout.fillWidth: true
            spacing: 6

            Text {
                Layout.fillWidth: true
                text: switchRow.label
                color: Theme.textWhite
                font.pixelSize: Theme.contentFont
                wrapMode: Text.Wrap
            }

            Switch {
                id: control
                objectName: "switch"
                Accessible.name: switchRow.label
                onToggled: switchRow.write(checked)

                indicator: Rectangle {
                    implicitWidth: 40
                    implicitHeight: 20
                    x: control.leftPadding
                    y: parent.height / 2 - height / 2
                    radius: 10
                    color: control.checked ? Theme.primaryDark : Theme.backgroundDarkGray
                    border.color: control.checked ? Theme.primary : Theme.borderDarkGray

                    Rectangle {
                        x: control.checked ? parent.width - width - 2 : 2
                        anchors.verticalCenter: parent.verticalCenter
                        width: 16
                        height: 16
                        radius: 8
                        color: control.checked ? Theme.textGreen : Theme.textGray
                    }
                }
            }
        }

        Text {
            visible: switchRow.note !== ""
            text: switchRow.note
            color: Theme.textGray
            font.pixelSize: Theme.textFont
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
    }
}
