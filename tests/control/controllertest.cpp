// What reaches the phone for each input over a loopback control connection; the messages' bytes.
#include "controller.h"
#include "controlwire.h"
#include "datatable.h"
#include "device.h"
#include "h264teststream.h" // Wire::bigEndian
#include "keymapping.h"
#include "testregistry.h"
#include "testsupport.h"
#include "typeregistration.h"

#include <QtTest>

#include <cmath>
#include <memory>

using Sent = QList<QList<qint64>>;

namespace {
constexpr qint64 kFinger = qint64(0xFFFFFFFFFFFFFFFEull);

// The fields each message's type carries; touches also carry the frame size.
Sent fields(const QList<WireMessage> &got)
{
    Sent out;
    for (const WireMessage &m : got) {
        if (m.type == 0)
            out << QList<qint64>{0, m.action, m.keycode, m.metaState, m.repeat};
        else if (m.type == 2)
            out << QList<qint64>{
                2,          m.action,       m.x,       m.y,     qint64(m.pointerId),
                m.pressure, m.actionButton, m.buttons, m.width, m.height};
        else if (m.type == 9)
            out << QList<qint64>{9, m.paste, qint64(m.sequence), m.text.size()};
        else
            out << QList<qint64>{m.type};
    }
    return out;
}

QList<WireMessage> withAction(QList<WireMessage> got, int action)
{
    got.removeIf([action](const WireMessage &m) { return m.action != action; });
    return got;
}

QList<qint64> keyMsg(int action, int keycode, int metaState = 0)
{
    return {0, action, keycode, metaState, 0};
}

QList<qint64> touch(int action, QPoint p, int pressure, int actionButton, int buttons,
                    qint64 id = kFinger)
{
    return {2, action, p.x(), p.y(), id, pressure, actionButton, buttons, 1080, 2400};
}

// A touch of a mapped key: the primary button throughout.
QList<qint64> tap(int action, QPoint p, qint64 id)
{
    return touch(action, p, action == 0 ? 0xFFFF : 0, 1, 1, id);
}

// A phone with its own control connection; its controller goes with the device.
struct Phone
{
    ControlLink link;
    Device device{nullptr, "ctrl-serial"};
    Controller *controller = new Controller(&device, link.hostSocket());
    explicit Phone(QSize frame)
    {
        if (frame.isValid())
            TestSupport::deliverFrame(&device, frame);
    }
};

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

ControlMsg touchEvent(quint64 pointerId, int action, QRect position, float pressure)
{
    ControlMsg msg(ControlMsg::InjectTouchEvent);
    msg.setInjectTouchEvent(pointerId, action, 1, 1, position, pressure);
    return msg;
}

ControlMsg clipboardEvent(const QString &text, bool paste)
{
    ControlMsg msg(ControlMsg::SetClipboard);
    msg.setSetClipboard(text, paste);
    return msg;
}
} // namespace

class ControllerTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir; // outlives the store, which outlives the phone
    std::unique_ptr<KeyMapping> m_store;
    std::unique_ptr<Phone> m_phone;
    Controller *m_controller = nullptr;
    ControlLink *m_link = nullptr;

    void usePhone(QSize frame)
    {
        m_phone = std::make_unique<Phone>(frame);
        m_controller = m_phone->controller;
        m_link = &m_phone->link;
    }

    KeyMappingProfile *activeProfile()
    {
        m_store->addProfile("Test"); // refused once it is there
        KeyMappingProfile *profile = m_store->getProfile("Test");
        m_phone->device.setCurrentKeyMappingProfile(profile);
        return profile;
    }

    void key(int type, int key, int modifiers = 0)
    {
        m_controller->handleKeyEvent(type, key, modifiers, QString());
    }

    // What the phone got before a reset sent now: nothing earlier can still be on its way.
    Sent sent()
    {
        m_controller->resetVideo();
        (void)QTest::qWaitFor([this] {
            return !m_link->messages().isEmpty() && m_link->messages().last().type == 17;
        });
        Sent out = fields(m_link->takeMessages());
        if (out.isEmpty() || out.takeLast() != QList<qint64>{17})
            out << QList<qint64>{-1}; // the reset never came
        return out;
    }

private slots:
    void initTestCase() { registerParvixTypes(); }

    void init()
    {
        usePhone({1080, 2400});
        QVERIFY(m_link->isConnected());
        QFile::remove(m_dir.filePath("keymappings.json"));
        m_store = std::make_unique<KeyMapping>(m_dir.filePath("keymappings.json"));
    }

    void pointerScaledAndActionsSent()
    {
        for (int type : {0, 1, 4, 6, 7, 31}) // not pointer events
            m_controller->handleMouseEvent(type, 10, 10, 1, 1, 360, 800);
        m_controller->handleMouseEvent(2, 50, 100, 1, 1, 360, 800);
        m_controller->handleMouseEvent(5, 120.7, 333.3, 0, 1, 360, 800);
        m_controller->handleMouseEvent(3, 359.9, 799.9, 1, 0, 360, 800);
        QCOMPARE(sent(), (Sent{touch(0, {150, 300}, 0xFFFF, 1, 1),
                               touch(2, {362, 999}, 0, 0, 1), // truncated, not rounded
                               touch(1, {1079, 2399}, 0, 1, 0)}));
        // button, buttons -> sent action button, sent buttons
        for (auto [button, buttons] : {std::pair{16, 16}, {32, 32}, {3, 3}, {1, 0x3F}})
            m_controller->handleMouseEvent(2, 10, 10, button, buttons, 360, 800);
        const QPoint p(30, 30);
        QCOMPARE(sent(), (Sent{touch(0, p, 0xFFFF, 16, 16), touch(0, p, 0xFFFF, 0, 0),
                               touch(0, p, 0xFFFF, 0, 3), touch(0, p, 0xFFFF, 1, 0x1F)}));
        // Scaled from each event's own view to the decoded frame.
        m_controller->handleMouseEvent(2, 135, 300, 1, 1, 540, 1200);
        m_controller->handleMouseEvent(2, 10, 10, 1, 1, 0, 800); // an empty view
        QCOMPARE(sent(), Sent{touch(0, {270, 600}, 0xFFFF, 1, 1)});
        Sent expected;
        for (auto [k, keycode] : {std::pair{Qt::Key_C, 278}, {Qt::Key_V, 279}, {Qt::Key_X, 277}}) {
            key(6, k, Qt::ControlModifier); // Ctrl+C/V/X: the phone's own
            expected << keyMsg(0, keycode) << keyMsg(1, keycode);
        }
        const QString text = QString::fromUtf8("你好，世界 ✓ 😀");
        m_controller->actionInputText(text);
        QCOMPARE(sent(), (expected + Sent{{9, 1, 0, text.toUtf8().size()}}));
        usePhone({}); // no frame yet
        m_controller->handleMouseEvent(2, 10, 10, 1, 1, 360, 800);
        m_controller->actionSwipeUp(); // its release lifts a finger that never went down
        QTRY_VERIFY(!m_controller->findChild<QTimer *>());
        QCOMPARE(sent(), Sent{});
    }

    void keyEvents_data()
    {
        // keycode -1: not sent
        addColumns<int, int, int, int>({"key", "modifiers", "keycode", "metaState"});
        const auto row = [](const char *name, int key, int modifiers, int keycode, int meta = 0) {
            QTest::newRow(name) << key << modifiers << keycode << meta;
        };
        // Special keys pass with Alt and Meta too.
        row("escape", Qt::Key_Escape, Qt::AltModifier | Qt::MetaModifier, 111, 0x10002);
        row("enter", Qt::Key_Enter, 0, 160);
        row("space", Qt::Key_Space, 0, 62);
        row("0", Qt::Key_0, 0, 7);
        row("Z", Qt::Key_Z, 0, 54);
        row("shift ctrl A", Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier, 29, 0x1001);
        row("!", Qt::Key_Exclam, Qt::ShiftModifier, 8, 0x1);
        row("~", Qt::Key_AsciiTilde, 0, 68);
        row("left with alt", Qt::Key_Left, Qt::AltModifier, 21, 0x2);
        row("down", Qt::Key_Down, 0, 20);
        row("lower case has no entry", 'a', 0, -1);
        row("alt B", Qt::Key_B, Qt::AltModifier, -1);
    }
    void keyEvents()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, keycode);
        QFETCH(int, metaState);
        this->key(6, key, modifiers);
        this->key(4, key, modifiers); // neither press nor release
        this->key(7, key, keycode < 0 ? int(Qt::MetaModifier) : 0);
        QCOMPARE(sent(),
                 (keycode < 0 ? Sent{} : Sent{keyMsg(0, keycode, metaState), keyMsg(1, keycode)}));
    }

    // Built-in swipes run to their end; a mapped one steps while its key is held, then ends there.
    void swipes_data()
    {
        // No action: a mapped key. Points: fractions of the frame. early: up after three moves.
        addColumns<QString, QPointF, QPointF, int, int, bool>(
            {"action", "start", "end", "duration", "steps", "early"});
        const QPointF mid(0.5, 0.5), bottom(0.5, 0.9), top(0.5, 0.1);
        addRow("up", "actionSwipeUp", mid, QPointF(0.5, 0.2), 0, 5, false);
        addRow("mapped 100 ms", "", bottom, top, 100, 10, false);
        addRow("mapped 300 ms", "", bottom, top, 300, 18, false);
        addRow("mapped, released early", "", QPointF(0.1, 0.5), QPointF(0.9, 0.5), 2000, 60, true);
    }
    void swipes()
    {
        QFETCH(QString, action);
        QFETCH(QPointF, start);
        QFETCH(QPointF, end);
        QFETCH(int, duration);
        QFETCH(int, steps);
        QFETCH(bool, early);
        if (action.isEmpty()) {
            QVERIFY(activeProfile()->addSwipeMapping(Qt::Key_W, 0, "W", start.x(), start.y(),
                                                     end.x(), end.y(), duration));
            key(6, Qt::Key_W);
        } else {
            QVERIFY(QMetaObject::invokeMethod(m_controller, action.toLatin1().constData()));
        }
        QVERIFY(m_link->waitForMessages(early ? 4 : steps + 1, duration + 3000));
        if (early)
            key(7, Qt::Key_W);
        QList<WireMessage> got = m_link->settle(100);
        if (action.isEmpty() && !early) {
            QCOMPARE(got.size(), steps + 1); // not released by the timers
            key(7, Qt::Key_W);
            QVERIFY(m_link->waitForMessages(steps + 2));
            got = m_link->settle(30);
        }
        QVERIFY(early ? got.size() > 4 : got.size() == steps + 2);
        const QPointF from(1080 * start.x(), 2400 * start.y()), to(1080 * end.x(), 2400 * end.y());
        QCOMPARE(QList<int>({got.first().action, got.first().x, got.first().y}),
                 QList<int>({0, int(from.x()), int(from.y())}));
        for (int k = 1; k + 1 < got.size(); ++k) {
            const QPointF p = from + (to - from) * (double(k) / steps);
            QCOMPARE(got.at(k).action, 2);
            QVERIFY2(
                std::abs(got.at(k).x - p.x()) <= 1 && std::abs(got.at(k).y - p.y()) <= 1,
                qPrintable(QString("move %1 at %2,%3").arg(k).arg(got.at(k).x).arg(got.at(k).y)));
        }
        QCOMPARE(QList<int>({got.last().action, got.last().x, got.last().y}),
                 QList<int>({1, int(to.x()), int(to.y())}));
        for (const WireMessage &m : got)
            QCOMPARE(QList<qint64>({qint64(m.pointerId), m.actionButton, m.buttons}),
                     QList<qint64>({action.isEmpty() ? 0 : kFinger, 1, 1}));
        if (action != "actionSwipeUp")
            return;
        // Two swipes at once run side by side, each to its release.
        m_link->takeMessages();
        m_controller->actionSwipeUp();
        m_controller->actionSwipeDown();
        QVERIFY(m_link->waitForMessages(7 + 12));
        QCOMPARE(withAction(m_link->settle(50), 1).size(), 2);
    }

    // A held touch, a tap series, a release after its modifier; gestures held through edits.
    void mappedTouchesAndTaps()
    {
        KeyMappingProfile *profile = activeProfile();
        QVERIFY(profile->addMapping(Qt::Key_Space, 0, "Space", 0.5, 0.8)); // frame 1080x2400
        QVERIFY(m_controller->handleKeyMapping(6, Qt::Key_Space, 0, " "));
        key(6, Qt::Key_Space); // auto-repeat
        key(7, Qt::Key_Space);
        QCOMPARE(sent(), (Sent{tap(0, {540, 1920}, 0), tap(1, {540, 1920}, 0)}));
        // Unmapped keys go out as keys; other types and zero taps are taken, sending nothing.
        QVERIFY(!m_controller->handleKeyMapping(6, Qt::Key_Space, Qt::ShiftModifier, " "));
        QVERIFY(profile->addMappingWithType(Qt::Key_O, 0, "O", 4, {}));
        QVERIFY(profile->addMappingWithType(Qt::Key_N, 0, "N", 0, {{"count", 0}}));
        for (int k : {Qt::Key_O, Qt::Key_N}) {
            QVERIFY(m_controller->handleKeyMapping(6, k, 0, "o"));
            QVERIFY(m_controller->handleKeyMapping(7, k, 0, "o"));
        }
        QCOMPARE(sent(), Sent{});

        QVERIFY(profile->addMapping(Qt::Key_T, 0, "T", 0.25, 0.5, 3));
        key(6, Qt::Key_T);
        QVERIFY(m_link->waitForMessages(6));
        key(7, Qt::Key_T); // the release of a series sends nothing
        Sent taps;
        for (int i = 0; i < 6; ++i)
            taps << tap(i % 2, {270, 1200}, 2); // the zero-tap series took id 1
        QCOMPARE(sent(), taps);

        QVERIFY(profile->addMapping(Qt::Key_A, Qt::ShiftModifier, "Shift+A", 0.5, 0.5));
        key(6, Qt::Key_A, Qt::ShiftModifier);
        key(7, Qt::Key_A, 0); // Shift was released first
        QCOMPARE(sent(), (Sent{tap(0, {540, 1200}, 3), tap(1, {540, 1200}, 3)}));

        QVERIFY(profile->addMapping(Qt::Key_B, 0, "B", 0.1, 0.1));
        for (int i = 0; i < 7; ++i) {
            key(6, Qt::Key_B);
            key(7, Qt::Key_B);
        }
        QCOMPARE(sent().last().at(4), 0); // pointer ids 4 to 9, then 0: they cycle through ten

        // Held through edits and the profile's removal.
        QVERIFY(profile->addMapping(Qt::Key_G, 0, "G", 0.5, 0.5));
        QVERIFY(profile->addSwipeMapping(Qt::Key_H, 0, "H", 0.1, 0.1, 0.2, 0.2, 100));
        key(6, Qt::Key_G);
        key(6, Qt::Key_H);
        QVERIFY(m_link->waitForMessages(3));
        QVERIFY(profile->removeMapping(6));
        QVERIFY(profile->updateMapping(6, Qt::Key_H, 0, "H", 0.9, 0.9));
        QVERIFY(m_store->removeProfile("Test"));
        key(7, Qt::Key_G);
        key(7, Qt::Key_H);
        const QList<WireMessage> got = m_link->settle(200);
        for (const WireMessage &m : got)
            QCOMPARE(m.type, 2); // no key code leaked out
        QCOMPARE(fields(withAction(got, 1)), (Sent{tap(1, {540, 1200}, 1), tap(1, {216, 480}, 2)}));
        m_link->takeMessages();
        // Before and after its deferred deletion, H is an ordinary key again.
        key(6, Qt::Key_H);
        QTRY_VERIFY(m_phone->device.currentKeyMappingProfile() == nullptr);
        key(6, Qt::Key_H);
        QCOMPARE(sent(), (Sent{keyMsg(0, 36), keyMsg(0, 36)}));
    }

    void everyTouchDownIsLifted_data()
    {
        // count 0: a swipe
        addColumns<int, double, QString>({"count", "endX", "end"});
        QTest::newRow("tap series, focus lost") << 10 << 0.0 << QString("focus");
        QTest::newRow("swipe, session ends") << 0 << 0.9 << QString("session");
        QTest::newRow("swipe off the frame, key up") << 0 << 1e300 << QString("key");
    }
    void everyTouchDownIsLifted()
    {
        QFETCH(int, count);
        QFETCH(double, endX);
        QFETCH(QString, end);
        KeyMappingProfile *p = activeProfile();
        QVERIFY(count ? p->addMapping(Qt::Key_K, 0, "K", 0.5, 0.5, count)
                      : p->addSwipeMapping(Qt::Key_K, 0, "K", 0.1, 0.1, endX, 0.5, 2000));
        key(6, Qt::Key_K);
        QVERIFY(m_link->waitForMessages(1));
        if (end == "focus")
            m_controller->releaseHeldKeys();
        else if (end == "session")
            delete m_controller;
        else
            key(7, Qt::Key_K);
        const QList<WireMessage> got = m_link->settle(200);
        const qsizetype downs = withAction(got, 0).size();
        QCOMPARE(withAction(got, 1).size(), downs);
        QVERIFY(downs < 10);
    }

    void groupSendsKeepOrderAndSendsAreAnnounced()
    {
        ControlMsg now(ControlMsg::ResetVideo);
        m_controller->groupSend(now); // without a delay: at once, no timer
        QVERIFY(m_controller->findChildren<QTimer *>().isEmpty());
        m_controller->setClickDelayMilliSeconds(1500);
        ControlMsg first(ControlMsg::InjectKeycode), second(ControlMsg::InjectKeycode);
        first.setInjectKeycode(0, 3, 0, 0);
        second.setInjectKeycode(1, 3, 0, 0);
        m_controller->groupSend(first);
        first.setInjectKeycode(0, 99, 0, 0);           // the queued copy is independent
        m_controller->setClickDelayMilliSeconds(1600); // due after the first
        m_controller->groupSend(second);
        m_controller->setClickDelayMilliSeconds(0); // a shorter delay must not overtake
        ControlMsg third(ControlMsg::RotateDevice);
        m_controller->groupSend(third);
        const QTimer *timer = m_controller->findChild<QTimer *>();
        QVERIFY(timer && timer->isActive() && timer->remainingTime() > 1000);
        QVERIFY(m_link->waitForMessages(4, 5000));
        QCOMPARE(fields(m_link->messages()), (Sent{{17}, keyMsg(0, 3), keyMsg(1, 3), {11}}));

        // Announced only with a device and a socket.
        QList<ControlMsg> announced;
        Controller loose;
        Controller socketless(&m_phone->device, nullptr);
        for (Controller *c : {&loose, &socketless, m_controller}) {
            connect(c, &Controller::messageSent, this, [&](ControlMsg &msg) { announced << msg; });
            c->handleMouseEvent(2, 50, 100, 1, 1, 360, 800);
            c->handleKeyEvent(6, Qt::Key_A, 0, "a");
        }
        // Made from QML without a phone: nothing runs, and an upload says why.
        QSignalSpy told(&loose, &Controller::userMessage);
        loose.installApk("/nowhere.apk");
        loose.actionReboot();
        loose.actionShutdown();
        loose.uploadFile("x");
        QCOMPARE(told.count(), 1);
        QCOMPARE(announced.size(), 2);
        QCOMPARE(announced.at(0).touchPosition(), QRect(150, 300, 1080, 2400));
        QCOMPARE(announced.at(1).type(), ControlMsg::InjectKeycode);
    }

    // The edge cases; the plain messages are read back by ControlLink in the tests above.
    void encoding_data()
    {
        addColumns<ControlMsg, QByteArray>({"msg", "expected"});
        const auto row = [](const char *name, const ControlMsg &msg, const char *expected) {
            QTest::newRow(name) << msg << hex(expected);
        };
        // Touches end in the action button and the buttons, both 1.
        row("negative pressure is zero", touchEvent(0, 1, QRect(5, 6, 720, 1600), -0.5f),
            "02 01 0000000000000000 00000005 00000006 02D0 0640 0000");
        row("half pressure truncates, negative x", touchEvent(9, 0, QRect(-4, 7, 64, 48), 0.5f),
            "02 00 0000000000000009 FFFFFFFC 00000007 0040 0030 8000");
        row("clipboard without paste", clipboardEvent("abc", false),
            "09 0000000000000000 00 00000003 616263");
        row("empty text drops paste", clipboardEvent("", true), "09 0000000000000000 00 00000000");
        // Cut to 262130 bytes on whole characters, surrogate pairs included.
        const auto cut = [](const char *name, const QString &text, const QByteArray &kept) {
            QTest::newRow(name) << clipboardEvent(text, true)
                                << hex("09 0000000000000000 01") +
                                       Wire::bigEndian(quint32(kept.size())) + kept;
        };
        const QString emoji = QString::fromUtf8("😀");
        cut("ascii cut", QString(300000, QChar('x')), QByteArray(262130, 'x'));
        cut("utf-8 cut on a character", emoji.repeated(70000), emoji.repeated(65532).toUtf8());
        cut("no half surrogate pair", QString(262129, QChar('y')) + emoji, QByteArray(262129, 'y'));
    }
    void encoding()
    {
        QFETCH(ControlMsg, msg);
        QFETCH(QByteArray, expected);
        if (msg.type() == ControlMsg::InjectTouchEvent)
            expected += hex("00000001 00000001");
        QCOMPARE(msg.serialize().toHex(' '), expected.toHex(' '));
    }
};

PARVIX_TEST(ControllerTest)
#include "controllertest.moc"
