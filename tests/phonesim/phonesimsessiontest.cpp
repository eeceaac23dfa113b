// The phone-side server as the computer end of a session sees it: connection order,
// stream headers, packet framing, control messages and how a session ends. That the
// pictures decode at the announced size: PhoneSessionTest and ControlSessionTest.
#include "simsession.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using namespace Sim;

namespace {

const QStringList kPkill{"shell", "pkill", "-f", "com.genymobile.scrcpy.Server"};

// One device message: clipboard (type 0, the text) or acknowledgement (type 1, the sequence).
std::pair<int, QByteArray> readDeviceMessage(QTcpSocket *control)
{
    const QByteArray type = readExactly(control, 1);
    if (type == QByteArray(1, 0))
        return {0, readExactly(control, int(be32(readExactly(control, 4))))};
    if (type == QByteArray(1, 1))
        return {1, readExactly(control, 8)};
    return {type.isEmpty() ? -1 : quint8(type.at(0)), {}};
}

QList<QJsonObject> controlLines(const VirtualFleet &fleet, int count)
{
    QList<QJsonObject> lines;
    (void)QTest::qWaitFor(
        [&] { return (lines = fleet.controlLog(fleet.serial())).size() >= count; }, 15000);
    return lines;
}

// The video (re)started: a config packet with parameter sets, then a key frame.
bool restarted(QTcpSocket *video)
{
    const MediaPacket config = nextConfigPacket(video);
    const MediaPacket key = readPacket(video);
    return config.ptsAndFlags == Wire::Config && nalTypes(config.payload).contains(7) &&
           key.isKeyFrame() && nalTypes(key.payload).contains(5);
}

} // namespace

class PhonesimSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (TestSupport::phonesimPath().isEmpty())
            QSKIP("phonesim is not built");
    }

    void connectionsAndStreams_data()
    {
        QTest::addColumn<bool>("replay");
        QTest::newRow("live") << false;
        QTest::newRow("replay") << true;
    }

    void connectionsAndStreams()
    {
        QFETCH(bool, replay);
        VirtualFleet fleet(1, {"--size", "360x800"});
        // 32 two-byte characters: the 63-byte limit falls inside the last one.
        const QString longName(32, QChar(0x00E9));
        QVERIFY(fleet.setPhoneOption(0, "model", longName) &&
                fleet.setPhoneOption(0, "replay", replay));
        Session::Options options;
        options.audio = true;
        options.maxSize = 200;                           // 90x200, rounded down to 88x200
        options.extra = QStringList{"future_option=42"}; // ignored, as a newer client may send
        Session session(fleet, options);
        QVERIFY(session.launch());
        // The kernel completes connections before the host accepts them, so the phone can
        // only wait for its own connects: when the first header byte comes, the audio and
        // control connections must both be there already.
        QVERIFY(session.listener.waitForNewConnection(20000));
        session.video = session.listener.nextPendingConnection();
        QVERIFY(session.video->bytesAvailable() > 0 || session.video->waitForReadyRead(20000));
        for (QTcpSocket **waiting : {&session.audio, &session.control}) {
            if (!session.listener.hasPendingConnections())
                session.listener.waitForNewConnection(0); // takes what the kernel holds
            *waiting = session.listener.nextPendingConnection();
            QVERIFY2(*waiting, "a header came before all connections");
        }

        const Session::VideoHeader header = session.readVideoHeader();
        // Cut before the character that would not fit whole, then zero-padded.
        QCOMPARE(header.name, longName.toUtf8().left(62) + QByteArray(2, '\0'));
        QCOMPARE(header.codec, QByteArray("h264"));
        QCOMPARE(header.size, QSize(88, 200));
        const MediaPacket config = readPacket(session.video);
        QCOMPARE(config.ptsAndFlags, Wire::Config);
        const QList<int> configNals = nalTypes(config.payload);
        QVERIFY(configNals.contains(7) && configNals.contains(8) && !configNals.contains(5));
        MediaPacket previous = readPacket(session.video);
        QVERIFY(previous.isKeyFrame() && nalTypes(previous.payload).contains(5));
        const qint64 first = previous.pts();
        // 2.5 s: a replayed loop starts over on the way, with a new key frame.
        for (int i = 0; i < 25; ++i) {
            const MediaPacket packet = readPacket(session.video);
            QVERIFY(packet.valid && !packet.isConfig() && packet.pts() > previous.pts());
            QCOMPARE(packet.isKeyFrame(), nalTypes(packet.payload).contains(5));
            previous = packet;
        }
        // 25 frames at 10 fps span 2.5 seconds: the times are microseconds.
        const qint64 span = previous.pts() - first;
        QVERIFY2(span > 300000 && span < 20000000, qPrintable(QString::number(span)));

        // The audio connection starts with its codec id alone: no name field there.
        QCOMPARE(readExactly(session.audio, 4), QByteArray("opus"));
        const MediaPacket head = readPacket(session.audio);
        QVERIFY(head.ptsAndFlags == Wire::Config && head.payload.startsWith("OpusHead"));
        for (int i = 0; i < 5; ++i) {
            const MediaPacket packet = readPacket(session.audio);
            QVERIFY(packet.valid && !packet.isConfig());
            QVERIFY(i == 0 || qint64(packet.ptsAndFlags - previous.ptsAndFlags) == 20000);
            previous = packet;
        }
        QVERIFY2(!session.control->waitForReadyRead(300), "the control connection has no header");
    }

    void controlConnection()
    {
        VirtualFleet fleet(1);
        const QByteArray selection = QStringLiteral("Gr\u00fc\u00dfe 123").toUtf8();
        QVERIFY(fleet.setPhoneOption(0, "selectedText", QString::fromUtf8(selection)));
        auto session = openSession(fleet);
        QVERIFY(session);
        QTcpSocket *control = session->control;
        const QSize size = session->readVideoHeader().size;
        QVERIFY(size.height() > size.width() && restarted(session->video));

        // Copy, paste, cut: copy and cut send the selection to the computer.
        send(control, keyPress(278));
        QCOMPARE(readDeviceMessage(control), std::make_pair(0, selection));
        send(control, keyPress(279) + keyPress(277));
        QCOMPARE(readDeviceMessage(control), std::make_pair(0, selection));
        // Cut emptied the selection: another cut sends nothing, so the acknowledgement of
        // the next message comes first.
        send(control, keyPress(277) + clipboardMessage(9, false, "from computer"));
        QCOMPARE(readDeviceMessage(control), std::make_pair(1, bigEndian(quint64(9))));
        QList<QJsonObject> lines = controlLines(fleet, 9);
        QCOMPARE(lines.at(2).value("effect").toString(), QStringLiteral("paste"));
        QCOMPARE(lines.at(2).value("clipboard").toString().toUtf8(), selection);
        QCOMPARE(TestSupport::readFile(fleet.home() + "/" + fleet.serial() + "/clipboard.txt"),
                 QByteArray("from computer"));

        const QByteArray bytes =
            keycodeMessage(0, 3, 0, 0x1000) + keycodeMessage(1, 3) +
            touchMessage(0, quint64(-2), 10, 20, size.width(), size.height(), 0xffff, 1, 1) +
            touchMessage(2, 7, 11, 21, 1080, 2400, 0x8000) +
            clipboardMessage(0, true, QStringLiteral("h\u00e9llo").toUtf8()) +
            // The longest text a phone takes in one message.
            clipboardMessage(7, false, QByteArray(262130, 'x'));
        // Split across writes: the server must reassemble messages.
        send(control, bytes.left(20));
        send(control, bytes.mid(20));
        // The touch sized for another picture is dropped.
        const QJsonArray expected =
            QJsonDocument::fromJson(
                QString(R"([{"type":"inject_keycode","action":0,"keycode":3,"metaState":4096},
                        {"type":"inject_keycode","action":1,"keycode":3,"metaState":0},
                        {"type":"inject_touch_event","action":0,"pointerId":-2,"x":10,"y":20,
                         "screenWidth":%1,"screenHeight":%2,"pressure":1.0,"actionButton":1,
                         "buttons":1,"dropped":false},
                        {"action":2,"pointerId":7,"x":11,"pressure":0.5,"dropped":true},
                        {"type":"set_clipboard","text":"h\u00e9llo","length":6,"paste":true},
                        {"type":"set_clipboard","length":262130,"paste":false}])")
                    .arg(size.width())
                    .arg(size.height())
                    .toUtf8())
                .array();
        lines = controlLines(fleet, 15);
        QCOMPARE(lines.size(), 15);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(jsonDifferences(lines.at(9 + i), expected.at(i).toObject()), QString());
        // Only the message with a sequence is acknowledged, and the computer's own
        // clipboard is not echoed back.
        QCOMPARE(readDeviceMessage(control), std::make_pair(1, bigEndian(quint64(7))));
        QVERIFY(!control->waitForReadyRead(300));

        // Rotation restarts the video turned: the old size no longer matches the picture,
        // the new one does. A reset restarts it too.
        send(control, QByteArray(1, char(11)));
        QVERIFY(restarted(session->video));
        send(control, touchMessage(0, quint64(-2), 5, 5, size.width(), size.height(), 1) +
                          touchMessage(0, quint64(-2), 5, 5, size.height(), size.width(), 1));
        lines = controlLines(fleet, 18);
        QCOMPARE(lines.size(), 18);
        QCOMPARE(lines.at(15).value("type").toString(), QStringLiteral("rotate_device"));
        QVERIFY(lines.at(16).value("dropped").toBool() && !lines.at(17).value("dropped").toBool());
        send(control, QByteArray(1, char(17)));
        QVERIFY(restarted(session->video));
        QCOMPARE(session->process->state(), QProcess::Running);
    }

    void sessionEnds_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("bytes"); // sent on the control connection
        QTest::addColumn<int>("exitCode");     // -1: any, 1: not zero, -2: killed
        QTest::addColumn<QString>("logged");   // type of the last control line
        // Unplugged, or the server killed on the phone: SessionFaultsTest::phoneSideEnds.
        QTest::newRow("adbd restarts for Wi-Fi") << "tcpip" << QByteArray() << 1 << "";
        QTest::newRow("kill-server") << "kill-server" << QByteArray() << 1 << "";
        QTest::newRow("control closed") << "control" << QByteArray() << 0 << "";
        QTest::newRow("video closed") << "video" << QByteArray() << -1 << "";
        QTest::newRow("adb terminated") << "sigterm" << QByteArray() << -2 << "";
        QTest::newRow("adb killed") << "sigkill" << QByteArray() << -2 << "";
        QTest::newRow("server exits by itself") << "exits" << QByteArray() << 1 << "";
        QTest::newRow("inject text")
            << "send" << QByteArray::fromHex("0100000003616263") << 1 << "unknown";
        QTest::newRow("type 200") << "send" << QByteArray::fromHex("c8") << 1 << "unknown";
        QTest::newRow("absurd clipboard")
            << "send" << (QByteArray(1, char(9)) + bigEndian(quint64(0)) + '\0' + bigEndian(262131))
            << 1 << "invalid";
    }

    void sessionEnds()
    {
        QFETCH(QString, how);
        QFETCH(QByteArray, bytes);
        QFETCH(int, exitCode);
        QFETCH(QString, logged);
        VirtualFleet fleet(1);
        const QString serial = fleet.serial();
        if (how == "exits")
            fleet.setFault(serial, "serverExitAfterSec", 5);
        Session::Options options;
        options.audio = true;
        auto session = openSession(fleet, options);
        QVERIFY(session);
        QVERIFY(session->readVideoHeader().size.isValid());
        QVERIFY(readPacket(session->video).valid);
        QCOMPARE(fleet.liveServers(), 1);

        if (how == "tcpip") {
            QCOMPARE(fleet.on(serial, {"tcpip", "5555"}).exitCode, 0);
        } else if (how == "kill-server") {
            QCOMPARE(fleet.adb({"kill-server"}).exitCode, 0);
        } else if (how == "control" || how == "video") {
            (how == "control" ? session->control : session->video)->close();
        } else if (how == "sigterm") {
            session->process->terminate();
        } else if (how == "sigkill") {
            session->process->kill();
        } else if (how == "send") {
            send(session->control, bytes);
        }
        QVERIFY(session->waitForExit(20000));
        QCOMPARE(session->process->exitStatus(),
                 exitCode == -2 ? QProcess::CrashExit : QProcess::NormalExit);
        if (exitCode >= 0)
            QCOMPARE(session->exitCode() != 0, exitCode != 0);
        for (QTcpSocket *socket : {session->video, session->audio, session->control}) {
            if (socket->state() != QAbstractSocket::UnconnectedState)
                QVERIFY(waitForClose(socket));
        }
        QCOMPARE(fleet.liveServers(), 0);
        const QStringList types = fleet.controlTypes(serial);
        if (!logged.isEmpty())
            QCOMPARE(types.isEmpty() ? QString() : types.last(), logged);
        QCOMPARE(fleet.on(serial, kPkill).exitCode, 1); // nothing left to end
    }

    void audioConnectionStates_data()
    {
        QTest::addColumn<QString>("phone");
        QTest::newRow("computer closes the sound") << "closes";
        QTest::newRow("phone without audio") << "none";
        QTest::newRow("audio set-up fails") << "fails";
    }

    void audioConnectionStates()
    {
        QFETCH(QString, phone);
        VirtualFleet fleet(1);
        if (phone == "none")
            QVERIFY(fleet.setPhoneOption(0, "audio", false));
        if (phone == "fails")
            fleet.setFault(fleet.serial(), "audioSetupFails", true);
        Session::Options options;
        options.audio = true;
        auto session = openSession(fleet, options);
        QVERIFY(session);
        const QByteArray codec = readExactly(session->audio, 4);
        if (phone == "fails") {
            // Codec id 1: capture failed, and the whole session ends.
            QCOMPARE(codec, QByteArray::fromHex("00000001"));
            QVERIFY(session->waitForExit() && session->exitCode() != 0);
            QVERIFY(waitForClose(session->video) && waitForClose(session->control));
            return;
        }
        QCOMPARE(codec, phone == "none" ? QByteArray(4, '\0') : QByteArray("opus"));
        if (phone == "closes")
            session->audio->close();
        // Picture and control go on.
        QVERIFY(session->readVideoHeader().size.isValid());
        for (int i = 0; i < 5; ++i)
            QVERIFY(readPacket(session->video).valid);
        send(session->control, clipboardMessage(4, false, "x"));
        QCOMPARE(readDeviceMessage(session->control).first, 1);
        send(session->control, QByteArray(1, char(17)));
        QVERIFY(nextConfigPacket(session->video).valid);
        QCOMPARE(session->process->state(), QProcess::Running);
        if (phone == "none") {
            // Nothing follows codec id 0, yet the connection stays open.
            QCOMPARE(session->audio->bytesAvailable(), qint64(0));
            QCOMPARE(session->audio->state(), QAbstractSocket::ConnectedState);
        }
    }

    void refusedStarts_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("step"); // left out, or an argument added
        QTest::addColumn<QString>("message");
        QTest::newRow("older version") << "3.3.0"
                                       << ""
                                       << "3.3.0";
        QTest::newRow("server file not pushed") << "3.3.1"
                                                << "push"
                                                << "ClassNotFoundException";
        QTest::newRow("no tunnel") << "3.3.1"
                                   << "tunnel"
                                   << "Connection refused";
        QTest::newRow("bad number") << "3.3.1"
                                    << "max_size=big"
                                    << "max_size";
        QTest::newRow("server never connects") << "3.3.1"
                                               << "silent"
                                               << "";
    }

    void refusedStarts()
    {
        QFETCH(QString, version);
        QFETCH(QString, step);
        QFETCH(QString, message);
        VirtualFleet fleet(1);
        Session::Options options;
        options.version = version;
        options.push = step != "push";
        options.tunnel = step != "tunnel";
        if (step.contains('='))
            options.extra = QStringList{step};
        if (step == "silent")
            fleet.setFault(fleet.serial(), "serverNeverConnects", true);
        Session session(fleet, options);
        QVERIFY(session.launch());
        if (step == "silent") {
            // Waits until ended from outside.
            QVERIFY(!session.listener.waitForNewConnection(1500));
            QCOMPARE(session.process->state(), QProcess::Running);
            QCOMPARE(fleet.on(fleet.serial(), {"shell", "pkill -f com.genymobile.scrcpy"}).exitCode,
                     0);
        }
        QVERIFY(session.waitForExit());
        if (step != "silent") {
            QCOMPARE(session.process->exitStatus(), QProcess::NormalExit);
            QCOMPARE(session.exitCode(), 1);
        }
        const QByteArray output =
            session.process->readAllStandardOutput() + session.process->readAllStandardError();
        QVERIFY2(output.contains(message.toUtf8()), output.constData());
        QVERIFY(!session.listener.hasPendingConnections());
    }
};

PARVIX_TEST(PhonesimSessionTest)
#include "phonesimsessiontest.moc"
