// The launcher against the scripted adb: command lines, the order of the
// connections, and what stop() leaves behind.
#include "scrcpyserver.h"
#include "devicemessagereceiver.h"
#include "fakephoneadb.h"
#include "serverparams.h"
#include "testregistry.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {
const QString kSerial = QLatin1String(FakePhoneAdb::kSerial);

QStringList expectedPrefix()
{
    return {"-s",
            kSerial,
            "shell",
            "CLASSPATH=/data/local/tmp/scrcpy-server.jar",
            "app_process",
            "/",
            "com.genymobile.scrcpy.Server",
            "3.3.1"};
}

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
    std::unique_ptr<FakePhoneAdb> m_adb;
    std::unique_ptr<ServerParams> m_params;

    std::unique_ptr<ScrcpyServer> startedServer()
    {
        auto server = std::make_unique<ScrcpyServer>(nullptr, m_params.get());
        if (!server->start())
            return nullptr;
        return server;
    }

private slots:
    void init()
    {
        m_adb = std::make_unique<FakePhoneAdb>();
        QVERIFY(m_adb->isValid());
        m_params = std::make_unique<ServerParams>();
        m_params->setDeviceSerial(kSerial);
        m_params->setScid(0x1a);
        m_params->setSocketName(QStringLiteral("scrcpy_0000001a"));
    }

    void cleanup()
    {
        m_params.reset();
        m_adb.reset();
    }

    void defaultsOfTheParameters()
    {
        ServerParams params;
        QCOMPARE(params.bitRate(), 2000000);
        QCOMPARE(params.maxSize(), 280);
        QCOMPARE(params.maxFps(), 5);
        QVERIFY(params.stayAwake() && params.video() && params.control() && !params.audio());
        QCOMPARE(params.audioCodec(), QStringLiteral("opus"));
        QVERIFY(params.scid() >= 0);
        // Ids are drawn per object; two equal draws in a row would mean no randomness.
        ServerParams other;
        ServerParams third;
        QVERIFY(params.scid() != other.scid() || other.scid() != third.scid());
    }

    void settersSignalOnlyChanges()
    {
        ServerParams params;
        QSignalSpy maxSize(&params, &ServerParams::maxSizeChanged);
        QSignalSpy audio(&params, &ServerParams::audioChanged);
        params.setMaxSize(280);
        params.setAudio(false);
        QCOMPARE(maxSize.count() + audio.count(), 0);
        params.setMaxSize(1024);
        params.setAudio(true);
        QCOMPARE(maxSize.count(), 1);
        QCOMPARE(audio.count(), 1);
        QCOMPARE(params.maxSize(), 1024);
    }

    void commandLine_data()
    {
        QTest::addColumn<int>("maxSize");
        QTest::addColumn<int>("maxFps");
        QTest::addColumn<int>("scid");
        QTest::addColumn<bool>("audio");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("defaults, scid 26")
            << 280 << 5 << 26 << false << QStringList{"video_bit_rate=2000000",
                                                      "audio_codec=opus",
                                                      "log_level=verbose",
                                                      "max_size=280",
                                                      "max_fps=5",
                                                      "stay_awake=true",
                                                      "scid=0000001a",
                                                      "control=true",
                                                      "video=true",
                                                      "audio=false"};
        QTest::newRow("no size and fps limit, audio")
            << 0 << 0 << 5 << true << QStringList{"video_bit_rate=2000000",
                                                  "audio_codec=opus",
                                                  "log_level=verbose",
                                                  "stay_awake=true",
                                                  "scid=00000005",
                                                  "control=true",
                                                  "video=true",
                                                  "audio=true"};
        QTest::newRow("largest id, negative limits")
            << -1 << 60 << 0x7fffffff << false << QStringList{"video_bit_rate=2000000",
                                                              "audio_codec=opus",
                                                              "log_level=verbose",
                                                              "max_fps=60",
                                                              "stay_awake=true",
                                                              "scid=7fffffff",
                                                              "control=true",
                                                              "video=true",
                                                              "audio=false"};
    }

    void commandLine()
    {
        QFETCH(int, maxSize);
        QFETCH(int, maxFps);
        QFETCH(int, scid);
        QFETCH(bool, audio);
        QFETCH(QStringList, options);
        m_params->setMaxSize(maxSize);
        m_params->setMaxFps(maxFps);
        m_params->setScid(scid);
        m_params->setAudio(audio);
        QCOMPARE(ScrcpyServer::serverArguments(*m_params), expectedPrefix() + options);
    }

    void startPushesTunnelsAndLaunches()
    {
        auto server = startedServer();
        QVERIFY(server);
        QVERIFY(m_params->port() > 0);
        // Something listens on the chosen loopback port.
        auto probe = connectToLauncher(m_params->port());
        QVERIFY(probe);

        QTRY_COMPARE(m_adb->callsWith({"app_process"}).size(), 1);
        const QList<QStringList> calls = m_adb->calls();
        QCOMPARE(calls.size(), 3);
        QCOMPARE(calls.at(0), (QStringList{"-s", kSerial, "push", SessionTestEnv::serverFilePath(),
                                           "/data/local/tmp/scrcpy-server.jar"}));
        QCOMPARE(calls.at(1),
                 (QStringList{"-s", kSerial, "reverse", "localabstract:scrcpy_0000001a",
                              QStringLiteral("tcp:%1").arg(m_params->port())}));
        QCOMPARE(calls.at(2), ScrcpyServer::serverArguments(*m_params));
        QCOMPARE(calls.at(2).size(), 18);
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

        auto first = connectToLauncher(m_params->port());
        QVERIFY(first);
        QTRY_COMPARE(video.count(), 1);
        first->write("V");
        QVERIFY(first->waitForBytesWritten(1000));

        std::unique_ptr<QTcpSocket> second;
        if (audio) {
            second = connectToLauncher(m_params->port());
            QVERIFY(second);
            QTRY_COMPARE(audioConnected.count(), 1);
            second->write("A");
        }
        auto last = connectToLauncher(m_params->port());
        QVERIFY(last);
        QTRY_COMPARE(control.count(), 1);
        // The control connection is read by the clipboard receiver.
        last->write(QByteArray("\0\0\0\0\x07"
                               "control",
                               12));

        QCOMPARE(video.count(), 1);
        QCOMPARE(audioConnected.count(), audio ? 1 : 0);
        QCOMPARE(audio, server->audioSocket() != nullptr);
        QVERIFY(server->messageReceiver());
        // Each accepted socket is the far end of the connection opened in that turn.
        QTRY_VERIFY(server->videoSocket()->bytesAvailable() == 1);
        QCOMPARE(server->videoSocket()->peek(1), QByteArray("V"));
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("control"));
        if (audio) {
            QTRY_VERIFY(server->audioSocket()->bytesAvailable() == 1);
            QCOMPARE(server->audioSocket()->peek(1), QByteArray("A"));
        }
    }

    void disconnectsAreReportedPerStream()
    {
        m_params->setAudio(true);
        auto server = startedServer();
        QVERIFY(server);
        QSignalSpy control(server.get(), &ScrcpyServer::controlSocketConnected);
        auto video = connectToLauncher(m_params->port());
        QTRY_VERIFY(server->videoSocket());
        auto audio = connectToLauncher(m_params->port());
        QTRY_VERIFY(server->audioSocket());
        auto controlSocket = connectToLauncher(m_params->port());
        QTRY_COMPARE(control.count(), 1);

        QSignalSpy videoGone(server.get(), &ScrcpyServer::videoSocketDisconnected);
        QSignalSpy audioGone(server.get(), &ScrcpyServer::audioSocketDisconnected);
        QSignalSpy controlGone(server.get(), &ScrcpyServer::controlSocketDisconnected);
        QSignalSpy stopped(server.get(), &ScrcpyServer::stopped);
        video->disconnectFromHost();
        QTRY_COMPARE(videoGone.count(), 1);
        QVERIFY(!server->videoSocket());
        QVERIFY(server->audioSocket());
        QVERIFY(server->controlSocket());
        QCOMPARE(audioGone.count() + controlGone.count() + stopped.count(), 0);

        QPointer<DeviceMessageReceiver> receiver = server->messageReceiver();
        controlSocket->disconnectFromHost();
        QTRY_COMPARE(controlGone.count(), 1);
        QVERIFY(!server->controlSocket());
        QVERIFY(!receiver);
        QVERIFY(!server->messageReceiver());

        // A stream that went away is not handed out again to a late connection.
        QSignalSpy videoAgain(server.get(), &ScrcpyServer::videoSocketConnected);
        auto late = connectToLauncher(m_params->port());
        QVERIFY(late);
        QTRY_COMPARE(late->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(videoAgain.count(), 0);
    }

    void stopEndsEverything()
    {
        auto server = startedServer();
        QVERIFY(server);
        auto video = connectToLauncher(m_params->port());
        QTRY_VERIFY(server->videoSocket());
        QTRY_COMPARE(m_adb->callsWith({"app_process"}).size(), 1);
        m_adb->clearCalls();
        QSignalSpy stopped(server.get(), &ScrcpyServer::stopped);

        server->stop();
        QCOMPARE(m_adb->calls(),
                 (QList<QStringList>{
                     {"-s", kSerial, "shell", "pkill", "-f", "com.genymobile.scrcpy.Server"},
                     {"-s", kSerial, "reverse", "--remove", "localabstract:scrcpy_0000001a"}}));
        QVERIFY(!server->videoSocket());
        QTRY_COMPARE(video->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(stopped.count(), 1); // the killed process reports its end
        QCOMPARE(stopped.at(0).at(1).value<QProcess::ExitStatus>(), QProcess::CrashExit);
        // Nothing listens any more.
        QTcpSocket refused;
        refused.connectToHost(QHostAddress::LocalHost, m_params->port());
        QVERIFY(!refused.waitForConnected(1000));
    }

    void failuresOfStart_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("callsBeforeFailure");
        QTest::newRow("push") << "*' push '*" << 1;
        QTest::newRow("reverse") << "*' reverse '*" << 2;
    }

    void failuresOfStart()
    {
        QFETCH(QString, pattern);
        QFETCH(int, callsBeforeFailure);
        m_adb->addRule(pattern, "echo \"error: device 'R58M123' not found\" >&2; exit 1");
        ScrcpyServer server(nullptr, m_params.get());
        QSignalSpy stopped(&server, &ScrcpyServer::stopped);
        QVERIFY(!server.start());
        // Reported before start() returned.
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(stopped.at(0).at(0).toInt(), -1);
        QCOMPARE(stopped.at(0).at(1).value<QProcess::ExitStatus>(), QProcess::CrashExit);
        QCOMPARE(m_adb->calls().size(), callsBeforeFailure);
        QVERIFY(m_adb->callsWith({"app_process"}).isEmpty());

        // stop() after a failed start still cleans up on the phone.
        m_adb->clearCalls();
        server.stop();
        QCOMPARE(m_adb->callsWith({"pkill"}).size(), 1);
        QCOMPARE(m_adb->callsWith({"--remove"}).size(), 1);
        QCOMPARE(stopped.count(), 1);
    }

    void missingServerFileFailsWithoutAdb()
    {
        const QString path = SessionTestEnv::serverFilePath();
        QVERIFY(QFile::rename(path, path + ".away"));
        auto restore = qScopeGuard([&] { QFile::rename(path + ".away", path); });
        ScrcpyServer server(nullptr, m_params.get());
        QSignalSpy stopped(&server, &ScrcpyServer::stopped);
        QVERIFY(!server.start());
        QCOMPARE(stopped.count(), 1);
        QVERIFY(m_adb->calls().isEmpty());
    }

    void processEndAndOutputAreForwarded()
    {
        m_adb->addRule("*app_process*", "echo 'INFO: Device: [Phone]'; sleep 0.2; exit 3");
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

    void destroyingARunningLauncherEndsItsProcess()
    {
        auto server = startedServer();
        QVERIFY(server);
        auto video = connectToLauncher(m_params->port());
        QTRY_VERIFY(server->videoSocket());
        QSignalSpy stopped(server.get(), &ScrcpyServer::stopped);
        QSignalSpy videoGone(server.get(), &ScrcpyServer::videoSocketDisconnected);
        server.reset();
        // The client end sees its connection close; no signal came from a half-destroyed object.
        QTRY_COMPARE(video->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(stopped.count(), 0);
        QCOMPARE(videoGone.count(), 0);
    }
};

PARVIX_TEST(ScrcpyServerTest)
#include "scrcpyservertest.moc"
