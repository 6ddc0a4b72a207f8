#include "PanelsLog.h"

Q_LOGGING_CATEGORY(lcPanels, "kovra.panels")
