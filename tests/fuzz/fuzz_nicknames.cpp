// "device_nicknames.json" with any content.
#include "devicesettings.h"
#include "fuzzsupport.h"

PARVIX_FUZZ_TARGET(false)
{
    const QString path = DeviceSettings::filePath();
    checkRoundTrip(path, data, size, [] {
        DeviceSettings store(nullptr);
        const QStringList serials = store.getAllDeviceSerials();
        for (const QString &serial : serials)
            FUZZ_CHECK(!store.getDeviceNickname(serial).isEmpty(), serial);
        store.sync();
    });
}
