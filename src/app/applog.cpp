#include "applog.h"

Q_LOGGING_CATEGORY(lcApp, "parvix.app", QtInfoMsg)
