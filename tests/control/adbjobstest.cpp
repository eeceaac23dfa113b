// adb jobs beside the control connection, and the AutoJS client against a fake of its service.
#include "adbrunner.h"
#include "autojs.h"
#include "controller.h"
#include "controlwire.h"
#include "datatable.h"
#include "device.h"
#include "fakeadb.h"
#include "h264teststream.h" // Wire::bigEndian
#include "testregistry.h"
#include "testsupport.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <memory>

namespace {
// A reply of the AutoJS app: 8-byte header (length, kind), then the payload.
QByteArray framed(const QByteArray &payload, quint32 kind = 1)
{
    return Wire::bigEndian(quint32(payload.size())) + Wire::bigEndian(kind) + payload;
}

QJsonObject data(const QByteArray &json)
{
    return QJsonDocument::fromJson(json)["data"].toObject();
}

// The phone side: reads frames of a 16-byte header whose leading digits count the bytes.
class FakeAutojsService : public QTcpServer
{
public:
    explicit FakeAutojsService(quint16 port)
    {
        listen(QHostAddress::LocalHost, port);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *peer = nextPendingConnection()) {
                this->peer = peer;
                connect(peer, &QTcpSocket::readyRead, this, &FakeAutojsService::read);
                connect(peer, &QTcpSocket::disconnected, this, [this] { ++disconnects; });
            }
        });
    }
    QList<QByteArray> frames; // their JSON
    int disconnects = 0;
    QTcpSocket *peer = nullptr; // the latest, none before a connection

private:
    void read()
    {
        m_buffer.append(qobject_cast<QTcpSocket *>(sender())->readAll());
        while (m_buffer.size() >= 16) {
            const int length = std::atoi(m_buffer.constData()); // the digits before the padding
            if (m_buffer.size() < 16 + length)
                return;
            frames.append(m_buffer.mid(16, length));
            m_buffer.remove(0, 16 + length);
        }
    }

    QByteArray m_buffer;
};
} // namespace

class AdbJobsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeAdb> m_adb;
    QTemporaryDir m_files;

    QString writeFile(const QString &name, const QByteArray &content)
    {
        return TestSupport::writeFile(m_files.filePath(name), content);
    }

private slots:
    void initTestCase()
    {
        m_adb = std::make_unique<FakeAdb>();
        m_adb->respondMatching("*'pm install'*", {"Success\n"});
        m_adb->respondMatching("*broken*", FakeAdb::failure("error: device 'broken' not found\n"));
    }
    void cleanupTestCase() { m_adb.reset(); }
    void init() { m_adb->clearCalls(); }

    // Progress, then the outcome; a failed install stays long on screen. The wallpaper.
    void adbJobsReportTheirOutcome()
    {
        Device device(nullptr, "apk-phone");
        ControlLink link;
        auto *controller = new Controller(&device, link.hostSocket());
        QSignalSpy said(&device, &Device::deviceMessage);
        controller->installApk(writeFile("game.apk", "PK fake apk"));
        QCOMPARE(said, (QList<QVariantList>{{"Installing APK", "info", 100000}}));
        QTRY_COMPARE(said.count(), 2);
        controller->uploadFile(m_files.filePath("not-there.txt"));
        QTRY_COMPARE(said.count(), 3);
        const QString file = writeFile(QString::fromUtf8("报告 2024.txt"), "report");
        controller->uploadFile(file);
        QTRY_COMPARE(said.count(), 4);
        QCOMPARE(said.mid(1), (QList<QVariantList>{{"APK installed", "success", 2000},
                                                   {"File upload failed", "error", 5000},
                                                   {"File uploaded", "success", 2000}}));
        // The install's calls: AdbRunnerTest::operations.
        QCOMPARE(m_adb->calls().last(),
                 QStringList({"-s", "apk-phone", "push", file, "/sdcard/Download"}));
        m_adb->clearCalls();

        // The nickname in yellow, drawn and pushed off the GUI thread.
        const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        const QString path = desktop + "/wallpaper_Phone 7.png";
        QFile::remove(path);
        controller->setWallpaper("Phone 7", 1080, 2400);
        QVERIFY(!QFileInfo::exists(path));
        ADBRunner::workPool()->waitForDone();
        QImage image(path);
        QCOMPARE(image.size(), QSize(1080, 2400));
        QRect ink;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c == Qt::black)
                    continue;
                // Yellow, possibly antialiased towards black.
                QVERIFY(c.blue() < 40 && std::abs(c.red() - c.green()) < 40);
                ink |= QRect(x, y, 1, 1);
            }
        }
        // A big bold text, not a speck, centred near the top.
        QVERIFY2(ink.top() >= 150 && ink.top() < 260 && std::abs(ink.center().x() - 540) <= 12 &&
                     ink.width() > 200,
                 qPrintable(QDebug::toString(ink)));
        QCOMPARE(m_adb->calls().value(0),
                 QStringList({"-s", "apk-phone", "push", path,
                              "/data/local/tmp/wallpaper_phonefleet.png"}));

        m_adb->clearCalls(); // an unknown screen size pushes nothing, not the earlier file
        controller->setWallpaper("Phone 7", -1, -1);
        ADBRunner::workPool()->waitForDone();
        QVERIFY(m_adb->calls().isEmpty());
        controller->setWallpaper("Phone 7", 12000, 6000); // the phone's size is not trusted
        ADBRunner::workPool()->waitForDone();
        QCOMPARE(QImage(path).size(), QSize(4096, 2048));

        // The name rule's cases are MediaRecorderTest's; here only that the wallpaper obeys it.
        controller->setWallpaper("长/" + QString(299, QChar(0x957F)), 32, 32); // 901 bytes, a slash
        ADBRunner::workPool()->waitForDone();
        const QStringList files = QDir(desktop).entryList({"wallpaper_长*"}, QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY(files.at(0).toUtf8().size() <= 255 && files.at(0).endsWith(".png"));

        QVERIFY(link.settle(20).isEmpty()); // the jobs never touched the control connection

        // Jobs run side by side and outlive the session that started them.
        QStringList parts;
        for (int i = 0; i < 4; ++i) {
            parts << writeFile(QString("part%1.bin").arg(i), QByteArray(i + 1, 'a'));
            controller->uploadFile(parts.last());
        }
        controller->installApk(writeFile("late.apk", "x"));
        delete controller; // mirroring stopped while adb was still busy
        QTRY_COMPARE(said.count(), 4 + 6);
        for (const QString &part : parts) // each job pushed its own file
            QCOMPARE(m_adb->callsWith({"push", part}).size(), 1);

        Device broken(nullptr, "broken-apk-phone");
        QSignalSpy failed(&broken, &Device::deviceMessage);
        (new Controller(&broken, nullptr))->installApk(writeFile("bad.apk", "x"));
        QTRY_COMPARE(failed.count(), 2);
        QCOMPARE(failed.at(1), QVariantList({"APK installation failed", "error", 100000}));
    }

    // The reader of the app's replies, whatever pieces the bytes come in.
    void replies_data()
    {
        // chunk: bytes per read (0: one read); left: bytes still buffered
        addColumns<QByteArray, int, QStringList, int>({"stream", "chunk", "types", "left"});
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
        QCOMPARE(Autojs::frame(QByteArray(1234, 'x')).left(16).toHex(' '),
                 QByteArray::fromHex("31323334 00000000000000000000 3100").toHex(' '));
        Device device(nullptr, "autojs-run");
        Autojs *autojs = device.autojs();
        FakeAutojsService service(autojs->localPort()); // a free local port
        QSignalSpy said(&device, &Device::deviceMessage);
        QSignalSpy running(autojs, &Autojs::runningStatusChanged);
        const QByteArray script =
            QString::fromUtf8("toast(\"签到成功 ✓\");\nlog('done');\n").toUtf8();
        autojs->run(writeFile("v1.2/checkin.daily.js", script)); // named "checkin"
        QVERIFY(!autojs->isRunning()); // the forward and the connection come later
        QTRY_VERIFY(autojs->isRunning());
        QCOMPARE(running.count(), 1);
        QTRY_COMPARE(service.frames.size(), 1);
        const QByteArray json = service.frames.at(0);
        QVERIFY(!json.contains('\n')); // compact: the script's own line breaks are escaped
        const int port = autojs->localPort();
        QCOMPARE(QJsonDocument::fromJson(json)["type"].toString(), "command");
        const QJsonObject run = data(json);
        QCOMPARE(QStringList({run["command"].toString(), run["name"].toString(),
                              QString::number(run["id"].toInt())}),
                 QStringList({"run", "checkin", QString::number(port)}));
        QCOMPARE(run.value("script").toString().toUtf8(), script);
        QTRY_COMPARE(said, (QList<QVariantList>{{"AutoJS script started", "success", 2000}}));

        // A reply is drained and harmless: the stop still arrives intact.
        service.peer->write(framed(R"({"type":"hello","data":{"device_name":"phone"}})"));
        autojs->stop();
        QTRY_COMPARE(service.frames.size(), 2);
        QCOMPARE(data(service.frames.at(1)), QJsonObject({{"command", "stopAll"}, {"id", port}}));
        QTRY_COMPARE(service.disconnects, 1);
        QVERIFY(!autojs->isRunning());

        // A stop given while the next run still forwards follows that run.
        autojs->run(writeFile("loop.js", "while (true) { sleep(1000); }"));
        autojs->stop();
        QTRY_COMPARE(service.frames.size(), 4);
        QCOMPARE(data(service.frames.at(2)).value("command"), "run");
        QCOMPARE(data(service.frames.at(3)).value("command"), "stopAll");
        QVERIFY(!autojs->isRunning());
        QCOMPARE(m_adb->calls().size(), 2); // forwarded again
    }

    void failuresAreReported_data()
    {
        addColumns<QString, bool, bool, QVariantList>(
            {"serial", "listening", "scriptExists", "message"});
        const QVariantList noConnection{"Failed to connect to AutoJS server", "error", 5000};
        QTest::newRow("forward fails") << "broken-phone" << true << true << noConnection;
        QTest::newRow("nobody listening") << "autojs-absent" << false << true << noConnection;
        QTest::newRow("unreadable script")
            << "autojs-missing" << true << false
            << QVariantList{"Failed to open AutoJS script file", "error", 5000};
    }
    void failuresAreReported()
    {
        QFETCH(QString, serial);
        QFETCH(bool, listening);
        QFETCH(bool, scriptExists);
        QFETCH(QVariantList, message);
        Device device(nullptr, serial);
        std::unique_ptr<FakeAutojsService> service;
        if (listening)
            service = std::make_unique<FakeAutojsService>(device.autojs()->localPort());
        QSignalSpy said(&device, &Device::deviceMessage);
        QSignalSpy running(device.autojs(), &Autojs::runningStatusChanged);
        const QString path = scriptExists ? writeFile("b.js", "1") : m_files.filePath("none.js");
        device.autojs()->run(path);
        QTRY_COMPARE(said, QList<QVariantList>{message});
        QCOMPARE(running.count(), 0); // never running, not even for a moment
        if (service)
            QVERIFY(service->frames.isEmpty());
        if (serial == "broken-phone") // no forward, no connection
            QCOMPARE(service->peer, nullptr);
    }
};

PARVIX_TEST(AdbJobsTest)
#include "adbjobstest.moc"
