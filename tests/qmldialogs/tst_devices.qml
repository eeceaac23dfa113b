import QtQuick
import QtTest
import Parvix

// The phones' side: the device list, a tile, its buttons and menu, the grid, the scan and phone dialogs.
DialogTestCase {
    id: testCase
    name: "Devices"

    function test_list() {
        const manager = managerWithPhones(4)
        const first = manager.currentSelectedGroup
        manager.createDeviceGroup("Second")
        const second = manager.deviceGroups[1]
        first.moveDevicesToGroup(first.devicesForRepeater.slice(2).map(d => d.adbConnectionSerial), second)
        tryCompare(second, "deviceCount", 2)
        const [[a1, a2], [b1, b2]] = [first, second].map(group => group.devicesForRepeater)
        const list = make("DeviceList", { width: 300, height: 600, deviceGroupManager: manager })
        const rows = () => findAll(list, "deviceRow").filter(row => row.visible)
        const rowOf = device => rows().find(row => row.device === device)
        const serials = devices => devices.map(device => device.adbConnectionSerial)
        compare(rows().length, 0, "groups start collapsed")

        // A header selects its group, but its rightmost 40 px expand it (two headers: no double click).
        const headers = findAll(list, "groupHeader")
        const headerOf = group => headers.find(header => header.parent.group === group)
        waitForRendering(list)
        mouseClick(headerOf(second), headers[0].width - 45, 20)
        compare(manager.currentSelectedGroup, second)
        mouseClick(headerOf(first), headers[0].width - 20, 20)
        compare([headerOf(first).parent.expanded, manager.currentSelectedGroup], [true, second])
        mouseClick(findAll(headerOf(second), "expandButton")[0])
        tryVerify(() => rows().length === 4, 2000, "four rows shown")
        waitForRendering(list)
        manager.createDeviceGroup("Third")
        compare(rows().length, 4, "a new group leaves the others expanded")
        manager.removeDeviceGroup(manager.deviceGroups[2])

        for (const [device, control, selected, group, why] of [
                 [a1, false, [a1], first, "a click selects"], [a2, true, [a1, a2], first, "Control adds"],
                 [b1, true, [a1, a2], first, "a phone of another group is not added"],
                 [a1, true, [a2], first, "Control removes"],
                 [a2, true, [], null, "removing the last one forgets the group"],
                 [b1, true, [b1], second, "then another group's phone may start"]]) {
            mouseClick(rowOf(device), 20, 20, Qt.LeftButton, control ? Qt.ControlModifier : Qt.NoModifier)
            compare([list.selectedDevices, list.currentSourceGroup], [serials(selected), group], why)
        }
        const menu = findChild(list, "deviceMenu")
        mouseClick(rowOf(b2), 20, 20, Qt.LeftButton, Qt.ControlModifier)
        mouseClick(rowOf(b2), 20, 20, Qt.RightButton)
        tryCompare(menu, "opened", true)
        compare(list.selectedDevices.length, 2, "a right click keeps a selection the phone belongs to")
        closeDialog(menu)
        mouseClick(rowOf(a1), 20, 20)
        mouseClick(list, 150, list.height - 20, Qt.LeftButton, Qt.ControlModifier)
        compare(list.selectedDevices.length, 1, "a press on empty space with Control keeps the selection")
        mouseClick(list, 150, list.height - 20)
        compare(list.selectedDevices.length, 0, "a press on empty space clears the selection")
        a1.setNickName("Phone 7")
        verify(find(rowOf(a1), "nameLine").text.indexOf("Phone 7") >= 0, "a rename shows at once")
        a1.setNickName("") // nicknames outlive this test's phones
        mouseClick(rowOf(a1), 20, 20)
        mouseClick(rowOf(a2), rowOf(a2).width - 15, 27)
        compare(list.selectedDevices, serials([a1]), "the buttons at the right of a row do not select")

        list.height = 400
        waitForRendering(list)
        mouseClick(rowOf(b2), 20, 5, Qt.RightButton) // rows grow with their text: the lower edge may lie under the margin
        tryCompare(menu, "opened", true)
        compare([menu.device, list.selectedDevices, menu.y], [b2, serials([b2]), Math.max(0, list.height - 280)],
                "a right click selects an unselected phone; near the bottom the menu opens inside the list")
        closeDialog(menu)
        compare(list.selectedDevices.length, 0, "closing the menu clears the selection")
    }

    // A tile's messages and input, then the buttons, dialogs and menu of a phone, without one first
    // (what each button sends, the dialogs laid out: the journeys).
    function test_buttonsDialogsMenuAndTiles() {
        const manager = managerWithPhones(2)
        const group = manager.currentSelectedGroup
        const [a, b] = group.devicesForRepeater
        const tileA = make("DeviceView", { width: 260, height: 440, device: a })
        const tileB = make("DeviceView", { width: 260, height: 440, device: b, x: 300 })
        const [box, other] = [tileA, tileB].map(tile => findChild(tile, "messageBox"))
        verify(!box.visible)
        const shows = (text, type, timeout, colour) => {
            a.deviceMessage(text, type, timeout)
            compare([box.visible, box.message, Qt.colorEqual(box.color, colour)], [true, text, true])
        }
        shows("first", "error", 10000, Theme.error)
        shows("second", "success", 300, Theme.success)
        tryCompare(box, "visible", false, 3000, "the second replaces the first and runs on its own, shorter time")
        shows("third", "info", 200, Theme.info)
        shows("fourth", "other", 10000, Theme.backgroundBlackGreen)
        b.deviceMessage("elsewhere", "info", 300)
        tryCompare(other, "visible", false, 3000)
        compare([box.visible, box.message], [true, "fourth"], "a longer second message outlives the first one's time")
        mouseClick(findChild(box, "dismissMessage"))
        verify(!box.visible, "the × hides the message")

        startAndWait(a)
        tryVerify(() => tileA.currentFps > 0, 10000, "frames arrive (the first fixes the size the controller scales to)")
        const input = findChild(tileA, "input")
        // What the phone receives, oldest first (touch actions: 0 down, 1 up, 2 move).
        const touchesFrom = () => fleetLogFrom(a.adbConnectionSerial + "/control.jsonl", "inject_touch_event")
        let touches = touchesFrom()
        let clock = 100000
        input.now = () => clock
        mouseMove(input, 30, 30) // hovering sends nothing
        mouseMove(input, 40, 40)
        mousePress(input, 10, 10)
        // Twenty moves 5 ms apart: one in four is more than 16 ms after the last one sent.
        for (let i = 1; i <= 20; ++i) {
            clock += 5
            mouseMove(input, 10 + i * 5, 10 + i * 5, -1, Qt.LeftButton)
        }
        // The last one sent was at step 17: 16 ms after it is not enough, 17 ms is.
        clock += 1
        mouseMove(input, 130, 130, -1, Qt.LeftButton)
        clock += 1
        mouseMove(input, 135, 135, -1, Qt.LeftButton)
        mouseRelease(input, 140, 140)
        tryVerify(() => touches().some(t => t.action === 1), 5000)
        const sent = touches()
        compare(sent.map(t => t.action), [0, 2, 2, 2, 2, 2, 2, 1])
        // Positions are scaled from the view to the phone's frame, whose size each touch carries.
        const scaleX = sent[0].screenWidth / input.width
        fuzzyCompare(sent[0].x, 10 * scaleX, 1.5)
        fuzzyCompare(sent[0].y, 10 * sent[0].screenHeight / input.height, 1.5)
        fuzzyCompare(sent[6].x, 135 * scaleX, 1.5)

        // Screen Position's overlay takes the input (the button may be scrolled away: its action).
        const [overlay, toggle] = ["coordinates", "screenPositionButton"].map(name => findChild(tileA, name))
        toggle.activated()
        verify(overlay.visible && !input.enabled, "the overlay takes the input")
        touches = touchesFrom()
        mouseClick(overlay, overlay.width / 2, overlay.height / 2)
        mouseMove(overlay, overlay.width / 2, overlay.height / 2)
        compare([overlay.ratioX, overlay.ratioY], [0.5, 0.5])
        toggle.activated()
        mouseClick(input, 20, 20)
        tryVerify(() => touches().length >= 2, 5000)
        compare(touches().length, 2, "only this click reaches the phone, none on the overlay before it")

        const clickToStart = findChild(tileB, "clickToStart")
        click(clickToStart)
        tryVerify(() => b.running && !clickToStart.visible, 20000, "Click To Start starts the session")
        tryVerify(() => findChild(tileB, "fpsBox").visible && tileB.currentFps > 0, 10000)
        const keys = [a, b].map(device => fleetLogFrom(device.adbConnectionSerial + "/control.jsonl", "inject_keycode"))
        for (const [tile, sent] of [[tileA, keys[0]], [tileB, keys[1]]]) {
            mouseClick(findChild(tile, "input"), 20, 20)
            keyClick(Qt.Key_Return)
            tryVerify(() => sent().length === 2, 5000, "down and up")
        }
        compare(keys[0]().length, 2, "keys go to the tile clicked last: the first phone gets no more")

        const column = make("ControlButtons", { width: 35, height: 500 })
        const buttons = () => Array.from(column.contentItem.children[0].children).filter(child => child.tip !== undefined)
        verify(findChild(column, "moreBelow").visible, "more buttons than fit are hinted at")
        column.contentY = column.contentHeight - column.height
        verify(!findChild(column, "moreBelow").visible)
        let signalled = 0
        for (const name of ["toggleScreenCoordinateDisplayer", "openKeyMappingProfilePicker", "openPhraseSelectionDialog"])
            column[name].connect(() => ++signalled)
        buttons().forEach(b => b.activated())
        compare(signalled, 0, "nothing happens without a device")
        const nobody = make("DeviceMenu")
        verify(!findChild(nobody, "renameItem").enabled && !findChild(nobody, "enableWiFiItem").enabled)

        const device = a
        column.device = device
        buttons().find(b => b.tip === "Shutdown").activated()
        verify(column.confirmation.alertMessage.indexOf(device.adbConnectionSerial) >= 0)
        column.confirmation.close()

        const dialog = openDialog(make("ADBCommandDialog", { device: device }))
        device.setNickName("Desk")
        compare(dialog.title, "Desk - ADB")
        const [output, commandLine, execute] = ["outputArea", "inputArea", "executeButton"].map(name => find(dialog, name))
        commandLine.text = "  \n "
        click(execute)
        verify(!device.adbCommandRunning, "blank input runs nothing")
        typed(dialog, { inputArea: "getprop ro.serialno" }, "executeButton")
        tryVerify(() => find(dialog, "shellHint").visible, 10000, "a command adb does not know is offered to the shell")
        click(find(dialog, "useShellButton"))
        compare(commandLine.text, "shell getprop ro.serialno")
        click(execute)
        verify(device.adbCommandRunning && !execute.enabled, "the command runs in the background")
        tryCompare(output, "text", device.adbConnectionSerial + "\n", 10000)
        closeDialog(dialog)
        dialog.device = null
        dialog.deviceGroup = group
        compare(dialog.title, "Default Group - ADB")
        openDialog(dialog)
        typed(dialog, { inputArea: "shell echo hi there" }, "executeButton")
        verify(group.adbCommandRunning)
        tryVerify(() => output.text.startsWith("Device 1: "), 10000)
        compare(output.text, group.executeADBCommand("shell echo hi there"), "numbered blocks, as the blocking call")

        // Renaming: the name preselected, blank refused (a trimmed name taken: the journeys).
        const rename = openDialog(make("DeviceRenameDialog", { targetDevice: device }))
        const field = find(rename, "nameField")
        compare(field.selectedText, "Desk")
        typeText(field, "   ")
        verify(!find(rename, "okButton").enabled)
        keyClick(Qt.Key_Return)
        verify(rename.opened, "a blank name is not taken")
        closeDialog(rename)
        device.setNickName("")
        openDialog(rename)
        compare(find(rename, "currentNameText").text, "No Custom Name")

        const info = openDialog(make("DeviceInfoDialog"))
        const rows = () => visibleAll(info, "infoRow").reduce((all, row) => Object.assign(all, { [row.label]: row.value }), {})
        compare(Object.values(rows()), new Array(10).fill("Unknown"), "without a device")
        closeDialog(info)
        tryVerify(() => device.deviceInfo.screen_size.width > 0, 10000, "the properties arrive")
        info.device = device
        openDialog(info)
        const values = rows()
        compare([values["Serial Number:"], values["Screen Size:"], values["Device Model:"]],
                [device.adbConnectionSerial, "720x1280px", device.deviceInfo.model || "Unknown"])
        verify(/^\d+GB$/.test(values["Memory Size:"]), values["Memory Size:"])
        compare(info.shown("[error] device offline"), "Unknown")

        manager.createDeviceGroup("Target") // somewhere to move to
        const menu = make("DeviceMenu", { device: device, deviceGroupManager: manager, currentSourceGroup: group,
                                          selectedDevices: [] })
        const usb = device.connectionType === Device.USB
        compare([findChild(menu, "enableWiFiItem").enabled, findChild(menu, "disconnectWiFiItem").enabled], [usb, !usb])
        const moveItem = findChild(menu, "moveItem")
        verify(!moveItem.enabled, "nothing selected")
        menu.selectedDevices = [device.adbConnectionSerial]
        menu.popup(10, 10)
        tryCompare(menu, "opened", true)
        mouseMove(moveItem, 20, 10)
        const groupRows = Array.from(shown(menu, "groupPopup").contentItem.children[0].children)
        mouseClick(groupRows.find(r => r.modelData === group), 20, 10)
        compare([group.deviceCount, menu.visible], [2, true], "the source group's row is inert")
        mouseClick(groupRows.find(r => r.modelData && r.modelData !== group), 20, 10)
        tryCompare(manager.deviceGroups[1], "deviceCount", 1, 5000, "another group's row moves the phone there")
    }

    function grid(count) {
        const manager = managerWithPhones(count)
        const screen = make("PhoneScreenGrid", { width: 1200, height: 800, deviceGroupManager: manager })
        const view = findChild(screen, "grid")
        tryVerify(() => view.count === count && view.itemAtIndex(count - 1) !== null)
        return [screen, view, manager.currentSelectedGroup]
    }

    // An APK dropped on a tile installs on that phone, on the group header on every phone (Start Group
    // Control and the actions' entries by name: the journeys).
    function test_headerButtonsDropsAndActions() {
        const [screen, view, group] = grid(2)
        const panel = make("BatchJobPanel", { width: 420, height: 300, jobs: group.jobs })
        verify(group.transferFiles([Qt.url("file://" + file("notes.txt", "notes"))], null) !== null)
        tryVerify(() => findAll(panel, "jobCounts").length === 1, 5000, "the job is listed")
        tryCompare(find(panel, "jobCounts"), "text", "2 of 2 done, 0 failed, 0 cancelled", 20000)
        verify(!find(panel, "cancelJob").visible)
        click(find(panel, "dismissJob"))
        compare(group.jobs.count, 0, "a finished job stays until it is dismissed")
        const orientation = findChild(screen, "orientationButton")
        compare(orientation.text, "Landscape")
        mouseClick(orientation)
        compare([group.orientation, orientation.text], [DeviceGroup.Landscape, "Portrait"])
        waitForRendering(screen)
        for (const [target, phones] of [[view.itemAtIndex(1), [1]], [find(screen, "groupDropArea"), [0, 1]]]) {
            const adb = fleetLogFrom("adb.log")
            verify(helper.dropFile(target, file("dropped.apk", "PK apk")), "the drop is taken")
            const installedOn = () => adb().filter(e => e.args.join(" ").endsWith("pm install -r '/data/local/tmp/dropped.apk'"))
                .map(e => e.args[1]).sort()
            tryVerify(() => installedOn().length >= phones.length, 20000, "the phones install it")
            compare(installedOn(), phones.map(i => view.itemAtIndex(i).device.adbConnectionSerial).sort(), "phones " + phones)
        }
        const confirm = openedBy(screen, "clearAllButton", "clearConfirm")
        compare(group.deviceCount, 2, "nothing is removed before the answer")
        confirm.accepted()
        tryCompare(group, "deviceCount", 0, 5000)
    }

    // A cell: a header of 20, the picture (the buttons take 35 + 15, else 10) and a margin of 10.
    // The enlarged window is 55 px wider and taller than the picture (400 × 16 / 9 + 55 = 766.11).
    function test_cellsAndSwitches_data() {
        return [{ tag: "portrait with buttons, running", orientation: DeviceGroup.Portrait, cellWidth: 220,
                  buttons: true, cellHeight: 332.22, width: 400, running: true, size: [455, 766.11] },
                { tag: "landscape without buttons, started", orientation: DeviceGroup.Landscape, cellWidth: 480,
                  buttons: false, cellHeight: 294.38, width: 960, running: false, size: [1015, 595] }]
    }

    function test_cellsAndSwitches(row) {
        const [screen, view, group] = grid(1)
        group.orientation = row.orientation
        group.cellWidth = row.cellWidth
        group.showControlButtons = row.buttons
        compare([view.cellWidth, view.cacheBuffer, view.itemAtIndex(0).width],
                [row.cellWidth, Math.floor(2 * view.cellHeight), row.cellWidth - 10], "the cell's width")
        fuzzyCompare(view.cellHeight, row.cellHeight, 0.01, "the cell's height")
        fuzzyCompare(view.itemAtIndex(0).height, view.cellHeight - 10, 0.01, "the tile's height")
        group.bigViewWidth = row.width
        const tile = view.itemAtIndex(0)
        const device = tile.device
        if (row.running)
            startAndWait(device)
        let switches = []
        device.runningChanged.connect(() => switches.push(device.running))
        const settled = () => tryVerify(() => switches[switches.length - 1] === true && device.controller !== null,
                                        20000, "the stream comes back")
        device.setIsBigView(true)
        settled()
        compare(switches, row.running ? [false, true] : [true], "each switch stops and starts the stream once")
        verify(findChild(tile, "onBigScreen").visible && !findChild(tile, "video").visible)
        const window = screen.bigViewOf(device)
        verify(window && window.visible && (window.flags & Qt.WindowStaysOnTopHint), "an enlarged window on top")
        compare(window.width, row.size[0])
        fuzzyCompare(window.height, row.size[1], 1)
        tryVerify(() => window.currentFps > 0, 10000, "the window shows the stream")
        const video = findChild(window.contentItem, "video")
        const shape = size => size.width / size.height
        tryVerify(() => Math.abs(shape(video) - shape(device.frameSize)) < 0.01, 10000, "the stream keeps its shape")
        switches = []
        window.close()
        settled()
        compare(switches, [false, true], "closing stops and starts the stream once")
        verify(!screen.bigViewOf(device) && findChild(tile, "video").visible, "the window is gone")
    }

    function test_pairingRefusesAShortCodeWithoutRunningAdb() {
        const dialog = openDialog(make("WirelessPairingDialog"))
        typed(dialog, { addressField: "192.168.1.20:37000", codeField: "12345", portField: "40111" }, "pairButton")
        verify(find(dialog, "pairingMessage").text.indexOf("six digits") >= 0)
        verify(find(dialog, "pairButton").enabled, "nothing runs")
    }

    // The adb restart's states, then the scan dialog (ticked rows added by mouse, or none: the journeys).
    function test_adbRestartAndScan() {
        const manager = newManager()
        const restart = openDialog(make("ADBRestartDialog", { deviceGroupManager: manager }))
        const [icon, text, button] = ["stateIcon", "stateText", "restartButton"].map(name => find(restart, name))
        const state = () => [String(icon.source).replace(/.*\//, ""), text.text]
        compare(state(), ["alert-triangle.svg", "Restarting ADB will disconnect all connected devices."])
        click(button)
        verify(manager.restartingADBServer && !button.enabled)
        tryVerify(() => restart.hasResult, 20000, "the restart ends")
        typed(restart, {}, "restartButton", true)
        openDialog(restart)
        compare(button.text, "Restart ADB Server", "opening again starts over")
        restart.waiting = true
        manager.adbServerRestartFinished(false)
        compare(state(), ["x-circle.svg", "Failed to restart ADB server"], "a failure shows its own icon and text")
        closeDialog(restart)

        let scans = 0
        manager.isScanningChanged.connect(() => ++scans)
        const dialog = openDialog(make("DeviceScanDialog", { deviceGroupManager: manager }))
        const rows = () => visibleAll(dialog, "deviceRow")
        verify(!manager.isScanning && findChild(dialog, "scanTimer").running, "drawn first, the scan follows later")
        closeDialog(dialog)
        compare([findChild(dialog, "scanTimer").running, scans], [false, 0], "closing before the delay cancels the scan")
        manager.scanError("not shown while the dialog is closed")
        verify(!findChild(dialog, "scanErrorAlert").visible)
        openDialog(dialog)
        tryVerify(() => scans === 1, 2000, "the scan starts")
        verify(find(dialog, "scanSpinner").visible)
        tryCompare(manager, "isScanning", false, 20000)
        manager.scanError("adb: protocol fault")
        alerted(dialog, "scanErrorAlert", "Error", "adb: protocol fault")
        closeDialog(dialog)
        compare(manager.availableDeviceInfos.length, 0, "the next opening shows no stale list")

        openDialog(dialog)
        tryVerify(() => rows().length === 4 && !manager.isScanning, 20000)
        const ticks = () => rows().map(r => find(r, "rowCheckBox").checked)
        manager.createDeviceGroup("Shop")
        const selectAll = find(dialog, "selectAllBox")
        compare(find(dialog, "selectAllText").text, "Select All (4)")
        rows().forEach(click)
        verify(!selectAll.checked, "every phone ticked row by row leaves Select All clear")
        click(rows()[1])
        compare(ticks(), [true, false, true, true])
        click(selectAll)
        compare([dialog.selectedDevices.length, dialog.selectedDevices[3].adb_serial],
                [4, manager.availableDeviceInfos[1].adb_serial], "Select All adds the rest, none twice, in order")
        click(find(rows()[2], "rowCheckBox"))
        compare(ticks(), [true, true, false, true], "unticking one keeps the others")
        verify(!selectAll.checked)
        click(selectAll)
        click(selectAll)
        compare(ticks(), [false, false, false, false], "clearing Select All clears all")
        click(rows()[3])
        click(rows()[0])
        const expected = [3, 0].map(i => manager.availableDeviceInfos[i].adb_serial)
        find(dialog, "groupBox").currentIndex = 1
        find(dialog, "groupBox").activated(1)
        typed(dialog, {}, "addButton", true)
        const shop = manager.deviceGroups[1]
        tryCompare(shop, "deviceCount", 2, 5000)
        compare([shop.devicesForRepeater.map(d => d.adbConnectionSerial), manager.currentSelectedGroup.deviceCount],
                [expected, 0], "into the chosen group only, in order of ticking")
    }

}
