// Sound end to end: Opus packets over a socket, through the demuxer, the decoder and the
// player into the system's default output (a private PulseAudio null sink), recorded back
// from the sink's monitor and measured.
#include "audiodecoder.h"
#include "audiodemuxer.h"
#include "audiofixtures.h"
#include "pulseserver.h"
#include "simpleaudioplayer.h"
#include "testregistry.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace AudioFixtures;

class AudioOutputTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        PulseServer &pulse = PulseServer::instance();
        if (!pulse.isRunning())
            QSKIP(qPrintable("no audio server for the sound test: " + pulse.failure()));
        if (!OpusToneEncoder(1000).isValid())
            QSKIP("libavcodec has no libopus encoder");
    }

    void aStreamedToneIsHeardAtItsPitch()
    {
        const double hz = 440;
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        QTcpSocket phone;
        phone.connectToHost(QHostAddress::LocalHost, listener.serverPort());
        QVERIFY(listener.waitForNewConnection(5000));
        QTcpSocket *connection = listener.nextPendingConnection();
        QVERIFY(phone.waitForConnected(5000));

        SimpleAudioPlayer player;
        AudioDecoder decoder(nullptr);
        AudioDemuxer demuxer(connection, nullptr, &decoder, true);
        decoder.setDemuxer(&demuxer);
        int framesPlayed = 0;
        connect(&decoder, &AudioDecoder::frameDecoded, &player, [&](AVFrame *frame) {
            ++framesPlayed;
            player.play(frame);
        });

        SinkRecording recording;
        QVERIFY(recording.start());
        QTest::qWait(300);
        player.start();

        // The phone's pace: one 20 ms packet every 20 ms, 1.6 s of tone.
        OpusToneEncoder encoder(hz);
        phone.write(audioStreamStart() + framed(ConfigFlag, encoder.header()));
        const int packets = 80;
        QElapsedTimer clock;
        clock.start();
        for (int sent = 0; sent < packets;) {
            while (sent < packets && clock.elapsed() >= sent * 20) {
                PacketPtr packet = encoder.next();
                QVERIFY(packet);
                phone.write(framed(packet.get()));
                ++sent;
            }
            phone.flush();
            QTest::qWait(5);
            recording.drain();
        }
        QTRY_COMPARE_WITH_TIMEOUT(framesPlayed, packets, 5000);
        QTest::qWait(600);
        const QByteArray pcm = recording.stop();

        QCOMPARE(framesPlayed, packets);
        // Nearly all of the tone reached the speaker (the first chunks may be dropped while
        // the sink's buffer fills).
        const QString problem = toneProblem(pcm, PulseServer::RecordRate, hz, 1.2, 2.0);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
};

PARVIX_TEST(AudioOutputTest)
#include "audiooutputtest.moc"
