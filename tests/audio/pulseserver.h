#pragma once
// A private PulseAudio server with one null sink, so sound can be played and
// recorded back on a machine without a sound card. Started once per test
// process, before the first audio object connects, and stopped when the
// application object goes away.
#include <QByteArray>
#include <QProcess>
#include <QString>

class PulseServer
{
public:
    static constexpr const char *SinkName = "parvix_null";
    static constexpr int RecordRate = 48000;

    static PulseServer &instance();
    bool isRunning() const { return m_failure.isEmpty(); }
    // Why the server could not be started (for the skip message).
    QString failure() const { return m_failure; }
    QString address() const { return m_address; }

private:
    PulseServer();
    bool answers() const;

    QString m_address;
    QString m_failure;
};

// What the test sink played, as recorded from its monitor by parec.
class SinkRecording
{
public:
    bool start();
    void stop();
    // Raw 16-bit stereo at PulseServer::RecordRate, as far as parec has written
    // it (its pipe must not fill up).
    QByteArray pcm() { return m_pcm += m_parec.readAllStandardOutput(); }

private:
    QProcess m_parec;
    QByteArray m_pcm;
};
