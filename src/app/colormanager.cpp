#include "colormanager.h"

ColorManager *ColorManager::instance()
{
    static ColorManager *shared = new ColorManager; // lives until the process ends
    return shared;
}
