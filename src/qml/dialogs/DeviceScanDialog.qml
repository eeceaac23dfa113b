pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// Lists the phones adb sees that are in no group yet; the ticked ones join the chosen group.
PXDialog {
    id: root

    required property DeviceGroupManager deviceGroupManager

    // Ticked phones in the order of ticking, and their serials for quick lookup.
    property var selectedDevices: []
    property var selectedSerials: ({})
    property bool selectAll: false
    property DeviceGroup selectedGroup: null

    // The manager may go first when the window closes.
    readonly property var availableDevices: deviceGroupManager ? deviceGroupManager.availableDeviceInfos
                                                               : []
    readonly property var groups: deviceGroupManager ? deviceGroupManager.deviceGroups : []
    // Phones adb lists that cannot be added yet, shown greyed with what to do about them.
    readonly property var unreadyPhones: deviceGroupManager ? deviceGroupManager.unreadyPhones : []
    readonly property bool scanning: deviceGroupManager ? deviceGroupManager.isScanning : false
    readonly property bool canAdd: selectedDevices.length > 0 && selectedGroup !== null

    title: qsTr("Scan Devices")
    width: 800
    height: 600
    showCloseButton: false

    function isTicked(serial: string): bool {
        return selectedSerials[serial] === true
    }

    function clearSelection() {
        selectedDevices = []
        selectedSerials = {}
        selectAll = false
    }

    function setTicked(info, ticked: bool) {
        const serial = info.adb_serial
        if (ticked) {
            if (isTicked(serial))
                return
            selectedDevices = selectedDevices.concat([info])
            const serials = Object.assign({}, selectedSerials)
            serials[serial] = true
            selectedSerials = serials
            return
        }
        selectedDevices = selectedDevices.filter(d => d.adb_serial !== serial)
        const serials = Object.assign({}, selectedSerials)
        delete serials[serial]
        selectedSerials = serials
        // The other ticks stay; only the "all" claim is no longer true.
        selectAll = false
    }

    function toggleRow(info) {
        setTicked(info, !isTicked(info.adb_serial))
    }

    function setSelectAll(on: bool) {
        if (!on) {
            clearSelection()
            return
        }
        for (let i = 0; i < availableDevices.length; ++i)
            setTicked(availableDevices[i], true)
        selectAll = true
    }

    function addToGroup() {
        if (!canAdd)
            return
        if (selectedGroup.addDevices(selectedDevices)) {
            clearSelection()
            close()
        }
    }

    // Ticks of phones that are no longer listed (they joined a group or left adb) go.
    function dropUnlisted() {
        const listed = {}
        for (let i = 0; i < availableDevices.length; ++i)
            listed[availableDevices[i].adb_serial] = true
        const kept = selectedDevices.filter(d => listed[d.adb_serial] === true)
        if (kept.length === selectedDevices.length)
            return
        const serials = {}
        for (const d of kept)
            serials[d.adb_serial] = true
        selectedDevices = kept
        selectedSerials = serials
    }

    onAvailableDevicesChanged: dropUnlisted()

    onAboutToShow: {
        clearSelection()
        selectedGroup = deviceGroupManager.currentSelectedGroup
        groupBox.currentIndex = groupBox.indexOfTarget()
        scanTimer.restart()
    }

    onClosed: {
        clearSelection()
        scanTimer.stop()
        if (deviceGroupManager)
            deviceGroupManager.clearAvailableDevices()
    }

    // The dialog is drawn before the scan starts.
    Timer {
        id: scanTimer
        objectName: "scanTimer"
        interval: 300
        onTriggered: root.deviceGroupManager.scanDevices()
    }

    // Only while the dialog is shown: another scan's failure is not this dialog's to report.
    Connections {
        target: root.deviceGroupManager
        enabled: root.visible
        function onScanError(message: string) {
            errorAlert.alertMessage = message
            errorAlert.open()
        }
    }

    PXAlert {
        id: errorAlert
        objectName: "scanErrorAlert"
        parent: Overlay.overlay
        alertTitle: qsTr("Error")
        titleColor: Theme.textRed
        buttonText: qsTr("OK")
    }

    headerItems: [
        PXButton {
            objectName: "refreshButton"
            text: qsTr("Refresh")
            onClicked: root.deviceGroupManager.scanDevices()
        }
    ]

    footerButtons: [
        PXButton {
            text: qsTr("Close")
            onClicked: root.close()
        },
        PXButton {
            objectName: "addButton"
            text: qsTr("Add to Group")
            textColor: root.canAdd ? Theme.textGreen : Theme.textGray
            borderColor: root.canAdd ? Theme.borderDarkGreen : Theme.borderDarkGray
            onClicked: root.addToGroup()
        }
    ]

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        RowLayout {
            spacing: 10

            Text {
                text: qsTr("Add to Group")
                color: Theme.textWhite
                font.pixelSize: Theme.contentFont
            }

            DialogComboBox {
                id: groupBox
                objectName: "groupBox"
                Layout.preferredWidth: 150
                Layout.preferredHeight: 25
                model: root.groups
                textRole: "name"
                onActivated: index => root.selectedGroup = root.groups[index]

                function indexOfTarget(): int {
                    const groups = root.groups
                    for (let i = 0; i < groups.length; ++i)
                        if (groups[i] === root.selectedGroup)
                            return i
                    return groups.length > 0 ? 0 : -1
                }
                Component.onCompleted: currentIndex = indexOfTarget()
                onCountChanged: currentIndex = indexOfTarget()
            }

            Item {
                Layout.fillWidth: true
            }
        }

        RowLayout {
            objectName: "selectAllRow"
            visible: root.availableDevices.length > 1
            spacing: 8

            PXCheckBox {
                objectName: "selectAllBox"
                checked: root.selectAll
                onClicked: root.setSelectAll(!root.selectAll)
            }

            Text {
                objectName: "selectAllText"
                text: qsTr("Select All") + " (" + root.availableDevices.length + ")"
                color: Theme.textWhite
                font.pixelSize: Theme.contentFont

                MouseArea {
                    Accessible.role: Accessible.CheckBox
                    Accessible.name: parent.text
                    anchors.fill: parent
                    onClicked: root.setSelectAll(!root.selectAll)
                }
            }
        }

        // The table: a header line and one row per listed phone.
        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: "transparent"
            border.width: 1
            border.color: Theme.borderDarkGray
            radius: 4
            clip: true

            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 1
                spacing: 0

                TableLine {
                    Layout.fillWidth: true
                    height: 32
                    color: Theme.backgroundDarkGray
                    cells: [qsTr("Select"), qsTr("Type"), qsTr("Nickname"), qsTr("Serial Number"),
                            qsTr("Product")]
                    bold: true
                }

                ListView {
                    id: table
                    objectName: "deviceTable"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    clip: true
                    model: root.availableDevices
                    boundsBehavior: Flickable.StopAtBounds
                    ScrollBar.vertical: ScrollBar {}

                    delegate: TableLine {
                        id: row
                        objectName: "deviceRow"
                        required property var modelData
                        required property int index

                        width: ListView.view.width
                        height: 40
                        color: index % 2 === 0 ? Theme.backgroundBlack : Theme.backgroundPureBlack
                        // One phone reached both ways shows both of its connections.
                        cells: ["", modelData.connections.length > 1 ? "USB+WiFi"
                                    : modelData.is_usb_connection ? "USB" : "WiFi",
                                modelData.nickname !== "" ? modelData.nickname : "-",
                                modelData.connections.length > 1 ? modelData.connections.join(" / ")
                                                                 : modelData.adb_serial,
                                modelData.product]

                        MouseArea {
                            Accessible.role: Accessible.CheckBox
                            Accessible.name: row.modelData.adb_serial
                            anchors.fill: parent
                            onClicked: root.toggleRow(row.modelData)
                        }

                        PXCheckBox {
                            objectName: "rowCheckBox"
                            x: (50 - width) / 2
                            anchors.verticalCenter: parent.verticalCenter
                            checked: root.isTicked(row.modelData.adb_serial)
                            onClicked: root.toggleRow(row.modelData)
                        }
                    }
                }

                // Phones adb lists that cannot be added yet, greyed, with what to do about them.
                Repeater {
                    model: root.unreadyPhones
                    delegate: TableLine {
                        required property var modelData
                        objectName: "unreadyRow"
                        Layout.fillWidth: true
                        Layout.preferredHeight: 40
                        opacity: 0.45
                        color: Theme.backgroundBlack
                        cells: ["", modelData.serial.indexOf(":") >= 0 ? "WiFi" : "USB", "-",
                                modelData.serial, modelData.hint]
                    }
                }
            }

            BusySpinner {
                objectName: "scanSpinner"
                anchors.centerIn: parent
                visible: root.scanning
            }

            Text {
                objectName: "noDevicesText"
                anchors.centerIn: parent
                visible: root.availableDevices.length === 0 && root.unreadyPhones.length === 0
                         && !root.scanning
                text: qsTr("No devices found")
                color: Theme.textGray
                font.pixelSize: Theme.contentFont
            }
        }
    }

    // One line of the table: "Select" and "Type" are fixed, the other three share the rest.
    component TableLine: Rectangle {
        id: line

        property var cells: []
        property bool bold: false
        readonly property real restWidth: (width - 50 - 70 - 4) / 3

        Row {
            anchors.fill: parent

            Repeater {
                model: line.cells

                delegate: Row {
                    id: cell
                    required property string modelData
                    required property int index
                    height: line.height

                    Rectangle {
                        visible: cell.index > 0
                        width: 1
                        height: parent.height
                        color: Theme.borderDarkGray
                    }

                    Text {
                        width: cell.index === 0 ? 50 : cell.index === 1 ? 70 : line.restWidth
                        height: parent.height
                        leftPadding: cell.index === 0 ? 2 : 8
                        rightPadding: cell.index === 0 ? 2 : 8
                        text: cell.modelData
                        color: line.bold ? Theme.textGreen : Theme.textWhite
                        font.pixelSize: Theme.contentFont
                        font.bold: line.bold
                        horizontalAlignment: cell.index === 0 ? Text.AlignHCenter : Text.AlignLeft
                        verticalAlignment: Text.AlignVCenter
                        elide: Text.ElideRight
                    }
                }
            }
        }
    }

    // Twelve spokes 30° apart, fading round the circle; one turn in 1200 ms, a step every 50 ms.
    component BusySpinner: Item {
        id: spinner
        width: 48
        height: 48

        Item {
            id: wheel
            anchors.fill: parent

            Repeater {
                model: 12

                delegate: Rectangle {
                    id: spoke
                    required property int index
                    x: (spinner.width - width) / 2
                    y: 2
                    width: 4
                    height: 12
                    radius: 2
                    color: Theme.textGreen
                    opacity: 1 - spoke.index / 12
                    transform: Rotation {
                        origin.x: 2
                        origin.y: spinner.height / 2 - 2
                        angle: -spoke.index * 30
                    }
                }
            }
        }

        Timer {
            interval: 50
            repeat: true
            running: spinner.visible
            onTriggered: wheel.rotation = (wheel.rotation + 15) % 360
        }
    }
}
