// What every text shown to a person must be, whatever the input: valid
// UTF-8 without a raw control (but the line end), DEL, C1 control,
// bidirectional control or character that shows nothing or breaks a line.
#ifndef TOLVANE_FUZZ_SHOWNTEXT_H
#define TOLVANE_FUZZ_SHOWNTEXT_H

#include "Utf8.h"

#include <string>

inline bool IsSafeToShow(const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        std::uint32_t cp = 0;
        const std::size_t length = utf8::DecodeAt(text, at, cp);
        // The bidirectional controls, and what shows nothing or breaks a line.
        const bool bidi = cp == 0x061C || cp == 0x200E || cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) ||
                          (cp >= 0x2066 && cp <= 0x2069) || (cp >= 0x200B && cp <= 0x200D) || cp == 0x2028 ||
                          cp == 0x2029 || (cp >= 0x2060 && cp <= 0x2064) || cp == 0xFEFF;
        if (length == 0 || (cp < 0x20 && cp != '\n') || (cp >= 0x7F && cp <= 0x9F) || bidi)
            return false;
        at += length;
    }
    return true;
}

// Valid UTF-8, any character.
inline bool IsUtf8(const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        std::uint32_t cp = 0;
        const std::size_t length = utf8::DecodeAt(text, at, cp);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

#endif
