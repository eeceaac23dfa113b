#pragma once
// Carries a phone on another computer's adb server through that server's absence. While the
// server does not answer, the phone's session is stopped and the tile says which computer is
// away; once it answers again, the session starts again when it was running (or had just
// ended) as the server went away. The device keeps its tile throughout.
#include <QElapsedTimer>
#include <QObject>
#include <QString>

class Device;

class HostFollower : public QObject
{
    Q_OBJECT

public:
    // A session that ended this recently counts as running when its server turns out away:
    // the cut usually ends the session before the server's device tracking notices.
    static constexpr int kRecentEndMs = 10000;

    explicit HostFollower(Device *device);

private:
    void handleRunningChanged();
    void handleAway(const QString &host);
    void handleBack(const QString &host);

    Device *m_device = nullptr;
    QString m_host;
    bool m_wasRunning = false;
    bool m_resume = false;
    QElapsedTimer m_sinceEnd;
};
