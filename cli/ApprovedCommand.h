// tolvane-cli approved LIST: an approved list checked on its own, before it
// goes to the stations: the images it approves, and whether its signature
// verifies under the keys given.
#ifndef TOLVANE_CLI_APPROVEDCOMMAND_H
#define TOLVANE_CLI_APPROVEDCOMMAND_H

#include "Approval.h"

#include <string>

// 0: the list can be used (with --trust: its signature verifies under one
// of the keys), also when some of its entries match no image in imageFolder,
// which are named; 2: it cannot.
int RunApprovedCommand(const ApprovalOptions& options, const std::string& imageFolder, bool json);

#endif
