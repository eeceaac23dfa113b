// Sound through a real mirroring session: the virtual phone's tone travels over the audio
// connection, through the device's decoder and player, into the test sink; a phone that
// cannot capture sound keeps mirroring without it.
#include "audiodemuxer.h"
#include "audiofixtures.h"
#include "device.h"
#include "pulseserver.h"
#include "serverparams.h"
#include "testregistry.h"
#include "testsupport.h"
#include "videoframefeed.h"
#include "virtualfleet.h"

#include <QScopeGuard>
#include <QtTest>

#include <memory>

using namespace AudioFixtures;

namespace {
// Unusual on purpose: no phone of a fresh fleet plays it.
constexpr int ToneHz = 1330;

struct Message
{
    QString text;
    QString type;
};
} // namespace

class AudioSessionTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;

private slots:
    void initTestCase()
    {
        PulseServer &pulse = PulseServer::instance();
        if (!pulse.isRunning())
            QSKIP(qPrintable("no audio server for the sound test: " + pulse.failure()));
        m_fleet = std::make_unique<VirtualFleet>(TestSupport::phonesimPath(),
                                                 VirtualFleet::Options{2, {1080, 2400}, 30});
        if (!m_fleet->isValid())
            QSKIP(qPrintable(m_fleet->errorString()));
        QVERIFY(m_fleet->setPhoneOption(0, "toneHz", ToneHz));
        QVERIFY(m_fleet->setPhoneOption(1, "audio", false));
    }

    void cleanupTestCase() { m_fleet.reset(); }

    void thePhonesToneIsHeard()
    {
        Device device(nullptr, m_fleet->serials().at(0));
        device.setEnableAudio(true);
        device.serverParamsSmallView()->setMaxSize(280);
        SinkRecording recording;
        QVERIFY(recording.start());
        device.startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(device.controller() && device.frameSize().isValid(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(device.audioDemuxer() && device.audioDemuxer()->codecContext(),
                                 10000);
        // More than a second of the phone's tone reaches the sink, steady at its pitch.
        QString problem;
        QTRY_VERIFY2_WITH_TIMEOUT(
            (problem = toneProblem(recording.pcm(), PulseServer::RecordRate, ToneHz, 1.2))
                .isEmpty(),
            qPrintable(problem), 15000);
        recording.stop();
        device.stopScrcpySession();
    }

    void withoutSoundTheMirroringGoesOn_data()
    {
        QTest::addColumn<int>("phone");
        QTest::addColumn<QByteArray>("decoder");
        QTest::addColumn<QByteArray>("codecId");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("type");
        QTest::newRow("phone cannot capture sound")
            << 1 << QByteArray("opus") << QByteArray(4, '\0') << "This phone cannot capture sound"
            << "info";
        QTest::newRow("no Opus decoder here")
            << 0 << QByteArray("parvix-missing") << QByteArray("opus")
            << "Sound cannot be decoded, mirroring without sound"
            << "error";
    }

    void withoutSoundTheMirroringGoesOn()
    {
        QFETCH(int, phone);
        QFETCH(QByteArray, decoder);
        QFETCH(QByteArray, codecId);
        QFETCH(QString, message);
        QFETCH(QString, type);
        AudioDemuxer::setDecoderNameForTesting(decoder);
        auto restore = qScopeGuard([] { AudioDemuxer::setDecoderNameForTesting({}); });
        if (decoder != "opus")
            QTest::ignoreMessage(QtWarningMsg, "no audio decoder \"" + decoder + "\"");

        Device device(nullptr, m_fleet->serials().at(phone));
        device.setEnableAudio(true);
        device.serverParamsSmallView()->setMaxSize(280);
        QVector<Message> messages;
        connect(&device, &Device::deviceMessage, this,
                [&](const QString &text, const QString &type) {
                    messages << Message{text, type};
                });
        device.startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(device.audioDemuxer() && device.audioDemuxer()->isHeaderRead(),
                                 20000);
        QCOMPARE(device.audioDemuxer()->codecId(), codecId);
        QVERIFY(!device.audioDemuxer()->codecContext());
        const quint64 framesAtTheNews = device.videoFeed()->publishedCount();
        QTRY_VERIFY_WITH_TIMEOUT(device.videoFeed()->publishedCount() >= framesAtTheNews + 10,
                                 10000);
        QVERIFY(device.running() && device.controller());
        device.stopScrcpySession();

        QStringList sound;
        for (const Message &m : messages) {
            if (m.type == "error" || m.text.contains("sound"))
                sound << m.type + ": " + m.text;
        }
        QCOMPARE(sound, QStringList{type + ": " + message});
    }
};

PARVIX_TEST(AudioSessionTest)
#include "audiosessiontest.moc"
