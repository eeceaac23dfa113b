#pragma once
// A phone's battery, read on its adb lane every minute and whenever its tile asks.
#include "batterystatus.h"

#include <QObject>
#include <QString>

#include <functional>

class QTimer;

class BatteryMonitor : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int level READ level NOTIFY changed)
    Q_PROPERTY(bool charging READ charging NOTIFY changed)
    Q_PROPERTY(bool known READ known NOTIFY changed)
    // Under kLowLevel and not charging: the tile warns.
    Q_PROPERTY(bool low READ low NOTIFY changed)

public:
    static constexpr int kIntervalMs = 60000;
    static constexpr int kLowLevel = 15;

    // `serial` names the phone at the time of each reading (its connection may change).
    BatteryMonitor(std::function<QString()> serial, QObject *parent);

    int level() const { return m_status.level; }
    bool charging() const { return m_status.charging; }
    bool known() const { return m_status.isKnown(); }
    bool low() const { return known() && level() < kLowLevel && !charging(); }

    // Reads now unless a reading is already under way; returns at once.
    Q_INVOKABLE void refresh();

signals:
    void changed();

private:
    std::function<QString()> m_serial;
    QTimer *m_timer = nullptr;
    BatteryStatus m_status;
    bool m_reading = false;
};
