// adb server entries of the settings, and the phone names and adb options made from them.
#include "adbserver.h"
#include "testregistry.h"

#include <QtTest>

class AdbServerTest : public QObject
{
    Q_OBJECT

private slots:
    void entries_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("server"); // "" when the entry is refused
        QTest::addColumn<QStringList>("phoneOptions");

        const QStringList local{"-s", "R58M"};
        QTest::newRow("host and port")
            << "192.168.1.20:5038"
            << "192.168.1.20:5038" << QStringList{"-H", "192.168.1.20", "-P", "5038", "-s", "R58M"};
        QTest::newRow("blanks around")
            << "  farm2:5037\t"
            << "farm2:5037" << QStringList{"-H", "farm2", "-P", "5037", "-s", "R58M"};
        QTest::newRow("port left out")
            << "farm2"
            << "farm2:5037" << QStringList{"-H", "farm2", "-P", "5037", "-s", "R58M"};
        QTest::newRow("IPv6 in brackets")
            << "[fd00::7]:5037"
            << "[fd00::7]:5037" << QStringList{"-H", "fd00::7", "-P", "5037", "-s", "R58M"};
        QTest::newRow("the local server") << "localhost:5037"
                                          << "localhost:5037" << local;
        QTest::newRow("loopback, default port") << "127.0.0.1"
                                                << "127.0.0.1:5037" << local;
        QTest::newRow("loopback, other port")
            << "127.0.0.1:5038"
            << "127.0.0.1:5038" << QStringList{"-H", "127.0.0.1", "-P", "5038", "-s", "R58M"};
        QTest::newRow("empty") << " "
                               << "" << QStringList();
        QTest::newRow("no host") << ":5037"
                                 << "" << QStringList();
        QTest::newRow("empty port") << "farm2:"
                                    << "" << QStringList();
        QTest::newRow("port 0") << "farm2:0"
                                << "" << QStringList();
        QTest::newRow("port too big") << "farm2:65536"
                                      << "" << QStringList();
        QTest::newRow("port not a number") << "farm2:50x"
                                           << "" << QStringList();
        QTest::newRow("blank inside") << "farm 2:5037"
                                      << "" << QStringList();
        QTest::newRow("bare IPv6") << "fd00::7"
                                   << "" << QStringList();
        QTest::newRow("at sign") << "a@b:5037"
                                 << "" << QStringList();
    }

    void entries()
    {
        QFETCH(QString, entry);
        QFETCH(QString, server);
        QFETCH(QStringList, phoneOptions);
        const std::optional<AdbServer> parsed = AdbServer::parse(entry);
        QCOMPARE(parsed ? parsed->text() : QString(), server);
        if (!parsed)
            return;
        // A phone named on that server reaches it, and names it back.
        const QString phone = AdbServers::qualified("R58M", *parsed);
        QCOMPARE(AdbServers::phoneOptions(phone), phoneOptions);
        QCOMPARE(AdbServers::plainSerial(phone), QStringLiteral("R58M"));
        QCOMPARE(AdbServers::serverOf(phone), *parsed);
        QCOMPARE(AdbServers::hostLabel(phone).isEmpty(), parsed->isLocal());
        // Local phones keep their plain serials, so stored names stay valid.
        QCOMPARE(phone == QLatin1String("R58M"), parsed->isLocal());
    }

    void theLocalServerStaysFirstAndEntriesDoNotRepeat()
    {
        QStringList texts;
        for (const AdbServer &server : AdbServers::normalized(
                 {"farm2", "bad:port", "127.0.0.1:5037", "farm2:5037", "farm3:6000"}))
            texts << server.text();
        QCOMPARE(texts, QStringList({"localhost:5037", "farm2:5037", "farm3:6000"}));
    }
};

PARVIX_TEST(AdbServerTest)
#include "adbservertest.moc"
