import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix
import "AccountRules.js" as AccountRules

// Asks the service to mail a password-reset link. The login dialog owns it and answers
// backToLogin by opening again.
AccountDialog {
    id: root

    property bool pending: false

    signal backToLogin

    title: qsTr("Forgot Password")

    function showAlert(title: string, message: string, failure: bool) {
        alert.alertTitle = title
        alert.alertMessage = message
        alert.titleColor = failure ? Theme.textRed : Theme.textGreen
        alert.open()
    }

    function fixedFailureText(): string {
        return qsTr("Please check if your email address is correct and verified, then try again.")
    }

    function send() {
        const email = emailField.text
        if (pending)
            return
        if (!AccountRules.isValidEmail(email)) {
            showAlert(qsTr("Error"), fixedFailureText(), true)
            return
        }
        pending = true
        Authentication.sendResetLink_async(email)
    }

    onOpened: emailField.forceActiveFocus()

    Connections {
        target: Authentication
        enabled: root.pending
        function onSendResetLinkFinished(success: bool, code: int, message: string) {
            root.pending = false
            if (success)
                root.showAlert(qsTr("Success"),
                               qsTr("Password reset link has been sent to your email."), false)
            else
                root.showAlert(qsTr("Error"), AccountRules.isServiceProblem(code) && message !== ""
                               ? message : root.fixedFailureText(), true)
        }
    }

    PXTextField {
        id: emailField
        objectName: "emailField"
        customHeight: 36
        placeholderTextValue: qsTr("Enter your email address...")
        onAccepted: root.send()
    }

    Text {
        Layout.fillWidth: true
        text: qsTr("We will send password reset link to your email address.")
        color: Theme.textGray
        font.pixelSize: Theme.textFont
        wrapMode: Text.Wrap
    }

    PXButton {
        objectName: "sendButton"
        Layout.fillWidth: true
        Layout.preferredHeight: 36
        text: qsTr("Send Reset Link")
        isBold: true
        enabled: !root.pending
        onClicked: root.send()
    }

    Row {
        Layout.alignment: Qt.AlignHCenter

        Text {
            text: qsTr("Remember your password? ")
            color: Theme.textGray
            font.pixelSize: Theme.contentFont
        }

        LinkText {
            objectName: "backToLoginLink"
            text: qsTr("Back to Login")
            onActivated: {
                root.close()
                root.backToLogin()
            }
        }
    }

    Item {
        Layout.fillHeight: true
    }

    PXAlert {
        id: alert
        objectName: "forgotAlert"
        parent: Overlay.overlay
        messageFormat: Text.PlainText
        buttonText: qsTr("OK")
    }
}
