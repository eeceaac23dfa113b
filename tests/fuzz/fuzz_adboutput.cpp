// adb's output (UTF-8, trimmed) through every reader: listing, screen size, the IP look-ups.
#include "adbrunner.h"
#include "fuzzsupport.h"

#include <QRegularExpression>

#include <algorithm>

namespace {
bool hasWhiteSpace(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

void checkAddress(const QString &address, const QString &output)
{
    static const QRegularExpression ipv4(
        QStringLiteral("^\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}$"));
    if (address.isEmpty())
        return;
    FUZZ_CHECK(ipv4.match(address).hasMatch(), address);
    FUZZ_CHECK(output.contains(address), address);
}
} // namespace

PARVIX_FUZZ_TARGET(false)
{
    const QString output =
        QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)).trimmed();

    const QList<ADBDeviceInfo> devices = ADBRunner::parseDevices(output);
    FUZZ_CHECK(devices.size() <= output.count(QLatin1String("device")), {});
    for (const ADBDeviceInfo &device : devices) {
        FUZZ_CHECK(!device.adb_serial.isEmpty() && !hasWhiteSpace(device.adb_serial),
                   device.adb_serial);
        FUZZ_CHECK(output.contains(device.adb_serial), device.adb_serial);
        FUZZ_CHECK(!hasWhiteSpace(device.model) && !hasWhiteSpace(device.product), {});
        FUZZ_CHECK(device.transport_id >= -1 || output.contains(QLatin1String("transport_id:-")),
                   {});
    }

    const QSize screen = ADBRunner::parseScreenSize(output);
    FUZZ_CHECK(screen.width() == 0 || output.contains(QString::number(screen.width()).right(1)),
               {});

    checkAddress(ADBRunner::parseIpAddrAddress(output), output);
    checkAddress(ADBRunner::parseIfconfigAddress(output), output);
    const QString property = ADBRunner::parsePropertyAddress(output);
    checkAddress(property, output);
    FUZZ_CHECK(property.isEmpty() || property == output, property);
}
