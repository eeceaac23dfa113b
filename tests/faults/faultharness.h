#pragma once
// Virtual phones reached through a group manager and its current group, driven the way the
// window drives them (scan, add the listed phones, start them), plus the faults the matrix
// injects and what it reads back: the messages a tile showed.
#include "virtualfleet.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class Device;
class DeviceGroup;
class DeviceGroupManager;

// Every deviceMessage of the devices it watches, kept after a device is gone.
class TileMessages : public QObject
{
    Q_OBJECT

public:
    struct Message
    {
        QString serial;
        QString text;
        QString type;
        int timeout = 0;
    };

    void watch(Device *device);
    QList<Message> all() const { return m_messages; }
    // The texts shown on this phone's tile, oldest first.
    QStringList texts(const QString &serial) const;
    QStringList errors(const QString &serial) const;
    bool has(const QString &serial, const QString &text, const QString &type) const;
    void clear() { m_messages.clear(); }

private:
    QList<Message> m_messages;
};

class FaultHarness
{
public:
    struct Options
    {
        int phones = 1;
        int fps = 10;
    };
    explicit FaultHarness(const Options &options);
    ~FaultHarness();
    FaultHarness(const FaultHarness &) = delete;
    FaultHarness &operator=(const FaultHarness &) = delete;

    bool isValid() const { return m_fleet && m_fleet->isValid() && m_manager; }
    QString errorString() const;
    VirtualFleet &fleet() { return *m_fleet; }
    QString serial(int index) const { return m_fleet->serials().value(index); }
    DeviceGroupManager *manager() const { return m_manager.get(); }
    DeviceGroup *group() const;
    TileMessages &messages() { return m_messages; }
    // A folder for this run's data files and recordings.
    QString dataFolder() const { return m_data.path(); }

    // Scans, waits for the listing and adds these phones to the current group as the scan
    // dialog does; true once they are all in the group (their messages are then watched).
    bool addScanned(const QStringList &serials);
    Device *device(const QString &serial) const;
    // Starts the phone's session and waits until its controller is up and frames arrive.
    bool startAndStream(Device *device);
    // Frames keep arriving (at least `frames` more within the time).
    static bool streaming(Device *device, int frames = 3, int withinMs = 15000);

    // The listing ("adb devices") waits this long first; 0: answers at once. Every other
    // adb call goes straight to the phones.
    bool setListingDelay(int ms);

private:
    void closeManager();

    std::unique_ptr<VirtualFleet> m_fleet;
    std::unique_ptr<DeviceGroupManager> m_manager;
    TileMessages m_messages;
    QTemporaryDir m_data;
    QTemporaryDir m_adbWrapper;
};
