#pragma once
#include <QLoggingCategory>

// The app subsystem's diagnostics, "parvix.app" (debug lines: QT_LOGGING_RULES).
Q_DECLARE_LOGGING_CATEGORY(lcApp)
