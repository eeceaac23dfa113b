// The group's stream and control settings: applied to its phones, and their form in the
// groups file.
#include "devicegroup.h"

#include "controller.h"
#include "device.h"
#include "serverparams.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QThreadPool>

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
} // namespace

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
