#include "batterystatus.h"

#include "adbrunner.h"

#include <QHash>
#include <QStringList>

namespace {
// BatteryManager's status values.
constexpr int kStatusUnknown = 1;
constexpr int kStatusCharging = 2;
constexpr int kStatusFull = 5;
} // namespace

BatteryStatus BatteryStatus::parse(const QString &dumpsysOutput)
{
    QHash<QString, QString> values;
    const QStringList lines = dumpsysOutput.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const int colon = int(line.indexOf(QLatin1Char(':')));
        if (colon > 0)
            values.insert(line.left(colon).trimmed(), line.mid(colon + 1).trimmed());
    }
    BatteryStatus status;
    bool levelOk = false;
    bool scaleOk = false;
    const int level = values.value(QStringLiteral("level")).toInt(&levelOk);
    int scale = values.value(QStringLiteral("scale")).toInt(&scaleOk);
    if (!scaleOk || scale <= 0)
        scale = 100;
    if (levelOk && level >= 0 && level <= scale)
        status.level = int(qRound(100.0 * level / scale));

    bool powered = false;
    for (const char *source : {"AC powered", "USB powered", "Wireless powered", "Dock powered"})
        powered = powered || values.value(QLatin1String(source)) == QLatin1String("true");
    bool statusOk = false;
    const int state = values.value(QStringLiteral("status")).toInt(&statusOk);
    // Without a usable status the charger alone tells.
    if (statusOk && state != kStatusUnknown)
        status.charging = state == kStatusCharging || (state == kStatusFull && powered);
    else
        status.charging = powered;
    return status;
}

BatteryStatus BatteryStatus::read(const QString &serial)
{
    const ADBRunner::Outcome outcome =
        ADBRunner::run(AdbServers::phoneOptions(serial) +
                       QStringList{QStringLiteral("shell"), QStringLiteral("dumpsys battery")});
    return outcome.succeeded ? parse(outcome.output) : BatteryStatus{};
}
