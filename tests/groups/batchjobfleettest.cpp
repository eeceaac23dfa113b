// Batch transfers on twelve virtual phones: each phone's row ends as its adb calls did, the
// failing ones with the phone's reason, and phones a cancel reached are never touched.
#include "batchjob.h"
#include "devicegroup.h"
#include "groupharness.h"
#include "testregistry.h"
#include "testsupport.h"
#include "virtualfleet.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class BatchJobFleetTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;
    QTemporaryDir m_files;

    // The phone's serial of every push or install the fleet has seen.
    QStringList transferredTo() const
    {
        QStringList serials;
        for (const QJsonObject &call : m_fleet->jsonLines("adb.log")) {
            const QStringList args = call.value("args").toVariant().toStringList();
            if (args.contains("push"))
                serials << args.value(args.indexOf("-s") + 1);
        }
        return serials;
    }

private slots:
    void initTestCase()
    {
        if (TestSupport::phonesimPath().isEmpty())
            QSKIP("the virtual phones are not built");
        m_fleet = std::make_unique<VirtualFleet>(TestSupport::phonesimPath(),
                                                 VirtualFleet::Options{12, {720, 1600}, 30, true});
        QVERIFY2(m_fleet->isValid(), qPrintable(m_fleet->errorString()));
        for (int phone : {4, 9})
            QVERIFY(m_fleet->setPhoneOption(phone, "faults", QJsonObject{{"pushFails", true}}));
    }

    void phonesEndAsTheirAdbCallsDid_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("onFirstTileOnly");
        QTest::addColumn<bool>("cancelAtOnce");
        QTest::addColumn<QList<int>>("doneFailedCancelled");
        QTest::newRow("APK dropped on a tile")
            << "tool.apk" << true << false << QList<int>{1, 0, 0};
        QTest::newRow("group upload, two failing")
            << "notes.txt" << false << false << QList<int>{10, 2, 0};
        // The first eight start at once; the other four never do.
        QTest::newRow("cancelled while the first run")
            << "game.apk" << false << true << QList<int>{7, 1, 4};
    }
    void phonesEndAsTheirAdbCallsDid()
    {
        QFETCH(QString, file);
        QFETCH(bool, onFirstTileOnly);
        QFETCH(bool, cancelAtOnce);
        QFETCH(QList<int>, doneFailedCancelled);
        const QString path = m_files.filePath(file);
        QVERIFY(!TestSupport::writeFile(path, "PK zip bytes").isEmpty());
        QFile::remove(m_fleet->home() + "/adb.log");

        DeviceGroup group;
        QList<Device *> members;
        for (const QString &serial : m_fleet->serials())
            members << GroupTest::addMember(&group, serial);
        BatchJob *job = group.transferFiles({QUrl::fromLocalFile(path)},
                                            onFirstTileOnly ? members.first() : nullptr);
        QVERIFY(job);
        if (cancelAtOnce)
            job->cancel();
        QTRY_VERIFY_WITH_TIMEOUT(job->isFinished(), 60000);

        QCOMPARE((QList<int>{job->doneCount(), job->failedCount(), job->cancelledCount()}),
                 doneFailedCancelled);
        QStringList started;
        for (int row = 0; row < job->rowCount(); ++row) {
            const BatchJob::State state = job->state(row);
            QCOMPARE(state == BatchJob::Failed, !job->outcome(row).reason.isEmpty());
            if (state != BatchJob::Cancelled)
                started << job->target(row).serial;
        }
        QStringList touched = transferredTo();
        touched.removeDuplicates();
        touched.sort();
        started.sort();
        QCOMPARE(touched, started);
    }
};

PARVIX_TEST(BatchJobFleetTest)
#include "batchjobfleettest.moc"
