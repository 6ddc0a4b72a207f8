#include "DiscoveryLog.h"

Q_LOGGING_CATEGORY(lcDiscovery, "kovra.discovery")
