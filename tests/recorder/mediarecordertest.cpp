#include "mediarecorder.h"
#include "appconfig.h"
#include "audiofixtures.h"
#include "datatable.h"
#include "device.h"
#include "devicesettings.h"
#include "recordingreader.h"
#include "serverparams.h"
#include "smalldisk.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QtTest>

using namespace RecordingReader;

namespace {
constexpr auto Serial = "R58M12ABCDE";
// The phone's clock when the recording starts: well into the stream.
constexpr qint64 StreamTime = 7000000;

// Each track as "codec:pts,pts,...": key frames marked "*" (with "+n" when n more bytes than
// the pushed key frame), sound packets "pts+duration"; then "=duration" and any decoder errors.
QString describe(const QString &path, qint64 keySize = -1)
{
    const Probe file = probe(path);
    if (!file.ok)
        return QStringLiteral("unreadable ") + file.error;
    QStringList tracks;
    for (const ProbedTrack &track : file.tracks) {
        const QStringList packets = TestSupport::mapped(track.packets, [&](const ProbedPacket &p) {
            QString text = QString::number(p.pts);
            if (track.type == "audio")
                text += QStringLiteral("+%1").arg(p.duration);
            else if (p.key)
                text += keySize < 0 || p.size == keySize
                            ? QStringLiteral("*")
                            : QStringLiteral("*+%1").arg(p.size - keySize);
            return text;
        });
        tracks << track.codec + ':' + packets.join(',');
    }
    tracks.sort(); // the order of the tracks depends on which packet came first
    return tracks.join(' ') + QStringLiteral(" =%1").arg(file.durationMs) + decodeErrors(path);
}

QString series(int count, char separator, const std::function<QString(int)> &item)
{
    QStringList items;
    for (int i = 0; i < count; ++i)
        items << item(i);
    return items.join(QLatin1Char(separator));
}
} // namespace

class MediaRecorderTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<Device> m_device;
    QStringList m_told; // "text type timeout"

    QString videoFolder() const { return m_home->path() + QStringLiteral("/PX/Videos"); }
    MediaRecorder *recorder() const { return m_device->videoRecorder(); }
    ServerParams *params() const { return m_device->currentServerParams(); }

    int count(const QString &text) const
    {
        return int(std::count_if(m_told.begin(), m_told.end(),
                                 [&](const QString &m) { return m.startsWith(text + ' '); }));
    }
    bool startRecording()
    {
        // A new file name each time: the names count milliseconds.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        (void)QTest::qWaitFor([&] { return QDateTime::currentMSecsSinceEpoch() > now; });
        recorder()->start();
        return QTest::qWaitFor([this] { return recorder()->isRecording(); }, 5000);
    }
    bool stopRecording()
    {
        recorder()->stop();
        return QTest::qWaitFor(
            [this] {
                return count("Record Stopped") + count("Record Failed") > 0 &&
                       !recorder()->recordingThread();
            },
            10000);
    }
    void push(const AVPacketPtr &packet) { recorder()->pushVideoPacket(packet.get()); }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
            QSKIP("ffprobe (Debian's ffmpeg) is needed to read the recordings");
        if (!H264TestStream(64, 48).isValid() || !AudioFixtures::OpusToneEncoder(1000).isValid())
            QSKIP("libavcodec has no libx264 or libopus encoder");
    }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        AppConfig::instance()->setVideoSavePath(videoFolder());
        // The nickname goes into the file name, never into its path.
        DeviceSettings::instance()->setDeviceNickname(Serial, "../../outside");
        m_device = std::make_unique<Device>(nullptr, QString::fromLatin1(Serial));
        params()->setMaxFps(30);
        params()->setAudio(false);
        m_told.clear();
        connect(m_device.get(), &Device::deviceMessage, this,
                [this](const QString &text, const QString &type, int timeout) {
                    m_told << QStringLiteral("%1 %2 %3").arg(text, type).arg(timeout);
                });
    }

    void cleanup()
    {
        m_device.reset();
        m_home.reset();
    }

    void fileNamesStayInsideTheFolder()
    {
        const QDateTime time(QDate(2024, 3, 5), QTime(14, 7, 9, 123));
        QCOMPARE(MediaRecorder::recordingFileName("a\\b:c*d?e\"f<g>h|i\tj\nk", "s/n\x7f", time),
                 "a-b-c-d-e-f-g-h-i-j-k_s-n-_20240305_140709_123.mkv");
    }

    // What the phone sends, in order: "C" config, "K<ms>"/"F<ms>" a key/other frame at that time
    // after StreamTime, "A<n>" n sound packets, "fps<n>"/"sound"/"mute" the session's parameters,
    // "opus" sound announced, "|" stop and start again, "destroy" the device gone while packets
    // wait. Expected: each file as describe() puts it, joined by " | ".
    void filesHoldWhatTheStreamAllows_data()
    {
        addColumns<QString, QString>({"script", "expected"});
        // Frames before the reset's config packet, and after it until a key frame: none written.
        const QString reset = "K-90 F-60 C F-30 ";
        // A gap longer than three frames counts as one nominal frame; the last lasts 100 ms.
        addRow("30 fps, one long gap", reset + "K0 F16 F33 F200", "h264:0*,16,33,66 =166");
        // Bursts stay apart; two in one millisecond of the file's clock: the second a tick later.
        addRow("60 fps, one tick apart", "fps60 " + reset + "K0 F1 F1.4 F5", "h264:0*,1,2,5 =105");
        addRow("no config packet: an empty file", "K0 F33 F66 F100", "empty");
        // Announced sound has a track from the start; unannounced, it cannot join after the header.
        const QString frames =
            series(24, ' ', [](int i) { return QStringLiteral("A1 F%1").arg(60 + (i + 1) * 40); });
        const QString video =
            "h264:0*," + series(24, ',', [](int i) { return QString::number((i + 1) * 40); });
        const QString opus = series(30, ',', [](int i) { return QString::number(i * 20) + "+20"; });
        addRow("sound announced", "sound opus A3 C K60 " + frames + " A3",
               video + " opus:" + opus + " =1060");
        addRow("sound not announced", "sound C K60 " + frames + " A3", video + " =1060");
        // The first at 5 fps with sound, its last parameter sets reaching no frame; the second at
        // 30 fps, a gap long only there, a key frame without the last one's parameter sets.
        addRow(
            "a new recording inherits nothing",
            "fps5 sound opus A3 C K0 F200 F400 F600 F800 C | fps30 mute C K10000 F10033.333 F10300",
            "h264:0*,200,400,600,800 opus:0+20,20+20,40+20 =900 | h264:0*,33,67 =167");
        const QString queued = "C K0 " + series(399, ' ', [](int i) {
                                   return QStringLiteral("F%1").arg((i + 1) * 33.333, 0, 'f', 3);
                               });
        const QString written =
            "h264:0*," +
            series(399, ',', [](int i) { return QString::number(qRound64((i + 1) * 33.333)); }) +
            " =" + QString::number(qRound64(399 * 33.333) + 100);
        addRow("stopped with packets queued", queued, written);
        addRow("destroyed with packets queued", queued + " destroy", written);
    }

    void filesHoldWhatTheStreamAllows()
    {
        QFETCH(QString, script);
        H264TestStream phone(64, 48);
        // The encoder's first frame carries its own notes; the frames under test come after.
        phone.frame(0);
        AudioFixtures::OpusToneEncoder sound(1000);
        QSignalSpy changes(recorder(), &MediaRecorder::isRecordingChanged);
        QVERIFY(startRecording());
        QList<qint64> keySizes{-1}; // the last key frame of each recording
        for (const QString &step : script.split(' ')) {
            const double ms = step.mid(1).toDouble();
            if (step == "C") {
                push(phone.config());
            } else if (step.startsWith('K') || step.startsWith('F')) {
                const AVPacketPtr frame =
                    phone.frame(StreamTime + qRound64(ms * 1000), step[0] == 'K');
                if (step[0] == 'K')
                    keySizes.last() = frame->size;
                push(frame);
            } else if (step.startsWith('A')) {
                for (int i = 0; i < int(ms); ++i) {
                    AVPacketPtr packet = sound.next();
                    packet->pts += StreamTime;
                    recorder()->pushAudioPacket(packet.get());
                }
            } else if (step.startsWith("fps")) {
                params()->setMaxFps(step.mid(3).toInt());
            } else if (step == "sound" || step == "mute") {
                params()->setAudio(step == "sound");
                m_device->handleAudioCodec({});
            } else if (step == "opus") {
                m_device->handleAudioCodec("opus");
            } else if (step == "|") {
                QVERIFY(stopRecording());
                QVERIFY(startRecording());
                keySizes << -1;
            } else if (step == "destroy") {
                m_device.reset();
            }
        }
        QStringList files;
        const int runs = int(keySizes.size());
        if (m_device) {
            recorder()->stop();
            QVERIFY(!recorder()->isRecording());
            QTRY_COMPARE_WITH_TIMEOUT(count("Record Stopped"), runs, 10000);
            QTRY_COMPARE(changes.count(), 2 * runs);
            QCOMPARE(m_told.size(), 3 * runs); // started, stopping, stopped: no failure
        }
        const auto recordings =
            QDir(videoFolder()).entryInfoList({"*.mkv"}, QDir::Files | QDir::Hidden);
        for (const QFileInfo &file : recordings) {
            QVERIFY(file.fileName().startsWith("..-..-outside_R58M12ABCDE_"));
            // Nothing could be written without a header; the file is closed, not left open.
            files << (file.size() ? describe(file.filePath(), keySizes.value(files.size(), -1))
                                  : "empty");
        }
        QTEST(files.join(" | "), "expected");
        QCOMPARE(QDir(m_home->path()).entryList(QDir::Files).size(), 0);
    }

    // A bad folder fails the start, a full disk the run; the tile says why, the next press records.
    void aWriteFaultEndsTheRecordingWithAnError_data()
    {
        // room: left on the disk
        addColumns<QString, qint64>({"fault", "room"});
        QTest::newRow("folder below a file") << "below a file" << qint64(0);
        QTest::newRow("empty folder setting") << "empty setting" << qint64(0);
        QTest::newRow("read-only folder") << "read-only" << qint64(0);
        QTest::newRow("disk fills during the recording") << "disk" << qint64(16 * 1024);
        QTest::newRow("room for the header only") << "disk" << qint64(4096);
        QTest::newRow("disk full before the header") << "disk" << qint64(0);
    }

    void aWriteFaultEndsTheRecordingWithAnError()
    {
        QFETCH(QString, fault);
        QFETCH(qint64, room);
        const QString blocker = m_home->path() + "/not-a-folder";
        QVERIFY(!TestSupport::writeFile(blocker, "x").isEmpty());
        std::unique_ptr<ReadOnlyFolder> readOnly;
        std::unique_ptr<SmallDisk> disk;
        if (fault == "read-only")
            readOnly = std::make_unique<ReadOnlyFolder>(videoFolder());
        else if (fault == "disk")
            disk = std::make_unique<SmallDisk>(videoFolder(), room);
        else
            AppConfig::instance()->setVideoSavePath(fault == "below a file" ? blocker + "/Videos"
                                                                            : QString());
        if (readOnly && !readOnly->isValid())
            QSKIP(qPrintable("no read-only folder here: " + readOnly->errorString()));
        if (disk && !disk->isValid())
            QSKIP(qPrintable("no way to fill a disk here: " + disk->errorString()));
        QSignalSpy changes(recorder(), &MediaRecorder::isRecordingChanged);
        recorder()->start();
        QString path;
        if (disk) {
            // Key frames twice a second, as a phone sends them at most.
            H264TestStream phone(320, 240, AV_PIX_FMT_YUV420P, "ultrafast", 15);
            QTRY_VERIFY(recorder()->isRecording());
            path = recorder()->filePath();
            push(phone.config());
            for (int i = 0; i < 600; ++i)
                push(phone.frame(StreamTime + i * 33333, i == 0));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!recorder()->recordingThread(), 10000);
        QTRY_COMPARE(changes.count(), disk ? 2 : 0);
        if (!disk) {
            QCOMPARE(m_told.size(), 1);
            QVERIFY2(m_told[0].startsWith("Record Failed") && m_told[0].endsWith(" error 5000"),
                     qPrintable(m_told[0]));
        } else {
            const QString failure =
                (disk->reportsDiskFull() ? "Record Failed: the disk is full"
                                         : "Record Failed: the file could not be written") +
                QString(room < 16 * 1024 ? ", nothing was recorded" : "");
            QTRY_COMPARE(m_told,
                         QStringList({"Record Started success 2000", failure + " error 5000"}));
            // Nothing fitted: no file is left; otherwise it plays, no cut-off cluster at the end.
            QCOMPARE(QFileInfo::exists(path), room >= 16 * 1024);
            if (room >= 16 * 1024) {
                QVERIFY(QFileInfo(path).size() <= room);
                QCOMPARE(playProblem(path, 15), QString());
            }
        }

        // A second press while it starts makes no second recording.
        readOnly.reset();
        disk.reset();
        m_told.clear();
        AppConfig::instance()->setVideoSavePath(videoFolder());
        H264TestStream phone(64, 48);
        recorder()->start();
        recorder()->start();
        QTRY_COMPARE(count("Record Started"), 1); // posted after isRecording() turns true
        path = recorder()->filePath();
        push(phone.config());
        push(phone.frame(StreamTime, true));
        QVERIFY(stopRecording());
        QCOMPARE(m_told, QStringList({"Record Started success 2000", "Stop Recording info 2000",
                                      "Record Stopped success 2000"}));
        QCOMPARE(describe(path), "h264:0* =100");
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
        recorder->pushVideoPacket(phone.config().get());
        for (int i = 0; i < 40; ++i)
            recorder->pushVideoPacket(phone.frame(StreamTime + i * 33333, i == 0).get());
        QVERIFY(stalled.tryAcquire(1, 10000));

        delete recorder;
        QVERIFY(thread && thread->isRunning());

        // The thread finishes the file, telling nobody (the device's recorder is another one).
        resume.release();
        QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 10000);
        QCOMPARE(playProblem(path, 40), QString());
        QCOMPARE(count("Record Stopped"), 0);
    }
};

PARVIX_TEST(MediaRecorderTest)
#include "mediarecordertest.moc"
