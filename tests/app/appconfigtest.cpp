// Application settings: defaults under the private desktop, stored values (even empty ones)
// that survive a restart, and change notifications.
#include "appconfig.h"
#include "testregistry.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
struct FolderSetting
{
    const char *key;
    const char *defaultSuffix;
    QString (AppConfig::*get)() const;
    void (AppConfig::*set)(const QString &);
};

const FolderSetting kFolders[] = {
    {"video_save_path", "/PX/Videos", &AppConfig::getVideoSavePath, &AppConfig::setVideoSavePath},
    {"screenshot_save_path", "/PX/Screenshots", &AppConfig::getScreenshotSavePath,
     &AppConfig::setScreenshotSavePath},
    {"key_mapping_save_path", "/PX/KeyMap", &AppConfig::getKeyMappingSavePath,
     &AppConfig::setKeyMappingSavePath},
    {"common_phrase_save_path", "/PX/CommonPhrase", &AppConfig::getCommonPhraseSavePath,
     &AppConfig::setCommonPhraseSavePath},
    {"device_nickname_save_path", "/PX/DeviceNickname", &AppConfig::getDeviceNicknameSavePath,
     &AppConfig::setDeviceNicknameSavePath},
    {"device_group_save_path", "/PX/DeviceGroup", &AppConfig::getDeviceGroupSavePath,
     &AppConfig::setDeviceGroupSavePath},
};

// An independent view of the store, as the next start of the application sees it.
QSettings *diskStore()
{
    return new QSettings(QSettings::NativeFormat, QSettings::UserScope, "Parvix", "Application");
}

void clearStore()
{
    std::unique_ptr<QSettings> store(diskStore());
    store->remove("app_settings");
    store->sync();
}
} // namespace

class AppConfigTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { clearStore(); }
    void cleanupTestCase() { clearStore(); }

    void defaultsStoredValuesAndRestart()
    {
        AppConfig config(nullptr);
        const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        QVERIFY2(desktop.startsWith(QDir::homePath()), qPrintable(desktop));
        QCOMPARE(config.getLocale(), QLocale::system().name());
        QCOMPARE(config.getAppSetting("never_written", "fallback"), QStringLiteral("fallback"));

        QSignalSpy changed(&config, &AppConfig::appSettingChanged);
        for (const FolderSetting &folder : kFolders) {
            QCOMPARE((config.*folder.get)(), desktop + folder.defaultSuffix);
            const QString value = "/data/" + QString::fromLatin1(folder.key);
            (config.*folder.set)(value);
            QCOMPARE(config.getAppSetting(folder.key), value);
            (config.*folder.set)(QString()); // an empty stored value beats the default
            QCOMPARE((config.*folder.get)(), QString());
        }
        QCOMPARE(changed.size(), 2 * int(std::size(kFolders)));
        config.setLocale("");
        QCOMPARE(config.getAppSetting("locale", "en_US"), QString());

        // Repeats are announced too; everything lands under "app_settings".
        changed.clear();
        config.setVideoSavePath("/media/videos");
        config.setVideoSavePath("/media/videos");
        QCOMPARE(changed.size(), 2);
        QCOMPARE(changed.at(1), (QVariantList{"video_save_path", "/media/videos"}));
        std::unique_ptr<QSettings> store(diskStore());
        store->sync();
        QCOMPARE(store->value("app_settings/video_save_path").toString(),
                 QStringLiteral("/media/videos"));
        QVERIFY(!store->contains("video_save_path"));
        AppConfig restarted(nullptr);
        QCOMPARE(restarted.getVideoSavePath(), QStringLiteral("/media/videos"));
        QCOMPARE(restarted.getLocale(), QString());
    }
    // The check behind Save in the settings dialog: usable folders pass (missing ones are
    // made), and each kind of unusable one gets its own reason.
    void folderProblems()
    {
        AppConfig config(nullptr);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QCOMPARE(config.folderProblem(dir.path()), QString());
        QVERIFY(QDir(dir.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty()); // the write probe leaves nothing behind
        const QString nested = dir.filePath("new/deeper");
        QCOMPARE(config.folderProblem(nested), QString());
        QVERIFY(QFileInfo(nested).isDir());

        const QString empty = config.folderProblem("  ");
        QFile file(dir.filePath("plain"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString fileInTheWay = config.folderProblem(file.fileName());
        const QString cannotCreate = config.folderProblem(file.fileName() + "/sub");
        QVERIFY(!empty.isEmpty());
        QVERIFY(!fileInTheWay.isEmpty());
        QVERIFY(!cannotCreate.isEmpty());
        QCOMPARE(QSet<QString>({empty, fileInTheWay, cannotCreate}).size(), 3);

        // Even an administrator cannot write into /proc, so permission bits are not enough.
        if (!QFileInfo(QStringLiteral("/proc/self")).isDir())
            QSKIP("no /proc on this system");
        const QString notWritable = config.folderProblem(QStringLiteral("/proc"));
        QVERIFY(!notWritable.isEmpty());
        QVERIFY(notWritable != cannotCreate);
        QCOMPARE(config.folderProblem(QStringLiteral("/proc/parvix-folder")), cannotCreate);
    }
};

PARVIX_TEST(AppConfigTest)
#include "appconfigtest.moc"
