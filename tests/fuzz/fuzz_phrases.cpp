// "common_phrases.json" with any content.
#include "commonphrase.h"
#include "commonphrasemanager.h"
#include "storeroundtrip.h"

PARVIX_FUZZ_TARGET(false)
{
    const QString path = Fuzz::homeFolder() + "/common_phrases.json";
    checkRoundTrip(path, data, size, [&path] {
        CommonPhraseManager store(path);
        for (const PhraseCategory *category : store.getCategoriesList())
            FUZZ_CHECK(!category->id().isEmpty(), {});
        for (const CommonPhrase *phrase : store.getAllPhrases()) {
            FUZZ_CHECK(!phrase->id().isEmpty(), {});
            FUZZ_CHECK(store.getPhrasesByCategory(phrase->category()).contains(phrase), {});
        }
        store.saveData();
    });
}
