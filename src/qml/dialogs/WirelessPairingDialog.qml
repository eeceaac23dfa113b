import QtQuick
import QtQuick.Layouts
import Parvix

// Pairs with a phone over Wi-Fi (Android 11 and later: Developer options, Wireless debugging,
// "Pair device with pairing code"), then connects to it; the phone then shows up in a scan.
PXDialog {
    id: root

    title: qsTr("Wireless Pairing")
    width: 520
    height: 380

    function pair() {
        pairing.start(addressField.text, codeField.text, portField.text)
    }

    WirelessPairing {
        id: pairing
    }

    footerButtons: [
        PXButton {
            objectName: "closeButton"
            text: qsTr("Close")
            onClicked: root.close()
        },
        PXButton {
            objectName: "pairButton"
            text: pairing.busy ? qsTr("Pairing…") : qsTr("Pair and Connect")
            enabled: !pairing.busy
            onClicked: root.pair()
        }
    ]

    GridLayout {
        anchors.fill: parent
        anchors.margins: 12
        columns: 2
        columnSpacing: 12
        rowSpacing: 12

        Text {
            Layout.columnSpan: 2
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            text: qsTr("On the phone: Developer options, Wireless debugging, Pair device with pairing code.")
            color: Theme.textGray
            font.pixelSize: Theme.contentFont
        }

        Text {
            text: qsTr("Pairing address:")
            color: Theme.textGray
            font.pixelSize: Theme.contentFont
        }
        PXTextField {
            id: addressField
            objectName: "addressField"
            customHeight: 36
            placeholderTextValue: "192.168.1.20:37123"
        }

        Text {
            text: qsTr("Pairing code:")
            color: Theme.textGray
            font.pixelSize: Theme.contentFont
        }
        PXTextField {
            id: codeField
            objectName: "codeField"
            customHeight: 36
            placeholderTextValue: "123456"
        }

        Text {
            text: qsTr("Connect port:")
            color: Theme.textGray
            font.pixelSize: Theme.contentFont
        }
        PXTextField {
            id: portField
            objectName: "portField"
            customHeight: 36
            placeholderTextValue: qsTr("shown under IP address & Port")
            Keys.onReturnPressed: root.pair()
            Keys.onEnterPressed: root.pair()
        }

        Text {
            objectName: "pairingMessage"
            Layout.columnSpan: 2
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            text: pairing.message
            color: pairing.succeeded ? Theme.success : Theme.error
            font.pixelSize: Theme.contentFont
        }

        Item {
            Layout.columnSpan: 2
            Layout.fillHeight: true
        }
    }
}
