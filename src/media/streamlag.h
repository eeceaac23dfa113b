#pragma once
// How far a stream runs behind the phone: each packet's arrival against its own time stamp
// (the phone's clock), relative to the most punctual packet seen, plus what the bytes still
// waiting to be read would add at the stream's recent byte rate.
#include <QtGlobal>

class StreamLag
{
public:
    // A packet of `bytes` stamped `ptsUs` by the phone, handed on at `nowUs` (our clock).
    void addPacket(qint64 ptsUs, qint64 nowUs, qint64 bytes);
    // Lag of the last packet alone, in milliseconds.
    qint64 packetLagMs() const { return m_lastLagUs / 1000; }
    // Lag including `waitingBytes` not read yet, in milliseconds.
    qint64 lagMs(qint64 waitingBytes) const;
    // Starts over, as after a new connection.
    void reset() { *this = StreamLag(); }

private:
    bool m_started = false;
    qint64 m_minOffsetUs = 0;
    qint64 m_lastLagUs = 0;
    // Bytes per microsecond of stream time over about the last second.
    qint64 m_windowStartPts = 0;
    qint64 m_windowBytes = 0;
    double m_bytesPerUs = 0;
};
