// Texts cut into the fixed fields of a hub entry.
#ifndef TOLVANE_SYSHUBS_HUBTEXT_H
#define TOLVANE_SYSHUBS_HUBTEXT_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvane::syshubs {

// Copies text into a field of size bytes: at most size - 1 bytes, never
// ending inside a UTF-8 sequence, and zeros up to the end, so the field
// always holds a terminated text. A text with a zero byte ends there.
void CutText(const std::string& text, std::uint8_t* field, std::size_t size);

} // namespace tolvane::syshubs

#endif
