#include "colormanager.h"

#include <QJSEngine>

ColorManager *ColorManager::instance()
{
    static ColorManager *shared = new ColorManager; // lives until the process ends
    return shared;
}

ColorManager *ColorManager::create(QQmlEngine *, QJSEngine *)
{
    ColorManager *shared = instance();
    QJSEngine::setObjectOwnership(shared, QJSEngine::CppOwnership);
    return shared;
}
