// Application settings in the private test home: defaults, stored values,
// change notifications and reads from other threads.
#include "appconfig.h"
#include "testregistry.h"

#include <QDir>
#include <QLocale>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSettings>
#include <QStandardPaths>
#include <QtConcurrent>
#include <QtTest>
#include <atomic>
#include <functional>
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

// An independent view of the platform store, as the next start of the application sees it.
std::unique_ptr<QSettings> diskStore()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Parvix",
                                       "Application");
}
} // namespace

class AppConfigTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();

    void defaultsLieUnderThePrivateDesktop();
    void storedValuesWinEvenWhenEmpty();
    void settingsReachTheStoreAndAnnounceEveryWrite();
    void versionInformation();
    void sharedInstanceIsWhatQmlSees();
    void readsFromWorkerThreadsDuringWrites();

private:
    void clearStore();
};

void AppConfigTest::clearStore()
{
    const std::unique_ptr<QSettings> store = diskStore();
    store->remove("app_settings");
    store->sync();
}

void AppConfigTest::init()
{
    clearStore();
}

void AppConfigTest::cleanupTestCase()
{
    clearStore();
}

void AppConfigTest::defaultsLieUnderThePrivateDesktop()
{
    AppConfig config(nullptr);
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QVERIFY2(desktop.startsWith(QDir::homePath()) && qEnvironmentVariable("HOME") == QDir::homePath(),
             qPrintable(desktop));
    for (const FolderSetting &folder : kFolders)
        QCOMPARE((config.*folder.get)(), desktop + folder.defaultSuffix);
    QCOMPARE(config.getLocale(), QLocale::system().name());
    QCOMPARE(config.getAppSetting("never_written"), QString());
    QCOMPARE(config.getAppSetting("never_written", "fallback"), QStringLiteral("fallback"));
}

void AppConfigTest::storedValuesWinEvenWhenEmpty()
{
    AppConfig config(nullptr);
    for (const FolderSetting &folder : kFolders) {
        (config.*folder.set)("/data/" + QString::fromLatin1(folder.key));
        QCOMPARE((config.*folder.get)(), "/data/" + QString::fromLatin1(folder.key));
        QCOMPARE(config.getAppSetting(folder.key), "/data/" + QString::fromLatin1(folder.key));
        (config.*folder.set)(QString());
        QCOMPARE((config.*folder.get)(), QString());
    }
    config.setLocale("zh_TW");
    QCOMPARE(config.getLocale(), QStringLiteral("zh_TW"));
    config.setLocale("");
    QCOMPARE(config.getLocale(), QString());
    QCOMPARE(config.getAppSetting("locale", "en_US"), QString());
}

void AppConfigTest::settingsReachTheStoreAndAnnounceEveryWrite()
{
    AppConfig config(nullptr);
    QSignalSpy changed(&config, &AppConfig::appSettingChanged);
    config.setVideoSavePath("/media/videos");
    config.setVideoSavePath("/media/videos");
    config.setAppSetting("custom", "v");
    QCOMPARE(changed.size(), 3);
    QCOMPARE(changed.at(0), (QVariantList{"video_save_path", "/media/videos"}));
    QCOMPARE(changed.at(1), (QVariantList{"video_save_path", "/media/videos"}));
    QCOMPARE(changed.at(2), (QVariantList{"custom", "v"}));

    // Flushed under the group "app_settings": the next start reads it.
    const std::unique_ptr<QSettings> store = diskStore();
    store->sync();
    QCOMPARE(store->value("app_settings/video_save_path").toString(),
             QStringLiteral("/media/videos"));
    QCOMPARE(store->value("app_settings/custom").toString(), QStringLiteral("v"));
    QVERIFY(!store->contains("video_save_path"));
    QFile file(store->fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray onDisk = file.readAll();
    QVERIFY2(onDisk.contains("[app_settings]") && onDisk.contains("video_save_path=/media/videos"),
             onDisk.constData());
    AppConfig restarted(nullptr);
    QCOMPARE(restarted.getVideoSavePath(), QStringLiteral("/media/videos"));
}

void AppConfigTest::versionInformation()
{
    AppConfig config(nullptr);
    QCOMPARE(config.currentVersion(), QStringLiteral("1.0.1"));
    QCOMPARE(config.appInfo().appName, QStringLiteral("Parvix Multi-Phones Control"));
    QCOMPARE(config.appInfo().appVersion, QStringLiteral("1.0.1"));

    QSignalSpy changed(&config, &AppConfig::appInfoChanged);
    config.setAppInfo(AppInfo{"Parvix", ""});
    QCOMPARE(changed.size(), 1);
    QCOMPARE(config.appInfo(), (AppInfo{"Parvix", ""}));
    QCOMPARE(config.property("appInfo").value<AppInfo>().appName, QStringLiteral("Parvix"));
}

void AppConfigTest::sharedInstanceIsWhatQmlSees()
{
    AppConfig *shared = AppConfig::instance();
    QCOMPARE(AppConfig::instance(), shared);
    QCOMPARE(shared->parent(), nullptr);
    shared->setScreenshotSavePath("/shots");

    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(R"(
        import QtQml
        import Parvix
        QtObject {
            property var config: AppConfig
            property string version: AppConfig.currentVersion
            property string name: AppConfig.appInfo.appName
            property string shots: AppConfig.getScreenshotSavePath()
            property string missing: AppConfig.getAppSetting("never_written")
        })",
                      QUrl());
    std::unique_ptr<QObject> root(component.create());
    QVERIFY2(root, qPrintable(component.errorString()));
    QCOMPARE(root->property("config").value<QObject *>(), shared);
    QCOMPARE(root->property("version").toString(), QStringLiteral("1.0.1"));
    QCOMPARE(root->property("name").toString(), QStringLiteral("Parvix Multi-Phones Control"));
    QCOMPARE(root->property("shots").toString(), QStringLiteral("/shots"));
    QCOMPARE(root->property("missing").toString(), QString());
    QCOMPARE(QQmlEngine::objectOwnership(shared), QQmlEngine::CppOwnership);
}

void AppConfigTest::readsFromWorkerThreadsDuringWrites()
{
    AppConfig *config = AppConfig::instance();
    const QStringList values{"/a", "/bb", "/ccc"};
    config->setVideoSavePath(values.first());
    std::atomic<bool> stop{false};
    std::atomic<int> strayReads{0};
    auto reader = [&] {
        int reads = 0;
        while (!stop.load() || reads < 100) {
            if (!values.contains(config->getVideoSavePath()))
                ++strayReads;
            ++reads;
        }
    };
    QFuture<void> first = QtConcurrent::run(reader);
    QFuture<void> second = QtConcurrent::run(reader);
    for (int i = 0; i < 300; ++i)
        config->setVideoSavePath(values.at(i % values.size()));
    stop = true;
    first.waitForFinished();
    second.waitForFinished();
    QCOMPARE(strayReads.load(), 0);
}

PARVIX_TEST(AppConfigTest)
#include "tst_appconfig.moc"
