// "device_nicknames.json" with any content.
#include "devicesettings.h"
#include "storeroundtrip.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::initApplication(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = DeviceSettings::filePath();
    Fuzz::checkRoundTrip(path, data, size, [] {
        DeviceSettings store(nullptr);
        const QStringList serials = store.getAllDeviceSerials();
        for (const QString &serial : serials)
            FUZZ_CHECK(!store.getDeviceNickname(serial).isEmpty(), serial);
        store.sync();
    });
    return 0;
}
