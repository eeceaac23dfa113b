// Sound through a real mirroring session: the virtual phone's tone travels over the audio
// connection, through the device's decoder and player, into the test sink; a phone that
// cannot capture sound keeps mirroring without it.
#include "adbrunner.h"
#include "audiodemuxer.h"
#include "audiotesttools.h"
#include "device.h"
#include "pulseserver.h"
#include "serverparams.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

using namespace AudioTestTools;

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

    QTemporaryDir m_fleet;
    QStringList m_serials;

    void editPhone(int index, const QString &key, const QJsonValue &value)
    {
        QFile file(m_fleet.filePath("fleet.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QJsonObject fleet = QJsonDocument::fromJson(file.readAll()).object();
        file.close();
        QJsonArray phones = fleet.value("phones").toArray();
        QJsonObject phone = phones.at(index).toObject();
        phone.insert(key, value);
        phones[index] = phone;
        fleet.insert("phones", phones);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(fleet).toJson());
    }

    static bool streaming(const Device &device)
    {
        return device.controller() && device.frameSize().isValid();
    }

private slots:
    void initTestCase()
    {
        PulseServer &pulse = PulseServer::instance();
        if (!pulse.isRunning())
            QSKIP(qPrintable("no audio server for the sound test: " + pulse.failure()));
        const QString phonesim = TestSupport::phonesimPath();
        if (phonesim.isEmpty())
            QSKIP("the virtual phone is not built");
        QProcess init;
        init.start(phonesim, {"init", "--home", m_fleet.path(), "--phones", "2", "--size",
                              "1080x2400", "--fps", "30"});
        QVERIFY(init.waitForFinished(30000));
        QCOMPARE(init.exitCode(), 0);
        for (const QString &line : QString::fromUtf8(init.readAllStandardOutput()).split('\n'))
            if (!line.trimmed().isEmpty())
                m_serials << line.section('\t', 0, 0);
        QCOMPARE(m_serials.size(), 2);
        editPhone(0, "toneHz", ToneHz);
        editPhone(1, "audio", false);
        qputenv("PHONESIM_HOME", m_fleet.path().toUtf8());
        qputenv("PARVIX_SCRCPY_SERVER", m_fleet.filePath("scrcpy-server").toUtf8());
        ADBRunner::setExecutablePathForTesting(phonesim);
    }

    void cleanupTestCase()
    {
        if (!m_serials.isEmpty())
            ADBRunner::runCommand({"kill-server"});
        ADBRunner::setExecutablePathForTesting(QString());
    }

    void thePhonesToneIsHeard()
    {
        Device device(nullptr, nullptr, m_serials.at(0));
        device.setEnableAudio(true);
        device.serverParamsSmallView()->setMaxSize(280);
        SinkRecording recording;
        QVERIFY(recording.start());
        device.startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(streaming(device), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(device.audioDemuxer() && device.audioDemuxer()->codecContext(),
                                 10000);
        // About two seconds of the session's sound.
        for (int i = 0; i < 40; ++i) {
            QTest::qWait(50);
            recording.drain();
        }
        const QByteArray pcm = recording.stop();
        device.stopScrcpySession();

        for (int channel = 0; channel < 2; ++channel) {
            const QVector<double> heard = audiblePart(channelOf(pcm, channel));
            QVERIFY2(heard.size() > PulseServer::RecordRate / 2,
                     qPrintable(QString::number(heard.size())));
            const SteadyTone tone = steadyTone(heard, PulseServer::RecordRate);
            const QString measured = QStringLiteral("channel %1: %2 Hz for %3 s, share %4")
                                         .arg(channel)
                                         .arg(tone.hz)
                                         .arg(tone.seconds)
                                         .arg(tone.share);
            QVERIFY2(tone.seconds > 0.3, qPrintable(measured));
            QVERIFY2(qAbs(tone.hz - ToneHz) < ToneHz * 0.01, qPrintable(measured));
            QVERIFY2(tone.share > 0.8, qPrintable(measured));
            QVERIFY(rms(heard) > 0.1);
        }
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
            QTest::ignoreMessage(QtCriticalMsg, "找不到音频解码器: " + decoder);

        Device device(nullptr, nullptr, m_serials.at(phone));
        device.setEnableAudio(true);
        device.serverParamsSmallView()->setMaxSize(280);
        QVector<Message> messages;
        int frames = 0;
        connect(&device, &Device::deviceMessage, this,
                [&](const QString &text, const QString &type) {
                    messages << Message{text, type};
                });
        connect(&device, &Device::yuvFrameReady, this, [&] { ++frames; });
        device.startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(device.audioDemuxer() && device.audioDemuxer()->isHeaderRead(),
                                 20000);
        QCOMPARE(device.audioDemuxer()->codecId(), codecId);
        QVERIFY(!device.audioDemuxer()->codecContext());
        const int framesAtTheNews = frames;
        QTRY_VERIFY_WITH_TIMEOUT(frames >= framesAtTheNews + 10, 10000);
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
