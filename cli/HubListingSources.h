// Where tolvane-cli hubs takes its hubs from.
#ifndef TOLVANE_CLI_HUBLISTINGSOURCES_H
#define TOLVANE_CLI_HUBLISTINGSOURCES_H

#include "HubListing.h"

// What the ISP library reports after it was handed table, as the scan asks
// it; false when the library refuses the enumeration.
bool ListLibraryHubs(IniInfo& table, HubListing& listing);

#ifndef _WIN32
// Every hub of this machine's USB tree, root hubs included, with its hub
// interface's driver (Linux only).
void ListSystemHubs(HubListing& listing);
#endif

#endif
