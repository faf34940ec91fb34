// Well-formed UTF-8, as the Unicode standard defines it, whatever the
// locale: the platform layer widens names with it and the command line
// decides with it which bytes of a hub's text it must escape.
#ifndef TOLVANE_COMMON_UTF8_H
#define TOLVANE_COMMON_UTF8_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace utf8 {

// Length of the well-formed UTF-8 sequence at text[i] and its code point, or
// 0 when the byte there does not start one. The second-byte ranges follow the
// Unicode table of well-formed sequences, which is what rules out overlong
// forms, surrogates and values above U+10FFFF in one place.
inline std::size_t DecodeAt(const std::string& text, std::size_t i, std::uint32_t& cp)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t count = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        count = 2;
        cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 3;
        cp = lead & 0x0Fu;
        if (lead == 0xE0)
            lo = 0xA0;
        else if (lead == 0xED)
            hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 4;
        cp = lead & 0x07u;
        if (lead == 0xF0)
            lo = 0x90;
        else if (lead == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - i < count)
        return 0;
    for (std::size_t k = 1; k < count; ++k) {
        const unsigned char next = byte(i + k);
        if (next < lo || next > hi)
            return 0;
        lo = 0x80;
        hi = 0xBF;
        cp = (cp << 6) | (next & 0x3Fu);
    }
    return count;
}

} // namespace utf8

#endif
