#pragma once

// Registers the system's classes under "Parvix" 1.0: creatable and uncreatable
// types first, then the singletons, each singleton factory returning the one
// shared instance. Later subsystems add their types here.
void registerParvixTypes();
