#pragma once
#include <QString>

class QCoreApplication;
class QTranslator;

// Loads the catalogue that the saved locale asks for into the translator and
// installs it when the last attempted load succeeded. "CN" picks simplified,
// "TW" traditional Chinese (case-sensitive); TW wins when both appear.
// Returns whether the translator was installed.
bool installLocaleTranslator(QCoreApplication *app, QTranslator *translator, const QString &locale);
