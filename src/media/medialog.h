#pragma once
#include <QLoggingCategory>

// The media subsystem's diagnostics, "parvix.media" (debug lines: QT_LOGGING_RULES).
Q_DECLARE_LOGGING_CATEGORY(lcMedia)
