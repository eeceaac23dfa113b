#include "adblog.h"

Q_LOGGING_CATEGORY(lcAdb, "parvix.adb", QtInfoMsg)
