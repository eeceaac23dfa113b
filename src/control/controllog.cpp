#include "controllog.h"

Q_LOGGING_CATEGORY(lcControl, "parvix.control", QtInfoMsg)
