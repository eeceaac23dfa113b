import QtQuick
import QtQuick.Controls
import Parvix

// Tells that a window could not be opened, with the reason, and goes away when dismissed.
PXAlert {
    property string reason: ""

    parent: Overlay.overlay
    width: 420
    height: implicitHeight
    alertTitle: qsTr("Error")
    alertMessage: qsTr("This window cannot be opened.") + "<br/><br/>" + reason
    titleColor: Theme.textRed
    borderColor: Theme.error
    onClosed: destroy()
}
