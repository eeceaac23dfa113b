#include "batterymonitor.h"

#include "adbhostwatch.h"
#include "adblane.h"

#include <QTimer>

#include <utility>

BatteryMonitor::BatteryMonitor(std::function<QString()> serial, QObject *parent)
    : QObject(parent), m_serial(std::move(serial)), m_timer(new QTimer(this))
{
    m_timer->setInterval(kIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &BatteryMonitor::refresh);
    m_timer->start();
}

void BatteryMonitor::refresh()
{
    const QString serial = m_serial ? m_serial() : QString();
    // A read through a server that does not answer would hold the phone's lane until it
    // times out, and the session that starts when the server is back would wait behind it.
    if (serial.isEmpty() || AdbHostWatch::instance()->isHostAway(AdbServers::hostLabel(serial)) ||
        std::exchange(m_reading, true))
        return;
    AdbLane::run<BatteryStatus>(
        serial, this, [serial] { return BatteryStatus::read(serial); },
        [this](const BatteryStatus &status) {
            m_reading = false;
            if (status == m_status)
                return;
            m_status = status;
            emit changed();
        });
}
