// Writing the state file: what programming leaves on the simulated hubs,
// kept correct when several programs program hubs of one bench at once.
#ifndef TOLVANE_SIM_STATEFILE_H
#define TOLVANE_SIM_STATEFILE_H

#include "BenchFile.h"

#include <cstdint>
#include <string>

namespace tolvane::bench {

enum class RecordResult { Recorded, Malformed, Failed };

// Records version for hub (1 to 32) in the state file at statePath. Reading,
// changing and replacing the file is one step under an exclusive lock on
// statePath + ".lock", so no other process's record is lost. The file is
// replaced in one step: the text goes into statePath + ".new", created
// exclusively and never through a link, reaches the disk, and is renamed
// over statePath; a link at statePath is replaced, not written through.
// Malformed: the state file does not read and is left as it was; Failed: it
// could not be locked or written. Both set error.
RecordResult RecordFirmware(const std::string& statePath, int hub, std::uint16_t version, std::string& error);

} // namespace tolvane::bench

#endif
