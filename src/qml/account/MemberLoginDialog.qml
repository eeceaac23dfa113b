import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix
import "AccountRules.js" as AccountRules

// Logs in at the account service. The window answers switchToRegister by opening the register
// dialog and loggedIn by opening the user profile.
AccountDialog {
    id: root

    // A login this dialog sent is under way.
    property bool pending: false

    signal switchToRegister
    signal loggedIn

    title: qsTr("Member Login")

    function showAlert(title: string, message: string) {
        alert.alertTitle = title
        alert.alertMessage = message
        alert.open()
    }

    function login() {
        const email = emailField.text
        const password = passwordField.text
        if (email.trim() === "" || password === "" || pending)
            return
        if (!AccountRules.isValidEmail(email)) {
            showAlert(qsTr("Invalid Email"), qsTr("Please enter a valid email address."))
            return
        }
        if (password.length < 8) {
            showAlert(qsTr("Invalid Password"),
                      qsTr("Please enter a password with at least 8 characters."))
            return
        }
        pending = true
        Authentication.login_async(email, password)
    }

    onOpened: emailField.forceActiveFocus()

    Connections {
        target: Authentication
        enabled: root.pending
        function onLoginFinished(success: bool, code: int, message: string) {
            root.pending = false
            if (success) {
                passwordField.text = ""
                root.close()
                root.loggedIn()
                return
            }
            root.showAlert(qsTr("Login Failed"),
                           AccountRules.isServiceProblem(code) && message !== ""
                               ? message : qsTr("Please check your email and password."))
        }
    }

    PXTextField {
        id: emailField
        objectName: "emailField"
        customHeight: 36
        placeholderTextValue: qsTr("Enter email address...")
        onAccepted: passwordField.forceActiveFocus()
    }

    PXTextField {
        id: passwordField
        objectName: "passwordField"
        customHeight: 36
        textEchoMode: TextInput.Password
        placeholderTextValue: qsTr("Enter password...")
        onAccepted: root.login()
    }

    LinkText {
        objectName: "forgotPasswordLink"
        Layout.alignment: Qt.AlignRight
        text: qsTr("Forgot Password")
        onActivated: {
            root.close()
            forgotPasswordDialog.open()
        }
    }

    PXButton {
        objectName: "loginButton"
        Layout.fillWidth: true
        Layout.preferredHeight: 36
        text: qsTr("Login")
        isBold: true
        enabled: emailField.text.trim() !== "" && passwordField.text !== "" && !root.pending
        onClicked: root.login()
    }

    Row {
        Layout.alignment: Qt.AlignHCenter

        Text {
            text: qsTr("Don't have an account? ")
            color: Theme.textGray
            font.pixelSize: Theme.contentFont
        }

        LinkText {
            objectName: "registerLink"
            text: qsTr("Register")
            onActivated: {
                root.close()
                root.switchToRegister()
            }
        }
    }

    Item {
        Layout.fillHeight: true
    }

    ForgotPasswordDialog {
        id: forgotPasswordDialog
        objectName: "forgotPasswordDialog"
        onBackToLogin: root.open()
    }

    PXAlert {
        id: alert
        objectName: "loginAlert"
        parent: Overlay.overlay
        buttonText: qsTr("OK")
        // Every alert here tells of a failure.
        titleColor: Theme.textRed
        borderColor: Theme.error
    }
}
