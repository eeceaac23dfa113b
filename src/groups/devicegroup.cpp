#include "devicegroup.h"

#include "autojs.h"
#include "batchjob.h"
#include "controller.h"
#include "controlmsg.h"
#include "device.h"
#include "groupjobs.h"
#include "serverparams.h"
#include "storefile.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QRandomGenerator>
#include <QSet>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {
const QString kMaxSize = QStringLiteral("maxSize");
const QString kMaxFPS = QStringLiteral("maxFPS");
const QString kBitRate = QStringLiteral("bitRate");
const QString kMaxSizeBigView = QStringLiteral("maxSizeBigView");
const QString kMaxFPSBigView = QStringLiteral("maxFPSBigView");
const QString kBitRateBigView = QStringLiteral("bitRateBigView");
const QString kClickDelaySeconds = QStringLiteral("clickDelaySeconds");
const QString kCellWidth = QStringLiteral("cellWidth");
const QString kShowControlButtons = QStringLiteral("showControlButtons");
const QString kEnableAudio = QStringLiteral("enableAudio");
const QString kMatchTileSize = QStringLiteral("matchTileSize");
const QString kOrientation = QStringLiteral("orientation");
const QString kBigViewWidth = QStringLiteral("bigViewWidth");

// A JSON number counts only when it is a whole number that fits an int. A member present
// but unusable clears *sound.
int readInt(const QJsonObject &object, const QString &key, int fallback, bool *sound)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return fallback;
    const double number = value.toDouble();
    if (!value.isDouble() || !std::isfinite(number) || std::trunc(number) != number ||
        number < double(INT_MIN) || number > double(INT_MAX)) {
        *sound = false;
        return fallback;
    }
    return int(number);
}

bool readBool(const QJsonObject &object, const QString &key, bool fallback, bool *sound)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return fallback;
    if (!value.isBool())
        *sound = false;
    return value.isBool() ? value.toBool() : fallback;
}

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

// ---- settings --------------------------------------------------------------------------

void DeviceGroup::applySettingsToDevice(Device *device)
{
    if (!device)
        return;
    ServerParams *small = device->serverParamsSmallView();
    small->setMaxSize(m_maxSize);
    small->setMaxFps(m_maxFPS);
    small->setBitRate(m_bitRate);
    small->setAudio(m_enableAudio);
    device->setTileSizeMatching(m_matchTileSize, m_maxSize, m_bitRate);
    ServerParams *big = device->serverParamsBigView();
    big->setMaxSize(m_maxSizeBigView);
    big->setMaxFps(m_maxFPSBigView);
    big->setBitRate(m_bitRateBigView);
    big->setAudio(m_enableAudio);

    applyClickDelay(device);
}

void DeviceGroup::applyClickDelay(Device *device)
{
    // Sessions started later (Start All, a reconnect) bring a new controller: it gets the
    // group's delay too, and a delay of 0 clears the ones drawn before.
    Controller *controller = device ? device->controller() : nullptr;
    if (!controller)
        return;
    if (device == m_hostDevice || m_clickDelaySeconds < 1) {
        controller->setClickDelayMilliSeconds(0);
        return;
    }
    const quint64 range = quint64(m_clickDelaySeconds) * 1000u;
    const quint64 delay = QRandomGenerator::global()->generate() % range;
    controller->setClickDelayMilliSeconds(int(qMin<quint64>(delay, INT_MAX)));
}

void DeviceGroup::applySettingsToAllDevices()
{
    applySettingsInBackground();
}

void DeviceGroup::applySettingsInBackground()
{
    // The list is copied here, on the owning thread, so the walk never sees it change.
    // The walk itself only posts: parameter sets and controllers are touched back on
    // the GUI thread, and only for devices that are still members by then.
    const QList<QPointer<Device>> snapshot = m_devices;
    const QPointer<DeviceGroup> group(this);
    QThreadPool::globalInstance()->start([snapshot, group] {
        QObject *guiContext = QCoreApplication::instance();
        if (!guiContext)
            return;
        for (const QPointer<Device> &device : snapshot) {
            QMetaObject::invokeMethod(
                guiContext,
                [group, device] {
                    if (group && device && group->indexOfDevice(device) >= 0)
                        group->applySettingsToDevice(device);
                },
                Qt::QueuedConnection);
        }
    });
}

template<typename T>
void DeviceGroup::updateSetting(T &member, T value, void (DeviceGroup::*changed)())
{
    if (member == value)
        return;
    member = value;
    // A group without a name is not saved and not applied: it is still being set up.
    if (!m_name.isEmpty()) {
        applySettingsInBackground();
        emit settingsChanged();
    }
    emit(this->*changed)();
}

void DeviceGroup::setShowControlButtons(bool show)
{
    updateSetting(m_showControlButtons, show, &DeviceGroup::showControlButtonsChanged);
}

void DeviceGroup::setClickDelaySeconds(int seconds)
{
    updateSetting(m_clickDelaySeconds, seconds, &DeviceGroup::clickDelaySecondsChanged);
}

void DeviceGroup::setMaxSize(int maxSize)
{
    updateSetting(m_maxSize, maxSize, &DeviceGroup::maxSizeChanged);
}

void DeviceGroup::setMaxFPS(int maxFPS)
{
    updateSetting(m_maxFPS, maxFPS, &DeviceGroup::maxFPSChanged);
}

void DeviceGroup::setBitRate(int bitRate)
{
    updateSetting(m_bitRate, bitRate, &DeviceGroup::bitRateChanged);
}

void DeviceGroup::setMatchTileSize(bool match)
{
    updateSetting(m_matchTileSize, match, &DeviceGroup::matchTileSizeChanged);
}

void DeviceGroup::setMaxSizeBigView(int maxSize)
{
    updateSetting(m_maxSizeBigView, maxSize, &DeviceGroup::maxSizeBigViewChanged);
}

void DeviceGroup::setMaxFPSBigView(int maxFPS)
{
    updateSetting(m_maxFPSBigView, maxFPS, &DeviceGroup::maxFPSBigViewChanged);
}

void DeviceGroup::setBitRateBigView(int bitRate)
{
    updateSetting(m_bitRateBigView, bitRate, &DeviceGroup::bitRateBigViewChanged);
}

void DeviceGroup::setCellWidth(int cellWidth)
{
    updateSetting(m_cellWidth, cellWidth, &DeviceGroup::cellWidthChanged);
}

void DeviceGroup::setEnableAudio(bool enable)
{
    // Every device hears about it, also when the group's value stays the same: a
    // device may have been switched on its own.
    for (Device *device : devices())
        device->setEnableAudio(enable);
    updateSetting(m_enableAudio, enable, &DeviceGroup::enableAudioChanged);
}

void DeviceGroup::setOrientation(DeviceGroup::Orientation orientation)
{
    updateSetting(m_orientation, orientation, &DeviceGroup::orientationChanged);
}

void DeviceGroup::setBigViewWidth(int width)
{
    updateSetting(m_bigViewWidth, width, &DeviceGroup::bigViewWidthChanged);
}

QJsonObject DeviceGroup::toJson() const
{
    const QJsonObject settings{
        {kMaxSize, m_maxSize},
        {kMaxFPS, m_maxFPS},
        {kBitRate, m_bitRate},
        {kMaxSizeBigView, m_maxSizeBigView},
        {kMaxFPSBigView, m_maxFPSBigView},
        {kBitRateBigView, m_bitRateBigView},
        {kClickDelaySeconds, m_clickDelaySeconds},
        {kCellWidth, m_cellWidth},
        {kShowControlButtons, m_showControlButtons},
        {kEnableAudio, m_enableAudio},
        {kMatchTileSize, m_matchTileSize},
        {kOrientation, int(m_orientation)},
        {kBigViewWidth, m_bigViewWidth},
    };
    return {{QStringLiteral("name"), m_name}, {QStringLiteral("settings"), settings}};
}

bool DeviceGroup::loadSettings(const QJsonObject &settings)
{
    bool sound = true;
    m_maxSize = readInt(settings, kMaxSize, 720, &sound);
    m_maxFPS = readInt(settings, kMaxFPS, 30, &sound);
    m_bitRate = readInt(settings, kBitRate, 4000000, &sound);
    m_maxSizeBigView = readInt(settings, kMaxSizeBigView, 720, &sound);
    m_maxFPSBigView = readInt(settings, kMaxFPSBigView, 30, &sound);
    m_bitRateBigView = readInt(settings, kBitRateBigView, 4000000, &sound);
    m_clickDelaySeconds = readInt(settings, kClickDelaySeconds, 0, &sound);
    m_cellWidth = readInt(settings, kCellWidth, 220, &sound);
    m_showControlButtons = readBool(settings, kShowControlButtons, true, &sound);
    m_enableAudio = readBool(settings, kEnableAudio, false, &sound);
    m_matchTileSize = readBool(settings, kMatchTileSize, false, &sound);
    // Only the two known layouts; anything else would leave the views undefined.
    const int orientation = readInt(settings, kOrientation, Portrait, &sound);
    if (orientation != Portrait && orientation != Landscape)
        sound = false;
    m_orientation = orientation == Landscape ? Landscape : Portrait;
    m_bigViewWidth = readInt(settings, kBigViewWidth, kLoadedBigViewWidth, &sound);

    emit maxSizeChanged();
    emit maxFPSChanged();
    emit bitRateChanged();
    emit maxSizeBigViewChanged();
    emit maxFPSBigViewChanged();
    emit bitRateBigViewChanged();
    emit clickDelaySecondsChanged();
    emit cellWidthChanged();
    emit showControlButtonsChanged();
    emit enableAudioChanged();
    emit matchTileSizeChanged();
    emit orientationChanged();
    emit bigViewWidthChanged();
    return sound;
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
