#include "uilog.h"

Q_LOGGING_CATEGORY(lcUi, "parvix.ui", QtInfoMsg)
