#include "OscLog.h"

Q_LOGGING_CATEGORY(lcOsc, "kovra.osc")
