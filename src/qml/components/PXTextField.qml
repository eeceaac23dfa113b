import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// Single-line input on dark grey; the border turns green while it has the focus.
TextField {
    id: field

    property string placeholderTextValue: ""
    property int textEchoMode: TextInput.Normal
    property int fontSize: 12
    property int horizontalPadding: 12
    property int borderRadius: 4
    property int customHeight: Theme.textfieldHeight

    implicitWidth: 200
    implicitHeight: customHeight
    Layout.preferredHeight: customHeight
    Layout.fillWidth: true
    leftPadding: horizontalPadding
    rightPadding: horizontalPadding
    verticalAlignment: TextInput.AlignVCenter

    placeholderText: placeholderTextValue
    Accessible.name: placeholderTextValue
    placeholderTextColor: Theme.textGray
    echoMode: textEchoMode
    font.pixelSize: fontSize
    color: Theme.textWhite
    selectionColor: Theme.primaryDark
    selectedTextColor: Theme.textBlack

    background: Rectangle {
        radius: field.borderRadius
        color: Theme.backgroundDarkGray
        border.width: 1
        border.color: field.activeFocus ? Theme.borderDarkGreen : Theme.borderDarkGray
    }
}
