// Application settings and start-up, and file names cut to the file system's 255 bytes.
#include "appconfig.h"
#include "commandline.h"
#include "datatable.h"
#include "filenames.h"
#include "mediarecorder.h"
#include "testregistry.h"
#include "translationloader.h"

#include <QtTest>
#include <memory>

using CommandLine::Action;

namespace {
// An independent view of the store, as the next start of the application sees it.
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
    void init() { diskStore()->remove("app_settings"); }
    void cleanupTestCase() { init(); }

    void storedValuesRestartAndFolderCheck()
    {
        AppConfig config(nullptr);
        const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        QCOMPARE(config.getLocale(), QLocale::system().name());
        QCOMPARE(config.getVideoSavePath(), desktop + "/PX/Videos");
        config.setVideoSavePath(QString()); // an empty stored value beats the default
        QCOMPARE(config.getVideoSavePath(), QString());

        // Announced with its key; stored under "app_settings", where a restart finds it.
        QSignalSpy changed(&config, &AppConfig::appSettingChanged);
        config.setVideoSavePath("/media/videos");
        QCOMPARE(changed, (QList<QVariantList>{{"video_save_path", "/media/videos"}}));
        QCOMPARE(diskStore()->value("app_settings/video_save_path").toString(),
                 QStringLiteral("/media/videos"));
        AppConfig restarted(nullptr);
        QCOMPARE(restarted.getVideoSavePath(), QStringLiteral("/media/videos"));

        // The check behind Save in the settings dialog: missing folders are made, each fault named.
        QTemporaryDir dir;
        const QString plain = dir.filePath("plain");
        QVERIFY(QFile(plain).open(QIODevice::WriteOnly));
        QCOMPARE(config.folderProblem(dir.path()), QString());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"plain"});
        // Even an administrator cannot write into /proc, so permission bits are not enough.
        QCOMPARE((QStringList{config.folderProblem("  "), config.folderProblem(plain),
                              config.folderProblem(plain + "/sub"), config.folderProblem("/proc")}),
                 (QStringList{"No folder is given.", "A file of that name is in the way.",
                              "The folder cannot be created.", "The folder is not writable."}));
    }

    void commandLine_data()
    {
        const QString exe = QCoreApplication::applicationFilePath();
        // values: adb, server, account, group, start-all
        addColumns<QStringList, Action, QStringList>({"args", "action", "values"});
        const auto row = [](const char *name, const QStringList &args, Action action,
                            const QStringList &values = {"", "", "", "", "no"}) {
            QTest::newRow(name) << args << action << values;
        };
        row("nothing", {}, Action::Run);
        row("everything",
            {"--adb", exe, "--server", exe, "--account-url", " http://h:8790/ ", "--group",
             "Farm A", "--start-all"},
            Action::Run, {exe, exe, "http://h:8790/", "Farm A", "yes"});
        row("help", {"-h"}, Action::ShowHelp);
        row("version", {"-v"}, Action::ShowVersion);
        row("qt options passed over",
            {"-platform", "offscreen", "-reverse", "-style=Fusion", "--start-all"}, Action::Run,
            {"", "", "", "", "yes"});
        row("help-all", {"--help-all"}, Action::ShowHelp);
        row("unknown", {"--bogus"}, Action::Fail);
        row("positional", {"extra"}, Action::Fail);
        row("blank group", {"--group", " "}, Action::Fail);
        row("no adb", {"--adb", "/no/such/adb"}, Action::Fail);
        row("no server", {"--server", "/no/such"}, Action::Fail);
        row("ftp account", {"--account-url", "ftp://h"}, Action::Fail);
        row("hostless", {"--account-url", "http://"}, Action::Fail);
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(Action, action);
        const CommandLine::Result result = CommandLine::parse(QStringList{"parvix"} + args);
        QCOMPARE(result.action, action);
        const CommandLine::Options &o = result.options;
        if (action == Action::Run)
            QTEST((QStringList{o.adbPath, o.serverPath, o.accountUrl, o.groupName,
                               o.startAll ? "yes" : "no"}),
                  "values");
        QCOMPARE(result.text.isEmpty(), action == Action::Run);
    }

    void localePicksTheCatalogue()
    {
        const QString cn = ":/translations/Parvix_CN.qm", tw = ":/translations/Parvix_TW.qm";
        for (const auto &[locale, catalogue] :
             {std::pair{"zh_CN", cn}, {"zh_TW", tw}, {"en_US", QString()}, {"CN_TW", tw}}) {
            QTranslator translator;
            const bool installed =
                installLocaleTranslator(QCoreApplication::instance(), &translator, locale);
            QVERIFY2(installed == !catalogue.isEmpty() && translator.filePath() == catalogue,
                     locale);
            if (installed)
                QVERIFY(QCoreApplication::removeTranslator(&translator));
        }
    }

    void fitKeepsTheEndingAndWholeCharacters_data()
    {
        addColumns<QString, QString, QString>({"variable", "ending", "expected"});
        const QString mkv = QStringLiteral("_20240305_140709_123.mkv"); // 24 bytes
        // Four bytes and two UTF-16 units each: never half of one.
        const QString grin = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("emoji") << grin.repeated(70) << mkv << grin.repeated(57) + mkv;
        // A letter and its accent (1 + 2 bytes) stay together.
        const QString accented = QString::fromUtf8("e\xCC\x81");
        QTest::newRow("accent") << accented.repeated(100) << mkv << accented.repeated(77) + mkv;
        // Lone halves of pairs are written as U+FFFD, three bytes each.
        const QString fffd(77, QChar::ReplacementCharacter);
        QTest::newRow("lone high halves") << QString(300, QChar(0xD83D)) << mkv << fffd + mkv;
        QTest::newRow("ending fills it") << "abc" << QString(255, 'e') << QString(255, 'e');
        QTest::newRow("ending too long") << "abc" << QString(256, 'e') << QString();
    }

    void fitKeepsTheEndingAndWholeCharacters()
    {
        QFETCH(QString, variable);
        QFETCH(QString, ending);
        QTEST(FileNames::fit(variable, ending), "expected");
    }

    // A serial over 230 bytes pushes the nickname out; the time and ".mkv" stay.
    void longSerialsKeepTheRecordingEnding()
    {
        const QDateTime time(QDate(2024, 3, 5), QTime(14, 7, 9, 123));
        QCOMPARE(MediaRecorder::recordingFileName("Phone", QString(240, 'S'), time),
                 '_' + QString(230, 'S') + "_20240305_140709_123.mkv");
    }
};

PARVIX_TEST(AppConfigTest)
#include "appconfigtest.moc"
