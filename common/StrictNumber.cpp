#include "StrictNumber.h"

#include "AsciiText.h"

namespace strict_number {

Fault Parse(std::string_view text, std::uint64_t max, std::uint64_t& value)
{
    unsigned base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return Fault::Bad;
    bool tooLarge = false;
    std::uint64_t result = 0;
    for (const char c : text) {
        const int digit = ascii::HexDigitValue(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= base)
            return Fault::Bad;
        const auto d = static_cast<std::uint64_t>(digit);
        // Keep scanning after an overflow, so that a later bad character
        // still wins: the typo is the more useful thing to point at.
        if (!tooLarge && (d > max || result > (max - d) / base))
            tooLarge = true;
        if (!tooLarge)
            result = result * base + d;
    }
    if (tooLarge)
        return Fault::Range;
    value = result;
    return Fault::None;
}

} // namespace strict_number
