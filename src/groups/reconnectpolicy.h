#pragma once
#include "devicetracker.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QVariantList>

class Device;
class QTimer;

// Brings dropped phones back: a member whose stream ended without anyone stopping it is
// started again once adb lists it as ready, with a pause that doubles after each failed
// try (1 s up to 30 s). A stop on purpose (user, removal, view switch) is never undone.
// Learns the phones' states from the device trackers, and while the local one is down, by
// listing adb every few seconds as long as a phone waits.
class ReconnectPolicy : public QObject
{
    Q_OBJECT

public:
    // A session that ran this long counts as back: the next drop starts the pauses anew.
    static constexpr int kStableSessionMs = 10000;
    static constexpr int kFallbackPollMs = 2000;
    // Phones coming back together (adb restarted) start this far apart, as start-all does.
    static constexpr int kStartSpacingMs = 200;
    static constexpr int kConnectTimeoutMs = 10000;

    explicit ReconnectPolicy(QObject *parent = nullptr);
    ~ReconnectPolicy() override;

    void watch(Device *device);
    // A member that should be streaming (restored at start-up): started once adb has it.
    void resume(Device *device);
    // Streaming, or waiting to stream again.
    bool wanted(const Device *device) const;

    void setTrackerLive(bool live);
    // The local server's phones, and those of the other computers' servers (SERIAL@HOST:PORT).
    void setStates(const DeviceTracker::States &states);
    void setRemoteStates(const DeviceTracker::States &states);
    // Phones adb lists but that cannot be used yet: {serial, state, hint} each.
    QVariantList unreadyPhones() const;

    // "serial\tstate" lines of "adb devices" to states.
    static DeviceTracker::States parseListing(const QString &text);

signals:
    void wantedChanged();
    void unreadyPhonesChanged();

private:
    struct Watch
    {
        QPointer<Device> device;
        bool wanted = false;
        bool awaiting = false; // dropped, to be started again
        int failures = 0;
        QElapsedTimer running;
        QTimer *retry = nullptr;
    };

    Watch *find(const Device *device) const;
    QString stateOf(const Device *device) const;
    void setWanted(Watch *watch, bool wanted);
    void handleEnded(Watch *watch, bool failedToStart);
    void schedule(Watch *watch);
    void attempt(Watch *watch);
    void applyKeepSetting();
    // The phone left adb or its session starts again: the file must be whole and playable.
    static void closeRecording(Device *device);
    void pollIfNeeded();
    void applyStates();

    QList<Watch *> m_watches;
    DeviceTracker::States m_states; // both below
    DeviceTracker::States m_localStates;
    DeviceTracker::States m_remoteStates;
    bool m_statesKnown = false;
    bool m_trackerLive = false;
    QTimer *m_poll = nullptr;
    bool m_polling = false;
    QElapsedTimer m_clock;
    qint64 m_nextStartMs = 0;
};
