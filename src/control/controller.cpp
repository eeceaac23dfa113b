#include "controller.h"

#include "androidkeys.h"
#include "controltarget.h"
#include "keymapping.h"

#include <QTcpSocket>
#include <QTimer>

#include <cmath>
#include <limits>

namespace {

// Qt event types as the views pass them.
constexpr int kMousePress = 2;
constexpr int kMouseRelease = 3;
constexpr int kMouseMove = 5;
constexpr int kKeyPress = 6;
constexpr int kKeyRelease = 7;

// Android touch and key actions.
constexpr int kActionDown = 0;
constexpr int kActionUp = 1;
constexpr int kActionMove = 2;

constexpr int kPrimaryButton = 1;
constexpr int kSwipeTickMs = 10;
constexpr int kTapPhaseMs = 30;
constexpr int kPointerIdCycle = 10;
// The view of the gestures the controller plays itself: their points are fractions of the frame.
const QSizeF kFrameFraction(1.0, 1.0);

int toFramePixel(double frameExtent, double value, double viewExtent, bool *ok)
{
    const double scaled = frameExtent * value / viewExtent;
    if (!std::isfinite(scaled) || scaled >= double(std::numeric_limits<int>::max()) ||
        scaled <= double(std::numeric_limits<int>::min())) {
        *ok = false;
        return 0;
    }
    return int(scaled); // truncation toward zero
}

QPointF interpolate(const QPointF &start, const QPointF &end, int step, int steps)
{
    // Exactly the end on the last step: in fractions of the frame, start + (end - start)
    // can fall short of it and truncate to the pixel before.
    if (step >= steps)
        return end;
    const float fraction = float(step) / float(steps);
    return start + (end - start) * fraction;
}

} // namespace

// A mapped key that is held down: what its release needs, copied at press time so
// that edits to the profile or a profile switch meanwhile cannot lose the release.
struct Controller::HeldGesture
{
    int keyCode = 0;
    int modifiers = 0;
    quint64 pointerId = 0;
    QPointF releasePoint; // fractions of the frame
    // Swipe only.
    QPointF start;
    QPointF end;
    int steps = 0;
    int step = 0;
    // Tap series only: taps still to start after the one under way.
    int tapsLeft = 0;
    QTimer *timer = nullptr;
};

struct Controller::DelayedMessage
{
    QDeadlineTimer due;
    ControlMsg message;
};

Controller::Controller(QObject *parent, QTcpSocket *controlSocket)
    : QObject(parent), m_controlSocket(controlSocket),
      m_target(dynamic_cast<ControlTarget *>(parent))
{}

Controller::~Controller()
{
    // The session ends: no finger this controller put down stays on the phone. The target
    // may be going away, so fingers are lifted where they last were.
    for (const HeldGesture &gesture : std::as_const(m_heldGestures))
        delete gesture.timer;
    m_heldGestures.clear();
    const QList<quint64> touching = m_touching.keys();
    for (quint64 pointerId : touching)
        liftPointer(pointerId, false);
}

// ---- sending ----------------------------------------------------------------------

void Controller::send(ControlMsg &msg)
{
    if (!m_controlSocket)
        return;
    m_controlSocket->write(msg.serialize());
    m_controlSocket->flush();
    emit messageSent(msg);
}

void Controller::setClickDelayMilliSeconds(int milliSeconds)
{
    m_clickDelayMs = milliSeconds;
}

void Controller::groupSend(ControlMsg &msg)
{
    if (m_clickDelayMs < 1 && m_delayedMessages.isEmpty()) {
        send(msg);
        return;
    }
    // One queue keeps this phone's messages in the order they were given, also when the
    // delay changes while some still wait.
    QDeadlineTimer due(qMax(m_clickDelayMs, 0), Qt::PreciseTimer);
    if (!m_delayedMessages.isEmpty() && due < m_delayedMessages.last().due)
        due = m_delayedMessages.last().due;
    m_delayedMessages.append({due, msg});
    if (!m_delayTimer) {
        m_delayTimer = new QTimer(this);
        m_delayTimer->setSingleShot(true);
        m_delayTimer->setTimerType(Qt::PreciseTimer);
        connect(m_delayTimer, &QTimer::timeout, this, &Controller::sendDueDelayedMessages);
    }
    if (!m_delayTimer->isActive())
        m_delayTimer->start(int(m_delayedMessages.first().due.remainingTime()));
}

void Controller::sendDueDelayedMessages()
{
    while (!m_delayedMessages.isEmpty() && m_delayedMessages.first().due.hasExpired()) {
        ControlMsg message = m_delayedMessages.takeFirst().message;
        send(message);
    }
    if (!m_delayedMessages.isEmpty())
        m_delayTimer->start(int(m_delayedMessages.first().due.remainingTime()));
}

void Controller::sendKeyPair(int androidKeyCode)
{
    ControlMsg down(ControlMsg::InjectKeycode);
    down.setInjectKeycode(kActionDown, androidKeyCode, 0, 0);
    send(down);
    ControlMsg up(ControlMsg::InjectKeycode);
    up.setInjectKeycode(kActionUp, androidKeyCode, 0, 0);
    send(up);
}

// ---- key pairs, rotation, video -------------------------------------------------------

void Controller::actionHome()
{
    sendKeyPair(KeyHome);
}

void Controller::actionShowTaskList()
{
    sendKeyPair(KeyAppSwitch);
}

void Controller::actionBack()
{
    sendKeyPair(KeyBack);
}

void Controller::actionSleep()
{
    sendKeyPair(KeySleep);
}

void Controller::actionWakeUp()
{
    sendKeyPair(KeyWakeUp);
}

void Controller::actionVolumeUp()
{
    sendKeyPair(KeyVolumeUp);
}

void Controller::actionVolumeDown()
{
    sendKeyPair(KeyVolumeDown);
}

void Controller::actionCopy()
{
    sendKeyPair(KeyCopy);
}

void Controller::actionPaste()
{
    sendKeyPair(KeyPaste);
}

void Controller::actionCut()
{
    sendKeyPair(KeyCut);
}

void Controller::actionRotateScreen()
{
    ControlMsg msg(ControlMsg::RotateDevice);
    send(msg);
}

void Controller::resetVideo()
{
    ControlMsg msg(ControlMsg::ResetVideo);
    send(msg);
}

void Controller::actionInputText(QString text)
{
    ControlMsg msg(ControlMsg::SetClipboard);
    msg.setSetClipboard(text, true);
    send(msg);
}

// ---- pointer ----------------------------------------------------------------------------

void Controller::handleMouseEvent(int eventType, double x, double y, int button, int buttons,
                                  double viewWidth, double viewHeight)
{
    touch(ControlMsg::kGenericFingerPointerId, eventType, {x, y}, {viewWidth, viewHeight}, button,
          buttons);
}

void Controller::touch(quint64 pointerId, int eventType, const QPointF &point, const QSizeF &view,
                       int button, int buttons)
{
    if (!m_target)
        return;
    int action = 0;
    float pressure = 0.0f;
    switch (eventType) {
    case kMousePress:
        action = kActionDown;
        pressure = 1.0f;
        break;
    case kMouseRelease:
        action = kActionUp;
        break;
    case kMouseMove:
        action = kActionMove;
        break;
    default:
        return;
    }
    // Until both sizes are known there is no meaningful position on the phone.
    const QSize frame = m_target->frameSize();
    bool ok = view.width() > 0 && view.height() > 0 && frame.width() > 0 && frame.height() > 0;
    const int xf = ok ? toFramePixel(frame.width(), point.x(), view.width(), &ok) : 0;
    const int yf = ok ? toFramePixel(frame.height(), point.y(), view.height(), &ok) : 0;
    if (!ok) {
        // A finger that is down is lifted where it last was, whatever the position says.
        if (action == kActionUp)
            liftPointer(pointerId);
        return;
    }
    // Qt's left, right, middle, back and forward bits equal Android's button bits.
    const bool singleKnownButton =
        button == 1 || button == 2 || button == 4 || button == 8 || button == 16;
    const QRect position(QPoint(xf, yf), frame);
    if (action == kActionUp)
        m_touching.remove(pointerId);
    else
        m_touching.insert(pointerId, position);
    ControlMsg msg(ControlMsg::InjectTouchEvent);
    msg.setInjectTouchEvent(pointerId, action, singleKnownButton ? button : 0, buttons & 0x1F,
                            position, pressure);
    send(msg);
}

void Controller::liftPointer(quint64 pointerId, bool announce)
{
    const auto down = m_touching.constFind(pointerId);
    if (down == m_touching.constEnd())
        return;
    const QRect position = *down;
    m_touching.erase(down);
    ControlMsg msg(ControlMsg::InjectTouchEvent);
    msg.setInjectTouchEvent(pointerId, kActionUp, 0, 0, position, 0.0f);
    if (announce)
        send(msg);
    else if (m_controlSocket) { // going away: listeners may be half gone
        m_controlSocket->write(msg.serialize());
        m_controlSocket->flush();
    }
}

void Controller::releaseHeldKeys()
{
    while (!m_heldGestures.isEmpty())
        releaseHeldGesture(int(m_heldGestures.size()) - 1);
}

// ---- built-in swipes ------------------------------------------------------------------------

void Controller::playBuiltInSwipe(const QPointF &start, const QPointF &end, int steps)
{
    constexpr quint64 id = ControlMsg::kGenericFingerPointerId;
    touch(id, kMousePress, start, kFrameFraction, kPrimaryButton, kPrimaryButton);
    auto *timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(kSwipeTickMs);
    auto counter = std::make_shared<int>(0);
    connect(timer, &QTimer::timeout, this, [this, timer, counter, start, end, steps] {
        if (*counter < steps) {
            ++*counter;
            const QPointF p = interpolate(start, end, *counter, steps);
            touch(id, kMouseMove, p, kFrameFraction, kPrimaryButton, kPrimaryButton);
            return;
        }
        touch(id, kMouseRelease, end, kFrameFraction, kPrimaryButton, kPrimaryButton);
        timer->stop();
        timer->deleteLater();
    });
    timer->start();
}

void Controller::actionSwipeUp()
{
    playBuiltInSwipe({0.5, 0.5}, {0.5, 0.2}, 5);
}

void Controller::actionSwipeDown()
{
    playBuiltInSwipe({0.5, 0.5}, {0.5, 0.8}, 10);
}

void Controller::actionSwipeLeft()
{
    playBuiltInSwipe({0.5, 0.5}, {0.2, 0.5}, 10);
}

void Controller::actionSwipeRight()
{
    playBuiltInSwipe({0.5, 0.5}, {0.8, 0.5}, 10);
}

// ---- keys -------------------------------------------------------------------------------------

void Controller::handleKeyEvent(int eventType, int key, int modifiers, QString text)
{
    if (handleKeyMapping(eventType, key, modifiers, text))
        return;
    int action = 0;
    if (eventType == kKeyRelease) {
        action = kActionUp;
    } else if (eventType == kKeyPress) {
        if (modifiers & Qt::ControlModifier) {
            if (key == Qt::Key_C) {
                actionCopy();
                return;
            }
            if (key == Qt::Key_V) {
                actionPaste();
                return;
            }
            if (key == Qt::Key_X) {
                actionCut();
                return;
            }
        }
        action = kActionDown;
    } else {
        return;
    }
    int keycode = AndroidKeys::forSpecialKey(key);
    if (keycode < 0) {
        if (modifiers & (Qt::AltModifier | Qt::MetaModifier))
            return;
        keycode = AndroidKeys::forPrintableKey(key);
        if (keycode < 0)
            return;
    }
    ControlMsg msg(ControlMsg::InjectKeycode);
    msg.setInjectKeycode(action, keycode, 0, AndroidKeys::metaState(modifiers));
    send(msg);
}

// ---- key mappings
// ---------------------------------------------------------------------------------

quint64 Controller::takeNextPointerId()
{
    const quint64 id = m_nextPointerId;
    m_nextPointerId = (id + 1) % kPointerIdCycle;
    return id;
}

int Controller::findHeldGesture(int key, int modifiers) const
{
    for (int i = 0; i < m_heldGestures.size(); ++i) {
        if (m_heldGestures.at(i).keyCode == key && m_heldGestures.at(i).modifiers == modifiers)
            return i;
    }
    return -1;
}

bool Controller::handleKeyMapping(int eventType, int key, int modifiers, QString text)
{
    Q_UNUSED(text)
    if (eventType == kKeyPress) {
        // An auto-repeated press of a held key.
        if (findHeldGesture(key, modifiers) >= 0)
            return true;
    } else if (eventType == kKeyRelease) {
        // The modifiers may have been let go first; the key alone then still ends its gesture.
        int held = findHeldGesture(key, modifiers);
        for (int i = 0; held < 0 && i < m_heldGestures.size(); ++i) {
            if (m_heldGestures.at(i).keyCode == key)
                held = i;
        }
        if (held >= 0) {
            releaseHeldGesture(held);
            return true;
        }
    }

    KeyMappingProfile *profile = m_target ? m_target->currentKeyMappingProfile() : nullptr;
    const KeyMappingEntry *entry = profile ? profile->findEntry(key, modifiers) : nullptr;
    if (!entry)
        return false;
    if (eventType != kKeyPress)
        return true; // a release of a tap series or of a gesture that never started
    if (entry->type != KeyMappingEntry::Touch && entry->type != KeyMappingEntry::Swipe)
        return true;

    const quint64 pointerId = takeNextPointerId();
    HeldGesture gesture;
    gesture.keyCode = key;
    gesture.modifiers = modifiers;
    gesture.pointerId = pointerId;
    if (entry->type == KeyMappingEntry::Touch && entry->count != 1) {
        if (entry->count > 0) {
            gesture.releasePoint = QPointF(entry->x, entry->y);
            gesture.tapsLeft = entry->count - 1;
            m_heldGestures.append(gesture);
            playTapSeries(m_heldGestures.last());
        }
        return true;
    }
    if (entry->type == KeyMappingEntry::Touch) {
        gesture.releasePoint = QPointF(entry->x, entry->y);
        m_heldGestures.append(gesture);
        touch(pointerId, kMousePress, gesture.releasePoint, kFrameFraction, kPrimaryButton,
              kPrimaryButton);
        return true;
    }
    gesture.start = QPointF(entry->startX, entry->startY);
    gesture.end = QPointF(entry->endX, entry->endY);
    gesture.releasePoint = gesture.end;
    gesture.steps = qBound(10, entry->duration / 16, 60);
    const int interval = qMax(0, entry->duration / gesture.steps);
    m_heldGestures.append(gesture);
    playMappedSwipe(m_heldGestures.last());
    if (m_heldGestures.last().timer)
        m_heldGestures.last().timer->start(interval);
    return true;
}

void Controller::playMappedSwipe(HeldGesture &gesture)
{
    touch(gesture.pointerId, kMousePress, gesture.start, kFrameFraction, kPrimaryButton,
          kPrimaryButton);
    gesture.step = 1;
    const QPointF first = interpolate(gesture.start, gesture.end, 1, gesture.steps);
    touch(gesture.pointerId, kMouseMove, first, kFrameFraction, kPrimaryButton, kPrimaryButton);
    if (gesture.step >= gesture.steps)
        return;
    auto *timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    gesture.timer = timer;
    connect(timer, &QTimer::timeout, this, [this, timer] {
        for (HeldGesture &held : m_heldGestures) {
            if (held.timer != timer)
                continue;
            ++held.step;
            const QPointF p = interpolate(held.start, held.end, held.step, held.steps);
            touch(held.pointerId, kMouseMove, p, kFrameFraction, kPrimaryButton, kPrimaryButton);
            if (held.step >= held.steps) {
                held.timer = nullptr;
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
    });
}

void Controller::releaseHeldGesture(int index)
{
    const HeldGesture gesture = m_heldGestures.takeAt(index);
    if (gesture.timer) {
        // The key came up before the swipe arrived or the taps ended: nothing may follow
        // the release.
        gesture.timer->stop();
        gesture.timer->deleteLater();
    }
    if (m_touching.contains(gesture.pointerId))
        touch(gesture.pointerId, kMouseRelease, gesture.releasePoint, kFrameFraction,
              kPrimaryButton, kPrimaryButton);
}

void Controller::playTapSeries(HeldGesture &gesture)
{
    const QPointF point = gesture.releasePoint;
    touch(gesture.pointerId, kMousePress, point, kFrameFraction, kPrimaryButton, kPrimaryButton);
    auto *timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(kTapPhaseMs);
    gesture.timer = timer;
    connect(timer, &QTimer::timeout, this, [this, timer, point] {
        for (int i = 0; i < m_heldGestures.size(); ++i) {
            HeldGesture &held = m_heldGestures[i];
            if (held.timer != timer)
                continue;
            if (m_touching.contains(held.pointerId)) {
                touch(held.pointerId, kMouseRelease, point, kFrameFraction, kPrimaryButton,
                      kPrimaryButton);
            } else if (held.tapsLeft > 0) {
                --held.tapsLeft;
                touch(held.pointerId, kMousePress, point, kFrameFraction, kPrimaryButton,
                      kPrimaryButton);
            }
            if (held.tapsLeft == 0 && !m_touching.contains(held.pointerId)) {
                // All taps played while the key is still down; its release ends nothing.
                timer->stop();
                timer->deleteLater();
                m_heldGestures.removeAt(i);
            }
            return;
        }
    });
    timer->start();
}
