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
        // hostPort: "host port" for the -H/-P options, "" for the local server's plain -s.
        const auto row = [](const char *name, const char *entry, const char *server = "",
                            const QString &hostPort = {}) {
            const QStringList serial{"-s", "R58M"};
            QTest::newRow(name) << QString(entry) << QString(server)
                                << (hostPort.isEmpty()
                                        ? serial
                                        : QStringList{"-H", hostPort.section(' ', 0, 0), "-P",
                                                      hostPort.section(' ', 1)} +
                                              serial);
        };
        row("host and port", "192.168.1.20:5038", "192.168.1.20:5038", "192.168.1.20 5038");
        row("blanks around", "  farm2:5037\t", "farm2:5037", "farm2 5037");
        row("port left out", "farm2", "farm2:5037", "farm2 5037");
        row("IPv6 in brackets", "[fd00::7]:5037", "[fd00::7]:5037", "fd00::7 5037");
        row("the local server", "localhost:5037", "localhost:5037");
        row("loopback, default port", "127.0.0.1", "127.0.0.1:5037");
        row("loopback, other port", "127.0.0.1:5038", "127.0.0.1:5038", "127.0.0.1 5038");
        for (const char *refused : {" ", ":5037", "farm2:", "farm2:0", "farm2:65536", "farm2:50x",
                                    "farm 2:5037", "fd00::7", "a@b:5037"})
            row(refused, refused);
    }

    void entries()
    {
        QFETCH(QString, entry);
        QFETCH(QString, server);
        const std::optional<AdbServer> parsed = AdbServer::parse(entry);
        QCOMPARE(parsed ? parsed->text() : QString(), server);
        if (!parsed)
            return;
        // A phone named on that server reaches it, and names it back.
        const QString phone = AdbServers::qualified("R58M", *parsed);
        QTEST(AdbServers::phoneOptions(phone), "phoneOptions");
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
