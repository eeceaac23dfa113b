// Recording a live phone onto a disk that fills up: the tile says so, the phone keeps
// streaming, what reached the disk plays, and the next recording works once there is room
// (a folder that cannot be written is a row of the recorder's own table).
#include "appconfig.h"
#include "device.h"
#include "faultharness.h"
#include "mediarecorder.h"
#include "recordingreader.h"
#include "smalldisk.h"
#include "testregistry.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include <memory>

class RecordingFaultsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FaultHarness> m_harness;
    QString m_serial;
    Device *m_device = nullptr;

    QString videos() const { return m_harness->dataFolder() + QStringLiteral("/videos"); }

    QStringList recordings() const
    {
        QStringList paths;
        const QDir folder(videos());
        for (const QString &name : folder.entryList({QStringLiteral("*.mkv")}, QDir::Files))
            paths << folder.filePath(name);
        return paths;
    }

    bool told(const QString &text, const QString &type) const
    {
        return m_harness->messages().has(m_serial, text, type);
    }

    // A whole recording of a few seconds, as the user makes one once the fault is gone.
    void recordsAgain()
    {
        m_harness->messages().clear();
        const QStringList before = recordings();
        m_device->startRecord();
        QTRY_VERIFY_WITH_TIMEOUT(told("Record Started", "success"), 10000);
        QVERIFY(FaultHarness::streaming(m_device, 15));
        m_device->stopRecord();
        QTRY_VERIFY_WITH_TIMEOUT(told("Record Stopped", "success"), 10000);
        QStringList added = recordings();
        for (const QString &path : before)
            added.removeAll(path);
        QCOMPARE(added.size(), 1);
        const QString problem = RecordingReader::playProblem(added.first(), 10);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(m_harness->messages().errors(m_serial), QStringList());
    }

private slots:
    void init()
    {
        m_harness = std::make_unique<FaultHarness>(FaultHarness::Options{1, 15});
        if (!m_harness->isValid())
            QSKIP(qPrintable(m_harness->errorString()));
        m_serial = m_harness->serial(0);
        // A busy picture, so that the disk fills within seconds.
        const QString clip = m_harness->dataFolder() + QStringLiteral("/busy.h264");
        VirtualFleet &fleet = m_harness->fleet();
        QCOMPARE(fleet
                     .adb({"make-clip", "--size", "320x640", "--fps", "15", "--bitrate", "400000",
                           "--seconds", "4", "--key-interval", "1", "--out", clip})
                     .exitCode,
                 0);
        QCOMPARE(fleet.adb({"set-clip", "--home", fleet.home(), m_serial, clip}).exitCode, 0);
        QVERIFY(m_harness->addScanned({m_serial}));
        m_device = m_harness->device(m_serial);
        QVERIFY(m_harness->startAndStream(m_device));
        QDir().mkpath(videos());
    }

    void cleanup()
    {
        m_device = nullptr;
        m_harness.reset();
    }

    void diskFillsWhileRecording()
    {
        constexpr qint64 room = 96 * 1024;
        SmallDisk disk(videos(), room);
        if (!disk.isValid())
            QSKIP(qPrintable("no way to fill a disk here: " + disk.errorString()));
        m_device->startRecord();
        QTRY_VERIFY_WITH_TIMEOUT(told("Record Started", "success"), 10000);
        const QString path = m_device->videoRecorder()->filePath();
        QVERIFY(!path.isEmpty());
        const QString failure =
            disk.reportsDiskFull() ? QStringLiteral("Record Failed: the disk is full")
                                   : QStringLiteral("Record Failed: the file could not be written");
        QTRY_VERIFY_WITH_TIMEOUT(told(failure, "error"), 30000);
        QTRY_VERIFY(!m_device->videoRecorder()->recordingThread());
        QVERIFY(!m_device->videoRecorder()->isRecording());
        // The phone goes on streaming; only the recording ended.
        QVERIFY(m_device->running());
        QVERIFY(FaultHarness::streaming(m_device));

        // What reached the disk plays, from a key frame, up to the fault.
        QVERIFY(QFileInfo(path).size() <= room);
        const QString problem = RecordingReader::playProblem(path, 5);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        disk.makeRoom();
        recordsAgain();
    }
};

PARVIX_TEST(RecordingFaultsTest)
#include "recordingfaultstest.moc"
