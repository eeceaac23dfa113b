#include "commandline.h"
#include "testregistry.h"

#include <QtTest>

using CommandLine::Action;

class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        const QString exe = QCoreApplication::applicationFilePath();
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QStringList>("values"); // adb, server, account, group, start-all
        const QStringList none{"", "", "", "", "no"};
        QTest::newRow("nothing") << QStringList() << Action::Run << none;
        QTest::newRow("everything")
            << QStringList{"--adb",         exe,
                           "--server",      exe,
                           "--account-url", " http://h:8790/ ",
                           "--group",       "Farm A",
                           "--start-all"}
            << Action::Run << QStringList{exe, exe, "http://h:8790/", "Farm A", "yes"};
        QTest::newRow("start-all alone")
            << QStringList{"--start-all"} << Action::Run << QStringList{"", "", "", "", "yes"};
        QTest::newRow("help") << QStringList{"-h"} << Action::ShowHelp << none;
        QTest::newRow("version") << QStringList{"-v"} << Action::ShowVersion << none;
        QTest::newRow("qt options passed over")
            << QStringList{"-platform", "offscreen", "-reverse", "-style=Fusion", "--start-all"}
            << Action::Run << QStringList{"", "", "", "", "yes"};
        QTest::newRow("help-all") << QStringList{"--help-all"} << Action::ShowHelp << none;
        QTest::newRow("version beside unknown")
            << QStringList{"--bogus", "--version"} << Action::Fail << none;
        QTest::newRow("unknown") << QStringList{"--bogus"} << Action::Fail << none;
        QTest::newRow("positional") << QStringList{"extra"} << Action::Fail << none;
        QTest::newRow("missing value") << QStringList{"--group"} << Action::Fail << none;
        QTest::newRow("blank group") << QStringList{"--group", " "} << Action::Fail << none;
        QTest::newRow("no adb") << QStringList{"--adb", "/no/such/adb"} << Action::Fail << none;
        QTest::newRow("no server") << QStringList{"--server", "/no/such"} << Action::Fail << none;
        QTest::newRow("ftp account")
            << QStringList{"--account-url", "ftp://h"} << Action::Fail << none;
        QTest::newRow("hostless") << QStringList{"--account-url", "http://"} << Action::Fail
                                  << none;
    }

    void parse()
    {
        QFETCH(QStringList, args);
        QFETCH(Action, action);
        QFETCH(QStringList, values);
        const CommandLine::Result result = CommandLine::parse(QStringList{"parvix"} + args);
        QCOMPARE(result.action, action);
        const CommandLine::Options &o = result.options;
        if (action == Action::Run)
            QCOMPARE((QStringList{o.adbPath, o.serverPath, o.accountUrl, o.groupName,
                                  o.startAll ? "yes" : "no"}),
                     values);
        QCOMPARE(result.text.isEmpty(), action == Action::Run);
    }
};

PARVIX_TEST(CommandLineTest)
#include "commandlinetest.moc"
