// The device-group file this user may not read when the application starts, and its disk
// full while a change is saved (content it cannot use, a folder in its place and oversized
// files are rows of the store tables in tests/app). For each: no crash, one message for the
// window's alert, the last good content kept, and the phones still stream from the group.
#include "device.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "faultharness.h"
#include "smalldisk.h"
#include "storeerrors.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <memory>

namespace {
// Root reads every file whatever its mode; without these two capabilities on this thread,
// which does all the store's file work, the mode applies to it as to any user.
class WithoutFileOverride
{
public:
    WithoutFileOverride()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_active = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutFileOverride()
    {
        if (m_active)
            syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutFileOverride(const WithoutFileOverride &) = delete;
    WithoutFileOverride &operator=(const WithoutFileOverride &) = delete;

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
};

bool readable(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

QStringList groupNames(const DeviceGroupManager *manager)
{
    QStringList names;
    for (const DeviceGroup *group : manager->deviceGroups())
        names << group->name();
    return names;
}
} // namespace

class GroupStoreFaultsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FaultHarness> m_harness;
    std::unique_ptr<QSignalSpy> m_alerts;
    QString m_file;
    QByteArray m_good;

    QStringList takeAlerts()
    {
        QStringList texts;
        for (const QList<QVariant> &alert : std::as_const(*m_alerts))
            texts << alert.first().toString();
        m_alerts->clear();
        return texts;
    }

    // The phone is added to the group the window shows and streams.
    void phoneStreams()
    {
        const QString serial = m_harness->serial(0);
        QVERIFY(m_harness->addScanned({serial}));
        QVERIFY(m_harness->startAndStream(m_harness->device(serial)));
    }

private slots:
    void init()
    {
        m_harness = std::make_unique<FaultHarness>(FaultHarness::Options{1, 10});
        if (!m_harness->isValid())
            QSKIP(qPrintable(m_harness->errorString()));
        StoreErrors::instance()->clearMessages();
        m_alerts = std::make_unique<QSignalSpy>(StoreErrors::instance(), &StoreErrors::storeError);
        // The user's groups, saved while all was well.
        DeviceGroupManager *manager = m_harness->manager();
        manager->createDeviceGroup(QStringLiteral("Shop"));
        manager->deviceGroups().last()->setMaxFPS(12);
        m_file = DeviceGroupManager::filePath();
        m_good = TestSupport::readFile(m_file);
        QVERIFY(m_good.contains("Shop"));
        QCOMPARE(takeAlerts(), QStringList());
    }

    void cleanup()
    {
        QFile::setPermissions(m_file, QFile::ReadOwner | QFile::WriteOwner);
        m_alerts.reset();
        m_harness.reset();
    }

    void fileThisUserMayNotRead()
    {
        QVERIFY(QFile::setPermissions(m_file, QFile::WriteOwner));
        {
            WithoutFileOverride asAnyUser;
            if (readable(m_file))
                QSKIP("this user reads files whatever their mode");
            m_harness->restartManager();
            QCOMPARE(groupNames(m_harness->manager()), QStringList({"Default Group"}));
            m_harness->manager()->createDeviceGroup(QStringLiteral("Meanwhile"));
        }
        const QStringList alerts = takeAlerts();
        QCOMPARE(alerts.size(), 1);
        QVERIFY2(alerts.first().contains(QDir::toNativeSeparators(m_file)),
                 qPrintable(alerts.first()));
        // Not a byte of the file the application could not read was replaced.
        QVERIFY(QFile::setPermissions(m_file, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(TestSupport::readFile(m_file), m_good);
        QVERIFY(!QFile::exists(m_file + ".bak"));

        // Readable again: the user's groups come back at the next start.
        m_harness->restartManager();
        QCOMPARE(groupNames(m_harness->manager()), QStringList({"Default Group", "Shop"}));
        QCOMPARE(m_harness->manager()->deviceGroups().last()->maxFPS(), 12);
        QCOMPARE(takeAlerts(), QStringList());
        phoneStreams();
    }

    void diskFullWhileSaving()
    {
        const QString folder = QFileInfo(m_file).absolutePath();
        // A disk with room for the good file and not a byte more.
        SmallDisk disk(folder, 4096);
        if (!disk.isValid())
            QSKIP(qPrintable("no way to fill a disk here: " + disk.errorString()));
        QVERIFY(!TestSupport::writeFile(m_file, m_good).isEmpty());
        m_harness->restartManager();
        DeviceGroupManager *manager = m_harness->manager();
        QCOMPARE(groupNames(manager), QStringList({"Default Group", "Shop"}));
        QCOMPARE(takeAlerts(), QStringList());

        manager->deviceGroups().last()->setMaxFPS(20);
        manager->createDeviceGroup(QStringLiteral("Unsaved"));
        const QStringList alerts = takeAlerts();
        QCOMPARE(alerts.size(), 1);
        QVERIFY2(alerts.first().contains(QDir::toNativeSeparators(m_file)),
                 qPrintable(alerts.first()));
        // The file is still the last one that was saved whole.
        QCOMPARE(TestSupport::readFile(m_file), m_good);
        phoneStreams();

        disk.makeRoom();
        manager->createDeviceGroup(QStringLiteral("Saved"));
        QCOMPARE(takeAlerts(), QStringList());
        m_harness->restartManager();
        QCOMPARE(groupNames(m_harness->manager()),
                 QStringList({"Default Group", "Shop", "Unsaved", "Saved"}));
        QCOMPARE(m_harness->manager()->deviceGroups().at(1)->maxFPS(), 20);
    }
};

PARVIX_TEST(GroupStoreFaultsTest)
#include "groupstorefaultstest.moc"
