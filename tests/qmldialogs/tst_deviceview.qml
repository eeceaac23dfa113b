import QtQuick
import QtTest
import Parvix

// A phone's tile: its messages, and the input it passes to the phone (checked in what the
// virtual phone received).
DialogTestCase {
    id: testCase
    name: "DeviceView"

    property var manager: null

    function init() {
        manager = managerWithPhones(2)
    }

    function device(index) {
        return manager.currentSelectedGroup.devicesForRepeater[index]
    }

    function tileFor(dev, x) {
        return make("DeviceView", { width: 260, height: 440, device: dev, x: x || 0 })
    }

    function runningTile(dev, x) {
        const tile = tileFor(dev, x)
        startAndWait(dev)
        const video = findChild(tile, "video")
        tryVerify(() => video.visible && video.width > 0, 10000)
        // The first frame fixes the frame size the controller scales to.
        tryVerify(() => tile.currentFps > 0, 10000, "frames arrive")
        return tile
    }

    function test_messageReplacedAndDismissed() {
        const dev = device(0)
        const box = findChild(tileFor(dev), "messageBox")
        const other = findChild(tileFor(device(1), 300), "messageBox")
        verify(!box.visible)
        const shows = (text, type, timeout, colour) => {
            dev.deviceMessage(text, type, timeout)
            compare([box.visible, box.message], [true, text])
            compare(box.color, colour)
        }
        shows("first", "error", 10000, Theme.error)
        // The second replaces the first and runs on its own, shorter time.
        shows("second", "success", 300, Theme.success)
        tryCompare(box, "visible", false, 3000)
        // A longer second message outlives the first one's time, here the other tile's 300 ms.
        dev.deviceMessage("third", "info", 200)
        shows("fourth", "other", 10000, Theme.backgroundBlackGreen)
        device(1).deviceMessage("elsewhere", "info", 300)
        tryCompare(other, "visible", false, 3000)
        compare([box.visible, box.message], [true, "fourth"])
        mouseClick(findChild(box, "dismissMessage"))
        verify(!box.visible, "the × hides the message")
        shows("fifth", "info", 10000, Theme.info)
    }

    function test_dragMovesAreThrottled() {
        const dev = device(0)
        const tile = runningTile(dev)
        const input = findChild(tile, "input")
        const serial = dev.adbConnectionSerial
        const before = touches(serial).length

        let clock = 100000
        input.now = () => clock

        // Hovering sends nothing.
        mouseMove(input, 30, 30)
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

        tryVerify(() => touches(serial).slice(before).some(t => t.action === 1), 5000)
        const sent = touches(serial).slice(before)
        compare(sent.map(t => t.action), [0, 2, 2, 2, 2, 2, 2, 1])

        // Positions are scaled from the view to the phone's frame, whose size each touch carries.
        const scaleX = sent[0].screenWidth / input.width
        const scaleY = sent[0].screenHeight / input.height
        fuzzyCompare(sent[0].x, 10 * scaleX, 1.5)
        fuzzyCompare(sent[0].y, 10 * scaleY, 1.5)
        fuzzyCompare(sent[6].x, 135 * scaleX, 1.5)
    }

    // Screen Position shows its overlay: the journeys; here that it blocks input.
    function test_overlaysAndKeys() {
        const a = device(0), b = device(1)
        const tileA = runningTile(a, 0)
        const input = findChild(tileA, "input")
        const overlay = findChild(tileA, "coordinates")
        verify(!overlay.visible)
        // The button may be scrolled out of the column; its action is what counts.
        const toggle = findChild(tileA, "screenPositionButton")
        toggle.activated()
        verify(overlay.visible && !input.enabled, "the overlay takes the input")
        const before = touches(a.adbConnectionSerial).length
        mouseClick(overlay, overlay.width / 2, overlay.height / 2)
        mouseMove(overlay, overlay.width / 2, overlay.height / 2)
        compare([overlay.ratioX, overlay.ratioY], [0.5, 0.5])
        toggle.activated()
        verify(!overlay.visible)
        // Only this click reaches the phone, none on the overlay before it.
        mouseClick(input, 20, 20)
        tryVerify(() => touches(a.adbConnectionSerial).length >= before + 2, 5000)
        compare(touches(a.adbConnectionSerial).length, before + 2)

        const tileB = tileFor(b, 300)
        const clickToStart = findChild(tileB, "clickToStart")
        verify(clickToStart.visible)
        mouseClick(clickToStart)
        tryVerify(() => b.running && !clickToStart.visible, 20000, "Click To Start starts the session")
        tryVerify(() => findChild(tileB, "fpsBox").visible && tileB.currentFps > 0, 10000)
        // Keys go to the tile clicked last.
        const keysA = keys(a.adbConnectionSerial).length
        const keysB = keys(b.adbConnectionSerial).length
        mouseClick(input, 20, 20)
        keyClick(Qt.Key_Return)
        tryVerify(() => keys(a.adbConnectionSerial).length === keysA + 2, 5000, "down and up")
        mouseClick(findChild(tileB, "input"), 20, 20)
        keyClick(Qt.Key_Return)
        tryVerify(() => keys(b.adbConnectionSerial).length === keysB + 2, 5000)
        compare(keys(a.adbConnectionSerial).length, keysA + 2, "the first phone gets no more keys")
    }
}
