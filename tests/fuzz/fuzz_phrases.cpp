// "common_phrases.json" with any content.
#include "commonphrase.h"
#include "commonphrasemanager.h"
#include "storeroundtrip.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::initApplication(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = Fuzz::homeFolder() + "/common_phrases.json";
    Fuzz::checkRoundTrip(path, data, size, [&path] {
        CommonPhraseManager store(path);
        for (const PhraseCategory *category : store.getCategoriesList())
            FUZZ_CHECK(!category->id().isEmpty(), {});
        for (const CommonPhrase *phrase : store.getAllPhrases()) {
            FUZZ_CHECK(!phrase->id().isEmpty(), {});
            FUZZ_CHECK(store.getPhrasesByCategory(phrase->category()).contains(phrase), {});
        }
        store.saveData();
    });
    return 0;
}
