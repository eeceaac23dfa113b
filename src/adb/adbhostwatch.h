#pragma once
// Whether the adb servers on other computers answer. Each is asked for its device list every
// few seconds on the adb pool; a server that does not answer is away until it answers again.
// One HostProbe per server does the asking, so a probe that follows adb's own device
// tracking can take the polling one's place without changing anything else. The local
// server is not watched: a session there notices its own end.
#include "adbserver.h"

#include <QHash>
#include <QObject>
#include <QStringList>

class QTimer;

// Reports, for one server, each time whether it answered.
class HostProbe : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void check() = 0; // ask now; answered() follows, on this object's thread

signals:
    void answered(bool reachable);
};

// Lists the server's devices; a failed or timed-out listing means unreachable.
class PollingHostProbe : public HostProbe
{
    Q_OBJECT
public:
    PollingHostProbe(QObject *parent, const AdbServer &server);
    void check() override;

private:
    AdbServer m_server;
    bool m_running = false;
};

class AdbHostWatch : public QObject
{
    Q_OBJECT
    // "host:port" of every watched server that does not answer now.
    Q_PROPERTY(QStringList awayHosts READ awayHosts NOTIFY awayHostsChanged)

public:
    static constexpr int kDefaultIntervalMs = 2000;

    explicit AdbHostWatch(QObject *parent = nullptr);
    static AdbHostWatch *instance(); // GUI thread

    QStringList awayHosts() const { return m_away; }
    // "host:port" of a phone on another computer's server, "" for a local phone.
    Q_INVOKABLE QString hostOf(const QString &phone) const { return AdbServers::hostLabel(phone); }
    Q_INVOKABLE bool isHostAway(const QString &host) const { return m_away.contains(host); }

    // Watches exactly these servers (the local one is skipped).
    void watch(const QList<AdbServer> &servers);
    // Asks every watched server at once (after a session ended, for instance).
    void checkNow();
    void setIntervalMs(int ms);

signals:
    void awayHostsChanged();
    void hostAway(const QString &host);
    void hostBack(const QString &host);

private:
    void handleAnswer(const QString &host, bool reachable);

    QHash<QString, HostProbe *> m_probes;
    QStringList m_away;
    QTimer *m_timer = nullptr;
};
