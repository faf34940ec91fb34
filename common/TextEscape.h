// Bytes from hubs and images as text that is always valid UTF-8: printable
// UTF-8 passes, every other byte reads \xNN and a backslash reads \\.
#ifndef TOLVANE_COMMON_TEXTESCAPE_H
#define TOLVANE_COMMON_TEXTESCAPE_H

#include <cstddef>
#include <cstdint>
#include <string>

std::string EscapeBytes(const std::string& bytes);

// A fixed text field up to its first zero byte (or whole), escaped.
std::string EscapeField(const std::uint8_t* field, std::size_t size);

#endif
