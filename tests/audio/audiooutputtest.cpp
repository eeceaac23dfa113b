// Sound end to end: Opus packets over a socket, through the demuxer, the decoder and the
// player into the system's default output (a private PulseAudio null sink), recorded back
// from the sink's monitor and measured.
#include "audiodecoder.h"
#include "audiodemuxer.h"
#include "audiotesttools.h"
#include "pulseserver.h"
#include "simpleaudioplayer.h"
#include "testregistry.h"

#include <QAudioDevice>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

using namespace AudioTestTools;

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

    void theDefaultOutputIsTheTestSink()
    {
        const QAudioDevice output = QMediaDevices::defaultAudioOutput();
        QVERIFY2(output.id().contains(PulseServer::SinkName), output.id().constData());
    }

    void aStreamedToneIsHeardAtItsPitch_data()
    {
        QTest::addColumn<double>("hz");
        QTest::newRow("440 Hz") << 440.0;
        QTest::newRow("1250 Hz") << 1250.0;
    }

    void aStreamedToneIsHeardAtItsPitch()
    {
        QFETCH(double, hz);
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
        QByteArray name("Pixel 7");
        name.resize(64, '\0');
        phone.write(name + "opus" + framed(ConfigFlag, encoder.header()));
        const int packets = 80;
        QElapsedTimer clock;
        clock.start();
        for (int sent = 0; sent < packets;) {
            while (sent < packets && clock.elapsed() >= sent * 20) {
                PacketPtr packet = encoder.next();
                QVERIFY(packet);
                phone.write(framed(quint64(packet->pts), payloadOf(packet.get())));
                ++sent;
            }
            phone.flush();
            QTest::qWait(5);
            recording.drain();
        }
        QTRY_COMPARE_WITH_TIMEOUT(framesPlayed, packets, 5000);
        QTest::qWait(600);
        const QByteArray pcm = recording.stop();

        for (int channel = 0; channel < 2; ++channel) {
            const QVector<double> heard = audiblePart(channelOf(pcm, channel));
            const double seconds = heard.size() / double(PulseServer::RecordRate);
            // Nearly all of the tone reached the speaker (the first chunks may be dropped
            // while the sink's buffer fills).
            QVERIFY2(seconds > 1.2 && seconds < 2.0, qPrintable(QString::number(seconds)));
            const SteadyTone tone = steadyTone(heard, PulseServer::RecordRate);
            const QString measured = QStringLiteral("channel %1: %2 Hz for %3 s, share %4")
                                         .arg(channel)
                                         .arg(tone.hz)
                                         .arg(tone.seconds)
                                         .arg(tone.share);
            QVERIFY2(tone.seconds > 0.3, qPrintable(measured));
            QVERIFY2(qAbs(tone.hz - hz) < hz * 0.01, qPrintable(measured));
            QVERIFY2(tone.share > 0.8, qPrintable(measured));
            QVERIFY(rms(heard) > 0.1);
        }
    }
};

PARVIX_TEST(AudioOutputTest)
#include "audiooutputtest.moc"
