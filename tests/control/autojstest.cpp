// The AutoJS client against a small fake of the app's service on the forwarded port.
#include "autojs.h"
#include "device.h"
#include "fakeadb.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {
// A reply of the AutoJS app: 8-byte header (length, kind), then the payload.
QByteArray framed(const QByteArray &payload, quint32 kind = 1)
{
    QByteArray header(8, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), header.data());
    qToBigEndian<quint32>(kind, header.data() + 4);
    return header + payload;
}

struct Received
{
    QByteArray header;
    QByteArray json;
    QJsonObject data() const { return QJsonDocument::fromJson(json)["data"].toObject(); }
};

// The phone side: reads 16-byte-header frames whose length field is the byte count.
class FakeAutojsService : public QTcpServer
{
public:
    explicit FakeAutojsService(quint16 port)
    {
        listening = listen(QHostAddress::LocalHost, port);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *peer = nextPendingConnection()) {
                ++connections;
                m_peer = peer;
                connect(peer, &QTcpSocket::readyRead, this, &FakeAutojsService::read);
                connect(peer, &QTcpSocket::disconnected, this, [this] { ++disconnects; });
            }
        });
    }
    bool listening = false;
    QList<Received> frames;
    int connections = 0;
    int disconnects = 0;
    bool broken = false;

    void reply(const QByteArray &payload, quint32 kind = 1)
    {
        m_peer->write(framed(payload, kind));
    }

private:
    void read()
    {
        m_buffer.append(qobject_cast<QTcpSocket *>(sender())->readAll());
        while (m_buffer.size() >= 16 && !broken) {
            bool ok = false;
            const int length =
                QByteArray(m_buffer.constData(), int(qstrnlen(m_buffer.constData(), 14)))
                    .toInt(&ok);
            broken = !ok || m_buffer.at(14) != '1' || m_buffer.at(15) != '\0';
            if (broken || m_buffer.size() < 16 + length)
                return;
            frames.append({m_buffer.left(16), m_buffer.mid(16, length)});
            m_buffer.remove(0, 16 + length);
        }
    }

    QTcpSocket *m_peer = nullptr;
    QByteArray m_buffer;
};
} // namespace

class AutojsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeAdb> m_adb;
    QTemporaryDir m_dir;

    QString writeScript(const QString &name, const QByteArray &content)
    {
        return TestSupport::writeFile(m_dir.filePath(name), content);
    }

    // Device messages as "text/type/timeout".
    std::shared_ptr<QStringList> collect(Device &device)
    {
        auto messages = std::make_shared<QStringList>();
        connect(
            &device, &Device::deviceMessage, this,
            [messages](QString text, QString type, int timeout) {
                messages->append(QStringLiteral("%1/%2/%3").arg(text, type).arg(timeout));
            },
            Qt::QueuedConnection);
        return messages;
    }

private slots:
    void initTestCase()
    {
        m_adb = std::make_unique<FakeAdb>();
        m_adb->respondMatching("*broken*", FakeAdb::failure("error: device 'broken' not found\n"));
    }
    void cleanupTestCase() { m_adb.reset(); }

    void framesCountBytesAndScriptsAreNamed()
    {
        const QByteArray framed = Autojs::frame(QByteArray(1234, 'x'));
        QCOMPARE(framed.left(16).toHex(' '),
                 QByteArray::fromHex("31323334 00000000000000000000 3100").toHex(' '));
        QCOMPARE(framed.size(), 16 + 1234);
        QCOMPARE(Autojs::frame(QString::fromUtf8("{\"s\":\"中文\"}").toUtf8()).left(2), "14");

        const QList<QPair<QString, QString>> names{
            {"/scripts/login.flow.js", "login"},
            {"/a.b/c/run.js", "run"},
            {"plain", "plain"},
            {QString::fromUtf8("/s/签到.js"), QString::fromUtf8("签到")}};
        for (const auto &[path, name] : names)
            QCOMPARE(Autojs::scriptName(path), name);
    }

    // The reader of the app's replies, whatever pieces the bytes come in.
    void replies_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<int>("chunk"); // 0: one read
        QTest::addColumn<QStringList>("types");
        QTest::addColumn<int>("left"); // bytes still buffered
        // Kind 2 carries no JSON; a payload that is no JSON object has no type.
        const QByteArray mixed = framed(R"({"type":"hello","data":{"device_name":"Pixel 7"}})") +
                                 framed("raw bytes", 2) + framed("not json") + framed("") +
                                 framed(R"({"type":"log","data":{"log":"done"}})");
        const QStringList types{"hello", "", "", "log"};
        for (int chunk : {0, 1, 8, 13})
            QTest::addRow("pieces of %d", chunk) << mixed << chunk << types << 0;
        const QByteArray cut = framed(R"({"type":"command"})").chopped(1);
        QTest::newRow("a frame still arriving")
            << framed(R"({"type":"hello"})") + cut << 0 << QStringList{"hello"} << int(cut.size());
        // A length over 16 MiB: out of step, nothing after it can be framed.
        QTest::newRow("impossible length drops the buffer")
            << framed(R"({"type":"hello"})") + QByteArray::fromHex("01000001 00000001") +
                   framed(R"({"type":"log"})")
            << 0 << QStringList{"hello"} << 0;
        QTest::newRow("16 MiB waits for its payload")
            << QByteArray::fromHex("01000000 00000001") + "{" << 0 << QStringList() << 9;
    }
    void replies()
    {
        QFETCH(QByteArray, stream);
        QFETCH(int, chunk);
        QByteArray buffer;
        QStringList found;
        const int step = chunk == 0 ? int(stream.size()) : chunk;
        for (int offset = 0; offset < stream.size(); offset += step) {
            buffer.append(stream.mid(offset, step));
            found += Autojs::parseReplies(buffer);
        }
        QTEST(found, "types");
        QTEST(int(buffer.size()), "left");
    }

    void runSendsTheScriptWithItsByteLength()
    {
        Device device(nullptr, "autojs-run");
        Autojs *autojs = device.autojs();
        FakeAutojsService service(autojs->localPort()); // a free local port
        QVERIFY(service.listening);
        const auto messages = collect(device);
        QSignalSpy running(autojs, &Autojs::runningStatusChanged);
        const QByteArray script =
            QString::fromUtf8("toast(\"签到成功 ✓\");\nlog('done');\n").toUtf8();
        m_adb->clearCalls();
        autojs->run(writeScript("checkin.daily.js", script));
        QVERIFY(!autojs->isRunning()); // the forward and the connection come later
        QTRY_VERIFY(autojs->isRunning());
        QCOMPARE(running.count(), 1);
        QTRY_COMPARE(service.frames.size(), 1);
        QVERIFY(!service.broken);

        const Received frame = service.frames.at(0);
        // Compact: no line breaks (the script's own are escaped) and no padding.
        QVERIFY(!frame.json.contains('\n'));
        const int port = autojs->localPort();
        QCOMPARE(QJsonDocument::fromJson(frame.json)["type"].toString(), "command");
        const QJsonObject data = frame.data();
        QCOMPARE(QStringList({data["command"].toString(), data["name"].toString(),
                              QString::number(data["id"].toInt())}),
                 QStringList({"run", "checkin", QString::number(port)}));
        QCOMPARE(data.value("script").toString().toUtf8(), script);
        QCOMPARE(m_adb->calls(), (QList<QStringList>{{"-s", "autojs-run", "forward",
                                                      QString("tcp:%1").arg(port), "tcp:7347"}}));
        QTRY_COMPARE(*messages, QStringList({"AutoJS script started/success/2000"}));

        // Replies are drained and harmless: the stop still arrives intact.
        service.reply(R"({"type":"hello","data":{"device_name":"phone"}})");
        service.reply("not json at all");
        service.reply(QByteArray(3, '\x01'), 2);
        autojs->stop();
        QTRY_COMPARE(service.frames.size(), 2);
        QVERIFY(!service.broken);
        QCOMPARE(service.frames.at(1).data(), QJsonObject({{"command", "stopAll"}, {"id", port}}));
        QTRY_COMPARE(service.disconnects, 1);
        QVERIFY(!autojs->isRunning());
    }

    void aStopDuringARunFollowsIt()
    {
        Device device(nullptr, "autojs-order");
        Autojs *autojs = device.autojs();
        FakeAutojsService service(autojs->localPort());
        m_adb->clearCalls();
        autojs->run(writeScript("loop.js", "while (true) { sleep(1000); }"));
        autojs->stop(); // given while the run still forwards
        QTRY_COMPARE(service.frames.size(), 2);
        QCOMPARE(service.frames.at(0).data().value("command"), "run");
        QCOMPARE(service.frames.at(1).data().value("command"), "stopAll");
        QVERIFY(!autojs->isRunning());
        QCOMPARE(m_adb->calls().size(), 1);
    }

    void failuresAreReported_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<bool>("listening");
        QTest::addColumn<bool>("scriptExists");
        QTest::addColumn<QString>("message");
        const QString noConnection = "Failed to connect to AutoJS server/error/5000";
        QTest::newRow("forward fails") << "broken-phone" << true << true << noConnection;
        QTest::newRow("nobody listening") << "autojs-absent" << false << true << noConnection;
        QTest::newRow("unreadable script")
            << "autojs-missing" << true << false << "Failed to open AutoJS script file/error/5000";
    }
    void failuresAreReported()
    {
        QFETCH(QString, serial);
        QFETCH(bool, listening);
        QFETCH(bool, scriptExists);
        QFETCH(QString, message);
        Device device(nullptr, serial);
        std::unique_ptr<FakeAutojsService> service;
        if (listening)
            service = std::make_unique<FakeAutojsService>(device.autojs()->localPort());
        const auto messages = collect(device);
        QSignalSpy running(device.autojs(), &Autojs::runningStatusChanged);
        const QString path = scriptExists ? writeScript("b.js", "1") : m_dir.filePath("none.js");
        device.autojs()->run(path);
        QTRY_COMPARE(*messages, QStringList{message});
        QVERIFY(!device.autojs()->isRunning());
        if (service)
            QVERIFY(service->frames.isEmpty());
        if (serial == "broken-phone") {
            QCOMPARE(service->connections, 0);
            QCOMPARE(running.count(), 0);
        }
    }
};

PARVIX_TEST(AutojsTest)
#include "autojstest.moc"
