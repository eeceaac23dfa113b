// The launcher against the scripted adb, the control connection's reader, the local process.
#include "scrcpyserver.h"
#include "adblane.h"
#include "datatable.h"
#include "devicemessagereceiver.h"
#include "fakeadb.h"
#include "feeddevice.h"
#include "h264teststream.h"
#include "serverparams.h"
#include "serverprocess.h"
#include "testregistry.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTcpSocket>
#include <QtTest>

#include <csignal>

#include <vector>

namespace {
const QString kSerial = QStringLiteral("R58M123");

std::unique_ptr<QTcpSocket> connectToLauncher(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    return socket->waitForConnected(3000) ? std::move(socket) : nullptr;
}
} // namespace

class ScrcpyServerTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakeAdb> m_adb;
    std::unique_ptr<ServerParams> m_params;

    bool laneIdle() { return AdbLane::waitForIdle(kSerial, 10000); }

    // A clipboard text from the phone: type 0, length, text.
    static QByteArray clipboardHeader(quint32 size) { return '\0' + Wire::bigEndian(size); }
    static QByteArray clipboardMessage(const QByteArray &text)
    {
        return clipboardHeader(quint32(text.size())) + text;
    }
    static QString clipboardText() { return QGuiApplication::clipboard()->text(); }

private slots:
    void init()
    {
        TestSupport::serverFile();
        m_adb = std::make_unique<FakeAdb>();
        m_adb->answerAsPhones({kSerial});
        m_params = std::make_unique<ServerParams>();
        m_params->setDeviceSerial(kSerial);
        m_params->setScid(0x1a);
        m_params->setSocketName(QStringLiteral("scrcpy_0000001a"));
    }

    void cleanup()
    {
        QVERIFY(laneIdle());
        m_params.reset();
        m_adb.reset();
    }

    void commandLine_data()
    {
        addColumns<int, int, int, bool, QString>({"maxSize", "maxFps", "scid", "audio", "options"});
        const QString head = "video_bit_rate=2000000 audio_codec=opus log_level=verbose ";
        addRow("defaults, scid 26", 280, 5, 26, false,
               head + "max_size=280 max_fps=5 stay_awake=true scid=0000001a control=true "
                      "video=true audio=false");
        addRow("no limits, largest id, audio", -1, 0, 0x7fffffff, true,
               head + "stay_awake=true scid=7fffffff control=true video=true audio=true");
    }

    void commandLine()
    {
        QFETCH(int, maxSize);
        QFETCH(int, maxFps);
        QFETCH(int, scid);
        QFETCH(bool, audio);
        QFETCH(QString, options);
        m_params->setMaxSize(maxSize);
        m_params->setMaxFps(maxFps);
        m_params->setScid(scid);
        m_params->setAudio(audio);
        QCOMPARE(ScrcpyServer::serverArguments(*m_params),
                 QStringList({"-s", kSerial, "shell", "CLASSPATH=/data/local/tmp/scrcpy-server.jar",
                              "app_process", "/", "com.genymobile.scrcpy.Server",
                              PARVIX_SERVER_VERSION}) +
                     options.split(' '));
    }

    // With sound; video then control without it: the sessions of DeviceTest and the fleet tests.
    void connectionsAreToldApartByOrder()
    {
        m_params->setAudio(true);
        auto server = std::make_unique<ScrcpyServer>(nullptr, m_params.get());
        QSignalSpy started(server.get(), &ScrcpyServer::started);
        server->start();
        QTRY_COMPARE_WITH_TIMEOUT(started.size(), 1, 10000);
        QSignalSpy video(server.get(), &ScrcpyServer::videoSocketConnected);
        QSignalSpy audioConnected(server.get(), &ScrcpyServer::audioSocketConnected);
        QSignalSpy control(server.get(), &ScrcpyServer::controlSocketConnected);
        std::vector<std::unique_ptr<QTcpSocket>> phone;
        for (int stream = 0; stream < 3; ++stream) {
            phone.push_back(connectToLauncher(m_params->port()));
            QVERIFY(phone.back());
            QTRY_COMPARE(video.count() + audioConnected.count() + control.count(),
                         int(phone.size()));
        }
        QCOMPARE(video.count(), 1);
        QCOMPARE(audioConnected.count(), 1);
        // The last connection is the control one, read by the clipboard receiver.
        phone.back()->write(clipboardMessage("control"));
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("control"));

        // Disconnects are reported per stream and end nothing else.
        QSignalSpy videoGone(server.get(), &ScrcpyServer::videoSocketDisconnected);
        QSignalSpy audioGone(server.get(), &ScrcpyServer::audioSocketDisconnected);
        QSignalSpy controlGone(server.get(), &ScrcpyServer::controlSocketDisconnected);
        QSignalSpy stopped(server.get(), &ScrcpyServer::stopped);
        phone.front()->disconnectFromHost();
        QTRY_COMPARE(videoGone.count(), 1);
        QVERIFY(!server->videoSocket() && server->audioSocket() && server->controlSocket());
        QCOMPARE(audioGone.count() + controlGone.count() + stopped.count(), 0);
        QPointer<DeviceMessageReceiver> receiver = server->messageReceiver();
        QVERIFY(receiver);
        phone.back()->disconnectFromHost();
        QTRY_COMPARE(controlGone.count(), 1);
        QVERIFY(!server->controlSocket());
        QVERIFY(!receiver);
        // A stream that went away is not handed out again to a late connection.
        auto late = connectToLauncher(m_params->port());
        QVERIFY(late);
        QTRY_COMPARE(late->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(video.count(), 1);
    }

    void howAStartEnds_data()
    {
        // An empty pattern: the server file is missing; exit code -1: failed before the server ran.
        addColumns<QString, int, int>({"pattern", "calls", "exitCode"});
        QTest::newRow("no server file") << QString() << 0 << -1;
        QTest::newRow("push fails") << "*' push '*" << 1 << -1;
        QTest::newRow("reverse fails") << "*' reverse '*" << 2 << -1;
        QTest::newRow("the server ends by itself") << "*app_process*" << 3 << 3;
    }

    void howAStartEnds()
    {
        QFETCH(QString, pattern);
        QFETCH(int, exitCode);
        const QString path = TestSupport::serverFile();
        if (pattern.isEmpty())
            QVERIFY(QFile::rename(path, path + ".away"));
        else if (exitCode < 0)
            m_adb->respondMatching(pattern,
                                   FakeAdb::failure("error: device 'R58M123' not found\n"));
        else
            m_adb->respondMatching(pattern, {"INFO: Device: [Phone]\n", exitCode, {}, 0.2});
        auto restore = qScopeGuard([&] { QFile::rename(path + ".away", path); });
        ScrcpyServer server(nullptr, m_params.get());
        QSignalSpy stopped(&server, &ScrcpyServer::stopped);
        QSignalSpy started(&server, &ScrcpyServer::started);
        QSignalSpy output(&server, &ScrcpyServer::output);
        server.start();
        // Reported once the failing step has run, never from inside start().
        QCOMPARE(stopped.count(), 0);
        QTRY_COMPARE(stopped.count(), 1);
        QCOMPARE(started.count(), int(exitCode >= 0));
        QCOMPARE(stopped.at(0).at(0).toInt(), exitCode);
        QCOMPARE(stopped.at(0).at(1).value<QProcess::ExitStatus>(),
                 exitCode < 0 ? QProcess::CrashExit : QProcess::NormalExit);
        QTEST(int(m_adb->calls().size()), "calls");
        QByteArray printed;
        for (const auto &args : std::as_const(output))
            printed += args.at(0).toByteArray();
        QCOMPARE(printed, exitCode < 0 ? QByteArray() : QByteArray("INFO: Device: [Phone]\n"));
        if (pattern.isEmpty())
            return;
        m_adb->clearCalls();
        server.stop();
        QVERIFY(laneIdle());
        QCOMPARE(m_adb->calls(),
                 (QList<QStringList>{
                     {"-s", kSerial, "shell", "pkill", "-f", "com.genymobile.scrcpy.Server"},
                     {"-s", kSerial, "reverse", "--remove", "localabstract:scrcpy_0000001a"}}));
        QCOMPARE(stopped.count(), 1);
    }

    void stopDuringStartEndsTheLaunchInOrder_data()
    {
        addColumns<QString, QStringList>({"slowStep", "expected"});
        QTest::newRow("while pushing") << "*' push '*" << QStringList({"push", "pkill", "reverse"});
        QTest::newRow("while tunnelling")
            << "*' reverse localabstract'*" << QStringList({"push", "reverse", "pkill", "reverse"});
    }

    void stopDuringStartEndsTheLaunchInOrder()
    {
        QFETCH(QString, slowStep);
        QFETCH(QStringList, expected);
        m_adb->respondMatching(slowStep, {"done\n", 0, {}, 0.5});
        ScrcpyServer server(nullptr, m_params.get());
        QSignalSpy started(&server, &ScrcpyServer::started);
        QSignalSpy stopped(&server, &ScrcpyServer::stopped);
        server.start();
        QTRY_COMPARE(m_adb->calls().size(), expected.size() - 2); // the slow step is running
        server.stop();
        QVERIFY(laneIdle());
        QCoreApplication::processEvents(); // whatever the launch had left would run now
        QVERIFY(laneIdle());
        // The cleanup came after the step under way and nothing of the launch followed it.
        QStringList verbs = TestSupport::mapped(
            m_adb->calls(), [](const QStringList &call) { return call.value(2); });
        verbs.replaceInStrings("shell", "pkill");
        QCOMPARE(verbs, expected);
        QVERIFY(m_adb->callsWith({"app_process"}).isEmpty() && !server.isLaunched());
        QVERIFY(started.isEmpty() && stopped.isEmpty());
    }

    void aProgramThatCannotStartSaysSoAndReleasingEndsOne()
    {
        auto *process = new ServerProcess;
        int failed = 0;
        QByteArray printed;
        QObject scope;
        connect(process, &ServerProcess::failedToStart, &scope, [&] { ++failed; });
        process->start("/nonexistent/adb", {});
        QTRY_COMPARE(failed, 1);
        process->release();

        process = new ServerProcess;
        connect(process, &ServerProcess::output, &scope,
                [&](const QByteArray &data) { printed += data; });
        process->start("/bin/sh", {"-c", "echo $$; exec sleep 60"});
        QTRY_VERIFY(printed.endsWith('\n'));
        const pid_t pid = printed.trimmed().toInt();
        QVERIFY(pid > 0);
        QCOMPARE(::kill(pid, 0), 0);
        scope.disconnect();
        process->release();
        // Killed and reaped: the pid no longer names a process.
        QTRY_VERIFY_WITH_TIMEOUT(::kill(pid, 0) != 0, 5000);
    }

    void deviceMessagesRead_data()
    {
        // chunk: bytes per read (0: one read); expected: the last text (null: clipboard untouched)
        addColumns<QByteArray, int, QString>({"bytes", "chunk", "expected"});
        const auto row = [](const char *name, const QByteArray &bytes, const QString &expected) {
            QTest::newRow(name) << bytes << 0 << expected;
        };
        row("zero byte ends the text", clipboardMessage(QByteArray("a\0b", 3)), "a");
        row("empty text empties the clipboard", clipboardMessage(QByteArray()), QStringLiteral(""));
        const QByteArray largest(DeviceMessageReceiver::kMaxClipboardBytes, 'z');
        row("largest text", clipboardMessage(largest), QString::fromLatin1(largest));
        // Bytes that cannot be framed are dropped.
        row("unknown type", QByteArray("\x07") + clipboardMessage("hidden"), QString());
        row("length above the limit",
            clipboardHeader(DeviceMessageReceiver::kMaxClipboardBytes + 1) +
                clipboardMessage("hidden"),
            QString());
        // A split message waits for the rest; some cuts fall inside a multi-byte character.
        const QByteArray split = clipboardMessage(QStringLiteral("复制的文字").toUtf8());
        for (int chunk : {1, 3, 5})
            QTest::addRow("in reads of %d bytes", chunk) << split << chunk << "复制的文字";
        // Other kinds skipped, also cut anywhere or with half of the next message in one read:
        // an acknowledgement (type 1, sequence), a keyboard output (type 2, id, length, data).
        const QByteArray others = QByteArray("\x01\x01\x02\x03\x04\x05\x06\x07\x08", 9) +
                                  QByteArray("\x02\x00\x03\x01\x2c", 5) + QByteArray(300, 'u') +
                                  clipboardMessage("after");
        for (int chunk : {0, 4, 100})
            QTest::addRow("after other kinds, reads of %d", chunk) << others << chunk << "after";
    }

    void deviceMessagesRead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, chunk);
        QFETCH(QString, expected);
        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
        auto device = std::make_unique<FeedDevice>();
        DeviceMessageReceiver receiver(nullptr, device.get());
        QSignalSpy received(&receiver, &DeviceMessageReceiver::clipboardReceived);
        const int step = chunk ? chunk : int(bytes.size());
        for (int offset = 0; offset < bytes.size(); offset += step) {
            QCOMPARE(clipboardText(), QStringLiteral("untouched"));
            device->feed(bytes.mid(offset, step));
        }
        QCOMPARE(clipboardText(), expected.isNull() ? QStringLiteral("untouched") : expected);
        QCOMPARE(received.count(), expected.isNull() ? 0 : 1);
        // The next read starts clean.
        device->feed(clipboardMessage("next"));
        QCOMPARE(clipboardText(), QStringLiteral("next"));
        device.reset();
        receiver.handleIncomingData(); // must not touch the deleted device
        QCOMPARE(receiver.pendingBytes(), 0);
    }
};

PARVIX_TEST(ScrcpyServerTest)
#include "scrcpyservertest.moc"
