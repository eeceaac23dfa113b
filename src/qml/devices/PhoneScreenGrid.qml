pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQml.Models
import Parvix

// The selected group's phones as tiles, under a header of group-wide actions. The enlarged
// views live here rather than in the tiles, so that scrolling a tile away keeps its window.
Column {
    id: root

    required property DeviceGroupManager deviceGroupManager
    property int controlButtonsWidth: Theme.controlButtonsWidth
    // Height over width of a phone screen.
    property real aspectRatio: 16 / 9

    readonly property DeviceGroup currentGroup: deviceGroupManager ? deviceGroupManager.currentSelectedGroup : null
    readonly property bool isLandscape: currentGroup !== null
                                        && currentGroup.orientation === DeviceGroup.Landscape
    readonly property int cellWidth: currentGroup ? currentGroup.cellWidth : 220
    readonly property bool showControlButtons: currentGroup ? currentGroup.showControlButtons : true
    readonly property real videoWidth: showControlButtons ? cellWidth - controlButtonsWidth - 15
                                                          : cellWidth - 10
    readonly property real videoHeight: isLandscape ? videoWidth / aspectRatio : videoWidth * aspectRatio
    readonly property real cellHeight: 20 + videoHeight + 10
    readonly property list<string> uploadFilters: ["所有文件 (*.*)", "文本文件 (*.txt)",
        "图片文件 (*.jpg *.jpeg *.png *.gif *.bmp)"]

    spacing: 5

    // Files dragged from the desktop: onto one phone, or onto the whole group.
    component FileDropArea: DropArea {
        id: dropArea
        property DeviceGroup group: null
        property Device device: null // null: every phone of the group
        keys: ["text/uri-list"]
        onEntered: drag => drag.accepted = drag.hasUrls
        onDropped: drop => {
            if (dropArea.group && drop.hasUrls) {
                dropArea.group.transferFiles(drop.urls, dropArea.device)
                drop.acceptProposedAction()
            }
        }
        Rectangle {
            anchors.fill: parent
            visible: dropArea.containsDrag
            color: "transparent"
            border.color: Theme.selectedBorder
            border.width: 2
            radius: 6
        }
    }

    function pickFile(title, filters, callback) {
        picker.title = title
        picker.nameFilters = filters
        picker.fileSelectedCallback = path => {
            if (root.currentGroup)
                callback(root.currentGroup, path)
        }
        picker.open()
    }

    Rectangle {
        id: header

        readonly property int lineHeight: 40
        readonly property int actionSpacing: 20
        // The actions on one line, as wide as they are.
        readonly property real actionsWidth: {
            let sum = 0
            let shown = 0
            for (let i = 0; i < actions.children.length; ++i) {
                const action = actions.children[i]
                if (action.visible) {
                    sum += action.implicitWidth
                    ++shown
                }
            }
            return sum + Math.max(0, shown - 1) * actionSpacing
        }
        // The actions sit beside the title when both fit; in a narrower window they wrap below it.
        // (15-px margins, 20 between the title's texts, 40 before the actions.) Room for the jobs
        // button is kept while it is hidden, so that its coming never rearranges the header.
        readonly property bool stacked: 15 + groupName.implicitWidth + 20 + deviceCount.implicitWidth
                                        + 40 + jobsButton.implicitWidth + actionSpacing + actionsWidth
                                        + 15 > width

        width: Math.max(0, root.width - 20)
        height: stacked ? lineHeight + actions.height + 8 : lineHeight
        z: 1
        color: Theme.backgroundBlackGreen
        radius: 4

        FileDropArea {
            objectName: "groupDropArea"
            anchors.fill: parent
            group: root.currentGroup
        }

        Row {
            x: 15
            width: parent.width - 30
            height: header.lineHeight
            spacing: 20

            Text {
                id: groupName
                anchors.verticalCenter: parent.verticalCenter
                width: Math.min(implicitWidth, Math.max(0, parent.width - deviceCount.implicitWidth - 20
                                                        - (header.stacked ? jobsButton.width + 20 : 0)))
                text: root.currentGroup ? root.currentGroup.name : ""
                color: Theme.textGreen
                font.pixelSize: 16
                font.bold: true
                elide: Text.ElideRight
            }

            Text {
                id: deviceCount
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("Devices") + ": " + (root.currentGroup ? root.currentGroup.deviceCount : 0)
                color: Theme.textGray
                font.pixelSize: 12
                font.bold: true
            }
        }

        // Outside the wrapping actions, so that its coming moves no button under the pointer: left
        // of them on their line, or at the end of the title's line when they wrap.
        PXButton {
            id: jobsButton
            objectName: "jobsButton"
            x: header.stacked ? header.width - 15 - width : actions.x - header.actionSpacing - width
            y: (header.lineHeight - height) / 2
            height: 28
            visible: root.currentGroup !== null && root.currentGroup.jobs.count > 0
            text: qsTr("Jobs") + " (" + (root.currentGroup ? root.currentGroup.jobs.count : 0) + ")"
            onClicked: jobPanel.shown = !jobPanel.shown
        }

        Flow {
            id: actions
            x: header.stacked ? 15 : header.width - 15 - width
            y: header.stacked ? header.lineHeight : (header.lineHeight - startAll.height) / 2
            width: header.stacked ? header.width - 30 : header.actionsWidth
            spacing: header.stacked ? 8 : header.actionSpacing

            PXButton {
                id: startAll
                height: 28
                text: qsTr("Start All")
                onClicked: if (root.currentGroup) root.currentGroup.startAllDevices()
            }
            PXButton {
                height: 28
                text: qsTr("Stop All")
                onClicked: if (root.currentGroup) root.currentGroup.stopAllDevices()
            }
            PXButton {
                objectName: "clearAllButton"
                height: 28
                text: qsTr("Clear All")
                onClicked: if (root.currentGroup) clearConfirm.open()
            }
            PXButton {
                objectName: "groupControlButton"
                height: 28
                readonly property bool controlling: root.currentGroup !== null
                                                    && root.currentGroup.groupControlMode
                text: controlling ? qsTr("Group Controlling") : qsTr("Start Group Control")
                leftPadding: controlling ? 28 : 4
                // The icon set's flag: a flag glyph is missing from many fonts.
                Icon {
                    visible: parent.controlling
                    anchors.left: parent.left
                    anchors.leftMargin: 8
                    anchors.verticalCenter: parent.verticalCenter
                    size: 15
                    source: "qrc:/Parvix/src/icons/flag.svg"
                    color: Theme.textRed
                }
                onClicked: {
                    if (!root.currentGroup)
                        return
                    if (controlling)
                        root.currentGroup.stopGroupControl()
                    else
                        root.currentGroup.startGroupControl()
                }
            }
            PXButton {
                objectName: "orientationButton"
                height: 28
                text: root.isLandscape ? qsTr("Portrait") : qsTr("Landscape")
                onClicked: {
                    if (root.currentGroup)
                        root.currentGroup.orientation = root.isLandscape ? DeviceGroup.Portrait
                                                                         : DeviceGroup.Landscape
                }
            }
            MenuButton {
                objectName: "groupActions"
                height: 28
                text: qsTr("More Group Actions")
                menuItems: [
                    { label: qsTr("Screenshot"), action: () => {
                        if (root.currentGroup)
                            root.currentGroup.screenshotAllDevices()
                    } },
                    { label: qsTr("Install APK"), action: () => root.pickFile(
                          qsTr("Select APK File"), [qsTr("APK files (*.apk)")],
                          (group, path) => group.installApk(path)) },
                    { label: qsTr("Upload File"), action: () => root.pickFile(
                          qsTr("Select File"), root.uploadFilters,
                          (group, path) => group.uploadFile(path)) },
                    { type: "separator" },
                    { label: qsTr("Run AutoJS"), action: () => root.pickFile(
                          qsTr("Select autojs Script"), [qsTr("autojs files (*.js)")],
                          (group, path) => group.runAutojs(path)) },
                    { label: qsTr("Stop AutoJS"), action: () => {
                        if (root.currentGroup)
                            root.currentGroup.stopAllAutojs()
                    } },
                    { type: "separator" },
                    { label: qsTr("ADB Commands"), action: () => {
                        if (root.currentGroup)
                            adbCommandDialog.open({ deviceGroup: root.currentGroup })
                    } },
                    { label: qsTr("Settings"), action: () => groupSettingsDialog.open({
                          deviceGroupManager: root.deviceGroupManager }) }
                ]
            }
        }
    }

    ScrollView {
        id: scroll
        width: Math.max(0, root.width - 20)
        height: Math.max(0, root.height - header.height - 30)
        clip: true
        // Under the tiles: a drop between or after them is for the whole group.
        background: FileDropArea {
            objectName: "gridDropArea"
            group: root.currentGroup
        }

        GridView {
            id: grid
            objectName: "grid"
            model: root.currentGroup
            cellWidth: root.cellWidth
            cellHeight: root.cellHeight
            cacheBuffer: 2 * root.cellHeight
            reuseItems: true
            boundsBehavior: Flickable.StopAtBounds

            delegate: DeviceView {
                id: tile
                width: grid.cellWidth - 10
                height: grid.cellHeight - 10
                isLandscape: root.isLandscape
                showControlButtons: root.showControlButtons
                controlButtonsWidth: root.controlButtonsWidth
                aspectRatio: root.aspectRatio

                FileDropArea {
                    anchors.fill: parent
                    group: root.currentGroup
                    device: tile.device
                }
            }
        }
    }

    BatchJobPanel {
        id: jobPanel
        objectName: "jobPanel"
        property bool shown: true
        parent: scroll
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 10
        width: 420
        height: implicitHeight
        visible: shown && root.currentGroup !== null && root.currentGroup.jobs.count > 0
        jobs: root.currentGroup ? root.currentGroup.jobs : null

        Connections {
            target: root.currentGroup ? root.currentGroup.jobs : null
            function onJobAdded() {
                jobPanel.shown = true
            }
        }
    }

    // The enlarged window of the device, null while it has none.
    function bigViewOf(device: Device): var {
        for (let g = 0; g < bigViews.count; ++g) {
            const views = bigViews.itemAt(g) as Repeater
            for (let i = 0; views && i < views.count; ++i) {
                const loader = views.itemAt(i) as Loader
                if (loader && loader.item && loader.item.device === device)
                    return loader.item
            }
        }
        return null
    }

    // The groups, kept by identity: a new or removed group leaves the others' windows alone,
    // where the manager's list, handed out anew on every change, would rebuild them all.
    ListModel {
        id: groups
    }

    function syncGroups() {
        const current = deviceGroupManager ? deviceGroupManager.deviceGroups : []
        const kept = []
        for (let i = groups.count - 1; i >= 0; --i) {
            if (current.indexOf(groups.get(i).group) < 0)
                groups.remove(i)
            else
                kept.push(groups.get(i).group)
        }
        for (const group of current)
            if (kept.indexOf(group) < 0)
                groups.append({ group: group })
    }

    Connections {
        target: root.deviceGroupManager
        function onDeviceGroupsChanged() {
            root.syncGroups()
        }
    }
    onDeviceGroupManagerChanged: syncGroups()
    Component.onCompleted: syncGroups()

    // One enlarged window per phone that asks for it, in every group: showing another group
    // keeps them open.
    Repeater {
        id: bigViews
        model: groups
        delegate: Repeater {
            id: groupViews
            required property DeviceGroup group
            model: group
            delegate: Loader {
                id: bigView
                required property Device device
                readonly property bool wanted: device !== null && device.isBigView

                // Loaded by URL: a bound inline component cannot be created in the Loader's context.
                function update() {
                    if (!wanted) {
                        source = ""
                        return
                    }
                    if (item)
                        return
                    setSource(Qt.resolvedUrl("BigDeviceView.qml"), { device: bigView.device })
                }
                onWantedChanged: update()
                Component.onCompleted: update()
                onLoaded: {
                    const view = item as BigDeviceView
                    const group = groupViews.group
                    view.isLandscape = Qt.binding(() => group.orientation === DeviceGroup.Landscape)
                    view.bigViewWidth = Qt.binding(() => group.bigViewWidth)
                }
            }
        }
    }

    FilePicker {
        id: picker
    }

    PXAlert {
        id: clearConfirm
        objectName: "clearConfirm"
        parent: Overlay.overlay
        width: 380
        height: implicitHeight
        alertTitle: qsTr("Clear All")
        alertMessage: qsTr("Remove every phone from the group \"%1\"?")
                      .arg(root.currentGroup ? root.currentGroup.name : "")
        buttonText: qsTr("Clear All")
        cancelText: qsTr("Cancel")
        onAccepted: if (root.currentGroup) root.currentGroup.clearDevices()
    }

    DialogHost {
        id: adbCommandDialog
        sourceComponent: Component { ADBCommandDialog {} }
    }

    DialogHost {
        id: groupSettingsDialog
        sourceComponent: Component { GroupSettingsDialog {} }
    }
}
