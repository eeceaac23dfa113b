#include "adbhostwatch.h"

#include <QCoreApplication>

AdbHostWatch::AdbHostWatch(QObject *parent) : QObject(parent) {}

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
    QHash<QString, DeviceTracker *> kept;
    for (const AdbServer &server : servers) {
        if (server.isLocal())
            continue;
        const QString host = server.text();
        DeviceTracker *tracker = m_trackers.take(host);
        if (!tracker) {
            tracker = new DeviceTracker(server.host, server.port, this);
            connect(tracker, &DeviceTracker::statesChanged, this, &AdbHostWatch::updateStates);
            connect(tracker, &DeviceTracker::liveChanged, this, [this, host](bool live) {
                if (live)
                    setAway(host, false);
            });
            // Also when the first connection fails: the server was never there.
            connect(tracker, &DeviceTracker::ended, this, [this, host] { setAway(host, true); });
            tracker->start();
        }
        kept.insert(host, tracker);
    }
    qDeleteAll(m_trackers); // servers no longer listed
    m_trackers = kept;
    const qsizetype before = m_away.size();
    m_away.removeIf([this](const QString &host) { return !m_trackers.contains(host); });
    if (m_away.size() != before)
        emit awayHostsChanged();
    updateStates();
}

void AdbHostWatch::setAway(const QString &host, bool away)
{
    if (!m_trackers.contains(host) || away == m_away.contains(host))
        return;
    if (away)
        m_away.append(host);
    else
        m_away.removeAll(host);
    emit awayHostsChanged();
    updateStates();
    if (away)
        emit hostAway(host);
    else
        emit hostBack(host);
}

void AdbHostWatch::updateStates()
{
    DeviceTracker::States states;
    for (auto it = m_trackers.cbegin(); it != m_trackers.cend(); ++it) {
        const bool away = m_away.contains(it.key());
        const DeviceTracker::States listed = it.value()->states();
        const AdbServer server = *AdbServer::parse(it.key());
        for (auto phone = listed.cbegin(); phone != listed.cend(); ++phone)
            states.insert(AdbServers::qualified(phone.key(), server),
                          away ? QStringLiteral("offline") : phone.value());
    }
    if (states == m_states)
        return;
    m_states = states;
    emit statesChanged(m_states);
}
