// The phone side failing under a running session, end to end on virtual phones: a phone
// unplugged while it streams and while it records, its server killed on the phone. Each row:
// no crash, the tile says what happened, a recording up to the fault plays, and the phone
// streams again once it is back.
#include "device.h"
#include "devicegroup.h"
#include "faultharness.h"
#include "mediarecorder.h"
#include "recordingreader.h"
#include "testregistry.h"
#include "usermessage.h"
#include "videoframefeed.h"

#include <QDir>
#include <QPointer>
#include <QtTest>

#include <memory>

namespace {
const QString kError = QStringLiteral("error");

quint64 frameCount(Device *device)
{
    quint64 sequence = 0;
    device->videoFeed()->latest(&sequence);
    return sequence;
}
} // namespace

class SessionFaultsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FaultHarness> m_harness;

    QStringList recordings() const
    {
        QDir videos(m_harness->dataFolder() + QStringLiteral("/videos"));
        QStringList paths;
        for (const QString &name : videos.entryList({QStringLiteral("*.mkv")}, QDir::Files))
            paths << videos.filePath(name);
        return paths;
    }

    // Records until `frames` more frames have been shown; the frames the file must hold at
    // least (those shown after the recording began, less the wait for a key frame).
    int recordFor(Device *device, int frames)
    {
        const QString serial = device->adbConnectionSerial();
        device->startRecord();
        if (!QTest::qWaitFor(
                [&] { return m_harness->messages().texts(serial).contains("Record Started"); },
                10000))
            return -1;
        const quint64 from = frameCount(device);
        if (!FaultHarness::streaming(device, frames))
            return -1;
        return int(frameCount(device) - from) - 3;
    }

    void checkPlayable(const QString &path, int atLeast)
    {
        const QString problem = RecordingReader::playProblem(path, atLeast);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // Back in the group through a scan, streaming again.
    void startsAgain(const QString &serial)
    {
        if (!m_harness->device(serial))
            QVERIFY(m_harness->addScanned({serial}));
        Device *device = m_harness->device(serial);
        QVERIFY(device);
        QVERIFY(m_harness->startAndStream(device));
    }

private slots:
    void init()
    {
        m_harness = std::make_unique<FaultHarness>(FaultHarness::Options{2, 10});
        if (!m_harness->isValid())
            QSKIP(qPrintable(m_harness->errorString()));
    }

    void cleanup() { m_harness.reset(); }

    void phoneUnpluggedWhileStreaming()
    {
        const QString gone = m_harness->serial(0);
        const QString stays = m_harness->serial(1);
        QVERIFY(m_harness->addScanned({gone, stays}));
        QPointer<Device> device = m_harness->device(gone);
        Device *other = m_harness->device(stays);
        QVERIFY(m_harness->startAndStream(device));
        QVERIFY(m_harness->startAndStream(other));

        QCOMPARE(m_harness->fleet().tool("unplug", gone), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!device || !device->running(), 10000);
        // The phone leaves its group; the other one streams on.
        QTRY_VERIFY_WITH_TIMEOUT(!device, 15000);
        QCOMPARE(m_harness->group()->deviceCount(), 1);
        QVERIFY(FaultHarness::streaming(other));
        QVERIFY(m_harness->messages().errors(stays).isEmpty());

        QCOMPARE(m_harness->fleet().tool("plug", gone), 0);
        startsAgain(gone);
        // Last, so that everything above is checked where this message is not sent yet.
        QVERIFY2(m_harness->messages().has(gone, "Phone disconnected", kError),
                 qPrintable(m_harness->messages().texts(gone).join(" | ")));
    }

    void phoneUnpluggedWhileRecording()
    {
        const QString serial = m_harness->serial(0);
        QVERIFY(m_harness->addScanned({serial}));
        QPointer<Device> device = m_harness->device(serial);
        QVERIFY(m_harness->startAndStream(device));
        const int recorded = recordFor(device, 20);
        QVERIFY(recorded > 0);
        const QStringList files = recordings();
        QCOMPARE(files.size(), 1);

        QCOMPARE(m_harness->fleet().tool("unplug", serial), 0);
        // The device goes with its group membership; its recording is closed on the way.
        QTRY_VERIFY_WITH_TIMEOUT(!device, 15000);
        checkPlayable(files.first(), recorded);

        QCOMPARE(m_harness->fleet().tool("plug", serial), 0);
        startsAgain(serial);
        Device *again = m_harness->device(serial);
        const int next = recordFor(again, 10);
        QVERIFY(next > 0);
        again->stopRecord();
        QTRY_VERIFY_WITH_TIMEOUT(m_harness->messages().texts(serial).contains("Record Stopped"),
                                 10000);
        QCOMPARE(recordings().size(), 2);
        for (const QString &path : recordings())
            if (path != files.first())
                checkPlayable(path, next);
        QVERIFY2(m_harness->messages().has(serial, "Phone disconnected", kError),
                 qPrintable(m_harness->messages().texts(serial).join(" | ")));
    }

    void serverKilledOnThePhone_data()
    {
        QTest::addColumn<bool>("recording");
        QTest::newRow("streaming") << false;
        QTest::newRow("recording") << true;
    }

    void serverKilledOnThePhone()
    {
        QFETCH(bool, recording);
        const QString serial = m_harness->serial(0);
        QVERIFY(m_harness->addScanned({serial}));
        Device *device = m_harness->device(serial);
        QVERIFY(m_harness->startAndStream(device));
        const int recorded = recording ? recordFor(device, 20) : 0;
        QVERIFY(recorded >= 0);

        QCOMPARE(m_harness->fleet().shell(serial, "pkill -f com.genymobile.scrcpy.Server").exitCode,
                 0);
        QTRY_VERIFY_WITH_TIMEOUT(!device->running(), 10000);
        // Still attached: the phone stays in its group, not mirrored, also once the tile's
        // message has had its time.
        QVERIFY(!QTest::qWaitFor([&] { return m_harness->group()->deviceCount() != 1; },
                                 UserMessage::timeoutMs(UserMessage::Kind::Error) + 1000));
        QVERIFY(!device->controller());

        if (recording) {
            // What was recorded up to the end is kept whole once the user stops.
            QVERIFY(device->videoRecorder()->isRecording());
            device->stopRecord();
            QTRY_VERIFY_WITH_TIMEOUT(m_harness->messages().texts(serial).contains("Record Stopped"),
                                     10000);
            QTRY_VERIFY(!device->videoRecorder()->recordingThread());
            QCOMPARE(recordings().size(), 1);
            checkPlayable(recordings().first(), recorded);
        }
        QVERIFY(m_harness->startAndStream(device));
        QCOMPARE(m_harness->fleet().liveServers(), 1);
        // The tile said why it went dark.
        QVERIFY2(m_harness->messages().has(serial, "Mirroring ended on the phone", kError),
                 qPrintable(m_harness->messages().texts(serial).join(" | ")));
    }
};

PARVIX_TEST(SessionFaultsTest)
#include "sessionfaultstest.moc"
