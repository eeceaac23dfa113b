#include "devicegroup.h"

#include "controller.h"
#include "controlmsg.h"
#include "device.h"

#include <cmath>

DeviceGroup::DeviceGroup(QObject *parent) : QAbstractListModel(parent) {}

DeviceGroup::~DeviceGroup()
{
    for (const QPointer<Device> &device : std::as_const(m_devices))
        delete device.data();
}

void DeviceGroup::setName(const QString &name)
{
    if (m_name == name)
        return;
    m_name = name;
    emit nameChanged();
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

void DeviceGroup::addDevice(Device *device)
{
    if (!device || indexOfDevice(device) >= 0)
        return;
    const int row = int(m_devices.size());
    beginInsertRows({}, row, row);
    device->setDeviceGroup(this);
    m_devices.append(device);
    endInsertRows();
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
    beginRemoveRows({}, row, row);
    m_devices.removeAt(row);
    endRemoveRows();
    emit deviceCountChanged();
    emit deviceRemovedFromGroup(device);
    for (Device *remaining : devices())
        emit remaining->indexInGroupChanged();
    device->deleteLater();
}

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
    for (Device *target : devices()) {
        if (target == host)
            continue;
        ControlMsg copy = msg;
        const QSize targetSize = target->frameSize();
        if (msg.type() == ControlMsg::InjectTouchEvent && hostSize.width() >= 1 &&
            hostSize.height() >= 1 && targetSize.width() >= 1 && targetSize.height() >= 1) {
            const double sx = double(targetSize.width()) / hostSize.width();
            const double sy = double(targetSize.height()) / hostSize.height();
            const QRect position = msg.touchPosition();
            copy.setTouchPosition(QRect(
                int(std::lround(sx * position.left())), int(std::lround(sy * position.top())),
                int(std::lround(sx * position.width())), int(std::lround(sy * position.height()))));
        }
        if (Controller *controller = target->controller())
            controller->groupSend(copy);
    }
}

#include "moc_devicegroup.cpp"
