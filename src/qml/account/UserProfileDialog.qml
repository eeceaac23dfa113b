import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// The logged-in user: email, verification, password change and logout.
AccountDialog {
    id: root

    title: qsTr("User Profile")

    function logout() {
        UserSession.clearSession()
        close()
    }

    GridLayout {
        Layout.fillWidth: true
        Layout.topMargin: 8
        columns: 2
        columnSpacing: 12
        rowSpacing: 10

        Text {
            text: qsTr("Email:")
            color: Theme.textGray
            font.pixelSize: Theme.titleFont
        }
        Text {
            objectName: "emailText"
            Layout.fillWidth: true
            text: UserSession.userEmail !== "" ? UserSession.userEmail : qsTr("Not logged in")
            color: Theme.textWhite
            font.pixelSize: Theme.titleFont
            elide: Text.ElideRight
        }

        Text {
            text: qsTr("Verified:")
            color: Theme.textGray
            font.pixelSize: Theme.titleFont
        }
        Text {
            objectName: "verifiedText"
            text: UserSession.isVerified ? qsTr("Yes") : qsTr("No")
            color: UserSession.isVerified ? Theme.textGreen : Theme.textYellow
            font.pixelSize: Theme.titleFont
        }
    }

    Item {
        Layout.fillHeight: true
    }

    PXButton {
        objectName: "changePasswordButton"
        Layout.fillWidth: true
        Layout.preferredHeight: 36
        text: qsTr("Change Password")
        onClicked: passwordBox.open()
    }

    PXButton {
        objectName: "logoutButton"
        Layout.fillWidth: true
        Layout.preferredHeight: 36
        Layout.bottomMargin: 8
        text: qsTr("Logout")
        textColor: Theme.textRed
        onClicked: root.logout()
    }

    PXDialog {
        id: passwordBox
        objectName: "changePasswordBox"
        title: qsTr("Change Password")
        width: root.width // covers the profile it opens over
        height: 380
        showCloseButton: false
        contentFramed: false

        property bool pending: false
        property string error: ""

        // The first rule the fields break, in the order the user reads them, or "".
        function problem(): string {
            if (oldField.text === "")
                return qsTr("Please enter old password")
            if (newField.text === "")
                return qsTr("Please enter new password")
            if (newField.text.length < 6)
                return qsTr("Password must be at least 6 characters")
            if (newField.text !== confirmField.text)
                return qsTr("Passwords do not match")
            return ""
        }

        function confirm() {
            if (pending)
                return
            error = problem()
            if (error !== "")
                return
            pending = true
            Authentication.changePassword_async(oldField.text, newField.text)
        }

        onAboutToShow: error = ""
        onOpened: oldField.forceActiveFocus()

        Connections {
            target: Authentication
            enabled: passwordBox.pending
            function onChangePasswordFinished(success: bool, code: int, message: string) {
                passwordBox.pending = false
                if (!success) {
                    passwordBox.error = message
                    return
                }
                successAlert.open()
                passwordBox.close()
                root.close()
                UserSession.clearSession()
                oldField.text = ""
                newField.text = ""
                confirmField.text = ""
            }
        }

        footerButtons: [
            PXButton {
                text: qsTr("Cancel")
                onClicked: passwordBox.close()
            },
            PXButton {
                objectName: "confirmButton"
                text: qsTr("Confirm")
                enabled: !passwordBox.pending
                onClicked: passwordBox.confirm()
            }
        ]

        ColumnLayout {
            anchors.fill: parent
            spacing: 6

            Text {
                text: qsTr("Old Password")
                color: Theme.textWhite
                font.pixelSize: Theme.contentFont
            }
            PXTextField {
                id: oldField
                objectName: "oldPasswordField"
                textEchoMode: TextInput.Password
                placeholderTextValue: qsTr("Enter old password")
            }

            Text {
                text: qsTr("New Password")
                color: Theme.textWhite
                font.pixelSize: Theme.contentFont
            }
            PXTextField {
                id: newField
                objectName: "newPasswordField"
                textEchoMode: TextInput.Password
                placeholderTextValue: qsTr("Enter new password")
            }

            Text {
                text: qsTr("Confirm Password")
                color: Theme.textWhite
                font.pixelSize: Theme.contentFont
            }
            PXTextField {
                id: confirmField
                objectName: "confirmPasswordField"
                textEchoMode: TextInput.Password
                placeholderTextValue: qsTr("Confirm new password")
                onAccepted: passwordBox.confirm()
            }

            Text {
                objectName: "errorLine"
                Layout.fillWidth: true
                Layout.topMargin: 4
                text: passwordBox.error
                color: Theme.textRed
                font.pixelSize: Theme.contentFont
                wrapMode: Text.Wrap
            }

            Item {
                Layout.fillHeight: true
            }
        }
    }

    PXAlert {
        id: successAlert
        objectName: "passwordChangedAlert"
        parent: Overlay.overlay
        alertTitle: qsTr("Success")
        alertMessage: qsTr("Password changed successfully, please login again.")
        buttonText: qsTr("OK")
    }
}
