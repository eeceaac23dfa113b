#pragma once
#include "adbdeviceinfo.h"

#include <QAbstractListModel>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantList>

class BatchJob;
class BatchJobList;
class ControlMsg;
class Device;

// A named, ordered set of devices mirrored together with one set of stream and
// layout settings; the model behind the grid of phone tiles. Owns its devices
// (deferred deletion when they leave). Group control is on exactly while a host
// device is set.
class DeviceGroup : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name NOTIFY nameChanged)
    Q_PROPERTY(int deviceCount READ deviceCount NOTIFY deviceCountChanged)
    Q_PROPERTY(QVariantList devicesForRepeater READ getDevicesForRepeater NOTIFY deviceCountChanged)
    Q_PROPERTY(bool groupControlMode READ groupControlMode NOTIFY groupControlModeChanged)
    Q_PROPERTY(Device *hostDevice READ hostDevice NOTIFY hostDeviceChanged)
    Q_PROPERTY(bool showControlButtons READ showControlButtons WRITE setShowControlButtons NOTIFY
                   showControlButtonsChanged)
    Q_PROPERTY(int maxSize READ maxSize WRITE setMaxSize NOTIFY maxSizeChanged)
    Q_PROPERTY(int maxFPS READ maxFPS WRITE setMaxFPS NOTIFY maxFPSChanged)
    // Small-view streams sized to their tiles, within maxSize and bitRate.
    Q_PROPERTY(
        bool matchTileSize READ matchTileSize WRITE setMatchTileSize NOTIFY matchTileSizeChanged)
    Q_PROPERTY(int bitRate READ bitRate WRITE setBitRate NOTIFY bitRateChanged)
    Q_PROPERTY(
        int maxSizeBigView READ maxSizeBigView WRITE setMaxSizeBigView NOTIFY maxSizeBigViewChanged)
    Q_PROPERTY(
        int maxFPSBigView READ maxFPSBigView WRITE setMaxFPSBigView NOTIFY maxFPSBigViewChanged)
    Q_PROPERTY(
        int bitRateBigView READ bitRateBigView WRITE setBitRateBigView NOTIFY bitRateBigViewChanged)
    Q_PROPERTY(int clickDelaySeconds READ clickDelaySeconds WRITE setClickDelaySeconds NOTIFY
                   clickDelaySecondsChanged)
    Q_PROPERTY(int cellWidth READ cellWidth WRITE setCellWidth NOTIFY cellWidthChanged)
    Q_PROPERTY(bool enableAudio READ enableAudio WRITE setEnableAudio NOTIFY enableAudioChanged)
    Q_PROPERTY(
        Orientation orientation READ orientation WRITE setOrientation NOTIFY orientationChanged)
    Q_PROPERTY(int bigViewWidth READ bigViewWidth WRITE setBigViewWidth NOTIFY bigViewWidthChanged)
    Q_PROPERTY(bool adbCommandRunning READ adbCommandRunning NOTIFY adbCommandRunningChanged)
    // The batch jobs of the group, kept until dismissed.
    Q_PROPERTY(BatchJobList *jobs READ jobs CONSTANT)

public:
    enum Orientation { Portrait = 0, Landscape = 1 };
    Q_ENUM(Orientation)

    static constexpr int DeviceRole = Qt::UserRole + 1;

    // Spacing of the batch work, so that adb and the phones are not hit all at once.
    static constexpr int kAddIntervalMs = 200;
    static constexpr int kStartIntervalMs = 200;
    static constexpr int kStopIntervalMs = 300;
    static constexpr int kClearIntervalMs = 500;

    static constexpr int kNewGroupBigViewWidth = 400;
    // What a saved group without the key gets: files written before the key existed
    // were made for the wide enlarged view.
    static constexpr int kLoadedBigViewWidth = 960;
    // Longer names are refused: the group file must stay small.
    static constexpr int kMaxNameLength = 64;

    explicit DeviceGroup(QObject *parent = nullptr);
    ~DeviceGroup() override;

    QString name() const { return m_name; }
    // Used by the group manager; an empty name is accepted, an over-long one refused.
    void setName(const QString &name);
    int deviceCount() const { return int(m_devices.size()); }
    // Phones addDevices accepted that have not joined yet (they join spaced in time).
    int pendingDeviceCount() const { return int(m_pendingDevices.size()); }
    bool groupControlMode() const { return m_hostDevice != nullptr; }
    Device *hostDevice() const { return m_hostDevice; }
    QList<Device *> devices() const;
    // Row of the device, -1 when it is not a member.
    int indexOfDevice(const Device *device) const;

    bool showControlButtons() const { return m_showControlButtons; }
    int maxSize() const { return m_maxSize; }
    int maxFPS() const { return m_maxFPS; }
    int bitRate() const { return m_bitRate; }
    bool matchTileSize() const { return m_matchTileSize; }
    int maxSizeBigView() const { return m_maxSizeBigView; }
    int maxFPSBigView() const { return m_maxFPSBigView; }
    int bitRateBigView() const { return m_bitRateBigView; }
    int clickDelaySeconds() const { return m_clickDelaySeconds; }
    int cellWidth() const { return m_cellWidth; }
    bool enableAudio() const { return m_enableAudio; }
    Orientation orientation() const { return m_orientation; }
    int bigViewWidth() const { return m_bigViewWidth; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Appends the device as the last row, takes ownership, applies the group's
    // settings to it and starts the background refresh of its properties.
    void addDevice(Device *device);
    // Removes the device's row and deletes it later; non-members are ignored.
    void removeDevice(Device *device);
    // Replays one message of the host on every other device, touch positions
    // rescaled to each phone's frame size.
    void forwardHostMessage(const ControlMsg &msg);
    // Pushes the stream settings into the device's parameter sets and, for a
    // non-host device with a controller, draws its random click delay.
    void applySettingsToDevice(Device *device);

    QJsonObject toJson() const;
    // Reads the twelve settings (defaults for missing or mistyped keys) and emits
    // their change signals; applies nothing to devices. False when a present member was
    // unusable.
    [[nodiscard]] bool loadSettings(const QJsonObject &settings);

    Q_INVOKABLE bool addDevices(const QList<ADBDeviceInfo> &deviceInfos);
    Q_INVOKABLE void moveDevicesToGroup(const QStringList &serials, DeviceGroup *targetGroup);
    Q_INVOKABLE void clearDevices();
    Q_INVOKABLE void renameTo(const QString &newName);
    Q_INVOKABLE void startGroupControl();
    Q_INVOKABLE void stopGroupControl();
    Q_INVOKABLE void startAllDevices();
    Q_INVOKABLE void stopAllDevices();
    Q_INVOKABLE void screenshotAllDevices();
    Q_INVOKABLE void installApk(const QString &apkPath);
    Q_INVOKABLE void uploadFile(const QString &filePath);
    Q_INVOKABLE void runAutojs(const QString &autojsPath);
    Q_INVOKABLE QString executeADBCommand(const QString &input);
    // The same off the GUI thread, the phones side by side: adbCommandFinished(output)
    // follows with the same text. Ignored while one runs.
    Q_INVOKABLE void executeADBCommandAsync(const QString &input);
    bool adbCommandRunning() const { return m_adbCommandRunning; }
    Q_INVOKABLE void stopAllAutojs();
    // Dropped or picked files: APKs are installed, others uploaded, on `device` alone or, when
    // it is null, on every member. Null when no URL names a local file.
    Q_INVOKABLE BatchJob *transferFiles(const QList<QUrl> &urls, Device *device = nullptr);
    BatchJobList *jobs() const { return m_jobs; }
    Q_INVOKABLE void setShowControlButtons(bool show);
    Q_INVOKABLE void setClickDelaySeconds(int seconds);
    Q_INVOKABLE void setMaxSize(int maxSize);
    Q_INVOKABLE void setMaxFPS(int maxFPS);
    Q_INVOKABLE void setBitRate(int bitRate);
    Q_INVOKABLE void setMatchTileSize(bool match);
    Q_INVOKABLE void setMaxSizeBigView(int maxSize);
    Q_INVOKABLE void setMaxFPSBigView(int maxFPS);
    Q_INVOKABLE void setBitRateBigView(int bitRate);
    Q_INVOKABLE void setCellWidth(int cellWidth);
    Q_INVOKABLE void setEnableAudio(bool enable);
    Q_INVOKABLE void setOrientation(DeviceGroup::Orientation orientation);
    Q_INVOKABLE void setBigViewWidth(int width);
    Q_INVOKABLE void applySettingsToAllDevices();
    Q_INVOKABLE QVariantList getDevicesForRepeater() const;

signals:
    void adbCommandFinished(QString output);
    void adbCommandRunningChanged();
    void nameChanged();
    void deviceCountChanged();
    void deviceAddedIntoGroup(Device *device);
    void deviceRemovedFromGroup(Device *device);
    void groupControlModeChanged();
    void hostDeviceChanged();
    void showControlButtonsChanged();
    void maxSizeChanged();
    void maxFPSChanged();
    void bitRateChanged();
    void matchTileSizeChanged();
    void maxSizeBigViewChanged();
    void maxFPSBigViewChanged();
    void bitRateBigViewChanged();
    void clickDelaySecondsChanged();
    void cellWidthChanged();
    void enableAudioChanged();
    void orientationChanged();
    void bigViewWidthChanged();
    void settingsChanged();

private:
    bool m_adbCommandRunning = false;
    template<typename T> void updateSetting(T &member, T value, void (DeviceGroup::*changed)());
    void applySettingsInBackground();
    void appendRow(Device *device);
    void takeRow(int row);
    void announceIndexes() const;
    void handleDeviceDestroyed(QObject *object);
    void handleRemovalRequested();
    void handleControllerChanged();
    void applyClickDelay(Device *device);
    void clearHost();

    // Plain pointer: a member destroyed behind the group's back clears it at once.
    Device *m_hostDevice = nullptr;
    BatchJobList *m_jobs = nullptr;
    QString m_name;
    QList<QPointer<Device>> m_devices;
    // Created by addDevices, not yet inserted; deleted with the group if it goes first.
    QList<QPointer<Device>> m_pendingDevices;
    bool m_showControlButtons = true;
    int m_maxSize = 720;
    int m_maxFPS = 30;
    int m_bitRate = 4000000;
    bool m_matchTileSize = true; // new groups; a stored group without the key keeps its size
    int m_maxSizeBigView = 720;
    int m_maxFPSBigView = 30;
    int m_bitRateBigView = 4000000;
    int m_clickDelaySeconds = 0;
    int m_cellWidth = 220;
    bool m_enableAudio = false;
    Orientation m_orientation = Portrait;
    int m_bigViewWidth = kNewGroupBigViewWidth;
};
