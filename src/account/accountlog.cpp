#include "accountlog.h"

Q_LOGGING_CATEGORY(lcAccount, "parvix.account", QtInfoMsg)
