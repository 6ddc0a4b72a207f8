#include "InstLog.h"

Q_LOGGING_CATEGORY(lcInst, "kovra.inst")
