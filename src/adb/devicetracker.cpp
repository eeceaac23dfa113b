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
    explicit DeviceTrackerWorker(const QStringList &arguments) : m_arguments(arguments) {}

    void run()
    {
        if (!m_retry) {
            m_retry = new QTimer(this);
            m_retry->setSingleShot(true);
            connect(m_retry, &QTimer::timeout, this, &DeviceTrackerWorker::run);
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
        const int delay = DeviceTracker::retryDelayMs(m_failures++);
        qCInfo(lcTracker) << "adb track-devices ended; again in" << delay << "ms";
        emit down();
        m_retry->start(delay);
    }

    const QStringList m_arguments;
    QProcess *m_process = nullptr;
    QTimer *m_retry = nullptr;
    QByteArray m_buffer;
    int m_failures = 0;
    bool m_stopping = false;
};

DeviceTracker::DeviceTracker(const QString &host, quint16 port, QObject *parent)
    : QObject(parent), m_host(host), m_port(port)
{
    qRegisterMetaType<DeviceTracker::States>();
    QStringList arguments;
    if (!host.isEmpty())
        arguments << QStringLiteral("-H") << host;
    if (port != 0)
        arguments << QStringLiteral("-P") << QString::number(port);
    arguments << QStringLiteral("track-devices");
    m_worker = new DeviceTrackerWorker(arguments);
    m_worker->moveToThread(&m_thread);
    connect(m_worker, &DeviceTrackerWorker::block, this, &DeviceTracker::handleBlock);
    connect(m_worker, &DeviceTrackerWorker::down, this, &DeviceTracker::handleEnded);
    m_thread.setObjectName(QStringLiteral("DeviceTracker"));
}

DeviceTracker::~DeviceTracker()
{
    if (m_thread.isRunning()) {
        QMetaObject::invokeMethod(m_worker, &DeviceTrackerWorker::stop,
                                  Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
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

int DeviceTracker::retryDelayMs(int failures)
{
    const int doublings = std::clamp(failures, 0, 15);
    return std::min(kMaxRetryMs, kFirstRetryMs << doublings);
}

#include "devicetracker.moc"
#include "moc_devicetracker.cpp"
