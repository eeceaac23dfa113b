pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import Parvix

// A number field that only takes values meeting its rule: when editing ends, other text
// leaves the last accepted value in force (and shows it again). Fractions by default.
PXTextField {
    id: numberField

    property real value: 0
    property bool integer: false
    property real minimum: 0
    property real maximum: 1

    // Shows the value in force (two decimals for fractions).
    function show() {
        text = integer ? String(Math.round(value)) : value.toFixed(2)
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
