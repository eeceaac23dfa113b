#include "devicetracker.h"

#include "adbrunner.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <utility>

Q_LOGGING_CATEGORY(lcTracker, "parvix.adb.tracker")

// Lives on the tracker's thread with the adb process it runs.
class DeviceTrackerWorker : public QObject
{
    Q_OBJECT

public:
    // No `probe` arguments: nothing is asked in between (the local server).
    DeviceTrackerWorker(const QStringList &arguments, const QStringList &probe, int maxRetryMs)
        : m_arguments(arguments), m_probeArguments(probe), m_maxRetryMs(maxRetryMs)
    {}

    void run()
    {
        if (!m_retry) {
            m_retry = new QTimer(this);
            m_retry->setSingleShot(true);
            connect(m_retry, &QTimer::timeout, this, &DeviceTrackerWorker::run);
            if (!m_probeArguments.isEmpty())
                startKeepAlive();
        }
        delete m_process;
        m_buffer.clear();
        m_process = new QProcess(this);
        m_process->setProcessChannelMode(QProcess::SeparateChannels);
        m_process->setStandardInputFile(QProcess::nullDevice());
        connect(m_process, &QProcess::readyReadStandardOutput, this, &DeviceTrackerWorker::read);
        connect(m_process, &QProcess::finished, this, &DeviceTrackerWorker::ended);
        connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                ended();
        });
        m_process->start(ADBRunner::adbExecutablePath(), m_arguments);
    }

    void stop()
    {
        m_stopping = true;
        if (m_retry)
            m_retry->stop();
        if (m_keepAlive) {
            m_keepAlive->stop();
            m_probeTimeout->stop();
        }
        delete endProbe(); // the thread's loop ends: nothing would delete it later
        if (m_process) {
            m_process->disconnect(this);
            m_process->kill();
            m_process->waitForFinished(2000);
            delete m_process;
            m_process = nullptr;
        }
    }

signals:
    void block(const DeviceTracker::States &states);
    void down();

private:
    void startKeepAlive()
    {
        m_keepAlive = new QTimer(this);
        m_keepAlive->setSingleShot(true);
        connect(m_keepAlive, &QTimer::timeout, this, &DeviceTrackerWorker::probe);
        m_probeTimeout = new QTimer(this);
        m_probeTimeout->setSingleShot(true);
        connect(m_probeTimeout, &QTimer::timeout, this, [this] { probed(false); });
        m_keepAlive->start(DeviceTracker::kKeepAliveMs);
    }

    void probe()
    {
        m_probe = new QProcess(this);
        m_probe->setStandardInputFile(QProcess::nullDevice());
        m_probe->setStandardOutputFile(QProcess::nullDevice());
        m_probe->setStandardErrorFile(QProcess::nullDevice());
        connect(m_probe, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
            probed(status == QProcess::NormalExit && code == 0);
        });
        connect(m_probe, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                probed(false);
        });
        m_probeTimeout->start(DeviceTracker::kKeepAliveTimeoutMs);
        m_probe->start(ADBRunner::adbExecutablePath(), m_probeArguments);
    }

    void probed(bool answered)
    {
        m_probeTimeout->stop();
        if (QProcess *ended = endProbe())
            ended->deleteLater();
        if (m_stopping)
            return;
        m_misses = answered ? 0 : m_misses + 1;
        if (m_misses >= DeviceTracker::kKeepAliveMisses && m_process &&
            m_process->state() != QProcess::NotRunning) {
            qCInfo(lcTracker) << "the adb server does not answer; dropping its device stream";
            m_process->kill(); // ends like a closed stream
        } else if (answered && m_retry->isActive()) {
            m_retry->stop(); // the server is back: no need to sit out the pause
            run();
        }
        // After a first miss the next question goes at once: two misses take two time-outs.
        m_keepAlive->start(m_misses == 1 ? 0 : DeviceTracker::kKeepAliveMs);
    }

    // The ended probe, for the caller to delete: it may be the sender being handled.
    QProcess *endProbe()
    {
        QProcess *probe = std::exchange(m_probe, nullptr);
        if (!probe)
            return nullptr;
        probe->disconnect(this);
        if (probe->state() != QProcess::NotRunning) {
            probe->kill();
            probe->waitForFinished(1000);
        }
        return probe;
    }

    void read()
    {
        m_buffer += m_process->readAllStandardOutput();
        bool broken = false;
        const QList<DeviceTracker::States> blocks = DeviceTracker::takeBlocks(m_buffer, &broken);
        if (!blocks.isEmpty())
            m_failures = 0;
        for (const DeviceTracker::States &states : blocks)
            emit block(states);
        if (broken) {
            qCWarning(lcTracker) << "adb track-devices sent something unreadable; restarting it";
            m_process->kill();
        }
    }

    void ended()
    {
        if (m_stopping || m_retry->isActive())
            return;
        const int delay = DeviceTracker::retryDelayMs(m_failures++, m_maxRetryMs);
        qCInfo(lcTracker) << "adb track-devices ended; again in" << delay << "ms";
        emit down();
        m_retry->start(delay);
    }

    const QStringList m_arguments;
    const QStringList m_probeArguments;
    const int m_maxRetryMs;
    QProcess *m_process = nullptr;
    QTimer *m_retry = nullptr;
    QTimer *m_keepAlive = nullptr;
    QTimer *m_probeTimeout = nullptr;
    QProcess *m_probe = nullptr;
    int m_misses = 0;
    QByteArray m_buffer;
    int m_failures = 0;
    bool m_stopping = false;
};

DeviceTracker::DeviceTracker(const QString &host, quint16 port, QObject *parent)
    : QObject(parent), m_host(host), m_port(port)
{
    qRegisterMetaType<DeviceTracker::States>();
    QStringList server;
    if (!host.isEmpty())
        server << QStringLiteral("-H") << host;
    if (port != 0)
        server << QStringLiteral("-P") << QString::number(port);
    const bool remote = !host.isEmpty();
    m_worker = new DeviceTrackerWorker(
        server + QStringList{QStringLiteral("track-devices")},
        remote ? server + QStringList{QStringLiteral("host-features")} : QStringList(),
        remote ? kMaxRemoteRetryMs : kMaxRetryMs);
    m_worker->moveToThread(&m_thread);
    connect(m_worker, &DeviceTrackerWorker::block, this, &DeviceTracker::handleBlock);
    connect(m_worker, &DeviceTrackerWorker::down, this, &DeviceTracker::handleEnded);
    connect(&m_thread, &QThread::finished, m_worker, &DeviceTrackerWorker::stop,
            Qt::DirectConnection);
    m_thread.setObjectName(QStringLiteral("DeviceTracker"));
}

DeviceTracker::~DeviceTracker()
{
    // The worker stops on its thread as that ends (see the constructor): a call queued to it
    // would not run once the application object is being destroyed.
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

void DeviceTracker::start()
{
    if (m_thread.isRunning())
        return;
    m_thread.start();
    QMetaObject::invokeMethod(m_worker, &DeviceTrackerWorker::run, Qt::QueuedConnection);
}

void DeviceTracker::handleBlock(const States &states)
{
    const bool wasLive = std::exchange(m_live, true);
    if (states != m_states || !wasLive) {
        m_states = states;
        emit statesChanged(m_states);
    }
    if (!wasLive)
        emit liveChanged(true);
}

void DeviceTracker::handleEnded()
{
    if (std::exchange(m_live, false))
        emit liveChanged(false);
    emit ended();
}

QList<DeviceTracker::States> DeviceTracker::takeBlocks(QByteArray &buffer, bool *broken)
{
    QList<States> blocks;
    if (broken)
        *broken = false;
    while (buffer.size() >= 4) {
        bool ok = false;
        const int length = buffer.left(4).toInt(&ok, 16);
        if (!ok || length < 0 || buffer.left(4).contains('-') || buffer.left(4).contains('+')) {
            buffer.clear();
            if (broken)
                *broken = true;
            break;
        }
        if (buffer.size() < 4 + length)
            break;
        States states;
        for (const QByteArray &line : buffer.mid(4, length).split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() >= 2 && !fields.first().isEmpty())
                states.insert(QString::fromUtf8(fields.at(0)), QString::fromUtf8(fields.at(1)));
        }
        buffer.remove(0, 4 + length);
        blocks.append(states);
    }
    return blocks;
}

int DeviceTracker::retryDelayMs(int failures, int maxMs)
{
    const int doublings = std::clamp(failures, 0, 15);
    return std::min(maxMs, kFirstRetryMs << doublings);
}

#include "devicetracker.moc"
#include "moc_devicetracker.cpp"
