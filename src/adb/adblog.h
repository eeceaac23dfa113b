#pragma once
#include <QLoggingCategory>

// The adb subsystem's diagnostics, "parvix.adb" (debug lines: QT_LOGGING_RULES).
Q_DECLARE_LOGGING_CATEGORY(lcAdb)
