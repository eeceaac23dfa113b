#include "wifiadbswitch.h"

#include "adblane.h"
#include "adbrunner.h"
#include "adbserver.h"

#include <QTimer>

#include <utility>

WifiAdbSwitch::WifiAdbSwitch(const QString &serial, std::function<QString()> address,
                             QObject *parent)
    : QObject(parent), m_serial(serial), m_address(std::move(address))
{}

void WifiAdbSwitch::start()
{
    m_switching = true;
    const QString serial = m_serial;
    AdbLane::run<bool>(
        serial, this, [serial] { return ADBRunner::tcpip(serial, kPort); },
        [this](bool switched) {
            if (!switched) {
                emit userMessage(tr("Failed to tcpip"), UserMessage::Kind::NoticeError);
                finish();
                return;
            }
            QTimer::singleShot(kConnectDelayMs, this, &WifiAdbSwitch::connectToPhone);
        });
}

void WifiAdbSwitch::connectToPhone()
{
    const QString serial = m_serial;
    const QString ip = m_address();
    AdbLane::run<bool>(
        serial, this, [serial, ip] { return ADBRunner::connect(serial, ip, kPort); },
        [this, ip](bool connected) {
            if (connected) {
                // The phone's own server made the connection and names it there.
                m_wifiSerial = AdbServers::qualified(QStringLiteral("%1:%2").arg(ip).arg(kPort),
                                                     AdbServers::serverOf(m_serial));
                emit wifiSerialChanged();
                emit userMessage(tr("WiFi connection enabled"), UserMessage::Kind::NoticeSuccess);
            } else {
                emit userMessage(tr("Failed to enable \r WiFi connection"),
                                 UserMessage::Kind::NoticeError);
            }
            finish();
        });
}

void WifiAdbSwitch::finish()
{
    m_switching = false;
    emit finished();
}
