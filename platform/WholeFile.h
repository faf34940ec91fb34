// A whole file read once into memory, for the small files whose bytes are
// checked and then used: what was checked is the copy that is used, never a
// second read of a path that may meanwhile name other bytes.
#ifndef TOLVANE_PLATFORM_WHOLEFILE_H
#define TOLVANE_PLATFORM_WHOLEFILE_H

#include <cstdint>
#include <string>

namespace tolvane::platform {

// Reads the regular file at path into bytes. False with the reason in error
// when it cannot be opened (the system's reason, or the kind of file found
// instead), is larger than limit bytes, or cannot be read to its end.
bool ReadWholeFile(const std::string& path, std::uint64_t limit, std::string& bytes, std::string& error);

} // namespace tolvane::platform

#endif
