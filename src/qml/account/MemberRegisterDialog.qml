import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix
import "AccountRules.js" as AccountRules

// Registers an email address; the service mails the default password to it.
AccountDialog {
    id: root

    property bool pending: false

    signal switchToLogin

    title: qsTr("Member Register")

    function showAlert(title: string, message: string, failure: bool) {
        alert.alertTitle = title
        alert.alertMessage = message
        alert.titleColor = failure ? Theme.textRed : Theme.textGreen
        alert.open()
    }

    function register() {
        const email = emailField.text
        if (pending)
            return
        if (!AccountRules.isValidEmail(email)) {
            showAlert(qsTr("Invalid Email"), qsTr("Please enter a valid email address."), true)
            return
        }
        pending = true
        Authentication.register_user_async(email)
    }

    onOpened: emailField.forceActiveFocus()

    Connections {
        target: Authentication
        enabled: root.pending
        function onRegisterFinished(success: bool, code: int, message: string) {
            root.pending = false
            if (success)
                root.showAlert(qsTr("Registration Successful"),
                               qsTr("Please check your email for the default password."), false)
            else
                root.showAlert(qsTr("Error"), message !== ""
                               ? message : qsTr("Registration failed, please try again."), true)
        }
    }

    PXTextField {
        id: emailField
        objectName: "emailField"
        customHeight: 36
        placeholderTextValue: qsTr("Enter email address...")
        onAccepted: root.register()
    }

    Text {
        Layout.fillWidth: true
        text: qsTr("Please use a real email address, we will send a default password to your email.")
        color: Theme.textGray
        font.pixelSize: Theme.textFont
        wrapMode: Text.Wrap
    }

    PXButton {
        objectName: "registerButton"
        Layout.fillWidth: true
        Layout.preferredHeight: 36
        text: qsTr("Register")
        isBold: true
        enabled: !root.pending
        onClicked: root.register()
    }

    Row {
        Layout.alignment: Qt.AlignHCenter

        Text {
            text: qsTr("Already have an account? ")
            color: Theme.textGray
            font.pixelSize: Theme.contentFont
        }

        LinkText {
            objectName: "loginLink"
            text: qsTr("Login")
            onActivated: {
                root.close()
                root.switchToLogin()
            }
        }
    }

    Item {
        Layout.fillHeight: true
    }

    PXAlert {
        id: alert
        objectName: "registerAlert"
        parent: Overlay.overlay
        messageFormat: Text.PlainText
        buttonText: qsTr("OK")
    }
}
