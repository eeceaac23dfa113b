// Device nicknames: the map, its file, failed saves and lookups from worker threads (damaged
// files are rows of StoreFaultsTest).
#include "devicesettings.h"
#include "appconfig.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>
#include <atomic>
#include <csignal>
#include <sys/resource.h>

namespace {
using TestSupport::readFile;
using TestSupport::writeFile;

QByteArray expectedFile(const QJsonObject &nicknames)
{
    return QJsonDocument(QJsonObject{{"device_nicknames", nicknames}})
        .toJson(QJsonDocument::Indented);
}
} // namespace

class DeviceSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        static int run = 0;
        m_savedFolder = AppConfig::instance()->getDeviceNicknameSavePath();
        m_dir = QDir(m_root.filePath(QStringLiteral("nicknames%1/sub").arg(++run)));
        AppConfig::instance()->setDeviceNicknameSavePath(m_dir.path());
    }
    void cleanup() { AppConfig::instance()->setDeviceNicknameSavePath(m_savedFolder); }

    void changesAreSavedAnnouncedAndReloaded()
    {
        DeviceSettings settings(nullptr);
        QVERIFY(m_dir.exists()); // made when the store loads
        QSignalSpy changed(&settings, &DeviceSettings::deviceNicknameChanged);
        settings.setDeviceNickname("S1", ""); // no-ops: nothing announced or saved
        settings.removeDeviceNickname("S1");
        settings.setDeviceNickname("", "Nameless");
        QCOMPARE(changed.size(), 0);
        QVERIFY(!QFile::exists(filePath()));

        settings.setDeviceNickname("b-phone", "Second");
        settings.setDeviceNickname("R58M12ABCDE", "Phone 1");
        settings.setDeviceNickname("a-phone", "第一");
        QVERIFY(QFile::remove(filePath()));
        settings.setDeviceNickname("a-phone", "第一"); // the repeat does not save
        QVERIFY(!QFile::exists(filePath()));
        settings.setDeviceNickname("S1", "Desk");
        QCOMPARE(changed.size(), 4);
        QCOMPARE(settings.getAllDeviceSerials(),
                 (QStringList{"R58M12ABCDE", "S1", "a-phone", "b-phone"}));
        const QByteArray content = readFile(filePath());
        QCOMPARE(content, expectedFile({{"R58M12ABCDE", "Phone 1"},
                                        {"S1", "Desk"},
                                        {"a-phone", "第一"},
                                        {"b-phone", "Second"}}));
        DeviceSettings reloaded(nullptr);
        QCOMPARE(reloaded.getDeviceNickname("a-phone"), QString::fromUtf8("第一"));
        QFile::remove(filePath());
        reloaded.sync();
        QCOMPARE(readFile(filePath()), content);

        // Empty nickname, remove and clear all announce the serial with an empty name.
        changed.clear();
        settings.setDeviceNickname("S1", "");
        settings.removeDeviceNickname("b-phone");
        QCOMPARE(readFile(filePath()),
                 expectedFile({{"R58M12ABCDE", "Phone 1"}, {"a-phone", "第一"}}));
        settings.clearAllDeviceNicknames();
        QCOMPARE(changed.size(), 4);
        QCOMPARE(changed.at(0), (QVariantList{"S1", ""}));
        QCOMPARE(changed.at(2), (QVariantList{"R58M12ABCDE", ""}));
        QCOMPARE(changed.at(3), (QVariantList{"a-phone", ""}));
        QVERIFY(settings.getAllDeviceSerials().isEmpty());
        QCOMPARE(readFile(filePath()), expectedFile({}));
    }

    void failedSaveLeavesThePreviousFile()
    {
        DeviceSettings settings(nullptr);
        settings.setDeviceNickname("S1", "Desk");
        const QByteArray before = readFile(filePath());
        const QString longName(DeviceSettings::kMaxNicknameLength, QLatin1Char('n'));
        {
            // The largest file this process may write: the save fails part-way.
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            const auto handler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit = saved;
            limit.rlim_cur = before.size() + 8;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
            settings.setDeviceNickname("S2", longName);
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, handler);
        }
        QCOMPARE(readFile(filePath()), before);
        QCOMPARE(m_dir.entryList(QDir::Files), QStringList{DeviceSettings::fileName()});
        QCOMPARE(settings.getDeviceNickname("S2"), longName); // only the file lags
        settings.sync();
        QCOMPARE(readFile(filePath()), expectedFile({{"S1", "Desk"}, {"S2", longName}}));
    }

    // A folder that cannot be made is not fatal; a changed folder takes effect at the next save.
    void saveFolderChanges()
    {
        const QString blocker = m_root.filePath("blocker");
        QVERIFY(!writeFile(blocker, "a file").isEmpty());
        AppConfig::instance()->setDeviceNicknameSavePath(blocker + "/nicknames");
        DeviceSettings settings(nullptr);
        settings.setDeviceNickname("S1", "Desk");
        QCOMPARE(settings.getDeviceNickname("S1"), QStringLiteral("Desk"));
        QCOMPARE(readFile(blocker), QByteArray("a file"));

        AppConfig::instance()->setDeviceNicknameSavePath(m_dir.path());
        settings.sync();
        QCOMPARE(readFile(filePath()), expectedFile({{"S1", "Desk"}}));
        const QString elsewhere = m_root.filePath("moved/here");
        AppConfig::instance()->setDeviceNicknameSavePath(elsewhere);
        settings.setDeviceNickname("S2", "Shelf");
        QCOMPARE(readFile(QDir(elsewhere).filePath(DeviceSettings::fileName())),
                 expectedFile({{"S1", "Desk"}, {"S2", "Shelf"}}));
        QCOMPARE(readFile(filePath()), expectedFile({{"S1", "Desk"}}));
    }

    // Nickname and folder lookups from worker threads see only whole values.
    void lookupsFromWorkerThreadsDuringChanges()
    {
        DeviceSettings settings(nullptr);
        AppConfig *config = AppConfig::instance();
        const QStringList folders{"/a", "/bb", "/ccc"};
        config->setVideoSavePath(folders.first());
        std::atomic<bool> stop{false};
        std::atomic<int> strayReads{0};
        auto reader = [&] {
            for (int reads = 0; !stop.load() || reads < 100; ++reads) {
                const QString nickname = settings.getDeviceNickname("S1");
                if ((!nickname.isEmpty() && !nickname.startsWith("Name ")) ||
                    settings.getAllDeviceSerials().size() > 2 ||
                    !folders.contains(config->getVideoSavePath()))
                    ++strayReads;
            }
        };
        QFuture<void> first = QtConcurrent::run(reader);
        QFuture<void> second = QtConcurrent::run(reader);
        for (int i = 0; i < 200; ++i) {
            settings.setDeviceNickname("S1", QStringLiteral("Name %1").arg(i));
            settings.setDeviceNickname("S2", i % 2 ? QStringLiteral("Odd") : QString());
            config->setVideoSavePath(folders.at(i % folders.size()));
            if (i % 50 == 0)
                settings.clearAllDeviceNicknames();
        }
        stop = true;
        first.waitForFinished();
        second.waitForFinished();
        QCOMPARE(strayReads.load(), 0);
    }

private:
    QString filePath() const { return m_dir.filePath(DeviceSettings::fileName()); }

    QTemporaryDir m_root;
    QString m_savedFolder;
    QDir m_dir;
};

PARVIX_TEST(DeviceSettingsTest)
#include "devicesettingstest.moc"
