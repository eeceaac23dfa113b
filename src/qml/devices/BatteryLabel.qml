import QtQuick
import Parvix

// A phone's battery level ("+" while charging), in the warning colour when nearly empty;
// hidden while unknown or while the phone cannot be reached (the last reading would be stale).
// Showing it, or the phone coming back, asks for a fresh reading.
Text {
    id: root

    property Device device: null
    readonly property BatteryMonitor battery: device ? device.battery : null
    readonly property bool reachable: device !== null && device.link.stateText === ""
    readonly property bool known: battery !== null && battery.known && reachable

    visible: known
    text: known ? battery.level + "%" + (battery.charging ? "+" : "") : ""
    color: !known ? Theme.textGray : battery.low ? Theme.batteryLow
                                   : battery.charging ? Theme.textGreen : Theme.textGray
    font.pixelSize: Theme.textFont
    Accessible.name: qsTr("Battery")

    onBatteryChanged: if (battery) battery.refresh()
    onReachableChanged: if (battery && reachable) battery.refresh()
    Component.onCompleted: if (battery) battery.refresh()
}
