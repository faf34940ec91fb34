// The one way Tolvane shows bytes that come from files, folders and hubs
// (image names, hub strings, image fields) in text and JSON alike: the
// result is always valid UTF-8 with no control character. Printable UTF-8
// passes; every other byte reads \xNN, the two bytes of a C1 control too,
// and a backslash reads \\. So a name in Latin-1 ("caf\xE9") never looks like
// its UTF-8 twin ("café"), and nothing can move a terminal's cursor.
#ifndef TOLVANE_COMMON_TEXTESCAPE_H
#define TOLVANE_COMMON_TEXTESCAPE_H

#include <cstddef>
#include <cstdint>
#include <string>

std::string EscapeBytes(const std::string& bytes);

// A fixed text field up to its first zero byte (or whole), escaped.
std::string EscapeField(const std::uint8_t* field, std::size_t size);

#endif
