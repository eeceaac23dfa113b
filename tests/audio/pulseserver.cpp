#include "pulseserver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

namespace {
QProcess *g_process = nullptr;
QString g_runtimeDir;

void stopAtExit()
{
    if (g_process) {
        g_process->terminate();
        if (!g_process->waitForFinished(3000))
            g_process->kill();
        g_process->waitForFinished(3000);
        delete g_process;
        g_process = nullptr;
    }
    if (qEnvironmentVariableIsEmpty("PARVIX_KEEP_PULSE_LOG"))
        QDir(g_runtimeDir).removeRecursively();
}
} // namespace

PulseServer &PulseServer::instance()
{
    static PulseServer server;
    return server;
}

PulseServer::PulseServer()
{
    const QString daemon = QStandardPaths::findExecutable("pulseaudio");
    if (daemon.isEmpty() || QStandardPaths::findExecutable("pactl").isEmpty()) {
        m_failure = "pulseaudio or pactl is not installed";
        return;
    }
    // Short path: unix socket names are limited to about 100 bytes.
    g_runtimeDir =
        QDir::tempPath() + QString("/pxpulse-%1").arg(QCoreApplication::applicationPid());
    QDir(g_runtimeDir).removeRecursively();
    QDir().mkpath(g_runtimeDir);
    const QString socket = g_runtimeDir + "/native";
    m_address = "unix:" + socket;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"HOME", "PULSE_RUNTIME_PATH", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
        env.insert(name, g_runtimeDir);
    env.remove("PULSE_SERVER");
    g_process = new QProcess;
    g_process->setProcessEnvironment(env);
    // A log file, not a pipe: a full pipe would stall the server's threads.
    g_process->setStandardOutputFile(g_runtimeDir + "/log");
    g_process->setStandardErrorFile(g_runtimeDir + "/log", QIODevice::Append);
    // Without rewinds: with them, a recorded monitor slows the null sink's clock
    // to a fraction of real time.
    g_process->start(daemon,
                     {"--daemonize=no", "--exit-idle-time=-1", "-n", "--system=false",
                      "--disallow-exit", "--use-pid-file=no",
                      QString("--load=module-null-sink sink_name=%1 rate=%2 norewinds=1")
                          .arg(SinkName)
                          .arg(RecordRate),
                      "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket});
    qAddPostRoutine(stopAtExit);
    if (!g_process->waitForStarted(5000)) {
        m_failure = "pulseaudio did not start: " + g_process->errorString();
        return;
    }
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && g_process->state() == QProcess::Running && !answers())
        QThread::msleep(100);
    if (!answers()) {
        QFile log(g_runtimeDir + "/log");
        log.open(QIODevice::ReadOnly);
        m_failure =
            "pulseaudio did not answer: " + QString::fromLocal8Bit(log.readAll()).right(400);
        return;
    }
    // Every audio client of this process (Qt's audio output included) talks to
    // this server.
    qputenv("PULSE_SERVER", m_address.toUtf8());
}

bool PulseServer::answers() const
{
    QProcess pactl;
    pactl.start("pactl", {"-s", m_address, "info"});
    return pactl.waitForFinished(3000) && pactl.exitStatus() == QProcess::NormalExit &&
           pactl.exitCode() == 0;
}

bool SinkRecording::start()
{
    // parec on the null sink's monitor: raw 16-bit stereo at RecordRate on
    // stdout.
    m_parec.start("parec", {"-s", PulseServer::instance().address(), "-d",
                            QString("%1.monitor").arg(PulseServer::SinkName), "--raw",
                            "--format=s16le", QString("--rate=%1").arg(PulseServer::RecordRate),
                            "--channels=2", "--latency-msec=20"});
    return m_parec.waitForStarted(5000);
}

void SinkRecording::stop()
{
    pcm();
    m_parec.terminate();
    m_parec.waitForFinished(3000);
}
