// Reading the simulation's own text files (the bench, the state) so that no
// file can swamp the library: a whole-file read stops at a fixed size.
#ifndef TOLVANE_SIM_TEXTFILE_H
#define TOLVANE_SIM_TEXTFILE_H

#include "FileHandle.h"

#include <cstddef>
#include <string>

namespace tolvane::bench {

// Far beyond any bench or state file a person writes, and small enough that
// a link to an endless file costs no more than this.
constexpr std::size_t kMaxTextFileSize = 16u << 20;

enum class ReadAllResult { Read, TooLarge, Failed };

// The whole of an open file, if it holds at most limit bytes (counted as
// read, so a file that grows while it is read is still bounded).
ReadAllResult ReadAll(platform::FileHandle& file, std::size_t limit, std::string& text);

} // namespace tolvane::bench

#endif
