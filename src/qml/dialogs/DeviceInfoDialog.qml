pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
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

    function value(key: string): string {
        if (key === "serial")
            return shown(device ? device.adbConnectionSerial : "")
        if (key === "screen_size")
            return screenText(info ? info.screen_size : null)
        return shown(info ? info[key] : "", key === "ddr_size" ? "GB" : "")
    }

    // Fixed rows whose values follow the device: a model rebuilt while the rows are laid out
    // left values beside the wrong labels.
    readonly property var sections: [
        { title: qsTr("Basic Information"), rows: [
            [qsTr("Serial Number:"), "serial"],
            [qsTr("Manufacturer:"), "manufacturer"],
            [qsTr("Device Model:"), "model"],
            [qsTr("Android Version:"), "build_version"] ] },
        { title: qsTr("Hardware Information"), rows: [
            [qsTr("Memory Size:"), "ddr_size"],
            [qsTr("Screen Size:"), "screen_size"] ] },
        { title: qsTr("Network Information"), rows: [
            [qsTr("Country / Region Code:"), "country_code"],
            [qsTr("Operator:"), "gsm_operator_alpha"] ] },
        { title: qsTr("Connection Information"), rows: [
            [qsTr("ADB TCP Port:"), "adb_tcp_port"],
            [qsTr("USB Configuration:"), "usb_config"] ] }
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
        id: scroller
        anchors.fill: parent
        anchors.margins: 4
        contentWidth: availableWidth
        clip: true

        // Positioners, not layouts: they place each row from the heights it has now, where
        // nested layouts filled by repeaters could lay sections over each other.
        Column {
            width: scroller.availableWidth
            spacing: 14

            Repeater {
                model: root.sections

                delegate: Column {
                    id: section
                    required property var modelData
                    width: parent.width
                    spacing: 6

                    Text {
                        text: section.modelData.title
                        color: Theme.textGreen
                        font.pixelSize: Theme.titleFont
                        font.bold: true
                    }

                    Repeater {
                        model: section.modelData.rows

                        delegate: Row {
                            id: infoRow
                            objectName: "infoRow"
                            required property var modelData
                            readonly property string label: modelData[0]
                            readonly property string value: root.value(modelData[1])
                            width: section.width
                            spacing: 10

                            Text {
                                width: 170
                                text: infoRow.label
                                color: Theme.textGray
                                font.pixelSize: Theme.contentFont
                                wrapMode: Text.Wrap
                            }
                            Text {
                                width: infoRow.width - 180
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
