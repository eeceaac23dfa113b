#include "streamlag.h"

namespace {
constexpr qint64 kRateWindowUs = 1000000;
}

void StreamLag::addPacket(qint64 ptsUs, qint64 nowUs, qint64 bytes)
{
    const qint64 offset = nowUs - ptsUs;
    if (!m_started || offset < m_minOffsetUs)
        m_minOffsetUs = offset;
    if (!m_started || ptsUs < m_windowStartPts) {
        m_started = true;
        m_windowStartPts = ptsUs;
        m_windowBytes = 0;
    }
    m_lastLagUs = offset - m_minOffsetUs;
    m_windowBytes += bytes;
    const qint64 span = ptsUs - m_windowStartPts;
    if (span >= kRateWindowUs) {
        m_bytesPerUs = double(m_windowBytes) / double(span);
        m_windowStartPts = ptsUs;
        m_windowBytes = 0;
    }
}

qint64 StreamLag::lagMs(qint64 waitingBytes) const
{
    qint64 waitingUs = 0;
    if (waitingBytes > 0 && m_bytesPerUs > 0)
        waitingUs = qint64(double(waitingBytes) / m_bytesPerUs);
    return qMax(m_lastLagUs, waitingUs) / 1000;
}
