#include "faultharness.h"

#include "adbrunner.h"
#include "appconfig.h"
#include "device.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "testsupport.h"
#include "videoframefeed.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>
#include <QThreadPool>

// ---- messages ---------------------------------------------------------------------------

void TileMessages::watch(Device *device)
{
    const QString serial = device->adbConnectionSerial();
    connect(device, &Device::deviceMessage, this,
            [this, serial](const QString &text, const QString &type, int timeout) {
                m_messages.append({serial, text, type, timeout});
            });
}

QStringList TileMessages::texts(const QString &serial) const
{
    QStringList result;
    for (const Message &message : m_messages)
        if (message.serial == serial)
            result << message.text;
    return result;
}

QStringList TileMessages::errors(const QString &serial) const
{
    QStringList result;
    for (const Message &message : m_messages)
        if (message.serial == serial && message.type == QLatin1String("error"))
            result << message.text;
    return result;
}

bool TileMessages::has(const QString &serial, const QString &text, const QString &type) const
{
    for (const Message &message : m_messages)
        if (message.serial == serial && message.text == text && message.type == type)
            return true;
    return false;
}

// ---- harness ----------------------------------------------------------------------------

FaultHarness::FaultHarness(const Options &options)
{
    m_fleet = std::make_unique<VirtualFleet>(
        TestSupport::phonesimPath(),
        VirtualFleet::Options{options.phones, {1080, 2400}, options.fps});
    if (!m_fleet->isValid() || !m_data.isValid())
        return;
    AppConfig *config = AppConfig::instance();
    config->setDeviceGroupSavePath(m_data.filePath(QStringLiteral("groups")));
    config->setDeviceNicknameSavePath(m_data.filePath(QStringLiteral("nicknames")));
    config->setVideoSavePath(m_data.filePath(QStringLiteral("videos")));
    // What a dropped phone leaves behind without automatic reconnects (those have their own).
    config->setAutoReconnect(false);
    m_manager = std::make_unique<DeviceGroupManager>();
}

FaultHarness::~FaultHarness()
{
    closeManager();
    if (m_fleet && m_fleet->isValid())
        (void)QTest::qWaitFor([this] { return m_fleet->liveServers() == 0; }, 10000);
    // adb calls still running in the background would write into a fleet that is gone.
    QThreadPool::globalInstance()->waitForDone(30000);
    ADBRunner::workPool()->waitForDone(30000);
    ADBRunner::setFinishTimeoutsForTesting(0, 0);
    m_fleet.reset();
}

void FaultHarness::closeManager()
{
    if (!m_manager)
        return;
    // Devices leave through deferred deletion; their sessions end before the fleet does.
    for (DeviceGroup *group : m_manager->deviceGroups())
        for (Device *device : group->devices())
            device->stopScrcpySession();
    m_manager.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString FaultHarness::errorString() const
{
    return m_fleet ? m_fleet->errorString() : QStringLiteral("no fleet");
}

DeviceGroup *FaultHarness::group() const
{
    return m_manager ? m_manager->currentSelectedGroup() : nullptr;
}

bool FaultHarness::addScanned(const QStringList &serials)
{
    DeviceGroupManager *manager = m_manager.get();
    QList<ADBDeviceInfo> chosen;
    const bool listed = QTest::qWaitFor(
        [&] {
            if (manager->isScanning())
                return false;
            chosen.clear();
            for (const ADBDeviceInfo &info : manager->availableDeviceInfos())
                if (serials.contains(info.adb_serial))
                    chosen << info;
            if (chosen.size() == serials.size())
                return true;
            manager->scanDevices();
            return false;
        },
        30000);
    if (!listed || !group()->addDevices(chosen))
        return false;
    if (!QTest::qWaitFor(
            [&] {
                return std::all_of(serials.begin(), serials.end(),
                                   [&](auto &s) { return device(s) != nullptr; });
            },
            10000))
        return false;
    for (const QString &serial : serials)
        m_messages.watch(device(serial));
    return true;
}

Device *FaultHarness::device(const QString &serial) const
{
    if (!group())
        return nullptr;
    for (Device *device : group()->devices())
        if (device->adbConnectionSerial() == serial)
            return device;
    return nullptr;
}

bool FaultHarness::startAndStream(Device *device)
{
    device->startScrcpySession();
    return QTest::qWaitFor([device] { return device->controller() != nullptr; }, 20000) &&
           streaming(device);
}

bool FaultHarness::streaming(Device *device, int frames, int withinMs)
{
    QPointer<Device> guard(device);
    quint64 first = 0;
    if (!device->videoFeed()->latest(&first).isValid() &&
        !QTest::qWaitFor([&] { return !guard || guard->videoFeed()->latest().isValid(); },
                         withinMs))
        return false;
    if (!guard)
        return false;
    guard->videoFeed()->latest(&first);
    return QTest::qWaitFor(
        [&] {
            quint64 now = 0;
            return guard && guard->videoFeed()->latest(&now).isValid() &&
                   now >= first + quint64(frames);
        },
        withinMs);
}

bool FaultHarness::setListingDelay(int ms)
{
    // adb is this script while a delay is set; it hands every call on to the virtual phones.
    const QString script = m_adbWrapper.filePath(QStringLiteral("adb"));
    if (ms <= 0) {
        ADBRunner::setExecutablePathForTesting(TestSupport::phonesimPath());
        return true;
    }
    const QByteArray text = "#!/bin/sh\n"
                            "[ \"$1\" = devices ] && sleep " +
                            QByteArray::number(ms / 1000.0) + "\nexec '" +
                            QFile::encodeName(TestSupport::phonesimPath()) + "' \"$@\"\n";
    if (TestSupport::writeFile(script, text).isEmpty() ||
        !QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return false;
    ADBRunner::setExecutablePathForTesting(script);
    return true;
}
