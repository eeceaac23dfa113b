#include "hostfollower.h"

#include "adbhostwatch.h"
#include "device.h"

HostFollower::HostFollower(Device *device)
    : QObject(device), m_device(device),
      m_host(AdbServers::hostLabel(device->adbConnectionSerial()))
{
    AdbHostWatch *watch = AdbHostWatch::instance();
    connect(watch, &AdbHostWatch::hostAway, this, &HostFollower::handleAway);
    connect(watch, &AdbHostWatch::hostBack, this, &HostFollower::handleBack);
    connect(device, &Device::runningChanged, this, &HostFollower::handleRunningChanged);
}

void HostFollower::handleRunningChanged()
{
    const bool running = m_device->running();
    if (m_wasRunning && !running)
        m_sinceEnd.start();
    m_wasRunning = running;
}

void HostFollower::handleAway(const QString &host)
{
    if (host != m_host)
        return;
    m_resume = m_device->running() ||
               (m_sinceEnd.isValid() && m_sinceEnd.elapsed() < kRecentEndMs) || m_resume;
    if (m_device->running())
        m_device->stopScrcpySession();
    m_device->showUserMessage(tr("Offline: the adb server %1 does not answer").arg(host),
                              UserMessage::Kind::Progress);
}

void HostFollower::handleBack(const QString &host)
{
    if (host != m_host)
        return;
    m_device->showUserMessage(tr("The adb server %1 answers again").arg(host),
                              UserMessage::Kind::Notice);
    if (std::exchange(m_resume, false))
        m_device->startScrcpySession();
}
