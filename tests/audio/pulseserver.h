#pragma once
// A private PulseAudio server with one null sink, so sound can be played and recorded
// back on a machine without a sound card. Started once per test process, before the
// first audio object connects, and stopped when the application object goes away.
#include <QByteArray>
#include <QProcess>
#include <QString>

class PulseServer
{
public:
    static constexpr const char *SinkName = "parvix_null";
    static constexpr int RecordRate = 48000;

    static PulseServer &instance();

    bool isRunning() const { return m_running; }
    // Why the server could not be started (for the skip message).
    QString failure() const { return m_failure; }

private:
    friend class SinkRecording;
    PulseServer();
    void start();
    bool answers() const;
    static void stopAtExit();

    QString m_runtimeDir;
    QString m_address;
    QString m_failure;
    bool m_running = false;
};

// What the test sink played, as recorded from its monitor by parec.
class SinkRecording
{
public:
    bool start();
    // Raw 16-bit stereo at PulseServer::RecordRate.
    QByteArray stop();
    // What parec has written so far (its pipe must not fill up).
    QByteArray pcm()
    {
        m_pcm += m_parec.readAllStandardOutput();
        return m_pcm;
    }

private:
    QProcess m_parec;
    QByteArray m_pcm;
};
