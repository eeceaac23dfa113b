#pragma once
#include <QLoggingCategory>

// The control subsystem's diagnostics, "parvix.control" (debug lines: QT_LOGGING_RULES).
Q_DECLARE_LOGGING_CATEGORY(lcControl)
