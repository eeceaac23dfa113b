#include "pulseserver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

namespace {
QProcess *g_process = nullptr;
QString g_runtimeDir;
} // namespace

PulseServer &PulseServer::instance()
{
    static PulseServer server;
    return server;
}

PulseServer::PulseServer()
{
    start();
}

void PulseServer::start()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (daemon.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty()) {
        m_failure = QStringLiteral("pulseaudio or pactl is not installed");
        return;
    }
    // Short path: unix socket names are limited to about 100 bytes.
    m_runtimeDir =
        QDir::tempPath() + QStringLiteral("/pxpulse-%1").arg(QCoreApplication::applicationPid());
    QDir(m_runtimeDir).removeRecursively();
    QDir().mkpath(m_runtimeDir);
    g_runtimeDir = m_runtimeDir;
    const QString socket = m_runtimeDir + QStringLiteral("/native");
    m_address = QStringLiteral("unix:") + socket;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_runtimeDir);
    env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), m_runtimeDir);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_runtimeDir);
    env.remove(QStringLiteral("PULSE_SERVER"));

    g_process = new QProcess;
    g_process->setProcessEnvironment(env);
    // A log file, not a pipe: a full pipe would stall the server's threads.
    g_process->setStandardOutputFile(m_runtimeDir + QStringLiteral("/log"));
    g_process->setStandardErrorFile(m_runtimeDir + QStringLiteral("/log"), QIODevice::Append);
    g_process->start(
        daemon, {QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                 QStringLiteral("-n"), QStringLiteral("--system=false"),
                 QStringLiteral("--disallow-exit"), QStringLiteral("--use-pid-file=no"),
                 // Without rewinds: with them, a recorded monitor slows the null
                 // sink's clock to a fraction of real time.
                 QStringLiteral("--load=module-null-sink sink_name=%1 rate=%2 norewinds=1")
                     .arg(SinkName)
                     .arg(RecordRate),
                 QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=%1")
                     .arg(socket)});
    qAddPostRoutine(&PulseServer::stopAtExit);
    if (!g_process->waitForStarted(5000)) {
        m_failure = QStringLiteral("pulseaudio did not start: ") + g_process->errorString();
        return;
    }
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && g_process->state() == QProcess::Running && !answers())
        QThread::msleep(100);
    if (!answers()) {
        QFile log(m_runtimeDir + QStringLiteral("/log"));
        log.open(QIODevice::ReadOnly);
        m_failure = QStringLiteral("pulseaudio did not answer: ") +
                    QString::fromLocal8Bit(log.readAll()).right(400);
        return;
    }
    // Every audio client of this process (Qt's audio output included) talks to this server.
    qputenv("PULSE_SERVER", m_address.toUtf8());
    m_running = true;
}

bool PulseServer::answers() const
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("-s"), m_address, QStringLiteral("info")});
    return pactl.waitForFinished(3000) && pactl.exitStatus() == QProcess::NormalExit &&
           pactl.exitCode() == 0;
}

void PulseServer::stopAtExit()
{
    if (g_process) {
        g_process->terminate();
        if (!g_process->waitForFinished(3000)) {
            g_process->kill();
            g_process->waitForFinished(3000);
        }
        delete g_process;
        g_process = nullptr;
    }
    if (!g_runtimeDir.isEmpty() && qEnvironmentVariableIsEmpty("PARVIX_KEEP_PULSE_LOG"))
        QDir(g_runtimeDir).removeRecursively();
}

bool SinkRecording::start()
{
    // parec on the null sink's monitor: raw 16-bit stereo at RecordRate on stdout.
    m_parec.start(QStringLiteral("parec"),
                  {QStringLiteral("-s"), PulseServer::instance().m_address, QStringLiteral("-d"),
                   QStringLiteral("%1.monitor").arg(PulseServer::SinkName), QStringLiteral("--raw"),
                   QStringLiteral("--format=s16le"),
                   QStringLiteral("--rate=%1").arg(PulseServer::RecordRate),
                   QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=20")});
    return m_parec.waitForStarted(5000);
}

QByteArray SinkRecording::stop()
{
    pcm();
    m_parec.terminate();
    m_parec.waitForFinished(3000);
    return pcm();
}
