#include "mediarecorder.h"
#include "appconfig.h"
#include "audiofixtures.h"
#include "device.h"
#include "devicesettings.h"
#include "recordingreader.h"
#include "serverparams.h"
#include "smalldisk.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <QScopeGuard>
#include <QSemaphore>

#include <atomic>

using namespace RecordingReader;

namespace {
constexpr auto Serial = "R58M12ABCDE";
// The phone's clock when the recording starts: well into the stream.
constexpr qint64 StreamTime = 7000000;

struct Message
{
    QString text;
    QString type;
    int timeout = 0;
};
} // namespace

class MediaRecorderTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<Device> m_device;
    QVector<Message> m_messages;

    QString videoFolder() const { return m_home->path() + QStringLiteral("/PX/Videos"); }
    MediaRecorder *recorder() const { return m_device->videoRecorder(); }
    ServerParams *params() const { return m_device->currentServerParams(); }

    QStringList recordings() const
    {
        return QDir(videoFolder())
            .entryList({QStringLiteral("*.mkv")}, QDir::Files | QDir::System | QDir::Hidden);
    }
    QString onlyRecording() const
    {
        const QStringList files = recordings();
        return files.size() == 1 ? QDir(videoFolder()).filePath(files.first()) : QString();
    }
    int count(const QString &text) const
    {
        return int(std::count_if(m_messages.begin(), m_messages.end(),
                                 [&](const Message &m) { return m.text == text; }));
    }
    bool startRecording()
    {
        recorder()->start();
        return QTest::qWaitFor([this] { return recorder()->isRecording(); }, 5000);
    }
    bool stopRecording()
    {
        recorder()->stop();
        return QTest::qWaitFor(
            [this] {
                return (count("Record Stopped") + count("Record Failed")) > 0 &&
                       !recorder()->recordingThread();
            },
            10000);
    }
    void push(const PacketPtr &packet) { recorder()->pushVideoPacket(packet.get()); }
    void pushAudio(const AudioFixtures::PacketPtr &packet)
    {
        recorder()->pushAudioPacket(packet.get());
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
            QSKIP("ffprobe (Debian's ffmpeg) is needed to read the recordings");
        if (!H264TestStream(64, 48).isValid())
            QSKIP("libavcodec has no libx264 encoder");
    }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        AppConfig::instance()->setVideoSavePath(videoFolder());
        DeviceSettings::instance()->setDeviceNickname(QString::fromLatin1(Serial), QString());
        m_device = std::make_unique<Device>(nullptr, QString::fromLatin1(Serial));
        params()->setMaxFps(30);
        params()->setAudio(false);
        m_messages.clear();
        connect(m_device.get(), &Device::deviceMessage, this,
                [this](const QString &text, const QString &type, int timeout) {
                    m_messages << Message{text, type, timeout};
                });
    }

    void cleanup()
    {
        m_device.reset();
        m_home.reset();
    }

    void fileNamesStayInsideTheFolder_data()
    {
        QTest::addColumn<QString>("nickname");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Wi-Fi serial") << "Phone1"
                                      << "192.168.1.20:5555"
                                      << "Phone1_192.168.1.20-5555_20240305_140709_123.mkv";
        QTest::newRow("path in the nickname") << "../../etc/cron.d/x"
                                              << "R58"
                                              << "..-..-etc-cron.d-x_R58_20240305_140709_123.mkv";
        QTest::newRow("forbidden characters") << "a\\b:c*d?e\"f<g>h|i"
                                              << "s/n"
                                              << "a-b-c-d-e-f-g-h-i_s-n_20240305_140709_123.mkv";
        QTest::newRow("control characters")
            << "tab\there\nnew" << QString(QChar(0x7f)) << "tab-here-new_-_20240305_140709_123.mkv";
        QTest::newRow("letters of any script") << "手机 1"
                                               << "ab"
                                               << "手机 1_ab_20240305_140709_123.mkv";
    }

    void fileNamesStayInsideTheFolder()
    {
        QFETCH(QString, nickname);
        QFETCH(QString, serial);
        QFETCH(QString, expected);
        const QDateTime time(QDate(2024, 3, 5), QTime(14, 7, 9, 123));
        QCOMPARE(MediaRecorder::recordingFileName(nickname, serial, time), expected);
        // A long name is cut to what a file system takes, keeping serial and time.
        const QString name =
            MediaRecorder::recordingFileName(QString(300, QChar(0x624b)), "R58", time);
        QVERIFY(name.toUtf8().size() <= 255);
        QVERIFY(name.endsWith("_R58_20240305_140709_123.mkv") && name.startsWith(QChar(0x624b)));
    }

    void timestampsAreRebuiltFromTheFrameGaps_data()
    {
        QTest::addColumn<int>("fps");
        QTest::addColumn<QVector<qint64>>("phoneMs");
        QTest::addColumn<QVector<qint64>>("pts");
        QTest::addColumn<qint64>("duration");
        // A gap longer than three frames counts as one nominal frame; the last frame lasts 100 ms.
        QTest::newRow("30 fps, one long gap") << 30 << QVector<qint64>{0, 16, 33, 200}
                                              << QVector<qint64>{0, 16, 33, 66} << qint64(166);
        // Tiles stream at 5 fps: 200 ms is their pace, a 3 s pause still one frame.
        // Bursts a few milliseconds apart stay apart in the file.
        QTest::newRow("60 fps, bursts") << 60 << QVector<qint64>{0, 1, 5, 12, 13, 20, 30}
                                        << QVector<qint64>{0, 1, 5, 12, 13, 20, 30} << qint64(130);
        QTest::newRow("5 fps tile") << 5 << QVector<qint64>{0, 200, 400, 600, 3600}
                                    << QVector<qint64>{0, 200, 400, 600, 800} << qint64(900);
    }

    void timestampsAreRebuiltFromTheFrameGaps()
    {
        QFETCH(int, fps);
        QFETCH(QVector<qint64>, phoneMs);
        QFETCH(QVector<qint64>, pts);
        QFETCH(qint64, duration);
        params()->setMaxFps(fps);
        // The nickname goes into the file name, never into its path.
        DeviceSettings::instance()->setDeviceNickname(QString::fromLatin1(Serial), "../../outside");
        H264TestStream phone(64, 48);
        QSignalSpy changes(recorder(), &MediaRecorder::isRecordingChanged);
        QVERIFY(startRecording());
        QTRY_COMPARE(changes.count(), 1); // posted from the recording thread
        // The running stream's frames, even a key frame, come before the config packet the
        // reset asked for, and a frame follows it before the next key frame: none is written.
        push(phone.frame(StreamTime - 90000, true));
        push(phone.frame(StreamTime - 60000));
        push(phone.config());
        push(phone.frame(StreamTime - 30000));
        for (qint64 at : phoneMs)
            push(phone.frame(StreamTime + at * 1000, at == 0));
        recorder()->stop();
        QVERIFY(!recorder()->isRecording());
        QTRY_COMPARE_WITH_TIMEOUT(count("Record Stopped"), 1, 10000);
        QTRY_COMPARE(changes.count(), 2);

        QCOMPARE(recordings().size(), 1);
        QVERIFY(recordings().first().startsWith("..-..-outside_R58M12ABCDE_"));
        QCOMPARE(QDir(m_home->path()).entryList(QDir::Files).size(), 0);
        const Probe file = probe(onlyRecording());
        QVERIFY2(file.ok, qPrintable(file.error));
        QCOMPARE(file.tracks.size(), 1);
        QCOMPARE(file.tracks[0].codec, QStringLiteral("h264"));
        QVector<qint64> written;
        for (const ProbedPacket &packet : file.tracks[0].packets)
            written << packet.pts;
        QCOMPARE(written, pts);
        QCOMPARE(file.durationMs, duration);
        QVERIFY(file.tracks[0].packets[0].key);
        for (int i = 1; i < written.size(); ++i)
            QVERIFY(!file.tracks[0].packets[i].key);
        QCOMPARE(decodeErrors(onlyRecording()), QString());

        QStringList told;
        for (const Message &m : m_messages)
            told << QStringLiteral("%1 %2 %3").arg(m.text, m.type).arg(m.timeout);
        QCOMPARE(told, QStringList({"Record Started success 2000", "Stop Recording info 2000",
                                    "Record Stopped success 2000"}));
    }

    void theAudioTrackDependsOnWhatComesFirst_data()
    {
        QTest::addColumn<bool>("audioFirst");
        QTest::newRow("sound before the config packet") << true;
        QTest::newRow("config packet first") << false;
    }

    void theAudioTrackDependsOnWhatComesFirst()
    {
        QFETCH(bool, audioFirst);
        params()->setAudio(true);
        AudioFixtures::OpusToneEncoder sound(1000);
        if (!sound.isValid())
            QSKIP("libavcodec has no libopus encoder");
        H264TestStream phone(64, 48);
        QVERIFY(startRecording());

        auto pushSound = [&](int packets) {
            for (int i = 0; i < packets; ++i) {
                AudioFixtures::PacketPtr packet = sound.next();
                packet->pts += StreamTime;
                pushAudio(packet);
            }
        };
        if (audioFirst) {
            pushSound(3);
            QTest::qWait(100); // the recording thread takes them before the video arrives
        }
        push(phone.config());
        QTest::qWait(100);
        push(phone.frame(StreamTime + 60000, true));
        for (int i = 1; i < 25; ++i) {
            pushSound(1);
            push(phone.frame(StreamTime + 60000 + i * 40000));
        }
        pushSound(3);
        QVERIFY(stopRecording());

        const QString path = onlyRecording();
        const Probe file = probe(path);
        QVERIFY2(file.ok, qPrintable(file.error));
        QCOMPARE(file.tracks.size(), audioFirst ? 2 : 1);
        const ProbedTrack *video = file.track("video");
        QVERIFY(video);
        QCOMPARE(video->packets.size(), 25);
        QVERIFY(video->packets[0].key);
        QCOMPARE(video->packets[0].pts, 0);
        if (audioFirst) {
            const ProbedTrack *audio = file.track("audio");
            QVERIFY(audio);
            QCOMPARE(audio->codec, QStringLiteral("opus"));
            QCOMPARE(audio->packets.size(), 3 + 24 + 3);
            for (int i = 0; i < audio->packets.size(); ++i) {
                QCOMPARE(audio->packets[i].pts, i * 20);
                QCOMPARE(audio->packets[i].duration, 20);
            }
        }
        QCOMPARE(decodeErrors(path), QString());
    }

    void aNewRecordingInheritsNothingFromTheLastOne()
    {
        AudioFixtures::OpusToneEncoder sound(1000);
        if (!sound.isValid())
            QSKIP("libavcodec has no libopus encoder");
        H264TestStream phone(64, 48);
        // The first: a tile at 5 fps with sound, rotated just before the stop, so that its
        // last parameter sets never reach a frame.
        params()->setMaxFps(5);
        params()->setAudio(true);
        QVERIFY(startRecording());
        for (int i = 0; i < 3; ++i) {
            AudioFixtures::PacketPtr packet = sound.next();
            packet->pts += StreamTime;
            pushAudio(packet);
        }
        QTest::qWait(100); // the sound track is made before the header
        push(phone.config());
        for (int i = 0; i < 5; ++i)
            push(phone.frame(StreamTime + i * 200000, i == 0));
        push(phone.config());
        QVERIFY(stopRecording());
        const Probe first = probe(onlyRecording());
        QVERIFY2(first.ok, qPrintable(first.error));
        QCOMPARE(first.tracks.size(), 2);

        // The second: 30 fps, no sound, a gap that is long at 30 fps but not at 5.
        params()->setMaxFps(30);
        params()->setAudio(false);
        QTest::qWait(5); // another millisecond in the file name
        QVERIFY(startRecording());
        const QString path = recorder()->filePath();
        push(phone.config());
        const PacketPtr key = phone.frame(StreamTime + 10000000, true);
        push(key);
        push(phone.frame(StreamTime + 10033333));
        push(phone.frame(StreamTime + 10300000));
        QVERIFY(stopRecording());

        const Probe file = probe(path);
        QVERIFY2(file.ok, qPrintable(file.error));
        QCOMPARE(file.tracks.size(), 1);
        const QVector<ProbedPacket> &video = file.tracks[0].packets;
        QCOMPARE(video.size(), 3);
        QVERIFY(video[0].key);
        QCOMPARE(video[0].size, qint64(key->size)); // no parameter sets of the last one
        QCOMPARE(video[1].pts, 33);
        QCOMPARE(video[2].pts, 67);
        QCOMPARE(file.durationMs, 167);
        QCOMPARE(decodeErrors(path), QString());
    }

    void packetsStillQueuedAtTheEndAreAllWritten_data()
    {
        QTest::addColumn<bool>("destroy");
        QTest::newRow("stopped") << false;
        QTest::newRow("device destroyed") << true;
    }

    void packetsStillQueuedAtTheEndAreAllWritten()
    {
        QFETCH(bool, destroy);
        H264TestStream phone(64, 48);
        std::vector<PacketPtr> frames;
        for (int i = 0; i < 400; ++i)
            frames.push_back(phone.frame(StreamTime + i * 33333, i == 0));
        const PacketPtr config = phone.config();
        QVERIFY(startRecording());
        const QString path = recorder()->filePath();
        push(config);
        for (const PacketPtr &frame : frames)
            push(frame);
        if (destroy) {
            m_device.reset();
        } else {
            recorder()->stop();
            QTRY_COMPARE_WITH_TIMEOUT(count("Record Stopped"), 1, 10000);
        }

        const Probe file = probe(path);
        QVERIFY2(file.ok, qPrintable(file.error));
        QCOMPARE(file.tracks.size(), 1);
        const QVector<ProbedPacket> &video = file.tracks[0].packets;
        QCOMPARE(video.size(), 400);
        for (int i = 1; i < video.size(); ++i)
            QVERIFY(video[i].pts > video[i - 1].pts);
        QCOMPARE(file.durationMs, video.last().pts + 100);
        QCOMPARE(decodeErrors(path), QString());
    }

    void withoutAConfigPacketTheFileStaysEmpty()
    {
        H264TestStream phone(64, 48);
        QVERIFY(startRecording());
        const QString path = recorder()->filePath();
        QVERIFY(QFileInfo::exists(path));
        for (int i = 0; i < 5; ++i)
            push(phone.frame(StreamTime + i * 33333, i == 0));
        QVERIFY(stopRecording());
        QCOMPARE(count("Record Started"), 1);
        QCOMPARE(count("Record Stopped"), 1);
        QCOMPARE(count("Record Failed"), 0);
        // Nothing could be written without a header; the file is closed, not left open.
        QCOMPARE(recordings(), QStringList{QFileInfo(path).fileName()});
        QCOMPARE(QFileInfo(path).size(), 0);
        QVERIFY(recorder()->filePath().isEmpty());
    }

    void anUnusableFolderFailsTheRecording_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("folder below a file") << "below a file";
        QTest::newRow("empty folder setting") << "empty setting";
        QTest::newRow("read-only folder") << "read-only";
    }

    void anUnusableFolderFailsTheRecording()
    {
        QFETCH(QString, fault);
        QFile blocker(m_home->path() + "/not-a-folder");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        std::unique_ptr<ReadOnlyFolder> readOnly;
        if (fault == "below a file") {
            AppConfig::instance()->setVideoSavePath(blocker.fileName() + "/Videos");
        } else if (fault == "empty setting") {
            AppConfig::instance()->setVideoSavePath(QString());
        } else {
            readOnly = std::make_unique<ReadOnlyFolder>(videoFolder());
            if (!readOnly->isValid())
                QSKIP(qPrintable("no read-only folder here: " + readOnly->errorString()));
        }
        QSignalSpy changes(recorder(), &MediaRecorder::isRecordingChanged);
        recorder()->start();
        QTRY_COMPARE(count("Record Failed"), 1);
        QTRY_VERIFY(!recorder()->recordingThread());
        QVERIFY(!recorder()->isRecording());
        QCOMPARE(changes.count(), 0);
        QCOMPARE(count("Record Started"), 0);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].type, QStringLiteral("error"));
        QCOMPARE(m_messages[0].timeout, 5000);

        // Once the folder is usable, the next press records.
        readOnly.reset();
        AppConfig::instance()->setVideoSavePath(videoFolder());
        H264TestStream phone(64, 48);
        QVERIFY(startRecording());
        push(phone.config());
        push(phone.frame(StreamTime, true));
        QVERIFY(stopRecording());
        QCOMPARE(count("Record Stopped"), 1);
        const Probe file = probe(onlyRecording());
        QVERIFY2(file.ok, qPrintable(file.error));
        QCOMPARE(file.tracks.value(0).packets.size(), 1);
    }

    void aDiskThatFillsUpEndsTheRecordingWithAnError_data()
    {
        QTest::addColumn<qint64>("room");
        QTest::newRow("fills during the recording") << qint64(16 * 1024);
        QTest::newRow("room for the header only") << qint64(4096);
        QTest::newRow("full before the header") << qint64(0);
    }

    void aDiskThatFillsUpEndsTheRecordingWithAnError()
    {
        QFETCH(qint64, room);
        SmallDisk disk(videoFolder(), room);
        if (!disk.isValid())
            QSKIP(qPrintable("no way to fill a disk here: " + disk.errorString()));
        // Key frames twice a second, as a phone sends them at most.
        H264TestStream phone(320, 240, AV_PIX_FMT_YUV420P, "ultrafast", 15);
        std::vector<PacketPtr> frames;
        qint64 bytes = 0;
        for (int i = 0; i < 600; ++i) {
            frames.push_back(phone.frame(StreamTime + i * 33333, i == 0));
            bytes += frames.back()->size;
        }
        QVERIFY2(bytes > 3 * room, qPrintable(QString::number(bytes)));

        QSignalSpy changes(recorder(), &MediaRecorder::isRecordingChanged);
        QVERIFY(startRecording());
        const QString path = recorder()->filePath();
        push(phone.config());
        for (const PacketPtr &frame : frames)
            push(frame);
        // The recording ends by itself, and says why.
        QTRY_VERIFY_WITH_TIMEOUT(!recorder()->recordingThread(), 10000);
        QVERIFY(!recorder()->isRecording());
        QTRY_COMPARE(changes.count(), 2);
        const QString failure =
            (disk.reportsDiskFull()
                 ? QStringLiteral("Record Failed: the disk is full")
                 : QStringLiteral("Record Failed: the file could not be written")) +
            (room < 16 * 1024 ? ", nothing was recorded" : "");
        QTRY_COMPARE(m_messages.size(), 2);
        QStringList told;
        for (const Message &m : m_messages)
            told << QStringLiteral("%1 %2 %3").arg(m.text, m.type).arg(m.timeout);
        QCOMPARE(told, QStringList({"Record Started success 2000", failure + " error 5000"}));

        if (room < 16 * 1024) {
            // No packet fitted: no file is left to puzzle over.
            QVERIFY(!QFileInfo::exists(path));
        } else {
            // What reached the disk plays: a run of frames from the first key frame on, none
            // missing in between, and no cut-off cluster at the end.
            QVERIFY(QFileInfo(path).size() <= room);
            const Probe file = probe(path);
            QVERIFY2(file.ok, qPrintable(file.error));
            QCOMPARE(file.tracks.size(), 1);
            const QVector<ProbedPacket> &video = file.tracks[0].packets;
            qInfo("%s: %d packets in %lld bytes", qPrintable(disk.kindName()), int(video.size()),
                  QFileInfo(path).size());
            QVERIFY2(video.size() >= 15, qPrintable(QString::number(video.size())));
            QVERIFY(video.size() < int(frames.size()));
            QVERIFY(video[0].key);
            QCOMPARE(video[0].pts, 0);
            for (int i = 1; i < video.size(); ++i)
                QCOMPARE(video[i].pts, qRound64(i * 33.333));
            QCOMPARE(decodeErrors(path), QString());
        }

        // With room on the disk again, the next recording is a whole one.
        disk.makeRoom();
        m_messages.clear();
        QTest::qWait(5); // another millisecond in the file name
        QVERIFY(startRecording());
        const QString next = recorder()->filePath();
        QVERIFY(next != path);
        push(phone.config());
        for (int i = 0; i < 30; ++i)
            push(phone.frame(StreamTime + (600 + i) * 33333, i == 0));
        QVERIFY(stopRecording());
        QCOMPARE(count("Record Stopped"), 1);
        const Probe file = probe(next);
        QVERIFY2(file.ok, qPrintable(file.error));
        QCOMPARE(file.tracks.value(0).packets.size(), 30);
        QCOMPARE(decodeErrors(next), QString());
    }

    void twoQuickStartsMakeOneRecording()
    {
        recorder()->start();
        QThread *first = recorder()->recordingThread();
        QVERIFY(first);
        QCOMPARE(first->objectName(), QStringLiteral("VideoRecorderThread"));
        recorder()->start();
        QCOMPARE(recorder()->recordingThread(), first);
        QTRY_VERIFY(recorder()->isRecording());
        QTest::qWait(50);
        QCOMPARE(count("Record Started"), 1);
        QCOMPARE(recordings().size(), 1);
        H264TestStream phone(64, 48);
        push(phone.config());
        push(phone.frame(StreamTime, true));
        QVERIFY(stopRecording());

        // Once the first has ended, a new start makes a new file.
        QTest::qWait(5); // another millisecond in the file name
        QVERIFY(startRecording());
        push(phone.config());
        push(phone.frame(StreamTime + 1000000, true));
        QVERIFY(QTest::qWaitFor([this] { return count("Record Started") == 2; }));
        recorder()->stop();
        QTRY_COMPARE_WITH_TIMEOUT(count("Record Stopped"), 2, 10000);
        QCOMPARE(recordings().size(), 2);
    }

    void aRecorderGoneBeforeItsThreadLeavesTheThreadItsState()
    {
        // The disk stalls while the last packets are written, past the destructor's wait.
        QSemaphore stalled;
        QSemaphore resume;
        std::atomic_int writes{0};
        MediaRecorder::setBeforeWriteHookForTesting([&] {
            if (++writes == 3) {
                stalled.release();
                resume.acquire();
            }
        });
        auto cleanHook = qScopeGuard([&] {
            resume.release(100);
            MediaRecorder::setBeforeWriteHookForTesting({});
        });
        auto *recorder = new MediaRecorder(m_device.get());
        recorder->start();
        QTRY_VERIFY(recorder->isRecording());
        const QString path = recorder->filePath();
        const QPointer<QThread> thread = recorder->recordingThread();
        H264TestStream phone(64, 48);
        const PacketPtr config = phone.config();
        recorder->pushVideoPacket(config.get());
        for (int i = 0; i < 40; ++i)
            recorder->pushVideoPacket(phone.frame(StreamTime + i * 33333, i == 0).get());
        QVERIFY(stalled.tryAcquire(1, 10000));

        delete recorder;
        QVERIFY(thread && thread->isRunning());

        // The thread goes on with the state it shares: every queued packet and the trailer
        // reach the file, and nobody is told (the device's recorder is another one).
        resume.release();
        QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 10000);
        const Probe file = probe(path);
        QVERIFY2(file.ok, qPrintable(file.error));
        QCOMPARE(file.tracks.size(), 1);
        QCOMPARE(file.tracks[0].packets.size(), 40);
        QCOMPARE(decodeErrors(path), QString());
        QCOMPARE(count("Record Stopped"), 0);
    }
};

PARVIX_TEST(MediaRecorderTest)
#include "mediarecordertest.moc"
