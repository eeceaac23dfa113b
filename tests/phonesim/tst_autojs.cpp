// Forwards to the phone's AutoJS service: command frames in, hello frames out.
#include "simharness.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace Sim;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The 16-byte header: the length in decimal digits, zero bytes up to 14, then "1" and 0.
QByteArray commandFrame(const QByteArray &json, int announcedLength)
{
    QByteArray header = QByteArray::number(announcedLength);
    header.append(14 - header.size(), '\0');
    header += QByteArray("1", 1) + QByteArray(1, '\0');
    return header + json;
}

QJsonObject readReply(QTcpSocket *socket, quint32 *kind)
{
    const QByteArray header = readExactly(socket, 8);
    if (header.size() != 8)
        return {};
    *kind = be32(header, 4);
    return QJsonDocument::fromJson(readExactly(socket, int(be32(header, 0)))).object();
}

bool connects(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000))
        return false;
    // A forward with nothing behind it accepts and closes at once.
    return !waitForClose(&socket, 500);
}

} // namespace

class PhonesimAutojsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (TestSupport::phonesimPath().isEmpty())
            QSKIP("phonesim is not built");
    }

    void commandsAreLoggedAndGreeted()
    {
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        const quint16 port = freePort();
        QCOMPARE(
            fleet.adb({"-s", serial, "forward", QStringLiteral("tcp:%1").arg(port), "tcp:7347"})
                .exitCode,
            0);

        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(socket.waitForConnected(5000));
        const QJsonObject run{
            {"id", port},
            {"type", "command"},
            {"data", QJsonObject{{"command", "run"},
                                 {"id", port},
                                 {"name", "login"},
                                 {"script", QStringLiteral("toast('\u4f60\u597d');")}}}};
        const QByteArray json = QJsonDocument(run).toJson(QJsonDocument::Compact);
        // Sent in two pieces, as a client writing header and body separately does.
        const QByteArray frame = commandFrame(json, json.size());
        socket.write(frame.left(16));
        socket.flush();
        QTest::qWait(50);
        socket.write(frame.mid(16));
        quint32 kind = 0;
        const QJsonObject hello = readReply(&socket, &kind);
        QCOMPARE(kind, quint32(1));
        QCOMPARE(hello.value("type").toString(), QStringLiteral("hello"));

        const QJsonObject stop{{"id", port},
                               {"type", "command"},
                               {"data", QJsonObject{{"command", "stopAll"}, {"id", port}}}};
        const QByteArray stopJson = QJsonDocument(stop).toJson(QJsonDocument::Compact);
        socket.write(commandFrame(stopJson, stopJson.size()));
        QTRY_COMPARE_WITH_TIMEOUT(fleet.jsonLines(serial, "autojs.jsonl").size(), 2, 10000);
        const QList<QJsonObject> lines = fleet.jsonLines(serial, "autojs.jsonl");
        QCOMPARE(lines.at(0).value("message").toObject(), run);
        QCOMPARE(lines.at(0).value("length").toInt(), json.size());
        QCOMPARE(lines.at(1)
                     .value("message")
                     .toObject()
                     .value("data")
                     .toObject()
                     .value("command")
                     .toString(),
                 QStringLiteral("stopAll"));
    }

    void lengthShorterThanTheBytesIsRejected()
    {
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        const quint16 port = freePort();
        QCOMPARE(
            fleet.adb({"-s", serial, "forward", QStringLiteral("tcp:%1").arg(port), "tcp:7347"})
                .exitCode,
            0);
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(socket.waitForConnected(5000));
        const QString text = QStringLiteral("{\"script\":\"\u4f60\u597d\u4e16\u754c\"}");
        // Counting characters instead of bytes cuts the JSON short.
        socket.write(commandFrame(text.toUtf8(), int(text.size())));
        QVERIFY(waitForClose(&socket));
        const QList<QJsonObject> lines = fleet.jsonLines(serial, "autojs.jsonl");
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().contains("error"));
        QVERIFY(!lines.first().contains("message"));
    }

    void forwardsLiveAndEndLikeAdbs()
    {
        TestFleet fleet(2);
        QVERIFY(fleet.isValid());
        const QString serial = fleet.serials().first();
        const QString other = fleet.serials().at(1);
        const quint16 port = freePort();
        const QString local = QStringLiteral("tcp:%1").arg(port);
        QCOMPARE(fleet.adb({"-s", serial, "forward", local, "tcp:7347"}).exitCode, 0);

        // Forwarding the same port again replaces the first forward.
        QCOMPARE(fleet.adb({"-s", other, "forward", local, "tcp:7347"}).exitCode, 0);
        const QJsonArray forwards = fleet.status().value("forward").toArray();
        QCOMPARE(forwards.size(), 1);
        QCOMPARE(forwards.at(0).toObject().value("transport").toString(), other);
        QVERIFY(connects(port));

        // Unplugging a phone ends its forwards; kill-server ends all of them.
        QCOMPARE(fleet.tool({"unplug", "--home", fleet.home(), other}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!connects(port), 5000);
        const quint16 last = freePort();
        QCOMPARE(
            fleet.adb({"-s", serial, "forward", QStringLiteral("tcp:%1").arg(last), "tcp:7347"})
                .exitCode,
            0);
        QVERIFY(connects(last));
        QCOMPARE(fleet.adb({"kill-server"}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!connects(last), 5000);
        QVERIFY(fleet.status().value("forward").toArray().isEmpty());
    }
};

PARVIX_TEST(PhonesimAutojsTest)
#include "tst_autojs.moc"
