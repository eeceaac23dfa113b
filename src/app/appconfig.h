#pragma once
#include <QMutex>
#include <QObject>
#include <QSettings>
#include <QString>

// Application settings (language and the data folders) in the platform settings
// store, plus the version of this build.
// Settings may be read from any thread; everything else belongs to the GUI thread.
class AppConfig : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString currentVersion READ currentVersion CONSTANT)
    // The adb servers phones are looked for on, "host:port" each, the local one first and
    // always there; what is set is normalised (invalid and repeated entries dropped).
    Q_PROPERTY(QStringList adbServers READ adbServers WRITE setAdbServers NOTIFY adbServersChanged)
    // A phone whose stream dropped is started again once adb sees it back.
    Q_PROPERTY(
        bool autoReconnect READ autoReconnect WRITE setAutoReconnect NOTIFY autoReconnectChanged)
    // Groups that were streaming when the application closed start again at start-up.
    Q_PROPERTY(bool resumeStreamingGroups READ resumeStreamingGroups WRITE setResumeStreamingGroups
                   NOTIFY resumeStreamingGroupsChanged)
    // The settings, each stored under its own key.
    Q_PROPERTY(QString locale READ getLocale WRITE setLocale NOTIFY localeChanged)
    Q_PROPERTY(QString videoSavePath READ getVideoSavePath WRITE setVideoSavePath NOTIFY
                   videoSavePathChanged)
    Q_PROPERTY(QString screenshotSavePath READ getScreenshotSavePath WRITE setScreenshotSavePath
                   NOTIFY screenshotSavePathChanged)
    Q_PROPERTY(QString keyMappingSavePath READ getKeyMappingSavePath WRITE setKeyMappingSavePath
                   NOTIFY keyMappingSavePathChanged)
    Q_PROPERTY(QString commonPhraseSavePath READ getCommonPhraseSavePath WRITE
                   setCommonPhraseSavePath NOTIFY commonPhraseSavePathChanged)
    Q_PROPERTY(QString deviceNicknameSavePath READ getDeviceNicknameSavePath WRITE
                   setDeviceNicknameSavePath NOTIFY deviceNicknameSavePathChanged)
    Q_PROPERTY(QString deviceGroupSavePath READ getDeviceGroupSavePath WRITE setDeviceGroupSavePath
                   NOTIFY deviceGroupSavePathChanged)

public:
    // The application and QML use the shared instance; separate instances (same store)
    // exist for tests and tools.
    explicit AppConfig(QObject *parent);
    ~AppConfig() override;

    static AppConfig *instance();

    QString currentVersion() const;
    // Whether a version the service announced is later than this build; an empty or
    // unreadable one is not.
    Q_INVOKABLE bool isNewerVersion(const QString &announced) const;

    Q_INVOKABLE QString getAppSetting(const QString &key,
                                      const QString &defaultValue = QString()) const;
    Q_INVOKABLE void setAppSetting(const QString &key, const QString &value);

    Q_INVOKABLE QString getLocale() const;
    Q_INVOKABLE void setLocale(const QString &locale);
    Q_INVOKABLE QString getVideoSavePath() const;
    Q_INVOKABLE void setVideoSavePath(const QString &path);
    Q_INVOKABLE QString getScreenshotSavePath() const;
    Q_INVOKABLE void setScreenshotSavePath(const QString &path);
    Q_INVOKABLE QString getKeyMappingSavePath() const;
    Q_INVOKABLE void setKeyMappingSavePath(const QString &path);
    Q_INVOKABLE QString getCommonPhraseSavePath() const;
    Q_INVOKABLE void setCommonPhraseSavePath(const QString &path);
    Q_INVOKABLE QString getDeviceNicknameSavePath() const;
    Q_INVOKABLE void setDeviceNicknameSavePath(const QString &path);
    Q_INVOKABLE QString getDeviceGroupSavePath() const;
    Q_INVOKABLE void setDeviceGroupSavePath(const QString &path);

    Q_INVOKABLE void sync();

    QStringList adbServers() const;
    void setAdbServers(const QStringList &servers);
    // Whether a text is one adb server address ("host:port" or "host").
    Q_INVOKABLE bool isAdbServerEntry(const QString &entry) const;
    bool autoReconnect() const;
    void setAutoReconnect(bool on);
    bool resumeStreamingGroups() const;
    void setResumeStreamingGroups(bool on);

    // Why a folder typed into the settings cannot hold the application's files: an empty
    // text when it can (creating it if it was missing), else a reason for the user.
    Q_INVOKABLE QString folderProblem(const QString &path) const;

signals:
    void appSettingChanged(const QString &key, const QString &value);
    void adbServersChanged();
    void autoReconnectChanged();
    void resumeStreamingGroupsChanged();
    void localeChanged();
    void videoSavePathChanged();
    void screenshotSavePathChanged();
    void keyMappingSavePathChanged();
    void commonPhraseSavePathChanged();
    void deviceNicknameSavePathChanged();
    void deviceGroupSavePathChanged();

private:
    static QString desktopFolder(const QString &subfolder);

    mutable QMutex m_storeLock; // QSettings is reentrant, not thread-safe
    QSettings m_store;
};
