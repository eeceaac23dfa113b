// The controller against a real loopback control connection: what reaches the phone for
// pointer, keys, built-in and mapped gestures, text and group sends.
#include "controller.h"
#include "controlwire.h"
#include "device.h"
#include "keymapping.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QtTest>

#include <cmath>
#include <memory>

namespace {
constexpr quint64 kFinger = 0xFFFFFFFFFFFFFFFEull;

// Frame position of a view point on a 360x800 view of a 1080x2400 frame.
QPoint scaled(double x, double y, QSize view = {360, 800})
{
    return {int(1080 * x / view.width()), int(2400 * y / view.height())};
}

QPoint at(const WireMessage &m)
{
    return {m.x, m.y};
}

// type/action/keycode/metaState of each message, for comparing key sequences at a glance; a
// non-zero repeat count is appended so that it shows up as a mismatch.
QList<QList<int>> keys(const QList<WireMessage> &got)
{
    QList<QList<int>> out;
    for (const WireMessage &m : got) {
        out << QList<int>{m.type, m.action, m.keycode, m.metaState};
        if (m.repeat != 0)
            out.last() << m.repeat;
    }
    return out;
}
} // namespace

class ControllerTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<Device> m_device;
    std::unique_ptr<ControlLink> m_link;
    Controller *m_controller = nullptr;
    std::unique_ptr<KeyMapping> m_store;
    QTemporaryDir m_dir;

    KeyMappingProfile *activeProfile()
    {
        if (!m_store->hasProfile("Test"))
            m_store->addProfile("Test");
        KeyMappingProfile *profile = m_store->getProfile("Test");
        m_device->setCurrentKeyMappingProfile(profile);
        return profile;
    }

    void key(int type, int key, int modifiers = 0)
    {
        m_controller->handleKeyEvent(type, key, modifiers, QString());
    }

private slots:
    void init()
    {
        m_device = std::make_unique<Device>(nullptr, "ctrl-serial");
        m_link = std::make_unique<ControlLink>();
        QVERIFY(m_link->isConnected());
        m_controller = new Controller(m_device.get(), m_link->hostSocket());
        TestSupport::deliverFrame(m_device.get(), QSize(1080, 2400));
        QFile::remove(m_dir.filePath("keymappings.json"));
        m_store = std::make_unique<KeyMapping>(m_dir.filePath("keymappings.json"));
    }

    void cleanup()
    {
        m_device.reset();
        m_store.reset();
        m_link.reset();
    }

    // ---- pointer ----

    void pressMoveReleaseScaledFromViewToFrame()
    {
        for (int type : {0, 1, 4, 6, 7, 31}) // not pointer events
            m_controller->handleMouseEvent(type, 10, 10, 1, 1, 360, 800);
        m_controller->handleMouseEvent(2, 50, 100, 1, 1, 360, 800);
        m_controller->handleMouseEvent(5, 120.7, 333.3, 0, 1, 360, 800);
        m_controller->handleMouseEvent(3, 359.9, 799.9, 1, 0, 360, 800);
        QVERIFY(m_link->waitForMessages(3));
        const QList<WireMessage> got = m_link->settle(30);
        QCOMPARE(got.size(), 3);
        QCOMPARE(got.at(0).type, 2);
        QCOMPARE(got.at(0).pointerId, kFinger);
        QCOMPARE(at(got.at(0)), QPoint(150, 300));
        QCOMPARE(QSize(got.at(0).width, got.at(0).height), QSize(1080, 2400));
        QCOMPARE(got.at(0).pressure, 0xFFFF);
        QCOMPARE(at(got.at(1)), QPoint(362, 999)); // truncated, not rounded
        QCOMPARE(at(got.at(2)), QPoint(1079, 2399));
        for (int i : {1, 2}) {
            QCOMPARE(got.at(i).action, i == 1 ? 2 : 1);
            QCOMPARE(got.at(i).pressure, 0);
        }
        QCOMPARE(got.at(2).buttons, 0);
    }

    void buttonsAndActionButton()
    {
        // button, buttons -> sent action button, sent buttons
        const QList<QList<int>> cases{{1, 1, 1, 1},   {2, 2, 2, 2}, {16, 16, 16, 16},
                                      {32, 32, 0, 0}, {3, 3, 0, 3}, {1, 0x3F, 1, 0x1F}};
        for (const QList<int> &c : cases)
            m_controller->handleMouseEvent(2, 10, 10, c[0], c[1], 360, 800);
        QVERIFY(m_link->waitForMessages(int(cases.size())));
        for (int i = 0; i < cases.size(); ++i) {
            QCOMPARE(m_link->messages().at(i).actionButton, cases[i][2]);
            QCOMPARE(m_link->messages().at(i).buttons, cases[i][3]);
        }
    }

    // Each event carries the size of the view it came from; the frame is the decoded one.
    void pointerScaledByItsView_data()
    {
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QSizeF>("view");
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<QPoint>("sent"); // (-1, -1): nothing
        QTest::newRow("no frame yet")
            << QSize() << QSizeF(360, 800) << QPointF(10, 10) << QPoint(-1, -1);
        QTest::newRow("empty view")
            << QSize(1080, 2400) << QSizeF(0, 800) << QPointF(10, 10) << QPoint(-1, -1);
        QTest::newRow("tile") << QSize(1080, 2400) << QSizeF(360, 800) << QPointF(90, 200)
                              << QPoint(270, 600);
        QTest::newRow("enlarged view, same place")
            << QSize(1080, 2400) << QSizeF(540, 1200) << QPointF(135, 300) << QPoint(270, 600);
    }
    void pointerScaledByItsView()
    {
        QFETCH(QSize, frame);
        QFETCH(QSizeF, view);
        QFETCH(QPointF, point);
        QFETCH(QPoint, sent);
        Device fresh(nullptr, "fresh");
        ControlLink link;
        Controller *controller = new Controller(&fresh, link.hostSocket());
        if (frame.isValid())
            TestSupport::deliverFrame(&fresh, frame);
        controller->handleMouseEvent(2, point.x(), point.y(), 1, 1, view.width(), view.height());
        if (!frame.isValid())
            controller->actionSwipeUp();
        const QList<WireMessage> got = link.settle(150);
        QCOMPARE(got.size(), sent.x() < 0 ? 0 : 1);
        if (!got.isEmpty())
            QCOMPARE(at(got.first()), sent);
    }

    void sendsAreAnnouncedOnlyWithDeviceAndSocket()
    {
        QList<ControlMsg> announced;
        auto record = [&](ControlMsg &msg) { announced.append(msg); };
        connect(m_controller, &Controller::messageSent, this, record);
        m_controller->actionHome();
        m_controller->handleMouseEvent(2, 50, 100, 1, 1, 360, 800);
        m_controller->actionInputText("x");
        QCOMPARE(announced.size(), 4);
        QCOMPARE(announced.at(0).type(), ControlMsg::InjectKeycode);
        QCOMPARE(announced.at(2).touchPosition(), QRect(150, 300, 1080, 2400));
        QCOMPARE(announced.at(3).clipboardText(), QByteArray("x"));

        announced.clear();
        Controller loose;
        Controller socketless(m_device.get(), nullptr);
        for (Controller *c : {&loose, &socketless}) {
            connect(c, &Controller::messageSent, this, record);
            c->actionHome();
            c->handleMouseEvent(2, 1, 1, 1, 1, 360, 800);
            c->handleKeyEvent(6, Qt::Key_A, 0, "a");
            c->actionSwipeUp();
        }
        loose.installApk("/nowhere.apk");
        QVERIFY(announced.isEmpty());
    }

    // ---- actions ----

    void actionsSendKeyPairsRotationResetAndText()
    {
        const QList<QPair<const char *, int>> actions{
            {"actionHome", 3},        {"actionShowTaskList", 187}, {"actionBack", 4},
            {"actionSleep", 223},     {"actionWakeUp", 224},       {"actionVolumeUp", 24},
            {"actionVolumeDown", 25}, {"actionCopy", 278},         {"actionPaste", 279},
            {"actionCut", 277}};
        QList<QList<int>> expected;
        for (const auto &[action, keycode] : actions) {
            QVERIFY(QMetaObject::invokeMethod(m_controller, action)); // as QML calls them
            expected << QList<int>{0, 0, keycode, 0} << QList<int>{0, 1, keycode, 0};
        }
        QVERIFY(m_link->waitForMessages(int(expected.size())));
        QCOMPARE(keys(m_link->takeMessages()), expected);

        m_controller->actionRotateScreen();
        m_controller->resetVideo();
        const QString text = QString::fromUtf8("你好，世界 ✓ 😀");
        m_controller->actionInputText(text);
        QVERIFY(m_link->waitForMessages(3));
        const QList<WireMessage> got = m_link->settle(30);
        QCOMPARE(got.size(), 3);
        QCOMPARE(got.at(0).type, 11);
        QCOMPARE(got.at(1).type, 17);
        QCOMPARE(got.at(2).type, 9);
        QVERIFY(got.at(2).paste);
        QCOMPARE(got.at(2).sequence, 0u);
        QCOMPARE(QString::fromUtf8(got.at(2).text), text);
        QVERIFY(!m_link->streamBroken());
    }

    // ---- built-in swipes ----

    void builtInSwipes_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QPointF>("end"); // as fractions of the view
        QTest::addColumn<int>("steps");
        QTest::newRow("up") << "actionSwipeUp" << QPointF(0.5, 0.2) << 5;
        QTest::newRow("down") << "actionSwipeDown" << QPointF(0.5, 0.8) << 10;
        QTest::newRow("left") << "actionSwipeLeft" << QPointF(0.2, 0.5) << 10;
        QTest::newRow("right") << "actionSwipeRight" << QPointF(0.8, 0.5) << 10;
    }
    void builtInSwipes()
    {
        QFETCH(QString, action);
        QFETCH(QPointF, end);
        QFETCH(int, steps);
        const QSize view(400, 800);
        QVERIFY(QMetaObject::invokeMethod(m_controller, action.toLatin1().constData()));
        QVERIFY(m_link->waitForMessages(steps + 2));
        const QList<WireMessage> got = m_link->settle(60);
        QCOMPARE(got.size(), steps + 2);
        const QPointF startView(200, 400);
        const QPointF endView(end.x() * 400, end.y() * 800);
        QCOMPARE(got.first().action, 0);
        QCOMPARE(at(got.first()), scaled(200, 400, view));
        for (int k = 1; k <= steps; ++k) {
            const WireMessage &move = got.at(k);
            QCOMPARE(move.action, 2);
            const QPointF p = startView + (endView - startView) * (double(k) / steps);
            const QPoint expected = scaled(p.x(), p.y(), view);
            QVERIFY2(std::abs(move.x - expected.x()) <= 1 && std::abs(move.y - expected.y()) <= 1,
                     qPrintable(QString("move %1 at %2,%3").arg(k).arg(move.x).arg(move.y)));
        }
        QCOMPARE(got.last().action, 1);
        QCOMPARE(at(got.last()), scaled(endView.x(), endView.y(), view));
        for (const WireMessage &m : got)
            QCOMPARE(QList<qint64>({qint64(m.pointerId), m.actionButton, m.buttons}),
                     QList<qint64>({qint64(kFinger), 1, 1}));
    }

    void swipesRunSideBySide()
    {
        m_controller->actionSwipeUp();
        m_controller->actionSwipeDown();
        QVERIFY(m_link->waitForMessages(7 + 12));
        int releases = 0;
        for (const WireMessage &m : m_link->settle(50))
            releases += m.action == 1;
        QCOMPARE(releases, 2);
    }

    // ---- keys ----

    void keyEvents_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("keycode");
        QTest::addColumn<int>("metaState");
        // Special keys pass with Alt and Meta too.
        const int altMeta = int(Qt::AltModifier | Qt::MetaModifier);
        QTest::newRow("escape") << int(Qt::Key_Escape) << altMeta << 111 << 0x10002;
        QTest::newRow("enter") << int(Qt::Key_Enter) << 0 << 160 << 0;
        QTest::newRow("down") << int(Qt::Key_Down) << 0 << 20 << 0;
        QTest::newRow("space") << int(Qt::Key_Space) << 0 << 62 << 0;
        QTest::newRow("0") << int(Qt::Key_0) << 0 << 7 << 0;
        QTest::newRow("Z") << int(Qt::Key_Z) << 0 << 54 << 0;
        QTest::newRow("shift ctrl A")
            << int(Qt::Key_A) << int(Qt::ShiftModifier | Qt::ControlModifier) << 29 << 0x1001;
        QTest::newRow("!") << int(Qt::Key_Exclam) << int(Qt::ShiftModifier) << 8 << 0x1;
        QTest::newRow("~") << int(Qt::Key_AsciiTilde) << 0 << 68 << 0;
        QTest::newRow("keypad 5") << int(Qt::Key_5) << int(Qt::KeypadModifier) << 12 << 0;
    }
    void keyEvents()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, keycode);
        QFETCH(int, metaState);
        this->key(6, key, modifiers);
        this->key(7, key, 0);
        QVERIFY(m_link->waitForMessages(2));
        QCOMPARE(keys(m_link->settle(30)),
                 (QList<QList<int>>{{0, 0, keycode, metaState}, {0, 1, keycode, 0}}));
    }

    void keysThatAreNotSent()
    {
        key(6, 'a'); // lower case has no entry
        key(6, Qt::Key_F1);
        key(6, Qt::Key_Insert);
        key(6, Qt::Key_Backtab);
        key(6, Qt::Key_B, Qt::AltModifier);
        key(7, Qt::Key_B, Qt::MetaModifier);
        key(6, 0x00E9);                        // é, outside 32 to 126
        key(4, Qt::Key_A);                     // neither press nor release
        key(6, Qt::Key_Left, Qt::AltModifier); // a marker that is sent
        QVERIFY(m_link->waitForMessages(1));
        QCOMPARE(keys(m_link->settle(50)), (QList<QList<int>>{{0, 0, 21, 0x2}}));
    }

    // Ctrl+C/V/X become the phone's copy/paste/cut; the release still goes out as the letter.
    void controlCopyPasteCut()
    {
        const QList<QList<int>> cases{
            {Qt::Key_C, 278, 31}, {Qt::Key_V, 279, 50}, {Qt::Key_X, 277, 52}};
        QList<QList<int>> expected;
        for (const QList<int> &c : cases) {
            key(6, c[0], Qt::ControlModifier);
            key(7, c[0], Qt::ControlModifier);
            expected << QList<int>{0, 0, c[1], 0} << QList<int>{0, 1, c[1], 0}
                     << QList<int>{0, 1, c[2], 0x1000};
        }
        QVERIFY(m_link->waitForMessages(9));
        QCOMPARE(keys(m_link->settle(30)), expected);
    }

    // ---- key mappings ----

    void mappedTouchHeldUntilRelease()
    {
        KeyMappingProfile *profile = activeProfile();
        QVERIFY(profile->addMapping(Qt::Key_Space, 0, "Space", 0.5, 0.8));
        QVERIFY(m_controller->handleKeyMapping(6, Qt::Key_Space, 0, " "));
        key(6, Qt::Key_Space); // auto-repeat
        QVERIFY(m_link->waitForMessages(1));
        QCOMPARE(m_link->settle(50).size(), 1);
        key(7, Qt::Key_Space);
        QVERIFY(m_link->waitForMessages(2));
        const QList<WireMessage> got = m_link->settle(30);
        QCOMPARE(got.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(got.at(i).type, 2);
            QCOMPARE(got.at(i).action, i);
            QCOMPARE(got.at(i).pointerId, 0u);
            QCOMPARE(at(got.at(i)), scaled(180, 640));
        }
        // Unmapped keys still go out as keys; other entry types and a zero-tap series are
        // taken but send nothing.
        QVERIFY(!m_controller->handleKeyMapping(6, Qt::Key_Space, Qt::ShiftModifier, " "));
        QVERIFY(profile->addMappingWithType(Qt::Key_O, 0, "O", 4, {}));
        QVERIFY(profile->addMappingWithType(Qt::Key_N, 0, "N", 0, {{"count", 0}}));
        for (int k : {Qt::Key_O, Qt::Key_N}) {
            QVERIFY(m_controller->handleKeyMapping(6, k, 0, "o"));
            QVERIFY(m_controller->handleKeyMapping(7, k, 0, "o"));
        }
        QCOMPARE(m_link->settle(100).size(), 2);
    }

    void threeTapSeries()
    {
        QVERIFY(activeProfile()->addMapping(Qt::Key_T, 0, "T", 0.25, 0.5, 3));
        key(6, Qt::Key_T);
        QVERIFY(m_link->waitForMessages(6));
        key(7, Qt::Key_T); // the release of a series sends nothing
        const QList<WireMessage> got = m_link->settle(100);
        QCOMPARE(got.size(), 6);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(got.at(i).action, i % 2);
            QCOMPARE(got.at(i).pointerId, 0u);
            QCOMPARE(at(got.at(i)), scaled(90, 400));
        }
    }

    // However a held gesture ends, no finger stays down and a tap series stops at once.
    void everyTouchDownIsLifted_data()
    {
        QTest::addColumn<int>("count"); // 0: a swipe
        QTest::addColumn<double>("endX");
        QTest::addColumn<QString>("end");
        QTest::newRow("taps, key up") << 10 << 0.0 << "key";
        QTest::newRow("taps, focus lost") << 10 << 0.0 << "focus";
        QTest::newRow("taps, session ends") << 10 << 0.0 << "session";
        QTest::newRow("touch, focus lost") << 1 << 0.0 << "focus";
        QTest::newRow("swipe, session ends") << 0 << 0.9 << "session";
        QTest::newRow("swipe off-screen, key up") << 0 << 1e300 << "key";
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
        if (end == "key")
            key(7, Qt::Key_K);
        int down = 0, downs = 0;
        for (const WireMessage &m : m_link->settle(200)) {
            down += m.action == 0 ? 1 : m.action == 1 ? -1 : 0;
            downs += m.action == 0;
        }
        QCOMPARE(down, 0);
        QVERIFY(downs < 10);
    }

    void mappedSwipeSteps_data()
    {
        QTest::addColumn<int>("duration");
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("interval");
        QTest::newRow("100 ms") << 100 << 10 << 10;
        QTest::newRow("300 ms") << 300 << 18 << 16;
        QTest::newRow("2000 ms") << 2000 << 60 << 33;
    }
    void mappedSwipeSteps()
    {
        QFETCH(int, duration);
        QFETCH(int, steps);
        QFETCH(int, interval);
        QVERIFY(activeProfile()->addSwipeMapping(Qt::Key_W, 0, "W", 0.5, 0.9, 0.5, 0.1, duration));
        key(6, Qt::Key_W);
        QVERIFY(m_link->waitForMessages(1 + steps, duration + 3000));
        QList<WireMessage> got = m_link->settle(interval * 3);
        QCOMPARE(got.size(), 1 + steps); // not released by the timers
        QCOMPARE(got.at(0).action, 0);
        QCOMPARE(at(got.at(0)), scaled(180, 720));
        for (int k = 1; k <= steps; ++k) {
            QCOMPARE(got.at(k).action, 2);
            const int expectedY = scaled(180, 720 + (80.0 - 720) * k / steps).y();
            QVERIFY2(std::abs(got.at(k).y - expectedY) <= 1,
                     qPrintable(QString("move %1 at y %2, expected %3")
                                    .arg(k)
                                    .arg(got.at(k).y)
                                    .arg(expectedY)));
        }
        QCOMPARE(at(got.last()), scaled(180, 80));

        key(7, Qt::Key_W);
        QVERIFY(m_link->waitForMessages(2 + steps));
        got = m_link->messages();
        QCOMPARE(got.last().action, 1);
        QCOMPARE(got.last().pointerId, got.first().pointerId);
        QCOMPARE(at(got.last()), scaled(180, 80));
    }

    void earlyReleaseEndsTheSwipeAtOnce()
    {
        QVERIFY(activeProfile()->addSwipeMapping(Qt::Key_S, 0, "S", 0.1, 0.5, 0.9, 0.5, 2000));
        key(6, Qt::Key_S);
        QVERIFY(m_link->waitForMessages(4)); // well under way
        key(7, Qt::Key_S);
        const QList<WireMessage> got = m_link->settle(100);
        QVERIFY(got.size() > 3);
        QCOMPARE(got.last().action, 1);
        QCOMPARE(at(got.last()), scaled(324, 400)); // the end point
        for (int i = 1; i + 1 < got.size(); ++i)
            QCOMPARE(got.at(i).action, 2);
        QCOMPARE(m_link->settle(200).size(), got.size()); // no moves after the release
    }

    void elevenGesturesCyclePointerIds()
    {
        KeyMappingProfile *profile = activeProfile();
        for (int i = 0; i < 11; ++i) {
            QVERIFY(profile->addMapping(Qt::Key_A + i, 0, QString(QChar('A' + i)), 0.1, 0.1));
            key(6, Qt::Key_A + i);
            key(7, Qt::Key_A + i);
        }
        QVERIFY(m_link->waitForMessages(22));
        const QList<WireMessage> got = m_link->messages();
        for (int i = 0; i < 22; ++i)
            QCOMPARE(got.at(i).pointerId, quint64(i / 2 % 10));
    }

    void heldGestureSurvivesProfileEdits()
    {
        KeyMappingProfile *profile = activeProfile();
        QVERIFY(profile->addMapping(Qt::Key_G, 0, "G", 0.5, 0.5));
        QVERIFY(profile->addSwipeMapping(Qt::Key_H, 0, "H", 0.1, 0.1, 0.2, 0.2, 100));
        key(6, Qt::Key_G);
        key(6, Qt::Key_H);
        QVERIFY(m_link->waitForMessages(3));
        // Edited and then replaced while both keys are held.
        QVERIFY(profile->removeMapping(0));
        QVERIFY(profile->updateMapping(0, Qt::Key_H, 0, "H", 0.9, 0.9));
        QVERIFY(m_store->addProfile("Other"));
        m_device->setCurrentKeyMappingProfile(m_store->getProfile("Other"));
        key(7, Qt::Key_G);
        key(7, Qt::Key_H);
        QList<WireMessage> ups;
        for (const WireMessage &m : m_link->settle(200)) {
            QCOMPARE(m.type, 2); // no key code leaked out
            if (m.action == 1)
                ups << m;
        }
        QCOMPARE(ups.size(), 2);
        QCOMPARE(ups.at(0).pointerId, 0u);
        QCOMPARE(at(ups.at(0)), scaled(180, 400));
        QCOMPARE(ups.at(1).pointerId, 1u);
        QCOMPARE(at(ups.at(1)), scaled(72, 160));
    }

    void releaseAfterModifierLetGoStillLifts()
    {
        QVERIFY(activeProfile()->addMapping(Qt::Key_A, Qt::ShiftModifier, "Shift+A", 0.5, 0.5));
        key(6, Qt::Key_A, Qt::ShiftModifier);
        key(7, Qt::Key_A, 0); // Shift was released first
        QVERIFY(m_link->waitForMessages(2));
        const QList<WireMessage> got = m_link->settle(30);
        QCOMPARE(got.size(), 2);
        QCOMPARE(got.at(1).type, 2);
        QCOMPARE(got.at(1).action, 1);
    }

    void removedProfileIsNeverUsedAgain()
    {
        QVERIFY(activeProfile()->addMapping(Qt::Key_M, 0, "M", 0.5, 0.5));
        QVERIFY(m_store->removeProfile("Test"));
        // Before and after its deferred deletion, M is an ordinary key again.
        key(6, Qt::Key_M);
        QTRY_VERIFY(m_device->currentKeyMappingProfile() == nullptr);
        key(6, Qt::Key_M);
        QVERIFY(m_link->waitForMessages(2));
        QCOMPARE(keys(m_link->settle(30)), (QList<QList<int>>{{0, 0, 41, 0}, {0, 0, 41, 0}}));
    }

    // ---- group send ----

    void groupSendWithDelayKeepsOrder()
    {
        ControlMsg now(ControlMsg::ResetVideo);
        m_controller->groupSend(now); // without a delay: at once, no timer
        QVERIFY(m_controller->findChildren<QTimer *>().isEmpty());
        QVERIFY(m_link->waitForMessages(1));
        QCOMPARE(m_link->takeMessages().at(0).type, 17);

        m_controller->setClickDelayMilliSeconds(1500);
        ControlMsg first(ControlMsg::InjectKeycode);
        first.setInjectKeycode(0, 3, 0, 0);
        ControlMsg second(ControlMsg::InjectKeycode);
        second.setInjectKeycode(1, 3, 0, 0);
        const qint64 givenAt = m_link->elapsedMs();
        m_controller->groupSend(first);
        first.setInjectKeycode(0, 99, 0, 0); // the queued copy is independent
        QTest::qWait(10);
        m_controller->groupSend(second);
        // A shorter delay later must not overtake what already waits.
        m_controller->setClickDelayMilliSeconds(0);
        ControlMsg third(ControlMsg::RotateDevice);
        m_controller->groupSend(third);
        QVERIFY(m_link->settle(1000).isEmpty());
        QVERIFY(m_link->waitForMessages(3, 3000));
        const QList<WireMessage> got = m_link->messages();
        QCOMPARE(keys(got), (QList<QList<int>>{{0, 0, 3, 0}, {0, 1, 3, 0}, {11, 0, 0, 0}}));
        QVERIFY(got.at(0).receivedMs - givenAt >= 1450);
    }
};

PARVIX_TEST(ControllerTest)
#include "controllertest.moc"
