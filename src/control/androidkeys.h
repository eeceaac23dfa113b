#pragma once
// Android key codes and meta state for the keys of the computer's keyboard.

namespace AndroidKeys {

// Android key code for a Qt key, or -1 when the key is not sent (Alt/Meta rules aside).
int forSpecialKey(int qtKey);
int forPrintableKey(int qtKey);
int metaState(int qtModifiers);

} // namespace AndroidKeys
