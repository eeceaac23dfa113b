import QtQuick
import Parvix

// A phone's battery level ("+" while charging), in the warning colour when nearly empty;
// hidden while unknown. Showing it asks for a fresh reading.
Text {
    id: root

    property Device device: null
    readonly property BatteryMonitor battery: device ? device.battery : null
    readonly property bool known: battery !== null && battery.known

    visible: known
    text: known ? battery.level + "%" + (battery.charging ? "+" : "") : ""
    color: !known ? Theme.textGray : battery.low ? Theme.batteryLow
                                   : battery.charging ? Theme.textGreen : Theme.textGray
    font.pixelSize: Theme.textFont
    Accessible.name: qsTr("Battery")

    onBatteryChanged: if (battery) battery.refresh()
    Component.onCompleted: if (battery) battery.refresh()
}
