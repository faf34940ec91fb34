// Which hubs the Linux ISP library reports: the simulated bench or the real
// USB tree of this machine. Chosen per call from TOLVANE_HUBS, so that the
// command line and the window pick it the same way, without the engine.
#ifndef TOLVANE_COMMON_HUBSOURCE_H
#define TOLVANE_COMMON_HUBSOURCE_H

namespace tolvane::syshubs {

enum class HubSource { Bench, System, Invalid };

// Unset, empty or "bench": the bench; "system": the real tree; anything else
// is a mistake the library reports instead of guessing.
HubSource HubSourceFromText(const char* text);
HubSource SelectedHubSource();

// One line on standard error naming the unusable TOLVANE_HUBS value.
void ReportInvalidHubSource();

} // namespace tolvane::syshubs

#endif
