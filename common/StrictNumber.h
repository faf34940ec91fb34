// The numbers that Tolvane's own files and tools take: unsigned decimal, or
// hexadecimal with a 0x prefix, and nothing else. Shared by the bench file
// reader and the image tool; the engine's settings reader imitates the C
// library's scanner on purpose and does not use it.
#ifndef TOLVANE_COMMON_STRICTNUMBER_H
#define TOLVANE_COMMON_STRICTNUMBER_H

#include <cstdint>
#include <string_view>

namespace strict_number {

enum class Fault { None, Bad, Range };

// Signs, blanks, an empty number and a bare "0x" are Bad, so that a typo such
// as "-1" for a 16-bit field cannot silently wrap; a well-formed number above
// max is Range. A text that is both names the typo: Bad. value is set only
// when the result is None.
Fault Parse(std::string_view text, std::uint64_t max, std::uint64_t& value);

} // namespace strict_number

#endif
