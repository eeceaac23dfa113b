pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// The application window: menus, the group list and the selected group's grid.
ApplicationWindow {
    id: root

    readonly property DeviceGroup currentGroup: deviceGroupManager.currentSelectedGroup
    readonly property bool groupHasDevices: currentGroup !== null && currentGroup.deviceCount > 0
    readonly property string websiteUrl: "https://parvix.app"

    width: 1480
    height: 800
    visible: true
    title: qsTr("Vodav Evodo")
    color: Theme.backgroundBlack

    // Opens one of the window's dialogs by name ("DeviceScanDialog").
    function openDialog(name: string) {
        const host = dialogHosts[name]
        if (host)
            host.open({})
    }

    readonly property var dialogHosts: ({
        DeviceScanDialog: scanDialog,
        DeviceGroupManagerDialog: groupManagerDialog,
        ADBRestartDialog: adbRestartDialog,
        CommonPhrasesDialog: commonPhrasesDialog,
        KeyMappingDialog: keyMappingDialog,
        MemberLoginDialog: loginDialog,
        MemberRegisterDialog: registerDialog,
        UserProfileDialog: userProfileDialog,
        AboutDialog: aboutDialog,
        AppSettingsDialog: appSettingsDialog,
        WirelessPairingDialog: wirelessPairingDialog
    })

    DeviceGroupManager {
        id: deviceGroupManager
        Component.onCompleted: startTracking()
    }

    header: Rectangle {
        height: 44
        color: Theme.headerBar

        RowLayout {
            anchors.fill: parent
            anchors.margins: 8
            spacing: 8

            Text {
                text: qsTr("Parvix Multi-Phones Control")
                color: Theme.textGreen
                font.pixelSize: 16
                Layout.alignment: Qt.AlignVCenter
            }

            Item {
                Layout.fillWidth: true
            }

            MenuButton {
                objectName: "devicesMenu"
                text: qsTr("Devices")
                menuItems: [
                    { label: qsTr("Scan Devices"), action: () => root.openDialog("DeviceScanDialog") },
                    { label: qsTr("Wireless Pairing"), action: () => root.openDialog("WirelessPairingDialog") },
                    { type: "separator" },
                    { label: qsTr("Manage Device Groups"), action: () => root.openDialog("DeviceGroupManagerDialog") },
                    { label: qsTr("Restart ADB Server"), action: () => root.openDialog("ADBRestartDialog") }
                ]
            }

            MenuButton {
                objectName: "toolsMenu"
                text: qsTr("Tools")
                menuItems: [
                    { label: qsTr("Common Phrases"), action: () => root.openDialog("CommonPhrasesDialog") },
                    { label: qsTr("Key Mapping"), action: () => root.openDialog("KeyMappingDialog") }
                ]
            }

            MenuButton {
                objectName: "memberMenu"
                text: qsTr("Member")
                menuItems: [
                    { label: qsTr("Login"), visible: !UserSession.isLoggedIn,
                      action: () => root.openDialog("MemberLoginDialog") },
                    { label: qsTr("User Profile"), visible: UserSession.isLoggedIn,
                      action: () => root.openDialog("UserProfileDialog") }
                ]
            }

            MenuButton {
                objectName: "settingsMenu"
                text: qsTr("Settings")
                menuItems: [
                    { label: qsTr("About APP"), action: () => root.openDialog("AboutDialog") },
                    { label: qsTr("APP Settings"), action: () => root.openDialog("AppSettingsDialog") }
                ]
            }
        }
    }

    SplitView {
        anchors.fill: parent
        orientation: Qt.Horizontal

        handle: Rectangle {
            implicitWidth: 4
            color: SplitHandle.pressed || SplitHandle.hovered ? Theme.borderDarkGreen : Theme.borderDarkGray
        }

        DeviceList {
            objectName: "deviceList"
            SplitView.preferredWidth: 300
            SplitView.minimumWidth: 200
            deviceGroupManager: deviceGroupManager
        }

        // The window's own colour shows through: a fill here would be drawn again every frame.
        Item {
            SplitView.fillWidth: true

            PXButton {
                objectName: "scanButton"
                anchors.centerIn: parent
                z: 1
                padding: 20
                visible: !root.groupHasDevices
                text: qsTr("No Devices In This Group, Click To Scan")
                onClicked: root.openDialog("DeviceScanDialog")
            }

            PhoneScreenGrid {
                objectName: "phoneScreenGrid"
                anchors.fill: parent
                anchors.margins: 10
                // Also without phones: the group's settings and actions stay in reach.
                visible: root.currentGroup !== null
                deviceGroupManager: deviceGroupManager
            }
        }
    }

    // Hourly check for a newer version while logged in, once at once.
    Timer {
        interval: 3600000
        repeat: true
        running: UserSession.isLoggedIn
        triggeredOnStart: true
        onTriggered: ReleaseLookup.lookup()
    }

    Connections {
        target: ReleaseLookup
        function onAppInfoChanged() {
            if (!AppConfig.isNewerVersion(ReleaseLookup.appInfo.appVersion))
                return
            newVersionAlert.alertMessage = qsTr("Please download the latest version %1 at:")
                                           .arg(ReleaseLookup.appInfo.appVersion) + "\n\n" + root.websiteUrl
            newVersionAlert.open()
        }
    }

    PXAlert {
        id: newVersionAlert
        objectName: "newVersionAlert"
        alertTitle: qsTr("New Version Available")
        messageFormat: Text.PlainText
        buttonText: qsTr("OK")
    }

    // A data file that could not be read or saved: told once, with what was kept.
    PXAlert {
        id: storeErrorAlert
        objectName: "storeErrorAlert"
        width: 480
        height: implicitHeight
        alertTitle: qsTr("Data File Problem")
        alertMessage: {
            let text = ""
            for (const message of StoreErrors.messages)
                text += (text.length > 0 ? "<br/><br/>" : "") + message
            return text
        }
        titleColor: Theme.textRed
        borderColor: Theme.error
        onClosed: StoreErrors.clearMessages()
    }
    Connections {
        target: StoreErrors
        function onStoreError() {
            storeErrorAlert.open()
        }
    }
    Component.onCompleted: {
        // Problems found while the stores loaded, before this window existed.
        if (StoreErrors.messages.length > 0)
            storeErrorAlert.open()
    }

    DialogHost {
        id: scanDialog
        sourceComponent: Component { DeviceScanDialog {} }
        initialProperties: ({ deviceGroupManager: deviceGroupManager })
    }
    DialogHost {
        id: groupManagerDialog
        sourceComponent: Component { DeviceGroupManagerDialog {} }
        initialProperties: ({ deviceGroupManager: deviceGroupManager })
    }
    DialogHost {
        id: adbRestartDialog
        sourceComponent: Component { ADBRestartDialog {} }
        initialProperties: ({ deviceGroupManager: deviceGroupManager })
    }
    DialogHost {
        id: wirelessPairingDialog
        sourceComponent: Component { WirelessPairingDialog {} }
    }
    DialogHost {
        id: appSettingsDialog
        sourceComponent: Component { AppSettingsDialog {} }
    }
    DialogHost {
        id: aboutDialog
        sourceComponent: Component { AboutDialog {} }
    }
    DialogHost {
        id: commonPhrasesDialog
        sourceComponent: Component { CommonPhrasesDialog {} }
        initialProperties: ({ phraseManager: CommonPhraseManager })
    }
    DialogHost {
        id: keyMappingDialog
        sourceComponent: Component { KeyMappingDialog {} }
    }
    DialogHost {
        id: loginDialog
        sourceComponent: Component { MemberLoginDialog {} }
        onCreated: dialog => {
            dialog.switchToRegister.connect(() => root.openDialog("MemberRegisterDialog"))
            dialog.loggedIn.connect(() => root.openDialog("UserProfileDialog"))
        }
    }
    DialogHost {
        id: registerDialog
        sourceComponent: Component { MemberRegisterDialog {} }
        onCreated: dialog => dialog.switchToLogin.connect(() => root.openDialog("MemberLoginDialog"))
    }
    DialogHost {
        id: userProfileDialog
        sourceComponent: Component { UserProfileDialog {} }
    }
}
