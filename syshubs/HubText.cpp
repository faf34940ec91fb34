#include "HubText.h"

#include <algorithm>
#include <cstring>

namespace tolvane::syshubs {

namespace {
bool IsContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u;
}
} // namespace

void CutText(const std::string& text, std::uint8_t* field, std::size_t size)
{
    if (size == 0)
        return;
    std::memset(field, 0, size);
    std::size_t length = std::min(text.find('\0'), text.size());
    if (length >= size) {
        // Kernel strings are UTF-8: a character cut in half would show as
        // stray Latin-1 letters once the log widens the text.
        length = size - 1;
        while (length > 0 && IsContinuationByte(text[length]))
            --length;
    }
    std::memcpy(field, text.data(), length);
}

} // namespace tolvane::syshubs
