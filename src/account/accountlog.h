#pragma once
#include <QLoggingCategory>

// The account subsystem's diagnostics, "parvix.account" (debug lines: QT_LOGGING_RULES).
Q_DECLARE_LOGGING_CATEGORY(lcAccount)
