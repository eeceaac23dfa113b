#include "groupslog.h"

Q_LOGGING_CATEGORY(lcGroups, "parvix.groups", QtInfoMsg)
