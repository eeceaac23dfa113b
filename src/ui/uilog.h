#pragma once
#include <QLoggingCategory>

// The ui subsystem's diagnostics, "parvix.ui" (debug lines: QT_LOGGING_RULES).
Q_DECLARE_LOGGING_CATEGORY(lcUi)
