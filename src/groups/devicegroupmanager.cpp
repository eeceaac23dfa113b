#include "devicegroupmanager.h"

#include "adbhostwatch.h"
#include "adbrunner.h"
#include "appconfig.h"
#include "device.h"
#include "devicegroup.h"
#include "devicesettings.h"
#include "devicetracker.h"
#include "groupmemory.h"
#include "groupslog.h"
#include "reconnectpolicy.h"

#include <QCoreApplication>
#include <QDir>
#include <QException>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <exception>
#include <utility>

namespace {
const QString kGroupsKey = QStringLiteral("device_groups");

// The text of a failure carried out of a pool task: the task's own exception is
// wrapped by QtConcurrent and has to be unpacked.
QString failureText(const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const QUnhandledException &wrapped) {
        if (wrapped.exception())
            return failureText(wrapped.exception());
    } catch (const std::exception &error) {
        return QString::fromStdString(error.what());
    } catch (...) {
    }
    return QStringLiteral("adb device listing failed");
}
} // namespace

DeviceGroupManager::DeviceGroupManager(QObject *parent) : QObject(parent)
{
    m_scanWatcher = new QFutureWatcher<QList<ADBDeviceInfo>>(this);
    m_reconnect = new ReconnectPolicy(this);
    connect(m_reconnect, &ReconnectPolicy::wantedChanged, this, &DeviceGroupManager::saveSoon);
    connect(m_reconnect, &ReconnectPolicy::unreadyPhonesChanged, this,
            &DeviceGroupManager::unreadyPhonesChanged);
    m_saveTimer = new QTimer(this);
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(300);
    connect(m_saveTimer, &QTimer::timeout, this, &DeviceGroupManager::save);
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (m_saveTimer->isActive())
            save();
        m_saveTimer->stop();
        m_quitting = true;
        // The adb server is stopped at quit; a tracker must not start it again.
        delete std::exchange(m_tracker, nullptr);
    });

    load();
    if (m_deviceGroups.isEmpty()) {
        auto *group = new DeviceGroup(this);
        group->setName(tr("Default Group"));
        connectGroup(group);
        m_deviceGroups.append(group);
        // A damaged file was copied aside first; one that could not be is left alone.
        save();
    }
    if (!m_deviceGroups.isEmpty()) {
        m_currentSelectedGroup = m_deviceGroups.first();
        emit currentSelectedGroupChanged();
    }
    connect(m_scanWatcher, &QFutureWatcher<QList<ADBDeviceInfo>>::finished, this,
            &DeviceGroupManager::handleScanFinished);
}

DeviceGroupManager::~DeviceGroupManager()
{
    // The groups' devices end after this body; nothing may react to them any more.
    delete m_tracker;
    delete m_reconnect;
    m_saveTimer->stop();
    m_quitting = true;
    // A listing still running on the pool finishes into nothing.
    m_scanWatcher->disconnect(this);
}

QString DeviceGroupManager::filePath()
{
    const QString folder = AppConfig::instance()->getDeviceGroupSavePath();
    QDir().mkpath(folder);
    return QDir(folder).filePath(QLatin1String(kFileName));
}

int DeviceGroupManager::totalDeviceCount() const
{
    int total = 0;
    for (const DeviceGroup *group : m_deviceGroups)
        total += group->deviceCount();
    return total;
}

// ---- file ------------------------------------------------------------------------------

void DeviceGroupManager::load()
{
    QSet<QString> restored; // a phone belongs to one group only
    const bool resume = AppConfig::instance()->resumeStreamingGroups();
    const std::optional<QJsonObject> file = m_file.load(filePath());
    const QJsonValue list = file ? file->value(kGroupsKey) : QJsonValue();
    if (file && !list.isArray())
        m_file.markDamaged();
    for (const QJsonValue &element : list.toArray()) {
        const QJsonObject object = element.toObject();
        const QJsonValue name = object.value(QStringLiteral("name"));
        const QJsonValue settings = object.value(QStringLiteral("settings"));
        // Whatever is dropped or cut here is kept in the copy of the file.
        if (name.toString().isEmpty() || m_deviceGroups.size() >= kMaxGroups) {
            m_file.markDamaged();
            continue;
        }
        if (name.toString().size() > DeviceGroup::kMaxNameLength ||
            (!settings.isUndefined() && !settings.isObject()))
            m_file.markDamaged();
        auto *group = new DeviceGroup(this);
        group->setName(StoreFile::cut(name.toString(), DeviceGroup::kMaxNameLength));
        if (!settings.isUndefined() && !group->loadSettings(settings.toObject()))
            m_file.markDamaged();
        connectGroup(group);
        m_deviceGroups.append(group);
        bool sound = true;
        QStringList serials = GroupMemory::members(object, &sound);
        if (!sound)
            m_file.markDamaged();
        serials.removeIf([&restored](const QString &serial) { return restored.contains(serial); });
        for (const QString &serial : std::as_const(serials))
            restored.insert(serial);
        const bool streaming = resume && GroupMemory::wasStreaming(object);
        for (Device *device : GroupMemory::restore(group, serials)) {
            if (streaming)
                m_reconnect->resume(device);
        }
    }
    m_file.finishLoad();
}

void DeviceGroupManager::save()
{
    QJsonArray groups;
    m_saveTimer->stop();
    for (const DeviceGroup *group : std::as_const(m_deviceGroups)) {
        const QList<Device *> members = group->devices();
        const bool streaming =
            std::any_of(members.cbegin(), members.cend(),
                        [this](const Device *device) { return m_reconnect->wanted(device); });
        groups.append(GroupMemory::withMembers(group->toJson(), group, streaming));
    }
    QJsonObject root;
    root.insert(kGroupsKey, groups);
    // Written through a temporary file: a failed write leaves the previous file whole.
    m_file.save(filePath(), root);
}

void DeviceGroupManager::connectGroup(DeviceGroup *group)
{
    connect(group, &DeviceGroup::deviceAddedIntoGroup, this,
            &DeviceGroupManager::refreshAvailableDevices);
    connect(group, &DeviceGroup::deviceRemovedFromGroup, this,
            &DeviceGroupManager::refreshAvailableDevices);
    connect(group, &DeviceGroup::deviceAddedIntoGroup, m_reconnect, &ReconnectPolicy::watch);
    connect(group, &DeviceGroup::deviceAddedIntoGroup, this, &DeviceGroupManager::saveSoon);
    connect(group, &DeviceGroup::deviceRemovedFromGroup, this, &DeviceGroupManager::saveSoon);
    connect(group, &DeviceGroup::nameChanged, this, [this] {
        save();
        emit deviceGroupsChanged();
    });
    connect(group, &DeviceGroup::settingsChanged, this, &DeviceGroupManager::save);
}

// ---- groups ----------------------------------------------------------------------------

void DeviceGroupManager::createDeviceGroup(const QString &name)
{
    if (!StoreFile::acceptText(name, DeviceGroup::kMaxNameLength) ||
        !StoreFile::acceptOneMore(m_deviceGroups.size(), kMaxGroups, tr("device groups")))
        return;
    auto *group = new DeviceGroup(this);
    group->setName(name);
    connectGroup(group);
    m_deviceGroups.append(group);
    save();
    emit deviceGroupsChanged();
}

void DeviceGroupManager::removeDeviceGroup(DeviceGroup *deviceGroup)
{
    m_deviceGroups.removeOne(deviceGroup);
    save();
    emit deviceGroupsChanged();
}

void DeviceGroupManager::setCurrentSelectedGroup(DeviceGroup *group)
{
    m_currentSelectedGroup = group;
    emit currentSelectedGroupChanged();
}

// ---- available phones -------------------------------------------------------------------

void DeviceGroupManager::handleDeviceAdded(Device *device)
{
    Q_UNUSED(device)
    refreshAvailableDevices();
}

void DeviceGroupManager::handleDeviceRemoved(Device *device)
{
    Q_UNUSED(device)
    refreshAvailableDevices();
}

void DeviceGroupManager::refreshAvailableDevices()
{
    // On the adb pool: adding thirty phones must not run thirty listings on the GUI thread.
    // One listing at a time; what is asked for meanwhile is answered by one more after it.
    if (m_refreshRunning) {
        m_refreshAgain = true;
        return;
    }
    m_refreshRunning = true;
    struct Listed
    {
        bool read = false;
        QList<ADBDeviceInfo> devices;
    };
    auto *watcher = new QFutureWatcher<Listed>(this);
    connect(watcher, &QFutureWatcher<Listed>::finished, this, [this, watcher] {
        watcher->deleteLater();
        const Listed listed = watcher->result();
        // A failed listing says nothing about the phones: keep what was offered.
        if (listed.read)
            setAvailableFrom(listed.devices);
        m_refreshRunning = false;
        if (std::exchange(m_refreshAgain, false))
            refreshAvailableDevices();
    });
    watcher->setFuture(QtConcurrent::run(ADBRunner::workPool(), [] {
        Listed listed;
        try {
            listed.devices = ADBRunner::getPhones();
            listed.read = true;
        } catch (const std::exception &) {
        }
        return listed;
    }));
}

void DeviceGroupManager::setAvailableFrom(const QList<ADBDeviceInfo> &listed)
{
    // Every group the manager owns counts, also one taken off the list: its devices
    // still exist and may still be shown, and a phone must not get a second Device.
    QSet<QString> grouped;
    for (const DeviceGroup *group : findChildren<DeviceGroup *>(Qt::FindDirectChildrenOnly)) {
        for (const Device *device : group->devices()) {
            for (const QString &name : device->identities())
                grouped.insert(name);
        }
    }
    QList<ADBDeviceInfo> available;
    for (ADBDeviceInfo info : listed) {
        // A phone is grouped when any of its connections or its hardware serial is.
        const QStringList names =
            info.connections + QStringList{info.adb_serial, info.hardware_serial};
        if (std::any_of(names.cbegin(), names.cend(),
                        [&grouped](const QString &name) { return grouped.contains(name); }))
            continue;
        info.nickname = DeviceSettings::instance()->getDeviceNickname(info.adb_serial);
        available.append(info);
    }
    m_availableDeviceInfos = available;
    emit availableDeviceInfosChanged();
}

void DeviceGroupManager::clearAvailableDevices()
{
    m_availableDeviceInfos.clear();
    emit availableDeviceInfosChanged();
}

// ---- scanning ---------------------------------------------------------------------------

void DeviceGroupManager::scanDevices()
{
    if (!m_isScanning) {
        m_isScanning = true;
        emit isScanningChanged();
    }
    // A scan during a scan: the watcher follows the newer listing only.
    m_scanWatcher->setFuture(
        QtConcurrent::run(ADBRunner::workPool(), [] { return ADBRunner::getPhones(); }));
}

void DeviceGroupManager::handleScanFinished()
{
    QFuture<QList<ADBDeviceInfo>> future = m_scanWatcher->future();
    // The end of a listing the watcher has already left for a newer one may still be
    // queued; only the followed listing ends the scan.
    if (!future.isFinished())
        return;
    try {
        future.waitForFinished(); // raises the listing's failure, if any
        if (future.resultCount() > 0)
            setAvailableFrom(future.result());
    } catch (...) {
        const QString text = failureText(std::current_exception());
        qCWarning(lcGroups) << "the phone scan failed:" << text;
        emit scanError(text);
    }
    if (m_isScanning) {
        m_isScanning = false;
        emit isScanningChanged();
    }
}

bool DeviceGroupManager::restartADBServer()
{
    return ADBRunner::restartServer();
}

void DeviceGroupManager::saveSoon()
{
    if (!m_quitting)
        m_saveTimer->start();
}

void DeviceGroupManager::startTracking()
{
    if (m_tracker)
        return;
    m_tracker = new DeviceTracker({}, 0, this);
    connect(m_tracker, &DeviceTracker::statesChanged, m_reconnect, &ReconnectPolicy::setStates);
    connect(m_tracker, &DeviceTracker::liveChanged, m_reconnect, &ReconnectPolicy::setTrackerLive);
    // The other computers' servers are followed by trackers of their own.
    AdbHostWatch *hosts = AdbHostWatch::instance();
    connect(hosts, &AdbHostWatch::statesChanged, m_reconnect, &ReconnectPolicy::setRemoteStates);
    m_reconnect->setRemoteStates(hosts->states());
    m_tracker->start();
}

QVariantList DeviceGroupManager::unreadyPhones() const
{
    return m_reconnect->unreadyPhones();
}

void DeviceGroupManager::restartADBServerAsync()
{
    if (m_restartingADBServer)
        return;
    m_restartingADBServer = true;
    emit restartingADBServerChanged();
    auto *watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcher<bool>::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_restartingADBServer = false;
        emit restartingADBServerChanged();
        emit adbServerRestartFinished(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(ADBRunner::workPool(), &ADBRunner::restartServer));
}

#include "moc_devicegroupmanager.cpp"
