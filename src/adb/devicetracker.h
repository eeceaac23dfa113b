#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QThread>

class DeviceTrackerWorker;

// Follows one adb server's device list as it changes: a long-running "adb track-devices"
// on a thread of its own, started again with a growing pause whenever it ends (adb server
// killed or restarted, adb missing). Every block adb sends is the whole list, delivered as
// serial -> state ("device", "offline", "unauthorized", "recovery", ...); a serial missing
// from it is gone.
// A server on another computer is also asked a cheap question ("adb host-features") every
// few seconds: a pulled cable drops packets without ever closing the stream, so two
// questions in a row left unanswered end the stream as if the server had closed it.
class DeviceTracker : public QObject
{
    Q_OBJECT

public:
    using States = QHash<QString, QString>;

    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kMaxRetryMs = 30000;
    // Trying an absent server on another computer costs a connection attempt only.
    static constexpr int kMaxRemoteRetryMs = 5000;
    static constexpr int kKeepAliveMs = 2000;
    static constexpr int kKeepAliveTimeoutMs = 2000;
    static constexpr int kKeepAliveMisses = 2;

    // An empty host and port 0 follow the default local adb server.
    explicit DeviceTracker(const QString &host = {}, quint16 port = 0, QObject *parent = nullptr);
    ~DeviceTracker() override;

    void start();
    // Whether a track-devices stream is running and has delivered the list.
    bool isLive() const { return m_live; }
    States states() const { return m_states; }
    QString host() const { return m_host; }
    quint16 port() const { return m_port; }

    // Takes every whole block off the front of the buffer. A length that is not four hex
    // digits cannot be resynchronised: the buffer is cleared and *broken set.
    static QList<States> takeBlocks(QByteArray &buffer, bool *broken = nullptr);
    // The pause before the n-th restart in a row (0-based): 1 s, 2 s, 4 s ... up to maxMs.
    static int retryDelayMs(int failures, int maxMs = kMaxRetryMs);

signals:
    void statesChanged(const DeviceTracker::States &states);
    void liveChanged(bool live);
    // The stream ended or could not start; a retry follows.
    void ended();

private:
    void handleBlock(const DeviceTracker::States &states);
    void handleEnded();

    const QString m_host;
    const quint16 m_port;
    QThread m_thread;
    DeviceTrackerWorker *m_worker = nullptr;
    bool m_live = false;
    States m_states;
};

Q_DECLARE_METATYPE(DeviceTracker::States)
