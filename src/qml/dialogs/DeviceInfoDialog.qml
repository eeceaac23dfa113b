pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// A phone's properties as adb reported them; anything missing reads "Unknown".
PXDialog {
    id: root

    property Device device: null

    // A failed query leaves adb's "[error]" text, which says nothing about the phone either.
    function known(value): bool {
        return value !== undefined && value !== null && String(value) !== ""
               && !String(value).startsWith("[error]")
    }

    // The unit is added unless the phone gave it already (some report "8GB", not "8").
    function shown(value, unit): string {
        if (!known(value))
            return qsTr("Unknown")
        const text = String(value)
        if (!unit || text.toUpperCase().endsWith(unit.toUpperCase()))
            return text
        return text + unit
    }

    function screenText(size): string {
        if (!size || size.width <= 0 || size.height <= 0)
            return qsTr("Unknown")
        return size.width + "x" + size.height + "px"
    }

    readonly property var info: device ? device.deviceInfo : null
    readonly property var sections: [
        { title: qsTr("Basic Information"), rows: [
            [qsTr("Serial Number:"), shown(device ? device.adbConnectionSerial : "")],
            [qsTr("Manufacturer:"), shown(info ? info.manufacturer : "")],
            [qsTr("Device Model:"), shown(info ? info.model : "")],
            [qsTr("Android Version:"), shown(info ? info.build_version : "")] ] },
        { title: qsTr("Hardware Information"), rows: [
            [qsTr("Memory Size:"), shown(info ? info.ddr_size : "", "GB")],
            [qsTr("Screen Size:"), screenText(info ? info.screen_size : null)] ] },
        { title: qsTr("Network Information"), rows: [
            [qsTr("Country / Region Code:"), shown(info ? info.country_code : "")],
            [qsTr("Operator:"), shown(info ? info.gsm_operator_alpha : "")] ] },
        { title: qsTr("Connection Information"), rows: [
            [qsTr("ADB TCP Port:"), shown(info ? info.adb_tcp_port : "")],
            [qsTr("USB Configuration:"), shown(info ? info.usb_config : "")] ] }
    ]

    title: qsTr("Device Information")
    width: 500
    height: 550
    showCloseButton: false

    footerButtons: [
        PXButton {
            text: qsTr("Close")
            onClicked: root.close()
        }
    ]

    ScrollView {
        anchors.fill: parent
        anchors.margins: 4
        contentWidth: availableWidth
        clip: true

        ColumnLayout {
            width: parent.width
            spacing: 14

            Repeater {
                model: root.sections

                delegate: ColumnLayout {
                    id: section
                    required property var modelData
                    Layout.fillWidth: true
                    spacing: 6

                    Text {
                        text: section.modelData.title
                        color: Theme.textGreen
                        font.pixelSize: Theme.titleFont
                        font.bold: true
                    }

                    Repeater {
                        model: section.modelData.rows

                        delegate: RowLayout {
                            id: infoRow
                            objectName: "infoRow"
                            required property var modelData
                            readonly property string label: modelData[0]
                            readonly property string value: modelData[1]
                            Layout.fillWidth: true
                            spacing: 10

                            Text {
                                Layout.preferredWidth: 170
                                text: infoRow.label
                                color: Theme.textGray
                                font.pixelSize: Theme.contentFont
                            }
                            Text {
                                Layout.fillWidth: true
                                text: infoRow.value
                                color: Theme.textWhite
                                font.pixelSize: Theme.contentFont
                                wrapMode: Text.WrapAnywhere
                            }
                        }
                    }
                }
            }
        }
    }
}
