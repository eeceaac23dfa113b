#include "batterymonitor.h"

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
    if (serial.isEmpty() || std::exchange(m_reading, true))
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
