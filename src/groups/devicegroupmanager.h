#pragma once
#include "adbdeviceinfo.h"

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include "storefile.h"

class Device;
class DeviceGroup;

// Holds the device groups, remembers the one the grid shows, keeps them in
// "device_groups.json" and finds the phones adb sees that are in no group yet.
class DeviceGroupManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isScanning READ isScanning NOTIFY isScanningChanged)
    Q_PROPERTY(QList<ADBDeviceInfo> availableDeviceInfos READ availableDeviceInfos NOTIFY
                   availableDeviceInfosChanged)
    Q_PROPERTY(QList<DeviceGroup *> deviceGroups READ deviceGroups NOTIFY deviceGroupsChanged)
    Q_PROPERTY(DeviceGroup *currentSelectedGroup READ currentSelectedGroup NOTIFY
                   currentSelectedGroupChanged)
    Q_PROPERTY(int totalDeviceCount READ totalDeviceCount)
    Q_PROPERTY(bool restartingADBServer READ restartingADBServer NOTIFY restartingADBServerChanged)

public:
    static constexpr const char *kFileName = "device_groups.json";
    static constexpr int kMaxGroups = 200;

    explicit DeviceGroupManager(QObject *parent = nullptr);
    ~DeviceGroupManager() override;

    bool isScanning() const { return m_isScanning; }
    QList<ADBDeviceInfo> availableDeviceInfos() const { return m_availableDeviceInfos; }
    QList<DeviceGroup *> deviceGroups() const { return m_deviceGroups; }
    DeviceGroup *currentSelectedGroup() const { return m_currentSelectedGroup; }
    int totalDeviceCount() const;

    // The group file's location; its folder is created when missing.
    static QString filePath();

signals:
    void currentSelectedGroupChanged();
    void isScanningChanged();
    void availableDeviceInfosChanged();
    void deviceGroupsChanged();
    void scanError(QString message);
    void restartingADBServerChanged();
    void adbServerRestartFinished(bool success);

public slots:
    void handleDeviceAdded(Device *device);
    void handleDeviceRemoved(Device *device);

public:
    Q_INVOKABLE void createDeviceGroup(const QString &name);
    Q_INVOKABLE void removeDeviceGroup(DeviceGroup *deviceGroup);
    Q_INVOKABLE void setCurrentSelectedGroup(DeviceGroup *group);
    Q_INVOKABLE void scanDevices();
    Q_INVOKABLE void clearAvailableDevices();
    Q_INVOKABLE bool restartADBServer();
    // The same off the GUI thread: adbServerRestartFinished(success) follows.
    Q_INVOKABLE void restartADBServerAsync();
    bool restartingADBServer() const { return m_restartingADBServer; }

private:
    void load();
    void save();
    void connectGroup(DeviceGroup *group);
    // Lists the phones on the adb pool and offers those in no group.
    void refreshAvailableDevices();
    void setAvailableFrom(const QList<ADBDeviceInfo> &listed);
    void handleScanFinished();

    QList<DeviceGroup *> m_deviceGroups;
    QPointer<DeviceGroup> m_currentSelectedGroup;
    bool m_isScanning = false;
    bool m_restartingADBServer = false;
    bool m_refreshRunning = false;
    bool m_refreshAgain = false;
    QList<ADBDeviceInfo> m_availableDeviceInfos;
    QFutureWatcher<QList<ADBDeviceInfo>> *m_scanWatcher = nullptr;
    StoreFile m_file{StoreErrors::Store::Groups};
};
