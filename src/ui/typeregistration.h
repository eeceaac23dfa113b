#pragma once

// The module "Parvix" 1.0 registers its types itself (see qmltypes.h) when its plugin is
// imported; this adds what the meta-type system needs beyond QML: value types that travel
// through queued signals.
void registerParvixTypes();
