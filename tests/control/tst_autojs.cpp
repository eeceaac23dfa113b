// The AutoJS client against a small fake of the app's service on the forwarded port.
#include "autojs.h"
#include "device.h"
#include "scriptedadb.h"
#include "testregistry.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtConcurrent>
#include <QtTest>

namespace {

struct Received
{
    QByteArray header;
    QByteArray json;
    QJsonObject envelope() const { return QJsonDocument::fromJson(json).object(); }
};

// The phone side: reads 16-byte-header frames whose length field is the byte count.
class FakeAutojsService : public QObject
{
public:
    explicit FakeAutojsService(quint16 port)
    {
        m_listening = m_server.listen(QHostAddress::LocalHost, port);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *peer = m_server.nextPendingConnection()) {
                ++m_connections;
                m_peer = peer;
                connect(peer, &QTcpSocket::readyRead, this, [this, peer] { read(peer); });
                connect(peer, &QTcpSocket::disconnected, this, [this] { ++m_disconnects; });
            }
        });
    }
    bool isListening() const { return m_listening; }
    QList<Received> frames;
    int connections() const { return m_connections; }
    int disconnects() const { return m_disconnects; }
    bool broken = false;

    void reply(const QByteArray &payload, quint32 kind = 1)
    {
        QByteArray header(8, '\0');
        qToBigEndian<quint32>(quint32(payload.size()), header.data());
        qToBigEndian<quint32>(kind, header.data() + 4);
        m_peer->write(header + payload);
        m_peer->flush();
    }

private:
    void read(QTcpSocket *peer)
    {
        m_buffer.append(peer->readAll());
        while (m_buffer.size() >= 16) {
            const QByteArray header = m_buffer.left(16);
            bool ok = false;
            const int length =
                QByteArray(header.constData(), int(qstrnlen(header.constData(), 14))).toInt(&ok);
            if (!ok || header.at(14) != '1' || header.at(15) != '\0') {
                broken = true;
                return;
            }
            if (m_buffer.size() < 16 + length)
                return;
            frames.append({header, m_buffer.mid(16, length)});
            m_buffer.remove(0, 16 + length);
        }
    }

    QTcpServer m_server;
    QTcpSocket *m_peer = nullptr;
    QByteArray m_buffer;
    bool m_listening = false;
    int m_connections = 0;
    int m_disconnects = 0;
};

struct Message
{
    QString text, type;
    int timeout;
};

} // namespace

class AutojsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedAdb> m_adb;
    QTemporaryDir m_dir;

    QString writeScript(const QString &name, const QByteArray &content)
    {
        QFile file(m_dir.filePath(name));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(content);
        return file.fileName();
    }

    // Device messages may come from a pool thread: collect them on this thread.
    QList<Message> *collect(Device &device)
    {
        auto *messages = new QList<Message>;
        connect(&device, &Device::destroyed, this, [messages] { delete messages; });
        connect(
            &device, &Device::deviceMessage, this,
            [messages](QString text, QString type, int timeout) {
                messages->append({text, type, timeout});
            },
            Qt::QueuedConnection);
        return messages;
    }

private slots:
    void initTestCase()
    {
        m_adb = std::make_unique<ScriptedAdb>();
        QVERIFY(m_adb->isValid());
    }
    void cleanupTestCase() { m_adb.reset(); }

    void frameHeaderCarriesTheByteCount()
    {
        const QByteArray framed = Autojs::frame(QByteArray(1234, 'x'));
        QCOMPARE(framed.left(16).toHex(' '),
                 QByteArray::fromHex("31323334 00000000000000000000 3100").toHex(' '));
        QCOMPARE(framed.size(), 16 + 1234);

        // Three bytes per character: the header counts bytes, not characters.
        const QByteArray chinese = QString::fromUtf8("{\"s\":\"中文\"}").toUtf8();
        QCOMPARE(Autojs::frame(chinese).left(2), QByteArray("14"));
    }

    void scriptNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("two dots") << "/scripts/login.flow.js"
                                  << "login";
        QTest::newRow("dotted folder") << "/a.b/c/run.js"
                                       << "run";
        QTest::newRow("no suffix") << "plain"
                                   << "plain";
        QTest::newRow("chinese") << QString::fromUtf8("/s/签到.js") << QString::fromUtf8("签到");
    }
    void scriptNames()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(Autojs::scriptName(path), name);
    }

    void localPortIsFreeAndStable()
    {
        Device device(nullptr, nullptr, "autojs-port");
        QVERIFY(device.autojs()->localPort() > 0);
        FakeAutojsService service(device.autojs()->localPort());
        QVERIFY(service.isListening());
    }

    void runSendsTheScriptWithItsByteLength()
    {
        Device device(nullptr, nullptr, "autojs-run");
        Autojs *autojs = device.autojs();
        FakeAutojsService service(autojs->localPort());
        QVERIFY(service.isListening());
        QList<Message> *messages = collect(device);
        QSignalSpy running(autojs, &Autojs::runningStatusChanged);
        const QByteArray script =
            QString::fromUtf8("toast(\"签到成功 ✓\");\nlog('done');\n").toUtf8();
        const QString path = writeScript("checkin.daily.js", script);
        m_adb->clearCalls();

        autojs->run(path);
        QVERIFY(autojs->isRunning());
        QCOMPARE(running.count(), 1);
        QTRY_COMPARE(service.frames.size(), 1);
        QVERIFY(!service.broken);

        const Received frame = service.frames.at(0);
        QCOMPARE(frame.header.left(14),
                 QByteArray::number(frame.json.size()).leftJustified(14, '\0'));
        // Compact: no line breaks (the script's own are escaped) and no padding.
        QVERIFY(!frame.json.contains('\n'));
        QVERIFY(frame.json.startsWith("{\""));
        const QJsonObject envelope = frame.envelope();
        const int port = autojs->localPort();
        QCOMPARE(envelope.value("id").toInt(), port);
        QCOMPARE(envelope.value("type").toString(), "command");
        const QJsonObject data = envelope.value("data").toObject();
        QCOMPARE(data.value("command").toString(), "run");
        QCOMPARE(data.value("id").toInt(), port);
        QCOMPARE(data.value("name").toString(), "checkin");
        QCOMPARE(data.value("script").toString().toUtf8(), script);

        QCOMPARE(m_adb->calls(),
                 QStringList({QString("-s autojs-run forward tcp:%1 tcp:7347").arg(port)}));
        QTRY_COMPARE(messages->size(), 1);
        QCOMPARE(messages->at(0).text, "AutoJS script started");
        QCOMPARE(messages->at(0).type, "success");
        QCOMPARE(messages->at(0).timeout, 2000);
    }

    void runAndStopFromPoolThreadsInOrder()
    {
        Device device(nullptr, nullptr, "autojs-pool");
        Autojs *autojs = device.autojs();
        FakeAutojsService service(autojs->localPort());
        const QString path = writeScript("loop.js", "while (true) { sleep(1000); }");

        m_adb->clearCalls();
        QFuture<void> run = QtConcurrent::run([autojs, path] { autojs->run(path); });
        // Once the forward ran, run holds the object; a stop given now must come after it.
        QTRY_VERIFY(!m_adb->calls().isEmpty());
        QFuture<void> stop = QtConcurrent::run([autojs] { autojs->stop(); });
        QTRY_VERIFY(run.isFinished() && stop.isFinished());
        QTRY_COMPARE(service.frames.size(), 2);
        QCOMPARE(service.frames.at(0).envelope().value("data").toObject().value("command"), "run");
        const QJsonObject stopAll = service.frames.at(1).envelope().value("data").toObject();
        QCOMPARE(stopAll.value("command").toString(), "stopAll");
        QCOMPARE(stopAll.value("id").toInt(), int(autojs->localPort()));
        QCOMPARE(stopAll.keys(), QStringList({"command", "id"}));
        QTRY_COMPARE(service.disconnects(), 1);
        QVERIFY(!autojs->isRunning());
    }

    void repliesAreDrainedAndHarmless()
    {
        Device device(nullptr, nullptr, "autojs-replies");
        Autojs *autojs = device.autojs();
        FakeAutojsService service(autojs->localPort());
        autojs->run(writeScript("a.js", "1"));
        QTRY_COMPARE(service.frames.size(), 1);
        service.reply(R"({"type":"hello","data":{"device_name":"phone"}})");
        service.reply(R"({"type":"log","data":{"log":"x"}})");
        service.reply("not json at all");
        service.reply(QByteArray(3, '\x01'), 2);
        QTest::qWait(50);
        // Still in step: a later command arrives intact.
        autojs->stop();
        QTRY_COMPARE(service.frames.size(), 2);
        QVERIFY(!service.broken);
    }

    void stopWithoutRun()
    {
        Device device(nullptr, nullptr, "autojs-idle");
        Autojs *autojs = device.autojs();
        FakeAutojsService service(autojs->localPort());
        QSignalSpy running(autojs, &Autojs::runningStatusChanged);
        autojs->stop();
        QCOMPARE(running.count(), 1);
        QVERIFY(!autojs->isRunning());
        QTest::qWait(50);
        QCOMPARE(service.connections(), 0);
    }

    void failedForwardReportsAndSendsNothing()
    {
        Device device(nullptr, nullptr, "broken-phone");
        Autojs *autojs = device.autojs();
        FakeAutojsService service(autojs->localPort());
        QList<Message> *messages = collect(device);
        QSignalSpy running(autojs, &Autojs::runningStatusChanged);
        autojs->run(writeScript("b.js", "1"));
        QTRY_COMPARE(messages->size(), 1);
        QCOMPARE(messages->at(0).text, "Failed to connect to AutoJS server");
        QCOMPARE(messages->at(0).type, "error");
        QCOMPARE(messages->at(0).timeout, 5000);
        QCOMPARE(running.count(), 0);
        QCOMPARE(service.connections(), 0);
    }

    void nobodyListeningIsAConnectionError()
    {
        Device device(nullptr, nullptr, "autojs-absent");
        QList<Message> *messages = collect(device);
        QFuture<void> run =
            QtConcurrent::run([&device, this] { device.autojs()->run(writeScript("c.js", "1")); });
        QTRY_VERIFY(run.isFinished());
        QTRY_COMPARE(messages->size(), 1);
        QCOMPARE(messages->at(0).text, "Failed to connect to AutoJS server");
        QVERIFY(!device.autojs()->isRunning());
    }

    void unreadableScriptIsReported()
    {
        Device device(nullptr, nullptr, "autojs-missing");
        FakeAutojsService service(device.autojs()->localPort());
        QList<Message> *messages = collect(device);
        device.autojs()->run(m_dir.filePath("does-not-exist.js"));
        QTRY_COMPARE(messages->size(), 1);
        QCOMPARE(messages->at(0).text, "Failed to open AutoJS script file");
        QCOMPARE(messages->at(0).type, "error");
        QVERIFY(!device.autojs()->isRunning());
        QVERIFY(service.frames.isEmpty());
    }
};

PARVIX_TEST(AutojsTest)
#include "tst_autojs.moc"
