#pragma once
#include <QObject>
#include <QString>

// How a phone is reached right now: its state in adb's device list and whether a dropped
// session is waiting to be started again. Written by whoever follows adb (the group
// manager's reconnect policy); the device reports the ends of its sessions here.
class DeviceLink : public QObject
{
    Q_OBJECT
    // "device", "offline", "unauthorized", "recovery", ... or "gone"; "" before adb was read.
    Q_PROPERTY(QString adbState READ adbState NOTIFY adbStateChanged)
    // A short text for the tile and the device list; empty while the phone is ready.
    Q_PROPERTY(QString stateText READ stateText NOTIFY adbStateChanged)
    Q_PROPERTY(bool reconnecting READ reconnecting NOTIFY reconnectingChanged)

public:
    explicit DeviceLink(QObject *parent = nullptr);

    QString adbState() const { return m_adbState; }
    QString stateText() const { return describe(m_adbState); }
    bool reconnecting() const { return m_reconnecting; }
    // While set, a phone that left adb stays in its group, waiting to come back.
    bool keepWhenGone() const { return m_keepWhenGone; }

    void setAdbState(const QString &state);
    void setReconnecting(bool reconnecting);
    void setKeepWhenGone(bool keep) { m_keepWhenGone = keep; }

    // The text shown for an adb state ("" for a ready phone or an unknown state).
    static QString describe(const QString &state);

    // From the device.
    void reportSessionEnded(bool failedToStart) { emit sessionEnded(failedToStart); }
    void reportStopRequested() { emit stopRequested(); }

signals:
    void adbStateChanged();
    void reconnectingChanged();
    // The phone-side server ended by itself (not through a stop).
    void sessionEnded(bool failedToStart);
    // Someone stopped the session on purpose (the user, a removal, a view switch).
    void stopRequested();

private:
    QString m_adbState;
    bool m_reconnecting = false;
    bool m_keepWhenGone = false;
};
