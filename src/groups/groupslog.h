#pragma once
#include <QLoggingCategory>

// The groups subsystem's diagnostics, "parvix.groups" (debug lines: QT_LOGGING_RULES).
Q_DECLARE_LOGGING_CATEGORY(lcGroups)
