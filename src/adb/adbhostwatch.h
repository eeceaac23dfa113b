#pragma once
// Whether the adb servers on other computers answer, and what phones they hold. Each server
// is followed by a device tracker of its own: a server is away from the moment its
// track-devices stream ends, cannot connect or leaves the tracker's keep-alive questions
// unanswered, and back once it delivers a list again. The
// local server is not watched here: the group manager tracks it, and a session there
// notices its own end.
#include "adbserver.h"
#include "devicetracker.h"

#include <QHash>
#include <QObject>
#include <QStringList>

class AdbHostWatch : public QObject
{
    Q_OBJECT
    // "host:port" of every watched server that does not answer now.
    Q_PROPERTY(QStringList awayHosts READ awayHosts NOTIFY awayHostsChanged)

public:
    explicit AdbHostWatch(QObject *parent = nullptr);
    static AdbHostWatch *instance(); // GUI thread

    QStringList awayHosts() const { return m_away; }
    // "host:port" of a phone on another computer's server, "" for a local phone.
    Q_INVOKABLE QString hostOf(const QString &phone) const { return AdbServers::hostLabel(phone); }
    Q_INVOKABLE bool isHostAway(const QString &host) const { return m_away.contains(host); }
    // The phones of every watched server by their SERIAL@HOST:PORT names; those of a server
    // that is away read "offline".
    DeviceTracker::States states() const { return m_states; }

    // Follows exactly these servers (the local one is skipped).
    void watch(const QList<AdbServer> &servers);

signals:
    void awayHostsChanged();
    void hostAway(const QString &host);
    void hostBack(const QString &host);
    void statesChanged(const DeviceTracker::States &states);

private:
    void setAway(const QString &host, bool away);
    void updateStates();

    QHash<QString, DeviceTracker *> m_trackers;
    QStringList m_away;
    DeviceTracker::States m_states;
};
