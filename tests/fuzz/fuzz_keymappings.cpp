// "keymappings.json" with any content.
#include "fuzzsupport.h"
#include "keymapping.h"

PARVIX_FUZZ_TARGET(false)
{
    const QString path = QDir::homePath() + "/keymappings.json";
    checkRoundTrip(path, data, size, [&path] {
        KeyMapping store(path);
        const QStringList names = store.profileNames();
        FUZZ_CHECK(names.size() == store.profiles().size(), {});
        for (KeyMappingProfile *profile : store.profiles()) {
            // The editor shows touches and swipes; other types stay in the file only.
            KeyMappingModel touches, swipes;
            swipes.setType(KeyMappingModel::Swipe);
            touches.setProfile(profile);
            swipes.setProfile(profile);
            FUZZ_CHECK(touches.rowCount() + swipes.rowCount() <= profile->getMappingCount(), {});
            for (const KeyMappingEntry &entry : profile->entries()) {
                // The lookup the controller makes finds the first entry of a key.
                const KeyMappingEntry *found = profile->findEntry(entry.keyCode, entry.modifiers);
                FUZZ_CHECK(found && found->keyCode == entry.keyCode, {});
            }
        }
        FUZZ_CHECK(!store.currentProfile() || store.profiles().contains(store.currentProfile()),
                   {});
        FUZZ_CHECK(store.saveToFile(), path);
    });
}
