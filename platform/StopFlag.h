// One flag for the whole process that an interruption raises, so that a wait
// (the hubs' settle time, the verification's) ends at once instead of when
// its time is up. Raising it is safe in a signal handler.
#ifndef TOLVANE_PLATFORM_STOPFLAG_H
#define TOLVANE_PLATFORM_STOPFLAG_H

#include <cstdint>

namespace tolvane::platform {

void RequestStop();
bool StopRequested();
void ClearStop();

// Waits milliseconds, or less when a stop is requested before or during the
// wait. False when the wait was cut short.
bool WaitMs(std::uint32_t milliseconds);

} // namespace tolvane::platform

#endif
