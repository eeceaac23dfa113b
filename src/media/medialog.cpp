#include "medialog.h"

Q_LOGGING_CATEGORY(lcMedia, "parvix.media", QtInfoMsg)
