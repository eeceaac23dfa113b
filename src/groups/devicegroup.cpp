#include "devicegroup.h"

#include "autojs.h"
#include "batchjob.h"
#include "controller.h"
#include "controlmsg.h"
#include "device.h"
#include "groupjobs.h"
#include "storefile.h"

#include <QJSEngine>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {
// Halves go away from zero, so a one-pixel touch never collapses onto the edge.
int scaled(double factor, int value)
{
    return int(std::lround(factor * value));
}
} // namespace

DeviceGroup::DeviceGroup(QObject *parent)
    : QAbstractListModel(parent), m_jobs(new BatchJobList(this))
{}

DeviceGroup::~DeviceGroup()
{
    QList<QPointer<Device>> owned = m_devices + m_pendingDevices;
    m_devices.clear();
    m_pendingDevices.clear();
    m_hostDevice = nullptr;
    for (const QPointer<Device> &device : std::as_const(owned)) {
        if (!device)
            continue;
        device->disconnect(this);
        delete device.data();
    }
}

void DeviceGroup::setName(const QString &name)
{
    if (m_name == name || !StoreFile::acceptText(name, kMaxNameLength))
        return;
    m_name = name;
    emit nameChanged();
}

void DeviceGroup::renameTo(const QString &newName)
{
    if (newName.isEmpty() || newName == m_name)
        return;
    setName(newName);
}

QList<Device *> DeviceGroup::devices() const
{
    QList<Device *> result;
    result.reserve(m_devices.size());
    for (const QPointer<Device> &device : m_devices) {
        if (device)
            result.append(device);
    }
    return result;
}

int DeviceGroup::indexOfDevice(const Device *device) const
{
    if (!device)
        return -1;
    for (int row = 0; row < m_devices.size(); ++row) {
        if (m_devices.at(row) == device)
            return row;
    }
    return -1;
}

QVariantList DeviceGroup::getDevicesForRepeater() const
{
    QVariantList result;
    for (const QPointer<Device> &device : m_devices)
        result.append(QVariant::fromValue(device.data()));
    return result;
}

// ---- list model ----------------------------------------------------------------------

int DeviceGroup::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_devices.size());
}

QVariant DeviceGroup::data(const QModelIndex &index, int role) const
{
    if (role != DeviceRole || !index.isValid() || index.row() < 0 ||
        index.row() >= m_devices.size())
        return {};
    return QVariant::fromValue(m_devices.at(index.row()).data());
}

QHash<int, QByteArray> DeviceGroup::roleNames() const
{
    return {{DeviceRole, QByteArrayLiteral("device")}};
}

void DeviceGroup::appendRow(Device *device)
{
    const int row = int(m_devices.size());
    beginInsertRows({}, row, row);
    m_devices.append(device);
    endInsertRows();
    connect(device, &QObject::destroyed, this, &DeviceGroup::handleDeviceDestroyed,
            Qt::UniqueConnection);
    connect(device, &Device::removalRequested, this, &DeviceGroup::handleRemovalRequested,
            Qt::UniqueConnection);
    connect(device, &Device::hostMessageSent, this, &DeviceGroup::forwardHostMessage,
            Qt::UniqueConnection);
    connect(device, &Device::controllerChanged, this, &DeviceGroup::handleControllerChanged,
            Qt::UniqueConnection);
    device->setIndexInGroup(row);
}

void DeviceGroup::takeRow(int row)
{
    Device *device = m_devices.at(row);
    beginRemoveRows({}, row, row);
    m_devices.removeAt(row);
    endRemoveRows();
    if (!device)
        return;
    disconnect(device, &QObject::destroyed, this, &DeviceGroup::handleDeviceDestroyed);
    disconnect(device, &Device::removalRequested, this, &DeviceGroup::handleRemovalRequested);
    disconnect(device, &Device::hostMessageSent, this, &DeviceGroup::forwardHostMessage);
    disconnect(device, &Device::controllerChanged, this, &DeviceGroup::handleControllerChanged);
    device->setIndexInGroup(-1);
}

void DeviceGroup::handleControllerChanged()
{
    applyClickDelay(qobject_cast<Device *>(sender()));
}

void DeviceGroup::handleRemovalRequested()
{
    removeDevice(qobject_cast<Device *>(sender()));
}

void DeviceGroup::announceIndexes() const
{
    // A row change moves every member's number in the group.
    for (int row = 0; row < m_devices.size(); ++row) {
        if (Device *member = m_devices.at(row))
            member->setIndexInGroup(row);
    }
}

void DeviceGroup::handleDeviceDestroyed(QObject *object)
{
    // Only reached when a member is deleted without leaving the group first; its
    // row must not linger as an empty tile.
    if (m_hostDevice && static_cast<QObject *>(m_hostDevice) == object)
        clearHost();
    bool removed = false;
    for (int row = int(m_devices.size()) - 1; row >= 0; --row) {
        if (!m_devices.at(row)) {
            beginRemoveRows({}, row, row);
            m_devices.removeAt(row);
            endRemoveRows();
            removed = true;
        }
    }
    if (!removed)
        return;
    emit deviceCountChanged();
    announceIndexes();
}

// ---- membership ------------------------------------------------------------------------

bool DeviceGroup::addDevices(const QList<ADBDeviceInfo> &deviceInfos)
{
    if (deviceInfos.isEmpty())
        return false;
    // One physical phone is one member, whichever of its connections is offered again.
    QSet<QString> known;
    for (const QPointer<Device> &device : std::as_const(m_devices) + m_pendingDevices) {
        if (device) {
            for (const QString &name : device->identities())
                known.insert(name);
        }
    }
    int k = 0;
    for (const ADBDeviceInfo &info : deviceInfos) {
        const QStringList names =
            info.connections + QStringList{info.adb_serial, info.hardware_serial};
        if (std::any_of(names.cbegin(), names.cend(),
                        [&known](const QString &name) { return known.contains(name); }))
            continue;
        for (const QString &name : names)
            if (!name.isEmpty())
                known.insert(name);
        auto *device = new Device(nullptr, info.adb_serial);
        device->setConnectionType(info.is_usb_connection ? Device::USB : Device::WiFi);
        const QPointer<Device> pending(device);
        m_pendingDevices.append(pending);
        QTimer::singleShot(k++ * kAddIntervalMs, this, [this, pending] {
            m_pendingDevices.removeAll(pending);
            m_pendingDevices.removeAll(QPointer<Device>());
            if (pending)
                addDevice(pending);
        });
    }
    return true;
}

void DeviceGroup::addDevice(Device *device)
{
    if (!device || indexOfDevice(device) >= 0)
        return;
    // Devices reach QML through the model; the engine must never collect them.
    QJSEngine::setObjectOwnership(device, QJSEngine::CppOwnership);
    appendRow(device);
    applySettingsToDevice(device);
    emit deviceCountChanged();
    emit deviceAddedIntoGroup(device);
    device->refreshInBackground();
}

void DeviceGroup::removeDevice(Device *device)
{
    const int row = indexOfDevice(device);
    if (row < 0)
        return;
    if (m_hostDevice == device)
        clearHost();
    takeRow(row);
    emit deviceCountChanged();
    emit deviceRemovedFromGroup(device);
    announceIndexes();
    device->deleteLater();
}

void DeviceGroup::clearDevices()
{
    if (m_devices.isEmpty())
        return;
    if (m_hostDevice)
        clearHost();
    const QList<QPointer<Device>> snapshot = m_devices;
    for (int i = 0; i < snapshot.size(); ++i) {
        const QPointer<Device> device = snapshot.at(i);
        // removeDevice also ends group control should this device have become
        // host again in the meantime.
        QTimer::singleShot(i * kClearIntervalMs, this, [this, device] {
            if (device)
                removeDevice(device);
        });
    }
}

void DeviceGroup::moveDevicesToGroup(const QStringList &serials, DeviceGroup *targetGroup)
{
    if (!targetGroup || targetGroup == this || serials.isEmpty())
        return;
    QList<Device *> moving;
    for (int row = int(m_devices.size()) - 1; row >= 0; --row) {
        Device *device = m_devices.at(row);
        if (device && serials.contains(device->adbConnectionSerial(), Qt::CaseSensitive))
            moving.append(device);
    }
    if (moving.isEmpty())
        return;

    for (Device *device : std::as_const(moving)) {
        if (device == m_hostDevice)
            stopGroupControl();
        takeRow(indexOfDevice(device));
        emit deviceRemovedFromGroup(device);
    }
    emit deviceCountChanged();
    announceIndexes();

    for (Device *device : std::as_const(moving)) {
        targetGroup->appendRow(device);
        targetGroup->applySettingsToDevice(device);
        emit targetGroup->deviceAddedIntoGroup(device);
    }
    emit targetGroup->deviceCountChanged();
    targetGroup->announceIndexes();
}

// ---- group control ---------------------------------------------------------------------

void DeviceGroup::clearHost()
{
    m_hostDevice = nullptr;
    emit hostDeviceChanged();
    emit groupControlModeChanged();
}

void DeviceGroup::startGroupControl()
{
    if (m_hostDevice || m_devices.isEmpty() || !m_devices.first())
        return;
    m_hostDevice = m_devices.first();
    m_hostDevice->setIsHostDevice(true);
    emit hostDeviceChanged();
    emit groupControlModeChanged();
}

void DeviceGroup::stopGroupControl()
{
    if (!m_hostDevice)
        return;
    m_hostDevice->setIsHostDevice(false);
    clearHost();
}

void DeviceGroup::forwardHostMessage(const ControlMsg &msg)
{
    Device *host = m_hostDevice;
    if (!host)
        return;
    const QSize hostSize = host->frameSize();
    const bool hostSizeKnown = hostSize.width() >= 1 && hostSize.height() >= 1;
    // A snapshot: a controller sending at once may end a session and change the list.
    const QList<QPointer<Device>> targets = m_devices;
    for (const QPointer<Device> &target : targets) {
        if (!target || target == host)
            continue;
        ControlMsg copy = msg;
        const QSize targetSize = target->frameSize();
        if (msg.type() == ControlMsg::InjectTouchEvent && hostSizeKnown &&
            targetSize.width() >= 1 && targetSize.height() >= 1) {
            const double sx = double(targetSize.width()) / hostSize.width();
            const double sy = double(targetSize.height()) / hostSize.height();
            const QRect position = msg.touchPosition();
            copy.setTouchPosition(QRect(scaled(sx, position.left()), scaled(sy, position.top()),
                                        scaled(sx, position.width()),
                                        scaled(sy, position.height())));
        }
        if (Controller *controller = target->controller())
            controller->groupSend(copy);
    }
}

// ---- batch commands --------------------------------------------------------------------

void DeviceGroup::startAllDevices()
{
    const QList<QPointer<Device>> snapshot = m_devices;
    int k = 0;
    for (const QPointer<Device> &device : snapshot) {
        if (!device || device->running())
            continue;
        QTimer::singleShot(k++ * kStartIntervalMs, this, [device] {
            if (device)
                device->startScrcpySession();
        });
    }
}

void DeviceGroup::stopAllDevices()
{
    const QList<QPointer<Device>> snapshot = m_devices;
    for (int i = 0; i < snapshot.size(); ++i) {
        const QPointer<Device> device = snapshot.at(i);
        QTimer::singleShot(i * kStopIntervalMs, this, [device] {
            if (device)
                device->stopScrcpySession();
        });
    }
}

void DeviceGroup::screenshotAllDevices()
{
    m_jobs->add(GroupJobs::screenshot(devices()));
}

void DeviceGroup::installApk(const QString &apkPath)
{
    m_jobs->add(GroupJobs::transfer(devices(), {apkPath}));
}

void DeviceGroup::uploadFile(const QString &filePath)
{
    m_jobs->add(GroupJobs::transfer(devices(), {filePath}));
}

BatchJob *DeviceGroup::transferFiles(const QList<QUrl> &urls, Device *device)
{
    const QList<Device *> targets =
        device ? (indexOfDevice(device) >= 0 ? QList<Device *>{device} : QList<Device *>{})
               : devices();
    if (targets.isEmpty())
        return nullptr;
    BatchJob *job = GroupJobs::transfer(targets, GroupJobs::localFiles(urls));
    m_jobs->add(job);
    return job;
}

void DeviceGroup::runAutojs(const QString &autojsPath)
{
    m_jobs->add(GroupJobs::autojs(devices(), autojsPath));
}

void DeviceGroup::stopAllAutojs()
{
    // Returns at once: a stop given while a run still connects is sent after it.
    for (Device *device : devices())
        device->autojs()->stop();
}

QString DeviceGroup::executeADBCommand(const QString &input)
{
    QStringList labels;
    QStringList outputs;
    for (Device *device : devices()) {
        labels << GroupJobs::label(device);
        outputs << device->executeADBCommand(input);
    }
    return GroupJobs::commandOutput(labels, outputs);
}

void DeviceGroup::executeADBCommandAsync(const QString &input)
{
    if (m_adbCommandRunning)
        return;
    m_adbCommandRunning = true;
    emit adbCommandRunningChanged();
    BatchJob *job = GroupJobs::adbCommand(devices(), input);
    // Dismissed before its end, the job still frees the command for the next one.
    connect(job, &QObject::destroyed, this, [this] {
        if (std::exchange(m_adbCommandRunning, false))
            emit adbCommandRunningChanged();
    });
    connect(job, &BatchJob::jobFinished, this, [this, job] {
        m_adbCommandRunning = false;
        emit adbCommandRunningChanged();
        emit adbCommandFinished(GroupJobs::commandOutput(job));
    });
    m_jobs->add(job);
}

#include "moc_devicegroup.cpp"
