import QtQuick
import Parvix

// Turns mouse and keyboard input on a phone's picture into control messages for that phone.
// Used by the tile and the enlarged view; positions stay in this item's pixels and go with
// this item's size, by which the controller scales them to the phone's frame.
MouseArea {
    id: area

    enum EventType {
        MousePress = 2,
        MouseRelease = 3,
        MouseMove = 5,
        KeyPress = 6,
        KeyRelease = 7
    }

    required property Device device
    // The tile logs its presses and cancels; the enlarged view logs only keys.
    property bool verboseLog: true
    property bool isDragging: false
    property real lastMoveTime: 0
    // At most one move per this many milliseconds while dragging.
    property int moveIntervalMs: 16
    // Replaceable clock, so that tests can drive the move throttle deterministically.
    property var now: function () {
        return Date.now()
    }

    acceptedButtons: Qt.LeftButton | Qt.RightButton | Qt.MiddleButton
    hoverEnabled: true
    propagateComposedEvents: false
    preventStealing: true
    cursorShape: Qt.ArrowCursor
    focus: true

    function controller() {
        if (!device || !device.running)
            return null
        return device.controller
    }

    function forward(eventType, mouse) {
        const c = controller()
        if (c)
            c.handleMouseEvent(eventType, mouse.x, mouse.y, mouse.button, mouse.buttons, width, height)
    }

    function forwardKey(eventType, event) {
        const c = controller()
        if (c)
            c.handleKeyEvent(eventType, event.key, event.modifiers, event.text)
    }

    onPressed: mouse => {
        if (verboseLog)
            console.log("onPressed - DOWN, button:", mouse.button, "buttons:", mouse.buttons)
        forceActiveFocus()
        isDragging = true
        forward(DeviceInputArea.MousePress, mouse)
    }

    onReleased: mouse => {
        if (verboseLog)
            console.log("onReleased - UP, button:", mouse.button, "buttons:", mouse.buttons)
        isDragging = false
        forward(DeviceInputArea.MouseRelease, mouse)
    }

    onPositionChanged: mouse => {
        if (!isDragging)
            return
        const t = now()
        if (t - lastMoveTime <= moveIntervalMs)
            return
        lastMoveTime = t
        forward(DeviceInputArea.MouseMove, mouse)
    }

    onCanceled: {
        if (verboseLog)
            console.log("Mouse event CANCELED - isDragging:", isDragging)
        isDragging = false
    }

    // A key let go elsewhere never reaches this area: what it holds on the phone ends here.
    onActiveFocusChanged: {
        const c = controller()
        if (!activeFocus && c)
            c.releaseHeldKeys()
    }

    Keys.onPressed: event => {
        console.log("onPressed - KEY:", event.key)
        forwardKey(DeviceInputArea.KeyPress, event)
    }

    Keys.onReleased: event => {
        console.log("onReleased - KEY:", event.key)
        forwardKey(DeviceInputArea.KeyRelease, event)
    }
}
