#pragma once
#include <QMap>
#include <QObject>
#include <QReadWriteLock>
#include <QString>
#include <QStringList>

#include "storefile.h"

// The user's nicknames for phones, keyed by adb serial, kept in
// "device_nicknames.json" in the nickname folder of the application settings.
// Lookups are safe from any thread; changes belong to the GUI thread.
class DeviceSettings : public QObject
{
    Q_OBJECT

public:
    // Loads the file once. The application and QML use the shared instance; separate
    // instances exist for tests and tools.
    explicit DeviceSettings(QObject *parent);

    static DeviceSettings *instance();

    // What the store holds at most, so that its file stays far below the size limit.
    static constexpr int kMaxNicknames = 2000;
    static constexpr int kMaxSerialLength = 128;
    static constexpr int kMaxNicknameLength = 64;

    static QString fileName() { return QStringLiteral("device_nicknames.json"); }
    // Where the next save goes (follows the current nickname folder setting).
    static QString filePath();

    Q_INVOKABLE QString getDeviceNickname(const QString &serial) const;
    Q_INVOKABLE void setDeviceNickname(const QString &serial, const QString &nickname);
    Q_INVOKABLE void removeDeviceNickname(const QString &serial);
    Q_INVOKABLE void clearAllDeviceNicknames();
    Q_INVOKABLE QStringList getAllDeviceSerials() const;
    Q_INVOKABLE void sync();

signals:
    void deviceNicknameChanged(const QString &serial, const QString &nickname);

private:
    void load();
    void save();

    mutable QReadWriteLock m_lock; // guards m_nicknames against readers on worker threads
    QMap<QString, QString> m_nicknames;
    StoreFile m_file{StoreErrors::Store::Nicknames};
};
