#pragma once
#include <QLoggingCategory>

// The session subsystem's diagnostics, "parvix.session" (debug lines: QT_LOGGING_RULES).
Q_DECLARE_LOGGING_CATEGORY(lcSession)
