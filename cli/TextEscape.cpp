#include "TextEscape.h"

#include <cstdio>
#include <cstring>

namespace {
// Length of the well-formed UTF-8 sequence at text[at] (no overlong forms,
// no surrogates, at most U+10FFFF), or 0.
std::size_t Utf8Length(const std::string& text, std::size_t at)
{
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || at + length > text.size())
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    }
    return length;
}

void AppendHex(std::string& out, unsigned char byte)
{
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02X", byte);
    out += text;
}
} // namespace

std::string EscapeBytes(const std::string& bytes)
{
    std::string out;
    for (std::size_t at = 0; at < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (byte == '\\') {
            out += "\\\\";
            ++at;
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += static_cast<char>(byte);
            ++at;
        } else if (const std::size_t length = byte >= 0x80 ? Utf8Length(bytes, at) : 0) {
            out.append(bytes, at, length);
            at += length;
        } else {
            AppendHex(out, byte);
            ++at;
        }
    }
    return out;
}

std::string EscapeField(const std::uint8_t* field, std::size_t size)
{
    const void* zero = std::memchr(field, 0, size);
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - field) : size;
    return EscapeBytes(std::string(reinterpret_cast<const char*>(field), length));
}
