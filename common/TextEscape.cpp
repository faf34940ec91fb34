#include "TextEscape.h"

#include "Utf8.h"

#include <cstdio>
#include <cstring>

namespace {
// Length of the well-formed UTF-8 sequence at text[at], or 0 when there is
// none or it encodes a C1 control (U+0080 to U+009F), which terminals obey.
std::size_t PrintableUtf8Length(const std::string& text, std::size_t at)
{
    std::uint32_t codePoint = 0;
    const std::size_t length = utf8::DecodeAt(text, at, codePoint);
    return codePoint >= 0x80 && codePoint <= 0x9F ? 0 : length;
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
        } else if (const std::size_t length = byte >= 0x80 ? PrintableUtf8Length(bytes, at) : 0) {
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
