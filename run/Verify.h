// Verification after an upgrade: a programmed hub must show, in a new scan,
// the firmware version of the image written into it. Programmed hubs restart
// and enumerate anew, so they are found by their place and ids, not by their
// position in the table.
#ifndef TOLVANE_RUN_VERIFY_H
#define TOLVANE_RUN_VERIFY_H

#include "RunRecorder.h"

#include <string>
#include <vector>

// Marks every programmed hub of records verified or not against the hubs of
// the new scan (none when it failed), and returns the log lines that report
// it, hub by hub in the order of the run. Among hubs that share place and
// ids, the n-th of the old table is matched with the n-th of the new.
std::string VerifyHubs(std::vector<HubRecord>& records, const HubInfo* rescanned, unsigned rescannedCount);

#endif
