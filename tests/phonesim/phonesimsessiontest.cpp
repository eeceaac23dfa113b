// The phone-side server as the computer's end sees it (pictures decoding: PhoneSessionTest).
#include "datatable.h"
#include "simsession.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QtTest>

using namespace Sim;

namespace {

// The video (re)started: a config packet with parameter sets, then a key frame.
bool restarted(QTcpSocket *video)
{
    MediaPacket config = readPacket(video);
    for (int i = 0; i < 60 && config.valid && !config.isConfig(); ++i)
        config = readPacket(video);
    const MediaPacket key = readPacket(video);
    return config.ptsAndFlags == Wire::Config && nalTypes(config.payload).contains(7) &&
           key.isKeyFrame() && nalTypes(key.payload).contains(5);
}

} // namespace

class PhonesimSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { PARVIX_NEEDS_PHONESIM(); }

    void connectionsStreamsAndControl_data()
    {
        addColumns<bool, bool>({"replay", "sound"});
        QTest::newRow("live") << false << true;
        QTest::newRow("replay") << true << true;
        QTest::newRow("phone without sound") << false << false;
    }

    void connectionsStreamsAndControl()
    {
        QFETCH(bool, replay);
        QFETCH(bool, sound);
        VirtualFleet fleet(1, {"--size", "360x800"});
        // 32 two-byte characters: the 63-byte limit falls inside the last one.
        const QString longName(32, QChar(0x00E9));
        QVERIFY(fleet.setPhoneOption(0, "model", longName) &&
                fleet.setPhoneOption(0, "replay", replay) &&
                fleet.setPhoneOption(0, "audio", sound));
        // 90x200 rounded down to 88x200; an option of a newer client is ignored.
        Session session;
        QVERIFY(session.launch(fleet, 200, {"future_option=42"}));
        // By the first header byte, the audio and control connects are complete in the kernel.
        QVERIFY(session.listener.waitForNewConnection(20000));
        session.video = session.listener.nextPendingConnection();
        QVERIFY(session.video->bytesAvailable() > 0 || session.video->waitForReadyRead(20000));
        for (QTcpSocket **waiting : {&session.audio, &session.control}) {
            if (!session.listener.hasPendingConnections())
                session.listener.waitForNewConnection(0); // takes what the kernel holds
            *waiting = session.listener.nextPendingConnection();
            QVERIFY2(*waiting, "a header came before all connections");
        }

        const QByteArray header = readExactly(session.video, 76);
        // Cut before the character that would not fit whole, then zero-padded.
        QCOMPARE(header.left(64), longName.toUtf8().left(62) + QByteArray(2, '\0'));
        QCOMPARE(header.mid(64), QByteArray("h264") + bigEndian(88) + bigEndian(200));
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

        // Audio starts with its codec id alone, no name; id 0, then silence on an open socket.
        if (!sound) {
            QCOMPARE(readExactly(session.audio, 4), QByteArray(4, '\0'));
            QVERIFY(!session.audio->waitForReadyRead(300));
            QCOMPARE(session.audio->state(), QAbstractSocket::ConnectedState);
        } else {
            QCOMPARE(readExactly(session.audio, 4), QByteArray("opus"));
            const MediaPacket head = readPacket(session.audio);
            QVERIFY(head.ptsAndFlags == Wire::Config && head.payload.startsWith("OpusHead"));
            for (int i = 0; i < 5; ++i) {
                const MediaPacket packet = readPacket(session.audio);
                QVERIFY(packet.valid && !packet.isConfig());
                QVERIFY(i == 0 || qint64(packet.ptsAndFlags - previous.ptsAndFlags) == 20000);
                previous = packet;
            }
            // The computer closing the sound stops neither the picture nor the server.
            session.audio->close();
        }
        QVERIFY2(!session.control->waitForReadyRead(300), "the control connection has no header");
        QVERIFY(readPacket(session.video).valid && readPacket(session.video).valid);
        QCOMPARE(session.process->state(), QProcess::Running);

        // Control messages, the picture being 88x200.
        QTcpSocket *control = session.control;
        const QByteArray bytes = keycodeMessage(0, 3, 0, 0x1000) + keycodeMessage(1, 3) +
                                 touchMessage(0, quint64(-2), 10, 20, 88, 200, 0xffff, 1, 1) +
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
                R"([{"type":"inject_keycode","action":0,"keycode":3,"metaState":4096},
                        {"type":"inject_keycode","action":1,"keycode":3,"metaState":0},
                        {"type":"inject_touch_event","action":0,"pointerId":-2,"x":10,"y":20,
                         "screenWidth":88,"screenHeight":200,"pressure":1.0,"actionButton":1,
                         "buttons":1,"dropped":false},
                        {"action":2,"pointerId":7,"x":11,"pressure":0.5,"dropped":true},
                        {"type":"set_clipboard","text":"h\u00e9llo","length":6,"paste":true},
                        {"type":"set_clipboard","length":262130,"paste":false}])")
                .array();
        QTRY_COMPARE_WITH_TIMEOUT(fleet.controlLog(fleet.serial()).size(), 6, 15000);
        const QList<QJsonObject> lines = fleet.controlLog(fleet.serial());
        for (int i = 0; i < 6; ++i) {
            const QJsonObject wanted = expected.at(i).toObject();
            for (auto it = wanted.begin(); it != wanted.end(); ++it) // 3 and 3.0 alike
                QVERIFY2(lines.at(i).value(it.key()).toVariant() == it->toVariant(),
                         qPrintable(QStringLiteral("message %1: %2").arg(i).arg(it.key())));
        }
        // Only the message with a sequence is acknowledged (type 1); no clipboard echo.
        QCOMPARE(readExactly(control, 9), QByteArray(1, 1) + bigEndian(quint64(7)));
        QVERIFY(!control->waitForReadyRead(300));

        // A reset restarts the video (rotation: PhoneSessionTest).
        send(control, QByteArray(1, char(17)));
        QVERIFY(restarted(session.video));
    }
};

PARVIX_TEST(PhonesimSessionTest)
#include "phonesimsessiontest.moc"
