#include "HubsCommand.h"

#include "Commands.h"
#include "ExitStatus.h"
#include "HubListingSources.h"
#include "JsonReport.h"
#include "ReadOnlyNote.h"
#include "TargetTable.h"

namespace {
// In the system mode, read straight from the tree, its hubs are all there, and
// the table decides which the scan sees; the library reports its own.
bool Collect(IniInfo& table, HubListing& listing)
{
    if (ProgrammingRefused()) {
#ifndef _WIN32
        ListSystemHubs(listing);
#endif
        JudgeScan(table, true, listing);
        return true;
    }
    const bool reported = ListLibraryHubs(table, listing);
    JudgeScan(table, false, listing);
    return reported;
}
} // namespace

int RunHubsCommand(const CliOptions& options)
{
    static IniInfo table;
    HubListing listing;
    listing.settingsRead = ReadTargetTable(table);
    listing.targetIds = table.entryCount;
    const int status = Collect(table, listing) ? kExitDone : kExitFailed;
    if (!options.json) {
        WriteText(ListingText(listing));
        return status;
    }
    nlohmann::json document = ListingJson(listing);
    document["exitStatus"] = status;
    WriteOut(DumpJson(document));
    return status;
}
