#include "appconfig.h"

#include "adbhostwatch.h"
#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonObject>
#include <QLocale>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>
#include <QVersionNumber>

namespace {
const QString kGroup = QStringLiteral("app_settings");
const QString kVersion = QStringLiteral(PARVIX_VERSION);

QString fullKey(const QString &key)
{
    return kGroup + QLatin1Char('/') + key;
}
} // namespace

AppConfig::AppConfig(QObject *parent)
    : QObject(parent), m_store(QSettings::NativeFormat, QSettings::UserScope,
                               QStringLiteral("Parvix"), QStringLiteral("Application"))
{
    AdbServers::setConfigured(AdbServers::normalized(adbServers()));
}

AppConfig::~AppConfig()
{
    sync();
}

AppConfig *AppConfig::instance()
{
    static AppConfig *const shared = [] {
        auto *config = new AppConfig(nullptr); // lives until the process ends
        // A first use from a worker thread must not tie the store to that thread.
        if (auto *app = QCoreApplication::instance(); app && config->thread() != app->thread())
            config->moveToThread(app->thread());
        return config;
    }();
    return shared;
}

QString AppConfig::currentVersion() const
{
    return kVersion;
}

bool AppConfig::isNewerVersion(const QString &announced) const
{
    qsizetype end = 0;
    const QVersionNumber version = QVersionNumber::fromString(announced.trimmed(), &end);
    return !version.isNull() && end == announced.trimmed().size() &&
           version > QVersionNumber::fromString(currentVersion());
}

// Reads use the full key instead of beginGroup()/endGroup(), which would change
// the store's state under readers on other threads.
QString AppConfig::getAppSetting(const QString &key, const QString &defaultValue) const
{
    QMutexLocker locker(&m_storeLock);
    return m_store.value(fullKey(key), defaultValue).toString();
}

void AppConfig::setAppSetting(const QString &key, const QString &value)
{
    {
        QMutexLocker locker(&m_storeLock);
        m_store.setValue(fullKey(key), value);
        m_store.sync();
    }
    emit appSettingChanged(key, value);
    // The typed properties follow their key, however it was written.
    static const QHash<QString, void (AppConfig::*)()> notifiers{
        {QStringLiteral("locale"), &AppConfig::localeChanged},
        {QStringLiteral("video_save_path"), &AppConfig::videoSavePathChanged},
        {QStringLiteral("screenshot_save_path"), &AppConfig::screenshotSavePathChanged},
        {QStringLiteral("key_mapping_save_path"), &AppConfig::keyMappingSavePathChanged},
        {QStringLiteral("common_phrase_save_path"), &AppConfig::commonPhraseSavePathChanged},
        {QStringLiteral("device_nickname_save_path"), &AppConfig::deviceNicknameSavePathChanged},
        {QStringLiteral("device_group_save_path"), &AppConfig::deviceGroupSavePathChanged}};
    if (const auto notify = notifiers.value(key))
        emit(this->*notify)();
}

QStringList AppConfig::adbServers() const
{
    QMutexLocker locker(&m_storeLock);
    const QStringList stored = m_store.value(fullKey(QStringLiteral("adb_servers"))).toStringList();
    locker.unlock();
    QStringList texts;
    for (const AdbServer &server : AdbServers::normalized(stored))
        texts << server.text();
    return texts;
}

void AppConfig::setAdbServers(const QStringList &servers)
{
    const QList<AdbServer> kept = AdbServers::normalized(servers);
    QStringList texts;
    for (const AdbServer &server : kept)
        texts << server.text();
    if (texts == adbServers())
        return;
    {
        QMutexLocker locker(&m_storeLock);
        m_store.setValue(fullKey(QStringLiteral("adb_servers")), texts);
    }
    AdbServers::setConfigured(kept);
    AdbHostWatch::instance()->watch(kept);
    emit adbServersChanged();
}

bool AppConfig::isAdbServerEntry(const QString &entry) const
{
    return AdbServer::parse(entry).has_value();
}

bool AppConfig::autoReconnect() const
{
    return getAppSetting(QStringLiteral("auto_reconnect"), QStringLiteral("true")) !=
           QLatin1String("false");
}

void AppConfig::setAutoReconnect(bool on)
{
    if (on == autoReconnect())
        return;
    setAppSetting(QStringLiteral("auto_reconnect"),
                  on ? QStringLiteral("true") : QStringLiteral("false"));
    emit autoReconnectChanged();
}

bool AppConfig::resumeStreamingGroups() const
{
    return getAppSetting(QStringLiteral("resume_streaming_groups"), QStringLiteral("true")) !=
           QLatin1String("false");
}

void AppConfig::setResumeStreamingGroups(bool on)
{
    if (on == resumeStreamingGroups())
        return;
    setAppSetting(QStringLiteral("resume_streaming_groups"),
                  on ? QStringLiteral("true") : QStringLiteral("false"));
    emit resumeStreamingGroupsChanged();
}

QString AppConfig::getLocale() const
{
    return getAppSetting(QStringLiteral("locale"), QLocale::system().name());
}

void AppConfig::setLocale(const QString &locale)
{
    setAppSetting(QStringLiteral("locale"), locale);
}

QString AppConfig::getVideoSavePath() const
{
    return getAppSetting(QStringLiteral("video_save_path"), desktopFolder("/PX/Videos"));
}

void AppConfig::setVideoSavePath(const QString &path)
{
    setAppSetting(QStringLiteral("video_save_path"), path);
}

QString AppConfig::getScreenshotSavePath() const
{
    return getAppSetting(QStringLiteral("screenshot_save_path"), desktopFolder("/PX/Screenshots"));
}

void AppConfig::setScreenshotSavePath(const QString &path)
{
    setAppSetting(QStringLiteral("screenshot_save_path"), path);
}

QString AppConfig::getKeyMappingSavePath() const
{
    return getAppSetting(QStringLiteral("key_mapping_save_path"), desktopFolder("/PX/KeyMap"));
}

void AppConfig::setKeyMappingSavePath(const QString &path)
{
    setAppSetting(QStringLiteral("key_mapping_save_path"), path);
}

QString AppConfig::getCommonPhraseSavePath() const
{
    return getAppSetting(QStringLiteral("common_phrase_save_path"),
                         desktopFolder("/PX/CommonPhrase"));
}

void AppConfig::setCommonPhraseSavePath(const QString &path)
{
    setAppSetting(QStringLiteral("common_phrase_save_path"), path);
}

QString AppConfig::getDeviceNicknameSavePath() const
{
    return getAppSetting(QStringLiteral("device_nickname_save_path"),
                         desktopFolder("/PX/DeviceNickname"));
}

void AppConfig::setDeviceNicknameSavePath(const QString &path)
{
    setAppSetting(QStringLiteral("device_nickname_save_path"), path);
}

QString AppConfig::getDeviceGroupSavePath() const
{
    return getAppSetting(QStringLiteral("device_group_save_path"),
                         desktopFolder("/PX/DeviceGroup"));
}

void AppConfig::setDeviceGroupSavePath(const QString &path)
{
    setAppSetting(QStringLiteral("device_group_save_path"), path);
}

void AppConfig::sync()
{
    QMutexLocker locker(&m_storeLock);
    m_store.sync();
}

QString AppConfig::desktopFolder(const QString &subfolder)
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + subfolder;
}

QString AppConfig::folderProblem(const QString &path) const
{
    if (path.trimmed().isEmpty())
        return tr("No folder is given.");
    const QFileInfo info(path);
    if (info.exists() && !info.isDir())
        return tr("A file of that name is in the way.");
    if (!info.exists() && !QDir().mkpath(path))
        return tr("The folder cannot be created.");
    // Permission bits do not tell (an administrator, a read-only disk): try a real file.
    QTemporaryFile probe(QDir(path).filePath(QStringLiteral(".parvix-write-check-XXXXXX")));
    if (!probe.open())
        return tr("The folder is not writable.");
    return QString();
}
