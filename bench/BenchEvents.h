#pragma once

#include <functional>

// Runs the event loop until done() holds or timeoutMs has passed, and tells whether done()
// holds. The thread sleeps between events, as the program's own loop does; spinning on
// processEvents() instead would take a core from the threads being measured.
bool runEventsUntil(const std::function<bool()>& done, int timeoutMs);
