#pragma once
#include "appinfo.h"

#include <QMutex>
#include <QObject>
#include <QSettings>
#include <QString>

// Application settings (language and the data folders) in the platform settings
// store, plus the version information of this build and of the newest release.
// Settings may be read from any thread; everything else belongs to the GUI thread.
class AppConfig : public QObject
{
    Q_OBJECT
    Q_PROPERTY(AppInfo appInfo READ appInfo NOTIFY appInfoChanged)
    Q_PROPERTY(QString currentVersion READ currentVersion CONSTANT)
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

    AppInfo appInfo() const { return m_appInfo; }
    // Replaces the announced release information (the version lookup does this).
    void setAppInfo(const AppInfo &info);
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

    // Asks the account service for the newest release; appInfoChanged follows an
    // accepted reply, a failed lookup changes nothing.
    Q_INVOKABLE void getAppInfoFromServer();

    Q_INVOKABLE void sync();

    // Why a folder typed into the settings cannot hold the application's files: an empty
    // text when it can (creating it if it was missing), else a reason for the user.
    Q_INVOKABLE QString folderProblem(const QString &path) const;

signals:
    void appSettingChanged(const QString &key, const QString &value);
    void appInfoChanged();
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
    AppInfo m_appInfo;
};
