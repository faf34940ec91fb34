#include "StdoutStatus.h"

#include <cerrno>
#include <cstring>
#include <string>

bool FinishStdout(std::FILE* out, std::FILE* err)
{
    errno = 0;
    const bool flushed = std::fflush(out) == 0;
    const int reason = errno;
    // The error flag also keeps a failure from a write during the run, when
    // the buffer filled up and was written out early.
    if (flushed && std::ferror(out) == 0)
        return true;
    // Asked again (an upgrade learns its output's fate before its history
    // ends, and the program once more at its end): said once.
    static std::FILE* reported = nullptr;
    if (out == reported)
        return false;
    reported = out;
    std::string line = "tolvane-cli: cannot write the standard output";
    if (!flushed && reason != 0)
        line += std::string(": ") + std::strerror(reason);
    std::fprintf(err, "%s\n", line.c_str());
    return false;
}
