// "common_phrases.json" with any content.
#include "commonphrase.h"
#include "commonphrasemanager.h"
#include "fuzzsupport.h"

PARVIX_FUZZ_TARGET(false)
{
    const QString path = QDir::homePath() + "/common_phrases.json";
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
