// The phone-side server as the computer end of a session sees it: connection order,
// stream headers, packet framing, control messages and how a session ends.
#include "simharness.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QFile>
#include <QJsonArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <poll.h>

using namespace Sim;

namespace {

constexpr quint64 kConfigField = quint64(1) << 63;

std::unique_ptr<Session> openSession(TestFleet &fleet, Session::Options options)
{
    if (options.serial.isEmpty())
        options.serial = fleet.serials().first();
    auto session = std::make_unique<Session>(fleet, options);
    if (!session->launch() || !session->acceptAll())
        return nullptr;
    return session;
}

// Skips the video header and packets until one satisfies the predicate.
MediaPacket nextPacketWhere(QTcpSocket *video,
                            const std::function<bool(const MediaPacket &)> &wanted, int limit = 60)
{
    for (int i = 0; i < limit; ++i) {
        const MediaPacket packet = readPacket(video);
        if (!packet.valid || wanted(packet))
            return packet;
    }
    return {};
}

// Reads one device message (clipboard: type 0, ack: type 1) from the control stream.
struct DeviceMessage
{
    int type = -1;
    QByteArray body;
};

DeviceMessage readDeviceMessage(QTcpSocket *control)
{
    const QByteArray type = readExactly(control, 1);
    if (type.size() != 1)
        return {};
    if (type.at(0) == 0) {
        const QByteArray length = readExactly(control, 4);
        return {0, readExactly(control, int(be32(length, 0)))};
    }
    if (type.at(0) == 1)
        return {1, readExactly(control, 8)};
    return {quint8(type.at(0)), {}};
}

QList<QJsonObject> waitForControlLines(const TestFleet &fleet, const QString &serial, int count)
{
    QList<QJsonObject> lines;
    for (int i = 0; i < 150 && lines.size() < count; ++i) {
        lines = fleet.jsonLines(serial, "control.jsonl");
        if (lines.size() < count)
            QTest::qWait(100);
    }
    return lines;
}

int runningServers(const TestFleet &fleet)
{
    int count = 0;
    for (const QJsonValue &process : fleet.status().value("processes").toArray())
        count += process.toObject().value("kind").toString() == "server";
    return count;
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

    void connectionsCarryTheirHeaders()
    {
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        // 32 two-byte characters: the 63-byte limit falls inside the last one.
        const QString longName = QString(32, QChar(0x00E9));
        fleet.editPhone(serial, [&](QJsonObject &phone) { phone["model"] = longName; });
        Session::Options options;
        options.audio = true;
        auto session = openSession(fleet, options);
        QVERIFY(session);

        const Session::VideoHeader header = session->readVideoHeader();
        const QSize size = header.size;
        QVERIFY(size.isValid());
        // Cut before the character that would not fit whole, then zero-padded.
        QCOMPARE(header.name, longName.toUtf8().left(62) + QByteArray(2, '\0'));
        QCOMPARE(header.codec, QByteArray("h264"));
        QVERIFY(size.width() <= 160 && size.height() <= 160);
        QCOMPARE(qMax(size.width(), size.height()), 160);
        QCOMPARE(size.width() % 8, 0);
        QCOMPARE(size.height() % 8, 0);

        // The audio connection starts with its codec id alone: no name field there.
        QCOMPARE(readExactly(session->audio(), 4), QByteArray("opus"));
        const MediaPacket head = readPacket(session->audio());
        QVERIFY(head.valid);
        QCOMPARE(head.ptsAndFlags, kConfigField);
        QVERIFY(head.payload.startsWith("OpusHead"));
        QList<qint64> audioPts;
        for (int i = 0; i < 5; ++i) {
            const MediaPacket packet = readPacket(session->audio());
            QVERIFY(packet.valid);
            QVERIFY(!packet.isConfig());
            audioPts << qint64(packet.ptsAndFlags);
        }
        for (int i = 1; i < audioPts.size(); ++i)
            QCOMPARE(audioPts.at(i) - audioPts.at(i - 1), qint64(20000));

        for (int i = 0; i < 3; ++i)
            QVERIFY(readPacket(session->video()).valid);
        QCOMPARE(session->control()->bytesAvailable(), qint64(0));
        QVERIFY2(!session->control()->waitForReadyRead(300),
                 "the control connection has no header");
    }

    void headersWaitForEveryConnection()
    {
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        Session::Options options;
        options.serial = fleet.serials().first();
        options.audio = true;
        Session session(fleet, options);
        // A queue of one: while the audio connection waits in it unaccepted, the control
        // connection cannot complete, so a correct server cannot have written any header.
        QTcpServer *listener = session.listener();
        listener->setListenBacklogSize(0);
        QVERIFY(session.launch());
        QVERIFY(listener->waitForNewConnection(20000));
        QTcpSocket *video = listener->nextPendingConnection();
        pollfd audioPending{int(listener->socketDescriptor()), POLLIN, 0};
        QCOMPARE(::poll(&audioPending, 1, 20000), 1);
        QVERIFY2(!video->waitForReadyRead(500), "a header came before every connection was up");
        QVERIFY(listener->hasPendingConnections() || listener->waitForNewConnection(20000));
        QTcpSocket *audio = listener->nextPendingConnection();
        QVERIFY(listener->hasPendingConnections() || listener->waitForNewConnection(20000));
        QVERIFY(listener->nextPendingConnection()); // control
        QCOMPARE(readExactly(video, 76).mid(64, 4), QByteArray("h264"));
        QCOMPARE(readExactly(audio, 4), QByteArray("opus"));
    }

    void videoPacketsAreFramed_data()
    {
        QTest::addColumn<bool>("replay");
        QTest::newRow("live") << false;
        QTest::newRow("replay") << true;
    }

    void videoPacketsAreFramed()
    {
        QFETCH(bool, replay);
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        fleet.editPhone(fleet.serials().first(),
                        [&](QJsonObject &phone) { phone["replay"] = replay; });
        auto session = openSession(fleet, {});
        QVERIFY(session);
        const QSize size = session->readVideoHeader().size;
        QVERIFY(size.isValid());

        H264Probe probe;
        const MediaPacket config = readPacket(session->video());
        QVERIFY(config.valid);
        QCOMPARE(config.ptsAndFlags, kConfigField);
        QVERIFY(nalTypes(config.payload).contains(7));
        QVERIFY(nalTypes(config.payload).contains(8));
        QVERIFY(!nalTypes(config.payload).contains(5));
        probe.feed(config.payload);

        const MediaPacket key = readPacket(session->video());
        QVERIFY(key.valid);
        QVERIFY(key.isKeyFrame());
        QVERIFY(!key.isConfig());
        QVERIFY(nalTypes(key.payload).contains(5));
        QCOMPARE(probe.feed(key.payload), size);

        qint64 previous = key.pts();
        const qint64 first = key.pts();
        // 2.5 s: a replayed loop starts over on the way, with a new key frame.
        for (int i = 0; i < 25; ++i) {
            const MediaPacket packet = readPacket(session->video());
            QVERIFY(packet.valid);
            QVERIFY(!packet.isConfig());
            QCOMPARE(packet.isKeyFrame(), nalTypes(packet.payload).contains(5));
            QCOMPARE(probe.feed(packet.payload), size);
            QVERIFY(packet.pts() > previous);
            previous = packet.pts();
        }
        // 25 frames at 10 fps span 2.5 seconds: the times are microseconds.
        QVERIFY2(previous - first > 300000 && previous - first < 20000000,
                 qPrintable(QString::number(previous - first)));
    }

    void rotationAndResetRestartTheVideo()
    {
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        auto session = openSession(fleet, {});
        QVERIFY(session);
        const QSize size = session->readVideoHeader().size;
        QVERIFY(size.isValid());
        QVERIFY(size.height() > size.width());
        QVERIFY(readPacket(session->video()).isConfig());
        QVERIFY(readPacket(session->video()).isKeyFrame());

        send(session->control(), QByteArray(1, char(11)));
        const MediaPacket config =
            nextPacketWhere(session->video(), [](const MediaPacket &p) { return p.isConfig(); });
        QVERIFY2(config.valid, "rotation brings a new config packet");
        QCOMPARE(config.ptsAndFlags, kConfigField);
        const MediaPacket key = readPacket(session->video());
        QVERIFY(key.isKeyFrame());
        H264Probe probe;
        probe.feed(config.payload);
        QCOMPARE(probe.feed(key.payload), size.transposed());

        // The old size no longer matches the picture; the new one does.
        const int width = size.width(), height = size.height();
        send(session->control(), touchMessage(0, quint64(-2), 5, 5, width, height, 0xffff));
        send(session->control(), touchMessage(0, quint64(-2), 5, 5, height, width, 0xffff));
        const QList<QJsonObject> lines = waitForControlLines(fleet, serial, 3);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0).value("type").toString(), QStringLiteral("rotate_device"));
        QVERIFY(lines.at(1).value("dropped").toBool());
        QVERIFY(!lines.at(2).value("dropped").toBool());

        send(session->control(), QByteArray(1, char(17)));
        const MediaPacket again =
            nextPacketWhere(session->video(), [](const MediaPacket &p) { return p.isConfig(); });
        QVERIFY2(again.valid, "reset video brings a new config packet");
        const MediaPacket keyAgain = readPacket(session->video());
        QVERIFY(keyAgain.isKeyFrame());
        H264Probe fresh;
        fresh.feed(again.payload);
        QCOMPARE(fresh.feed(keyAgain.payload), size.transposed());
    }

    void touchesLeaveMarks()
    {
        TestFleet fleet(1, {"--size", "360x800"});
        QVERIFY(fleet.isValid());
        Session::Options options;
        options.maxSize = 0;
        auto session = openSession(fleet, options);
        QVERIFY(session);
        const QSize size = session->readVideoHeader().size;
        QVERIFY(size.isValid());
        QCOMPARE(size, QSize(360, 800));
        H264Probe probe;
        for (int i = 0; i < 3; ++i)
            probe.feed(readPacket(session->video()).payload);
        // Two spots on the plain dark background, under the text and clear of the bars.
        const QPoint touched(40, 620), missed(240, 620);
        const int background = probe.redChroma(missed);
        QVERIFY2(background > 100 && background < 150, qPrintable(QString::number(background)));
        QCOMPARE(probe.redChroma(touched), background);

        // The dropped touch (sized for the turned picture) must leave no mark.
        send(session->control(),
             touchMessage(0, quint64(-2), missed.x(), missed.y(), 800, 360, 0xffff) +
                 touchMessage(0, quint64(-2), touched.x(), touched.y(), 360, 800, 0xffff));
        int mark = background;
        for (int i = 0; i < 30 && mark - background < 50; ++i) {
            const MediaPacket packet = readPacket(session->video());
            QVERIFY(packet.valid);
            probe.feed(packet.payload);
            mark = probe.redChroma(touched);
        }
        QVERIFY2(mark - background >= 50, "a magenta mark where the touch landed");
        QVERIFY(qAbs(probe.redChroma(missed) - background) < 16);
    }

    void controlMessagesAreDecodedAndLogged()
    {
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        auto session = openSession(fleet, {});
        QVERIFY(session);
        const QSize size = session->readVideoHeader().size;
        QVERIFY(size.isValid());

        QByteArray bytes;
        bytes += keycodeMessage(0, 3, 0, 0x1000);
        bytes += keycodeMessage(1, 3);
        bytes += touchMessage(0, quint64(-2), 10, 20, size.width(), size.height(), 0xffff, 1, 1);
        bytes += touchMessage(2, 7, 11, 21, 1080, 2400, 0x8000);
        bytes += clipboardMessage(0, true, QStringLiteral("h\u00e9llo").toUtf8());
        // The longest text a phone takes in one message.
        bytes += clipboardMessage(7, false, QByteArray(262130, 'x'));
        // Split across writes: the server must reassemble messages.
        send(session->control(), bytes.left(20));
        QTest::qWait(100);
        send(session->control(), bytes.mid(20));

        const QList<QJsonObject> lines = waitForControlLines(fleet, serial, 6);
        QCOMPARE(lines.size(), 6);
        const QJsonObject expected[] = {
            {{"type", "inject_keycode"}, {"action", 0}, {"keycode", 3}, {"metaState", 0x1000}},
            {{"type", "inject_keycode"}, {"action", 1}, {"keycode", 3}, {"metaState", 0}},
            {{"type", "inject_touch_event"},
             {"action", 0},
             {"pointerId", -2},
             {"x", 10},
             {"y", 20},
             {"screenWidth", size.width()},
             {"screenHeight", size.height()},
             {"pressure", 1.0},
             {"actionButton", 1},
             {"buttons", 1},
             {"dropped", false}},
            // Sized for another picture: dropped.
            {{"action", 2}, {"pointerId", 7}, {"x", 11}, {"pressure", 0.5}, {"dropped", true}},
            {{"type", "set_clipboard"}, {"text", "h\u00e9llo"}, {"length", 6}, {"paste", true}},
            {{"type", "set_clipboard"}, {"length", 262130}, {"paste", false}},
        };
        for (int i = 0; i < 6; ++i)
            QCOMPARE(differences(lines.at(i), expected[i]), QString());

        // Only the message with a sequence is acknowledged, and the computer's own
        // clipboard is not echoed back.
        const DeviceMessage ack = readDeviceMessage(session->control());
        QCOMPARE(ack.type, 1);
        QCOMPARE(be64(ack.body, 0), quint64(7));
        QVERIFY(!session->control()->waitForReadyRead(300));
        QCOMPARE(session->process()->state(), QProcess::Running);
    }

    void copyAndCutSendTheClipboard()
    {
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        const QString selection = QStringLiteral("Gr\u00fc\u00dfe 123");
        fleet.editPhone(serial, [&](QJsonObject &phone) { phone["selectedText"] = selection; });
        auto session = openSession(fleet, {});
        QVERIFY(session);
        QTcpSocket *control = session->control();

        send(control, keycodeMessage(0, 278) + keycodeMessage(1, 278));
        DeviceMessage message = readDeviceMessage(control);
        QCOMPARE(message.type, 0);
        QCOMPARE(message.body, selection.toUtf8());

        send(control, keycodeMessage(0, 279) + keycodeMessage(1, 279));
        send(control, keycodeMessage(0, 277) + keycodeMessage(1, 277));
        message = readDeviceMessage(control);
        QCOMPARE(message.type, 0);
        QCOMPARE(message.body, selection.toUtf8());

        // Cut emptied the selection: another cut changes nothing, so the next thing the
        // phone says is the acknowledgement that follows it.
        send(control, keycodeMessage(0, 277) + keycodeMessage(1, 277));
        send(control, clipboardMessage(9, false, "from computer"));
        message = readDeviceMessage(control);
        QCOMPARE(message.type, 1);
        QCOMPARE(be64(message.body, 0), quint64(9));

        const QList<QJsonObject> lines = waitForControlLines(fleet, serial, 9);
        QCOMPARE(lines.at(2).value("effect").toString(), QStringLiteral("paste"));
        QCOMPARE(lines.at(2).value("clipboard").toString(), selection);
        QFile clipboard(fleet.home() + "/" + serial + "/clipboard.txt");
        QVERIFY(clipboard.open(QIODevice::ReadOnly));
        QCOMPARE(clipboard.readAll(), QByteArray("from computer"));
    }

    void malformedControlEndsTheSession_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("logged");
        QTest::newRow("inject text") << QByteArray::fromHex("0100000003616263") << "unknown";
        QTest::newRow("type 200") << QByteArray::fromHex("c8") << "unknown";
        QTest::newRow("absurd clipboard")
            << (QByteArray(1, char(9)) + be64Bytes(0) + QByteArray(1, '\0') + be32Bytes(262131))
            << "invalid";
    }

    void malformedControlEndsTheSession()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, logged);
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        auto session = openSession(fleet, {});
        QVERIFY(session);
        send(session->control(), bytes);
        QVERIFY(session->waitForExit());
        QVERIFY(session->process()->exitCode() != 0);
        QVERIFY(waitForClose(session->video()));
        const QList<QJsonObject> lines = fleet.jsonLines(serial, "control.jsonl");
        QVERIFY(!lines.isEmpty());
        QCOMPARE(lines.last().value("type").toString(), logged);
    }

    void sessionEnds_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("pkill") << "pkill";
        QTest::newRow("unplug") << "unplug";
        QTest::newRow("adbd restarts for Wi-Fi") << "tcpip";
        QTest::newRow("control closed") << "control";
        QTest::newRow("video closed") << "video";
        QTest::newRow("adb terminated") << "sigterm";
        QTest::newRow("adb killed") << "sigkill";
        QTest::newRow("kill-server") << "kill-server";
    }

    void sessionEnds()
    {
        QFETCH(QString, how);
        TestFleet fleet(2);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        Session::Options options;
        options.audio = true;
        auto session = openSession(fleet, options);
        QVERIFY(session);
        QVERIFY(session->readVideoHeader().size.isValid());
        QVERIFY(readPacket(session->video()).valid);
        QCOMPARE(runningServers(fleet), 1);

        if (how == "pkill") {
            // Another phone's pkill must not reach this server.
            fleet.adb({"-s", fleet.serials().at(1), "shell", "pkill", "-f",
                       "com.genymobile.scrcpy.Server"});
            QVERIFY(!session->process()->waitForFinished(500));
            const Run run =
                fleet.adb({"-s", serial, "shell", "pkill", "-f", "com.genymobile.scrcpy.Server"});
            QCOMPARE(run.exitCode, 0);
        } else if (how == "unplug") {
            QCOMPARE(fleet.tool({"unplug", "--home", fleet.home(), serial}).exitCode, 0);
        } else if (how == "tcpip") {
            QCOMPARE(fleet.adb({"-s", serial, "tcpip", "5555"}).exitCode, 0);
        } else if (how == "control") {
            session->control()->close();
        } else if (how == "video") {
            session->video()->close();
        } else if (how == "sigterm") {
            session->process()->terminate();
        } else if (how == "sigkill") {
            session->process()->kill();
        } else if (how == "kill-server") {
            QCOMPARE(fleet.adb({"kill-server"}).exitCode, 0);
        }
        QVERIFY(session->waitForExit());
        if (how == "sigterm" || how == "sigkill")
            QCOMPARE(session->process()->exitStatus(), QProcess::CrashExit);
        else
            QCOMPARE(session->process()->exitStatus(), QProcess::NormalExit);
        if (how == "pkill" || how == "unplug" || how == "tcpip" || how == "kill-server")
            QVERIFY(session->process()->exitCode() != 0);
        if (how == "control")
            QCOMPARE(session->process()->exitCode(), 0);
        for (QTcpSocket *socket : {session->video(), session->audio(), session->control()}) {
            if (socket->state() != QAbstractSocket::UnconnectedState)
                QVERIFY(waitForClose(socket));
        }
        QCOMPARE(runningServers(fleet), 0);
        if (how == "unplug") {
            // Gone from the list and unreachable until plugged back.
            const Run gone = fleet.adb({"-s", serial, "shell", "echo"});
            QVERIFY2(failsWith(gone,
                               QStringLiteral("error: device '%1' not found").arg(serial).toUtf8()),
                     gone.err);
            QVERIFY(fleet.tool({"unplug", "--home", fleet.home(), "NOBODY"}).exitCode != 0);
            QCOMPARE(fleet.tool({"plug", "--home", fleet.home(), serial}).exitCode, 0);
            QCOMPARE(fleet.adb({"-s", serial, "shell", "echo", "back"}).out, QByteArray("back\n"));
        }
        // pkill finds nothing left to end.
        if (how != "unplug")
            QCOMPARE(
                fleet.adb({"-s", serial, "shell", "pkill", "-f", "com.genymobile.scrcpy.Server"})
                    .exitCode,
                1);
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
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        if (phone == "none")
            fleet.editPhone(serial, [](QJsonObject &json) { json["audio"] = false; });
        if (phone == "fails")
            fleet.setFault(serial, "audioSetupFails", true);
        Session::Options options;
        options.audio = true;
        auto session = openSession(fleet, options);
        QVERIFY(session);
        const QByteArray codec = readExactly(session->audio(), 4);
        if (phone == "fails") {
            // Codec id 1: capture failed, and the whole session ends.
            QCOMPARE(codec, QByteArray::fromHex("00000001"));
            QVERIFY(session->waitForExit());
            QVERIFY(session->process()->exitCode() != 0);
            QVERIFY(waitForClose(session->video()));
            QVERIFY(waitForClose(session->control()));
            return;
        }
        QCOMPARE(codec, phone == "none" ? QByteArray(4, '\0') : QByteArray("opus"));
        if (phone == "closes")
            session->audio()->close();
        // Picture and control go on.
        QVERIFY(session->readVideoHeader().size.isValid());
        for (int i = 0; i < 5; ++i)
            QVERIFY(readPacket(session->video()).valid);
        send(session->control(), clipboardMessage(4, false, "x"));
        QCOMPARE(readDeviceMessage(session->control()).type, 1);
        send(session->control(), QByteArray(1, char(17)));
        QVERIFY(nextPacketWhere(session->video(), [](const MediaPacket &p) {
                    return p.isConfig();
                }).valid);
        QCOMPARE(session->process()->state(), QProcess::Running);
        if (phone == "none") {
            // Nothing follows codec id 0, yet the connection stays open.
            QCOMPARE(session->audio()->bytesAvailable(), qint64(0));
            QCOMPARE(session->audio()->state(), QAbstractSocket::ConnectedState);
        }
    }

    void refusedStarts_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("push");
        QTest::addColumn<bool>("tunnel");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QString>("message");
        QTest::newRow("older version") << "3.3.0" << true << true << QStringList() << "3.3.0";
        QTest::newRow("server file not pushed")
            << "3.3.1" << false << true << QStringList() << "ClassNotFoundException";
        QTest::newRow("no tunnel")
            << "3.3.1" << true << false << QStringList() << "Connection refused";
        QTest::newRow("bad number")
            << "3.3.1" << true << true << QStringList{"max_size=big"} << "max_size";
    }

    void refusedStarts()
    {
        QFETCH(QString, version);
        QFETCH(bool, push);
        QFETCH(bool, tunnel);
        QFETCH(QStringList, extra);
        QFETCH(QString, message);
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        Session::Options options;
        options.serial = fleet.serials().first();
        options.version = version;
        options.push = push;
        options.tunnel = tunnel;
        options.extra = extra;
        Session session(fleet, options);
        QVERIFY(session.launch());
        QVERIFY(session.waitForExit());
        QCOMPARE(session.process()->exitStatus(), QProcess::NormalExit);
        QCOMPARE(session.process()->exitCode(), 1);
        const QByteArray output =
            session.process()->readAllStandardOutput() + session.process()->readAllStandardError();
        QVERIFY2(output.contains(message.toUtf8()), output.constData());
        QVERIFY(!session.listener()->hasPendingConnections());
    }

    void maxSizeShapesThePicture_data()
    {
        QTest::addColumn<int>("maxSize");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("no limit") << 0 << QSize(360, 800);
        QTest::newRow("200") << 200 << QSize(88, 200);
    }

    void maxSizeShapesThePicture()
    {
        QFETCH(int, maxSize);
        QFETCH(QSize, expected);
        TestFleet fleet(1, {"--size", "360x800"});
        QVERIFY(fleet.isValid());
        Session::Options options;
        options.maxSize = maxSize;
        options.extra = QStringList{"future_option=42"}; // ignored, as a newer client may send
        auto session = openSession(fleet, options);
        QVERIFY(session);
        const QSize size = session->readVideoHeader().size;
        QVERIFY(size.isValid());
        QCOMPARE(size, expected);
        H264Probe probe;
        probe.feed(readPacket(session->video()).payload);
        QCOMPARE(probe.feed(readPacket(session->video()).payload), expected);
    }

    void faultyServers()
    {
        TestFleet fleet(2);
        QVERIFY(fleet.isValid());
        const QString silent = fleet.serials().at(0);
        const QString crashing = fleet.serials().at(1);
        fleet.setFault(silent, "serverNeverConnects", true);
        fleet.setFault(crashing, "serverExitAfterSec", 1.5);

        Session::Options silentOptions;
        silentOptions.serial = silent;
        Session quiet(fleet, silentOptions);
        QVERIFY(quiet.launch());
        QVERIFY(!quiet.listener()->waitForNewConnection(1500));
        QCOMPARE(quiet.process()->state(), QProcess::Running);
        QCOMPARE(
            fleet.adb({"-s", silent, "shell", "pkill", "-f", "com.genymobile.scrcpy"}).exitCode, 0);
        QVERIFY(quiet.waitForExit());

        Session::Options crashOptions;
        crashOptions.serial = crashing;
        crashOptions.scid = 0x2b;
        auto session = openSession(fleet, crashOptions);
        QVERIFY(session);
        QVERIFY(session->waitForExit(20000));
        QCOMPARE(session->process()->exitCode(), 1);
        QVERIFY(waitForClose(session->video()));
    }
};

PARVIX_TEST(PhonesimSessionTest)
#include "tst_serversession.moc"
