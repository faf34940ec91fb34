// What a positioned read got. The end of the file and a failure both stop a
// read short; only this tells them apart, so that no caller has to guess
// from the system's error variable, which other calls overwrite or leave set.
#ifndef TOLVANE_PLATFORM_READRESULT_H
#define TOLVANE_PLATFORM_READRESULT_H

#include <cstddef>
#include <string>

namespace tolvane::platform {

struct ReadResult {
    std::size_t count = 0; // bytes read, before the end or the failure
    bool failed = false;   // it stopped on a failure, not at the end of the file
    std::string error;     // the system's reason when it failed
};

} // namespace tolvane::platform

#endif
