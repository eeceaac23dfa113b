#pragma once
// Gives a phone attached by USB a Wi-Fi adb connection as well: adbd restarts in TCP mode
// (adb tcpip), then the computer connects to the phone's address. Both steps run on the phone's
// adb lane; the GUI thread never waits for them.
#include "usermessage.h"

#include <QObject>
#include <QString>

#include <functional>

class WifiAdbSwitch : public QObject
{
    Q_OBJECT

public:
    // Between adb tcpip and adb connect: adbd needs a moment to listen again.
    static constexpr int kConnectDelayMs = 1000;
    static constexpr int kPort = 5555;

    // address: the phone's network address at the moment of connecting.
    WifiAdbSwitch(const QString &serial, std::function<QString()> address, QObject *parent);

    // adbd is restarting: a session launched now would be refused.
    bool switching() const { return m_switching; }
    // ip:port of the Wi-Fi connection made (ip:port@HOST:PORT on another computer's server),
    // "" without one.
    QString wifiSerial() const { return m_wifiSerial; }
    void start();

signals:
    void userMessage(const QString &message, UserMessage::Kind kind);
    void wifiSerialChanged();
    // The switch is over, whether it worked or not.
    void finished();

private:
    void connectToPhone();
    void finish();

    const QString m_serial;
    const std::function<QString()> m_address;
    bool m_switching = false;
    QString m_wifiSerial;
};
