#include "TextFile.h"

namespace tolvane::bench {

ReadAllResult ReadAll(platform::FileHandle& file, std::size_t limit, std::string& text)
{
    text.clear();
    char chunk[65536];
    bool failed = false;
    for (;;) {
        const std::size_t got = file.ReadAt(text.size(), chunk, sizeof chunk, failed);
        if (got > limit - text.size())
            return ReadAllResult::TooLarge;
        text.append(chunk, got);
        if (got < sizeof chunk)
            return failed ? ReadAllResult::Failed : ReadAllResult::Read;
    }
}

} // namespace tolvane::bench
