#include "adbhostwatch.h"

#include "adbrunner.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

namespace {
// An unreachable computer may hold adb's connect for long; a listing takes far less.
constexpr int kListingTimeoutMs = 5000;
} // namespace

PollingHostProbe::PollingHostProbe(QObject *parent, const AdbServer &server)
    : HostProbe(parent), m_server(server)
{}

void PollingHostProbe::check()
{
    if (m_running)
        return;
    m_running = true;
    QPointer<PollingHostProbe> self(this);
    const QStringList args = m_server.options() + QStringList{"devices", "-l"};
    ADBRunner::workPool()->start([self, args] {
        const bool reachable = ADBRunner::run(args, kListingTimeoutMs).succeeded;
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, reachable] {
            if (!self)
                return;
            self->m_running = false;
            emit self->answered(reachable);
        });
    });
}

AdbHostWatch::AdbHostWatch(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setInterval(kDefaultIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &AdbHostWatch::checkNow);
}

AdbHostWatch *AdbHostWatch::instance()
{
    static AdbHostWatch *const shared = [] {
        auto *watch = new AdbHostWatch(QCoreApplication::instance());
        watch->watch(AdbServers::configured());
        return watch;
    }();
    return shared;
}

void AdbHostWatch::watch(const QList<AdbServer> &servers)
{
    QHash<QString, HostProbe *> kept;
    for (const AdbServer &server : servers) {
        if (server.isLocal())
            continue;
        const QString host = server.text();
        HostProbe *probe = m_probes.take(host);
        if (!probe) {
            probe = new PollingHostProbe(this, server);
            connect(probe, &HostProbe::answered, this,
                    [this, host](bool reachable) { handleAnswer(host, reachable); });
        }
        kept.insert(host, probe);
    }
    qDeleteAll(m_probes); // servers no longer listed
    m_probes = kept;
    const qsizetype before = m_away.size();
    m_away.removeIf([this](const QString &host) { return !m_probes.contains(host); });
    if (m_away.size() != before)
        emit awayHostsChanged();
    if (m_probes.isEmpty()) {
        m_timer->stop();
        return;
    }
    if (!m_timer->isActive())
        m_timer->start();
    checkNow();
}

void AdbHostWatch::checkNow()
{
    for (HostProbe *probe : std::as_const(m_probes))
        probe->check();
}

void AdbHostWatch::setIntervalMs(int ms)
{
    m_timer->setInterval(ms);
}

void AdbHostWatch::handleAnswer(const QString &host, bool reachable)
{
    if (!m_probes.contains(host) || reachable != m_away.contains(host))
        return;
    if (reachable)
        m_away.removeAll(host);
    else
        m_away.append(host);
    emit awayHostsChanged();
    if (reachable)
        emit hostBack(host);
    else
        emit hostAway(host);
}
