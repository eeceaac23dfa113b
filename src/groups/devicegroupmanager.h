#pragma once
#include "adbdeviceinfo.h"

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>

#include "storefile.h"

class Device;
class DeviceGroup;
class DeviceTracker;
class QTimer;
class ReconnectPolicy;

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
    // Phones adb lists that cannot be used yet (unauthorized, offline, ...):
    // {serial, state, hint} each.
    Q_PROPERTY(QVariantList unreadyPhones READ unreadyPhones NOTIFY unreadyPhonesChanged)

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

    ReconnectPolicy *reconnectPolicy() const { return m_reconnect; }
    DeviceTracker *tracker() const { return m_tracker; }
    QVariantList unreadyPhones() const;

signals:
    void currentSelectedGroupChanged();
    void isScanningChanged();
    void availableDeviceInfosChanged();
    void deviceGroupsChanged();
    void scanError(QString message);
    void restartingADBServerChanged();
    void adbServerRestartFinished(bool success);
    void unreadyPhonesChanged();

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
    // Follows the default adb server's device list from now on (one tracker per server).
    Q_INVOKABLE void startTracking();
    bool restartingADBServer() const { return m_restartingADBServer; }

private:
    void load();
    void save();
    void connectGroup(DeviceGroup *group);
    // Lists the phones on the adb pool and offers those in no group.
    void refreshAvailableDevices();
    void setAvailableFrom(const QList<ADBDeviceInfo> &listed);
    void handleScanFinished();
    // Members and the streaming flags are saved a moment after they change, and not once
    // the application quits (its sessions end then, the groups were streaming).
    void saveSoon();

    QList<DeviceGroup *> m_deviceGroups;
    QPointer<DeviceGroup> m_currentSelectedGroup;
    bool m_isScanning = false;
    bool m_restartingADBServer = false;
    bool m_refreshRunning = false;
    bool m_refreshAgain = false;
    QList<ADBDeviceInfo> m_availableDeviceInfos;
    QFutureWatcher<QList<ADBDeviceInfo>> *m_scanWatcher = nullptr;
    StoreFile m_file{StoreErrors::Store::Groups};
    ReconnectPolicy *m_reconnect = nullptr;
    DeviceTracker *m_tracker = nullptr;
    QTimer *m_saveTimer = nullptr;
    bool m_quitting = false;
};
