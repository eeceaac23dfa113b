#include "media_log.h"

Q_LOGGING_CATEGORY(lcSimMedia, "phonesim.media")
