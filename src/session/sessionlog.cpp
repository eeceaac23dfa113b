#include "sessionlog.h"

Q_LOGGING_CATEGORY(lcSession, "parvix.session", QtInfoMsg)
