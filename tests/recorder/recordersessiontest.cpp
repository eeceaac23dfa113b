// Recording a virtual phone's live stream through a real mirroring session: started in the
// middle of the stream, rotated during it, stopped while packets are still on their way.
#include "appconfig.h"
#include "controller.h"
#include "device.h"
#include "mediarecorder.h"
#include "recordingreader.h"
#include "serverparams.h"
#include "streampipeline.h"
#include "testregistry.h"
#include "testsupport.h"
#include "videodecoder.h"
#include "virtualfleet.h"

#include <QMutex>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>

using namespace RecordingReader;

class RecorderSessionTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;
    QTemporaryDir m_videos;

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
            QSKIP("ffprobe (Debian's ffmpeg) is needed to read the recordings");
        m_fleet =
            std::make_unique<VirtualFleet>(TestSupport::phonesimPath(), VirtualFleet::Options{});
        if (!m_fleet->isValid())
            QSKIP(qPrintable(m_fleet->errorString()));
        AppConfig::instance()->setVideoSavePath(m_videos.path());
    }

    void cleanupTestCase() { m_fleet.reset(); }

    void liveStreamWithSoundAndARotation()
    {
        const QString serial = m_fleet->serials().value(0);
        Device device(nullptr, serial);
        device.setEnableAudio(true);
        device.serverParamsSmallView()->setMaxSize(480);
        device.serverParamsSmallView()->setMaxFps(30);
        MediaRecorder *recorder = device.videoRecorder();
        QStringList messages;
        // Every frame the phone sends is decoded right after the recorder got its packet, so
        // the frames seen from the first key frame on are the packets the file must hold.
        // Both happen on the session's media thread; this thread only reads the counts.
        std::atomic_int framesBefore{0};
        std::atomic_int recorded{0};
        std::atomic_int afterRotation{-1};
        std::atomic_bool stopped{false};
        QMutex sizesMutex;
        QVector<QSize> recordedSizes;
        // Declared after everything the connections write to, so they go first: the device,
        // declared before, may still signal while it is destroyed.
        QObject scope;
        connect(&device, &Device::deviceMessage, &scope,
                [&](const QString &text) { messages << text; });
        device.startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(device.controller() && device.frameSize().isValid(), 20000);
        VideoDecoder *decoder = device.pipeline() ? device.pipeline()->videoDecoder() : nullptr;
        QVERIFY(decoder);

        connect(
            decoder, &VideoDecoder::frameDecoded, &scope,
            [&](AVFrame *frame) {
                if (stopped)
                    return;
                if (!recorder->isRecording()) {
                    ++framesBefore;
                    return;
                }
                if (recorded == 0 && !frame->key_frame)
                    return;
                ++recorded;
                {
                    QMutexLocker locker(&sizesMutex);
                    recordedSizes << QSize(frame->width, frame->height);
                }
                if (afterRotation >= 0 && ++afterRotation == 20) {
                    // Stopped while this packet still waits in the recorder's queue.
                    recorder->stop();
                    stopped = true;
                }
            },
            Qt::DirectConnection);

        QTRY_VERIFY_WITH_TIMEOUT(framesBefore >= 10, 10000);
        device.startRecord();
        QTRY_VERIFY_WITH_TIMEOUT(recorder->isRecording(), 5000);
        const QString path = recorder->filePath();
        QTRY_VERIFY_WITH_TIMEOUT(m_fleet->controlTypes(serial).contains("reset_video"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(recorded >= 20, 10000);
        const QSize upright = [&] {
            QMutexLocker locker(&sizesMutex);
            return recordedSizes.first();
        }();
        QVERIFY(upright.width() < upright.height());
        device.controller()->actionRotateScreen();
        QTRY_VERIFY_WITH_TIMEOUT(device.frameSize() == upright.transposed(), 10000);
        afterRotation = 0;
        QTRY_VERIFY_WITH_TIMEOUT(stopped, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(messages.contains("Record Stopped"), 10000);
        QVERIFY(messages.indexOf("Record Started") < messages.indexOf("Stop Recording"));
        QMutexLocker locker(&sizesMutex);

        const Probe file = probe(path);
        QVERIFY2(file.ok, qPrintable(file.error));
        QCOMPARE(file.tracks.size(), 2);
        const ProbedTrack *video = file.track("video");
        const ProbedTrack *audio = file.track("audio");
        QVERIFY(video && audio);
        QCOMPARE(video->codec, QStringLiteral("h264"));
        QCOMPARE(audio->codec, QStringLiteral("opus"));

        QCOMPARE(video->packets.size(), qsizetype(recorded.load()));
        QVERIFY(video->packets[0].key);
        QCOMPARE(video->packets[0].pts, 0);
        for (int i = 1; i < video->packets.size(); ++i) {
            const qint64 gap = video->packets[i].pts - video->packets[i - 1].pts;
            // One frame's duration: the phone's own gap, at most three nominal frames.
            QVERIFY2(gap >= 1 && gap <= 100, qPrintable(QString::number(gap)));
        }
        QVERIFY(file.durationMs >= video->packets.last().pts + 100);

        QVERIFY(audio->packets.size() > 10);
        QCOMPARE(audio->packets[0].pts, 0);
        for (int i = 1; i < audio->packets.size(); ++i) {
            const qint64 gap = audio->packets[i].pts - audio->packets[i - 1].pts;
            QVERIFY2(gap >= 1 && gap <= 80, qPrintable(QString::number(gap)));
        }

        QVector<QSize> decodedSizes;
        QCOMPARE(decodeErrors(path, &decodedSizes), QString());
        QCOMPARE(decodedSizes, recordedSizes);
        QVERIFY(decodedSizes.contains(upright) && decodedSizes.last() == upright.transposed());
        device.stopScrcpySession();
    }
};

PARVIX_TEST(RecorderSessionTest)
#include "recordersessiontest.moc"
