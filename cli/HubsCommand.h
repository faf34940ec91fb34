// tolvane-cli hubs: see HubListing.h.
#ifndef TOLVANE_CLI_HUBSCOMMAND_H
#define TOLVANE_CLI_HUBSCOMMAND_H

#include "CliArgs.h"

// 0 when the hubs were listed, 1 when the hub source could not be read.
int RunHubsCommand(const CliOptions& options);

#endif
