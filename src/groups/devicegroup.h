#pragma once
#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

class ControlMsg;
class Device;

// A named, ordered set of devices mirrored together; the model behind the grid
// of phone tiles. Owns its devices (deferred deletion when they leave). Group
// control is on exactly while a host device is set.
class DeviceGroup : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString name READ name NOTIFY nameChanged)
    Q_PROPERTY(int deviceCount READ deviceCount NOTIFY deviceCountChanged)
    Q_PROPERTY(bool groupControlMode READ groupControlMode NOTIFY groupControlModeChanged)
    Q_PROPERTY(Device *hostDevice READ hostDevice NOTIFY hostDeviceChanged)

public:
    static constexpr int DeviceRole = Qt::UserRole + 1;

    explicit DeviceGroup(QObject *parent = nullptr);
    ~DeviceGroup() override;

    QString name() const { return m_name; }
    void setName(const QString &name);
    int deviceCount() const { return int(m_devices.size()); }
    bool groupControlMode() const { return m_hostDevice != nullptr; }
    Device *hostDevice() const { return m_hostDevice; }
    QList<Device *> devices() const;
    // Row of the device, -1 when it is not a member.
    int indexOfDevice(const Device *device) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Appends the device as the last row, takes ownership and starts the
    // background refresh of its properties.
    void addDevice(Device *device);
    // Removes the device's row and deletes it later; non-members are ignored.
    void removeDevice(Device *device);
    // Replays one message of the host on every other device, touch positions
    // rescaled to each phone's frame size.
    void forwardHostMessage(const ControlMsg &msg);

    Q_INVOKABLE void startGroupControl();
    Q_INVOKABLE void stopGroupControl();

signals:
    void nameChanged();
    void deviceCountChanged();
    void deviceAddedIntoGroup(Device *device);
    void deviceRemovedFromGroup(Device *device);
    void groupControlModeChanged();
    void hostDeviceChanged();

private:
    void clearHost();

    QPointer<Device> m_hostDevice;
    QString m_name;
    QList<QPointer<Device>> m_devices;
};
