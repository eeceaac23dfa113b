// The controller against a real loopback control connection: what reaches the phone
// for pointer, keys, built-in and mapped gestures, text and group sends.
#include "controller.h"
#include "controlwire.h"
#include "device.h"
#include "keymapping.h"
#include "testregistry.h"

#include <QtTest>

extern "C" {
#include <libavutil/frame.h>
}

#include <cmath>
#include <memory>

namespace {

constexpr quint64 kFinger = 0xFFFFFFFFFFFFFFFEull;

void giveFrameSize(Device &device, int width, int height)
{
    AVFrame *frame = av_frame_alloc();
    frame->width = width;
    frame->height = height;
    frame->format = 0; // AV_PIX_FMT_YUV420P
    QCOMPARE(av_frame_get_buffer(frame, 0), 0);
    device.handleDecodedVideoFrame(frame);
    av_frame_free(&frame);
}

// Expected frame position of a view point on a 360x800 view of a 1080x2400 frame.
QPoint scaled(double x, double y, QSize view = {360, 800}, QSize frame = {1080, 2400})
{
    return {int(frame.width() * x / view.width()), int(frame.height() * y / view.height())};
}

QPoint at(const WireMessage &m)
{
    return {m.x, m.y};
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
        m_device = std::make_unique<Device>(nullptr, nullptr, "ctrl-serial");
        m_link = std::make_unique<ControlLink>();
        QVERIFY(m_link->isConnected());
        m_controller = new Controller(m_device.get(), m_link->hostSocket());
        m_device->setShowSize(QSize(360, 800));
        giveFrameSize(*m_device, 1080, 2400);
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
        m_controller->handleMouseEvent(2, 50, 100, 1, 1);
        m_controller->handleMouseEvent(5, 120.7, 333.3, 0, 1);
        m_controller->handleMouseEvent(3, 359.9, 799.9, 1, 0);
        QVERIFY(m_link->waitForMessages(3));
        const QList<WireMessage> got = m_link->messages();
        QCOMPARE(got.at(0).type, 2);
        QCOMPARE(got.at(0).action, 0);
        QCOMPARE(got.at(0).pointerId, kFinger);
        QCOMPARE(at(got.at(0)), QPoint(150, 300));
        QCOMPARE(got.at(0).width, 1080);
        QCOMPARE(got.at(0).height, 2400);
        QCOMPARE(got.at(0).pressure, 0xFFFF);
        QCOMPARE(got.at(1).action, 2);
        QCOMPARE(at(got.at(1)), QPoint(362, 999)); // truncated, not rounded
        QCOMPARE(got.at(1).pressure, 0);
        QCOMPARE(got.at(2).action, 1);
        QCOMPARE(at(got.at(2)), QPoint(1079, 2399));
        QCOMPARE(got.at(2).pressure, 0);
        QCOMPARE(got.at(2).buttons, 0);
    }

    void buttonsAndActionButton_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("sentActionButton");
        QTest::addColumn<int>("sentButtons");
        QTest::newRow("left") << 1 << 1 << 1 << 1;
        QTest::newRow("right") << 2 << 2 << 2 << 2;
        QTest::newRow("forward") << 16 << 16 << 16 << 16;
        QTest::newRow("unusual button 32") << 32 << 32 << 0 << 0;
        QTest::newRow("two bits at once") << 3 << 3 << 0 << 3;
        QTest::newRow("buttons masked") << 1 << 0x3F << 1 << 0x1F;
    }
    void buttonsAndActionButton()
    {
        QFETCH(int, button);
        QFETCH(int, buttons);
        QFETCH(int, sentActionButton);
        QFETCH(int, sentButtons);
        m_controller->handleMouseEvent(2, 10, 10, button, buttons);
        QVERIFY(m_link->waitForMessages(1));
        QCOMPARE(m_link->messages().at(0).actionButton, sentActionButton);
        QCOMPARE(m_link->messages().at(0).buttons, sentButtons);
    }

    void otherEventTypesSendNothing()
    {
        for (int type : {0, 1, 4, 6, 7, 31})
            m_controller->handleMouseEvent(type, 10, 10, 1, 1);
        m_controller->handleMouseEvent(2, 10, 10, 1, 1); // a marker
        QVERIFY(m_link->waitForMessages(1));
        QCOMPARE(m_link->settle(50).size(), 1);
        QCOMPARE(m_link->messages().at(0).action, 0);
    }

    void pointerWaitsUntilBothSizesAreKnown()
    {
        Device fresh(nullptr, nullptr, "fresh");
        ControlLink link;
        Controller *controller = new Controller(&fresh, link.hostSocket());
        controller->handleMouseEvent(2, 10, 10, 1, 1); // neither size known
        fresh.setShowSize(QSize(360, 800));
        controller->handleMouseEvent(2, 10, 10, 1, 1); // no frame yet
        controller->actionSwipeUp();
        giveFrameSize(fresh, 1080, 2400);
        fresh.setShowSize(QSize(0, 800));
        controller->handleMouseEvent(2, 10, 10, 1, 1); // an empty view
        QVERIFY(link.settle(150).isEmpty());
        fresh.setShowSize(QSize(360, 800));
        controller->handleMouseEvent(2, 10, 10, 1, 1);
        QVERIFY(link.waitForMessages(1));
        QCOMPARE(at(link.messages().at(0)), QPoint(30, 30));
    }

    void everySendIsAnnounced()
    {
        QList<ControlMsg> announced;
        connect(m_controller, &Controller::messageSent, this,
                [&](ControlMsg &msg) { announced.append(msg); });
        m_controller->actionHome();
        m_controller->handleMouseEvent(2, 50, 100, 1, 1);
        m_controller->actionInputText("x");
        QCOMPARE(announced.size(), 4);
        QCOMPARE(announced.at(0).type(), ControlMsg::InjectKeycode);
        QCOMPARE(announced.at(2).touchPosition(), QRect(150, 300, 1080, 2400));
        QCOMPARE(announced.at(3).clipboardText(), QByteArray("x"));
    }

    void controllerWithoutDeviceOrSocketDoesNothing()
    {
        Controller loose;
        QList<ControlMsg> announced;
        connect(&loose, &Controller::messageSent, this,
                [&](ControlMsg &msg) { announced.append(msg); });
        loose.actionHome();
        loose.handleMouseEvent(2, 1, 1, 1, 1);
        loose.handleKeyEvent(6, Qt::Key_A, 0, "a");
        loose.actionSwipeUp();
        loose.installApk("/nowhere.apk");
        QVERIFY(announced.isEmpty());

        // With a device but no socket: nothing is sent or announced either.
        Controller socketless(m_device.get(), nullptr);
        connect(&socketless, &Controller::messageSent, this,
                [&](ControlMsg &msg) { announced.append(msg); });
        socketless.actionBack();
        QVERIFY(announced.isEmpty());
    }

    void uploadWithoutDeviceTellsItsCreator()
    {
        Controller loose;
        QSignalSpy said(&loose, &Controller::controllerMessage);
        loose.uploadFile("/tmp/whatever.txt");
        QCOMPARE(said.count(), 1);
        QCOMPARE(said.at(0).at(0).toString(), "Not Connected");
        QCOMPARE(said.at(0).at(1).toString(), "error");
        QCOMPARE(said.at(0).at(2).toInt(), 5000);
    }

    // ---- actions ----

    void keyPairs_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("keycode");
        QTest::newRow("home") << "actionHome" << 3;
        QTest::newRow("task list") << "actionShowTaskList" << 187;
        QTest::newRow("back") << "actionBack" << 4;
        QTest::newRow("sleep") << "actionSleep" << 223;
        QTest::newRow("wake up") << "actionWakeUp" << 224;
        QTest::newRow("volume up") << "actionVolumeUp" << 24;
        QTest::newRow("volume down") << "actionVolumeDown" << 25;
        QTest::newRow("copy") << "actionCopy" << 278;
        QTest::newRow("paste") << "actionPaste" << 279;
        QTest::newRow("cut") << "actionCut" << 277;
    }
    void keyPairs()
    {
        QFETCH(QString, action);
        QFETCH(int, keycode);
        // Called the way QML calls it.
        QVERIFY(QMetaObject::invokeMethod(m_controller, action.toLatin1().constData()));
        QVERIFY(m_link->waitForMessages(2));
        const QList<WireMessage> got = m_link->settle(30);
        QCOMPARE(got.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(got.at(i).type, 0);
            QCOMPARE(got.at(i).action, i);
            QCOMPARE(got.at(i).keycode, keycode);
            QCOMPARE(got.at(i).repeat, 0);
            QCOMPARE(got.at(i).metaState, 0);
        }
    }

    void rotateAndResetVideo()
    {
        m_controller->actionRotateScreen();
        m_controller->resetVideo();
        QVERIFY(m_link->waitForMessages(2));
        QCOMPARE(m_link->messages().at(0).type, 11);
        QCOMPARE(m_link->messages().at(1).type, 17);
        QVERIFY(!m_link->streamBroken());
    }

    void textGoesThroughTheClipboardWithPaste_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << "hello, world";
        QTest::newRow("chinese and emoji") << QString::fromUtf8("你好，世界 ✓ 😀");
    }
    void textGoesThroughTheClipboardWithPaste()
    {
        QFETCH(QString, text);
        m_controller->actionInputText(text);
        QVERIFY(m_link->waitForMessages(1));
        const WireMessage m = m_link->messages().at(0);
        QCOMPARE(m.type, 9);
        QVERIFY(m.paste);
        QCOMPARE(m.sequence, 0u);
        QCOMPARE(QString::fromUtf8(m.text), text);
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
        m_device->setShowSize(view);
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
        QCOMPARE(at(got.at(steps)), at(got.last()));
        for (const WireMessage &m : got) {
            QCOMPARE(m.pointerId, kFinger);
            QCOMPARE(m.actionButton, 1);
            QCOMPARE(m.buttons, 1);
        }
        // Spread over ticks, not sent in one burst (a tick per move and one for the release).
        QVERIFY(got.last().receivedMs - got.first().receivedMs >= (steps + 1) * 10 - 15);
    }

    void swipeUpExampleOnA400x800View()
    {
        m_device->setShowSize(QSize(400, 800));
        giveFrameSize(*m_device, 400, 800);
        m_controller->actionSwipeUp();
        QVERIFY(m_link->waitForMessages(7));
        const QList<WireMessage> got = m_link->messages();
        QCOMPARE(at(got.at(0)), QPoint(200, 400));
        QCOMPARE(at(got.at(5)), QPoint(200, 160));
        QCOMPARE(at(got.at(6)), QPoint(200, 160));
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

    void specialKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("keycode");
        QTest::newRow("escape") << int(Qt::Key_Escape) << 111;
        QTest::newRow("tab") << int(Qt::Key_Tab) << 61;
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << 67;
        QTest::newRow("return") << int(Qt::Key_Return) << 66;
        QTest::newRow("enter") << int(Qt::Key_Enter) << 160;
        QTest::newRow("delete") << int(Qt::Key_Delete) << 112;
        QTest::newRow("home") << int(Qt::Key_Home) << 122;
        QTest::newRow("end") << int(Qt::Key_End) << 123;
        QTest::newRow("left") << int(Qt::Key_Left) << 21;
        QTest::newRow("up") << int(Qt::Key_Up) << 19;
        QTest::newRow("right") << int(Qt::Key_Right) << 22;
        QTest::newRow("down") << int(Qt::Key_Down) << 20;
        QTest::newRow("page up") << int(Qt::Key_PageUp) << 92;
        QTest::newRow("page down") << int(Qt::Key_PageDown) << 93;
    }
    void specialKeys()
    {
        QFETCH(int, key);
        QFETCH(int, keycode);
        // Special keys pass with Alt and Meta too.
        this->key(6, key, Qt::AltModifier | Qt::MetaModifier);
        this->key(7, key, 0);
        QVERIFY(m_link->waitForMessages(2));
        const QList<WireMessage> got = m_link->messages();
        QCOMPARE(got.at(0).keycode, keycode);
        QCOMPARE(got.at(0).action, 0);
        QCOMPARE(got.at(0).metaState, 0x2 | 0x10000);
        QCOMPARE(got.at(1).keycode, keycode);
        QCOMPARE(got.at(1).action, 1);
        QCOMPARE(got.at(1).metaState, 0);
    }

    void printableKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("keycode");
        QTest::addColumn<int>("metaState");
        QTest::newRow("space") << int(Qt::Key_Space) << 0 << 62 << 0;
        QTest::newRow("0") << int(Qt::Key_0) << 0 << 7 << 0;
        QTest::newRow("9") << int(Qt::Key_9) << 0 << 16 << 0;
        QTest::newRow("A") << int(Qt::Key_A) << 0 << 29 << 0;
        QTest::newRow("Z") << int(Qt::Key_Z) << 0 << 54 << 0;
        QTest::newRow("shift ctrl A")
            << int(Qt::Key_A) << int(Qt::ShiftModifier | Qt::ControlModifier) << 29 << 0x1001;
        QTest::newRow("!") << int(Qt::Key_Exclam) << int(Qt::ShiftModifier) << 8 << 0x1;
        QTest::newRow("at") << int(Qt::Key_At) << int(Qt::ShiftModifier) << 77 << 0x1;
        QTest::newRow("#") << int(Qt::Key_NumberSign) << 0 << 18 << 0;
        QTest::newRow("$") << int(Qt::Key_Dollar) << 0 << 11 << 0;
        QTest::newRow("^") << int(Qt::Key_AsciiCircum) << 0 << 13 << 0;
        QTest::newRow("*") << int(Qt::Key_Asterisk) << 0 << 17 << 0;
        QTest::newRow("(") << int(Qt::Key_ParenLeft) << 0 << 162 << 0;
        QTest::newRow(")") << int(Qt::Key_ParenRight) << 0 << 163 << 0;
        QTest::newRow("_") << int(Qt::Key_Underscore) << int(Qt::ShiftModifier) << 69 << 0x1;
        QTest::newRow("+") << int(Qt::Key_Plus) << 0 << 81 << 0;
        QTest::newRow("{") << int(Qt::Key_BraceLeft) << 0 << 71 << 0;
        QTest::newRow("}") << int(Qt::Key_BraceRight) << 0 << 72 << 0;
        QTest::newRow("|") << int(Qt::Key_Bar) << 0 << 73 << 0;
        QTest::newRow(":") << int(Qt::Key_Colon) << 0 << 74 << 0;
        QTest::newRow("\"") << int(Qt::Key_QuoteDbl) << 0 << 75 << 0;
        QTest::newRow("<") << int(Qt::Key_Less) << 0 << 55 << 0;
        QTest::newRow(">") << int(Qt::Key_Greater) << 0 << 56 << 0;
        QTest::newRow("?") << int(Qt::Key_Question) << 0 << 76 << 0;
        QTest::newRow("grave") << int(Qt::Key_QuoteLeft) << 0 << 68 << 0;
        QTest::newRow("~") << int(Qt::Key_AsciiTilde) << 0 << 68 << 0;
        QTest::newRow("keypad 5") << int(Qt::Key_5) << int(Qt::KeypadModifier) << 12 << 0;
    }
    void printableKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, keycode);
        QFETCH(int, metaState);
        this->key(6, key, modifiers);
        QVERIFY(m_link->waitForMessages(1));
        QCOMPARE(m_link->messages().at(0).keycode, keycode);
        QCOMPARE(m_link->messages().at(0).metaState, metaState);
        QCOMPARE(m_link->messages().at(0).action, 0);
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
        const QList<WireMessage> got = m_link->settle(50);
        QCOMPARE(got.size(), 1);
        QCOMPARE(got.at(0).keycode, 21);
        QCOMPARE(got.at(0).metaState, 0x2);
    }

    void controlCopyPasteCut_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("actionKeycode");
        QTest::addColumn<int>("letterKeycode");
        QTest::newRow("copy") << int(Qt::Key_C) << 278 << 31;
        QTest::newRow("paste") << int(Qt::Key_V) << 279 << 50;
        QTest::newRow("cut") << int(Qt::Key_X) << 277 << 52;
    }
    void controlCopyPasteCut()
    {
        QFETCH(int, key);
        QFETCH(int, actionKeycode);
        QFETCH(int, letterKeycode);
        this->key(6, key, Qt::ControlModifier);
        this->key(7, key, Qt::ControlModifier);
        QVERIFY(m_link->waitForMessages(3));
        const QList<WireMessage> got = m_link->settle(30);
        QCOMPARE(got.size(), 3);
        QCOMPARE(got.at(0).keycode, actionKeycode);
        QCOMPARE(got.at(0).action, 0);
        QCOMPARE(got.at(0).metaState, 0);
        QCOMPARE(got.at(1).keycode, actionKeycode);
        QCOMPARE(got.at(1).action, 1);
        // The release still goes out as the letter.
        QCOMPARE(got.at(2).keycode, letterKeycode);
        QCOMPARE(got.at(2).action, 1);
        QCOMPARE(got.at(2).metaState, 0x1000);
    }

    // ---- key mappings ----

    void mappedTouchHeldUntilRelease()
    {
        KeyMappingProfile *profile = activeProfile();
        QVERIFY(profile->addMapping(Qt::Key_Space, 0, "Space", 0.5, 0.8));
        QVERIFY(m_controller->handleKeyMapping(6, Qt::Key_Space, 0, " "));
        key(6, Qt::Key_Space); // auto-repeat
        key(6, Qt::Key_Space);
        QVERIFY(m_link->waitForMessages(1));
        QCOMPARE(m_link->settle(50).size(), 1);
        key(7, Qt::Key_Space);
        QVERIFY(m_link->waitForMessages(2));
        const QList<WireMessage> got = m_link->settle(30);
        QCOMPARE(got.size(), 2);
        QCOMPARE(got.at(0).type, 2);
        QCOMPARE(got.at(0).action, 0);
        QCOMPARE(got.at(0).pointerId, 0u);
        QCOMPARE(at(got.at(0)), scaled(180, 640));
        QCOMPARE(got.at(1).action, 1);
        QCOMPARE(got.at(1).pointerId, 0u);
        QCOMPARE(at(got.at(1)), scaled(180, 640));
        // Unmapped keys still go out as keys.
        QVERIFY(!m_controller->handleKeyMapping(6, Qt::Key_Space, Qt::ShiftModifier, " "));
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
            QCOMPARE(got.at(i).action, i % 2 == 0 ? 0 : 1);
            QCOMPARE(got.at(i).pointerId, 0u);
            QCOMPARE(at(got.at(i)), scaled(90, 400));
            if (i > 0) // each phase lasts 30 ms
                QVERIFY(got.at(i).receivedMs - got.at(i - 1).receivedMs >= 25);
        }
    }

    void tapSeriesOfZeroSendsNothing()
    {
        QVERIFY(activeProfile()->addMappingWithType(Qt::Key_N, 0, "N", 0, {{"count", 0}}));
        QVERIFY(m_controller->handleKeyMapping(6, Qt::Key_N, 0, "n"));
        QVERIFY(m_link->settle(100).isEmpty());
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
        const double startY = 720, endY = 80;
        for (int k = 1; k <= steps; ++k) {
            QCOMPARE(got.at(k).action, 2);
            const int expectedY = scaled(180, startY + (endY - startY) * k / steps).y();
            QVERIFY2(std::abs(got.at(k).y - expectedY) <= 1,
                     qPrintable(QString("move %1 at y %2, expected %3")
                                    .arg(k)
                                    .arg(got.at(k).y)
                                    .arg(expectedY)));
        }
        QCOMPARE(at(got.last()), scaled(180, 80));
        // The first move comes at once, the rest one interval apart.
        QVERIFY(got.at(1).receivedMs - got.at(0).receivedMs < interval);
        QVERIFY(got.last().receivedMs - got.at(1).receivedMs >= (steps - 1) * interval * 8 / 10);

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
        QTest::qWait(200);
        key(7, Qt::Key_S);
        const QList<WireMessage> got = m_link->settle(400);
        QVERIFY(got.size() > 3 && got.size() < 30);
        QCOMPARE(got.last().action, 1);
        QCOMPARE(at(got.last()), scaled(324, 400)); // the end point
        for (int i = 1; i + 1 < got.size(); ++i)
            QCOMPARE(got.at(i).action, 2);
    }

    void elevenGesturesCyclePointerIds()
    {
        KeyMappingProfile *profile = activeProfile();
        for (int i = 0; i < 11; ++i)
            QVERIFY(profile->addMapping(Qt::Key_A + i, 0, QString(QChar('A' + i)), 0.1, 0.1));
        for (int i = 0; i < 11; ++i) {
            key(6, Qt::Key_A + i);
            key(7, Qt::Key_A + i);
        }
        QVERIFY(m_link->waitForMessages(22));
        const QList<WireMessage> got = m_link->messages();
        for (int i = 0; i < 11; ++i) {
            QCOMPARE(got.at(2 * i).pointerId, quint64(i % 10));
            QCOMPARE(got.at(2 * i + 1).pointerId, quint64(i % 10));
        }
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
        const QList<WireMessage> got = m_link->settle(200);
        QList<WireMessage> ups;
        for (const WireMessage &m : got) {
            if (m.action == 1)
                ups << m;
        }
        QCOMPARE(ups.size(), 2);
        QCOMPARE(ups.at(0).pointerId, 0u);
        QCOMPARE(at(ups.at(0)), scaled(180, 400));
        QCOMPARE(ups.at(1).pointerId, 1u);
        QCOMPARE(at(ups.at(1)), scaled(72, 160));
        for (const WireMessage &m : got)
            QCOMPARE(m.type, 2); // no key code leaked out
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
        KeyMappingProfile *profile = activeProfile();
        QVERIFY(profile->addMapping(Qt::Key_M, 0, "M", 0.5, 0.5));
        QVERIFY(m_store->removeProfile("Test"));
        // Before and after its deferred deletion, M is an ordinary key again.
        key(6, Qt::Key_M);
        QTRY_VERIFY(m_device->currentKeyMappingProfile() == nullptr);
        key(6, Qt::Key_M);
        QVERIFY(m_link->waitForMessages(2));
        for (const WireMessage &m : m_link->settle(30)) {
            QCOMPARE(m.type, 0);
            QCOMPARE(m.keycode, 41);
        }
    }

    void otherEntryTypesAreTakenButSendNothing()
    {
        QVERIFY(activeProfile()->addMappingWithType(Qt::Key_O, 0, "O", 4, {}));
        QVERIFY(m_controller->handleKeyMapping(6, Qt::Key_O, 0, "o"));
        QVERIFY(m_controller->handleKeyMapping(7, Qt::Key_O, 0, "o"));
        QVERIFY(m_link->settle(60).isEmpty());
    }

    // ---- group send ----

    void groupSendWithoutDelayIsImmediate()
    {
        ControlMsg msg(ControlMsg::InjectKeycode);
        msg.setInjectKeycode(0, 3, 0, 0);
        m_controller->groupSend(msg);
        QVERIFY(m_controller->findChildren<QTimer *>().isEmpty());
        QVERIFY(m_link->waitForMessages(1, 200));
    }

    void groupSendWithDelayKeepsOrder()
    {
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
        QCOMPARE(got.at(0).keycode, 3);
        QCOMPARE(got.at(0).action, 0);
        QCOMPARE(got.at(1).action, 1);
        QCOMPARE(got.at(2).type, 11);
        QVERIFY(got.at(0).receivedMs - givenAt >= 1450);
        QVERIFY(got.at(1).receivedMs >= got.at(0).receivedMs);
    }
};

PARVIX_TEST(ControllerTest)
#include "tst_controller.moc"
