// The launcher against the scripted adb: command lines, the order of the
// connections and what stop() leaves behind (a slow adb: DeviceTest).
#include "scrcpyserver.h"
#include "adblane.h"
#include "devicemessagereceiver.h"
#include "fakeadb.h"
#include "serverparams.h"
#include "testregistry.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <vector>

namespace {
const QString kSerial = QStringLiteral("R58M123");

// The phone side of one connection, opened through the "tunnel".
std::unique_ptr<QTcpSocket> connectToLauncher(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    if (!socket->waitForConnected(3000))
        return nullptr;
    return socket;
}
} // namespace

class ScrcpyServerTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakeAdb> m_adb;
    std::unique_ptr<ServerParams> m_params;

    std::unique_ptr<ScrcpyServer> startedServer()
    {
        auto server = std::make_unique<ScrcpyServer>(nullptr, m_params.get());
        QSignalSpy started(server.get(), &ScrcpyServer::started);
        QSignalSpy stopped(server.get(), &ScrcpyServer::stopped);
        server->start();
        if (!QTest::qWaitFor([&] { return !started.isEmpty() || !stopped.isEmpty(); }, 10000) ||
            started.isEmpty())
            return nullptr;
        return server;
    }

    // Everything the launcher queued for the phone has run.
    bool laneIdle() { return AdbLane::waitForIdle(kSerial, 10000); }

private slots:
    void init()
    {
        FakeAdb::serverFile();
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
        QTest::addColumn<int>("maxSize");
        QTest::addColumn<int>("maxFps");
        QTest::addColumn<int>("scid");
        QTest::addColumn<bool>("audio");
        QTest::addColumn<QString>("options");
        const QString head = "video_bit_rate=2000000 audio_codec=opus log_level=verbose ";
        QTest::newRow("defaults, scid 26")
            << 280 << 5 << 26 << false
            << head + "max_size=280 max_fps=5 stay_awake=true scid=0000001a control=true "
                      "video=true audio=false";
        QTest::newRow("no size and fps limit, audio")
            << 0 << 0 << 5 << true
            << head + "stay_awake=true scid=00000005 control=true video=true audio=true";
        QTest::newRow("largest id, negative limits")
            << -1 << 60 << 0x7fffffff << false
            << head + "max_fps=60 stay_awake=true scid=7fffffff control=true video=true "
                      "audio=false";
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

    void startLaunchesAndStopEndsEverything()
    {
        auto server = startedServer();
        QVERIFY(server);
        QVERIFY(m_params->port() > 0);
        auto video = connectToLauncher(m_params->port());
        QVERIFY(video);
        QTRY_VERIFY(server->videoSocket());
        QTRY_COMPARE(m_adb->callsWith({"app_process"}).size(), 1);
        QCOMPARE(m_adb->calls(),
                 (QList<QStringList>{{"-s", kSerial, "push", FakeAdb::serverFile(),
                                      "/data/local/tmp/scrcpy-server.jar"},
                                     {"-s", kSerial, "reverse", "localabstract:scrcpy_0000001a",
                                      QStringLiteral("tcp:%1").arg(m_params->port())},
                                     ScrcpyServer::serverArguments(*m_params)}));

        m_adb->clearCalls();
        QSignalSpy stopped(server.get(), &ScrcpyServer::stopped);
        server->stop();
        QVERIFY(!server->videoSocket());
        QVERIFY(!server->isLaunched());
        QVERIFY(laneIdle());
        QCOMPARE(m_adb->calls(),
                 (QList<QStringList>{
                     {"-s", kSerial, "shell", "pkill", "-f", "com.genymobile.scrcpy.Server"},
                     {"-s", kSerial, "reverse", "--remove", "localabstract:scrcpy_0000001a"}}));
        QTRY_COMPARE(video->state(), QAbstractSocket::UnconnectedState);
        // Killed once the phone-side cleanup ran; the process reports its end.
        QTRY_COMPARE(stopped.count(), 1);
        QCOMPARE(stopped.at(0).at(1).value<QProcess::ExitStatus>(), QProcess::CrashExit);
    }

    void connectionsAreToldApartByOrder_data()
    {
        QTest::addColumn<bool>("audio");
        QTest::newRow("video, audio, control") << true;
        QTest::newRow("video, control") << false;
    }

    void connectionsAreToldApartByOrder()
    {
        QFETCH(bool, audio);
        m_params->setAudio(audio);
        auto server = startedServer();
        QVERIFY(server);
        QSignalSpy video(server.get(), &ScrcpyServer::videoSocketConnected);
        QSignalSpy audioConnected(server.get(), &ScrcpyServer::audioSocketConnected);
        QSignalSpy control(server.get(), &ScrcpyServer::controlSocketConnected);
        std::vector<std::unique_ptr<QTcpSocket>> phone;
        for (const char *stream : {"V", "A", "C"}) {
            if (*stream == 'A' && !audio)
                continue;
            phone.push_back(connectToLauncher(m_params->port()));
            QVERIFY(phone.back());
            QTRY_COMPARE(video.count() + audioConnected.count() + control.count(),
                         int(phone.size()));
            // The control connection is read by the clipboard receiver.
            phone.back()->write(*stream == 'C' ? QByteArray("\0\0\0\0\x07"
                                                            "control",
                                                            12)
                                               : QByteArray(stream));
        }
        QCOMPARE(video.count(), 1);
        QCOMPARE(audioConnected.count(), audio ? 1 : 0);
        QCOMPARE(audio, server->audioSocket() != nullptr);
        // Each accepted socket is the far end of the connection opened in that turn.
        QTRY_VERIFY(server->videoSocket()->bytesAvailable() == 1);
        QCOMPARE(server->videoSocket()->peek(1), QByteArray("V"));
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("control"));
        if (audio) {
            QTRY_VERIFY(server->audioSocket()->bytesAvailable() == 1);
            QCOMPARE(server->audioSocket()->peek(1), QByteArray("A"));
        }

        // Disconnects are reported per stream and end nothing else.
        QSignalSpy videoGone(server.get(), &ScrcpyServer::videoSocketDisconnected);
        QSignalSpy audioGone(server.get(), &ScrcpyServer::audioSocketDisconnected);
        QSignalSpy controlGone(server.get(), &ScrcpyServer::controlSocketDisconnected);
        QSignalSpy stopped(server.get(), &ScrcpyServer::stopped);
        phone.front()->disconnectFromHost();
        QTRY_COMPARE(videoGone.count(), 1);
        QVERIFY(!server->videoSocket());
        QCOMPARE(audio, server->audioSocket() != nullptr);
        QVERIFY(server->controlSocket());
        QCOMPARE(audioGone.count() + controlGone.count() + stopped.count(), 0);
        QPointer<DeviceMessageReceiver> receiver = server->messageReceiver();
        QVERIFY(receiver);
        phone.back()->disconnectFromHost();
        QTRY_COMPARE(controlGone.count(), 1);
        QVERIFY(!server->controlSocket());
        QVERIFY(!receiver);
        QVERIFY(!server->messageReceiver());
        // A stream that went away is not handed out again to a late connection.
        auto late = connectToLauncher(m_params->port());
        QVERIFY(late);
        QTRY_COMPARE(late->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(video.count(), 1);
    }

    void failuresOfStart_data()
    {
        QTest::addColumn<QString>("pattern"); // empty: the local server file is missing
        QTest::addColumn<int>("callsBeforeFailure");
        QTest::newRow("no server file") << QString() << 0;
        QTest::newRow("push") << "*' push '*" << 1;
        QTest::newRow("reverse") << "*' reverse '*" << 2;
    }

    void failuresOfStart()
    {
        QFETCH(QString, pattern);
        QFETCH(int, callsBeforeFailure);
        const QString path = FakeAdb::serverFile();
        if (pattern.isEmpty())
            QVERIFY(QFile::rename(path, path + ".away"));
        else
            m_adb->respondMatching(pattern,
                                   FakeAdb::failure("error: device 'R58M123' not found\n"));
        auto restore = qScopeGuard([&] { QFile::rename(path + ".away", path); });
        ScrcpyServer server(nullptr, m_params.get());
        QSignalSpy stopped(&server, &ScrcpyServer::stopped);
        QSignalSpy started(&server, &ScrcpyServer::started);
        server.start();
        // Reported once the failing step has run, never from inside start().
        QCOMPARE(stopped.count(), 0);
        QTRY_COMPARE(stopped.count(), 1);
        QVERIFY(started.isEmpty());
        QCOMPARE(stopped.at(0).at(0).toInt(), -1);
        QCOMPARE(stopped.at(0).at(1).value<QProcess::ExitStatus>(), QProcess::CrashExit);
        QCOMPARE(m_adb->calls().size(), callsBeforeFailure);
        if (pattern.isEmpty())
            return;
        // stop() after a failed start still cleans up on the phone.
        m_adb->clearCalls();
        server.stop();
        QVERIFY(laneIdle());
        QCOMPARE(m_adb->callsWith({"pkill"}).size(), 1);
        QCOMPARE(m_adb->callsWith({"--remove"}).size(), 1);
        QCOMPARE(stopped.count(), 1);
    }

    void stopDuringStartEndsTheLaunchInOrder_data()
    {
        QTest::addColumn<QString>("slowStep");
        QTest::addColumn<QStringList>("expected");
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
        QStringList verbs;
        for (const QStringList &call : m_adb->calls())
            verbs << call.value(2);
        verbs.replaceInStrings("shell", "pkill");
        QCOMPARE(verbs, expected);
        QVERIFY(m_adb->callsWith({"app_process"}).isEmpty());
        QVERIFY(started.isEmpty());
        QVERIFY(stopped.isEmpty());
        QVERIFY(!server.isLaunched());
    }

    void processEndAndOutputAreForwarded()
    {
        m_adb->respondMatching("*app_process*", {"INFO: Device: [Phone]\n", 3, {}, 0.2});
        auto server = startedServer();
        QVERIFY(server);
        QSignalSpy output(server.get(), &ScrcpyServer::output);
        QSignalSpy stopped(server.get(), &ScrcpyServer::stopped);
        QTRY_COMPARE(stopped.count(), 1);
        QByteArray printed;
        for (const auto &args : std::as_const(output))
            printed += args.at(0).toByteArray();
        QCOMPARE(printed, QByteArray("INFO: Device: [Phone]\n"));
        QCOMPARE(stopped.at(0).at(0).toInt(), 3);
        QCOMPARE(stopped.at(0).at(1).value<QProcess::ExitStatus>(), QProcess::NormalExit);
    }
};

PARVIX_TEST(ScrcpyServerTest)
#include "scrcpyservertest.moc"
