#include "TextEscape.h"

#include "Utf8.h"

#include <cstdio>
#include <cstring>

namespace {
bool IsC1Control(std::uint32_t codePoint)
{
    return codePoint >= 0x80 && codePoint <= 0x9F;
}

// The characters that show nothing or move what follows (TextEscape.h names
// them all).
bool HidesOrMovesText(std::uint32_t codePoint)
{
    const auto in = [codePoint](std::uint32_t first, std::uint32_t last) {
        return codePoint >= first && codePoint <= last;
    };
    return codePoint == 0x00AD || codePoint == 0x061C || codePoint == 0x180E || in(0x200B, 0x200F) ||
           in(0x2028, 0x202E) || in(0x2060, 0x206F) || codePoint == 0xFEFF || in(0xFFF9, 0xFFFB) ||
           in(0xE0000, 0xE007F);
}

// Length of the well-formed UTF-8 sequence at text[at] that may pass as it
// is, or 0 when there is none or it encodes a character to escape: a C1
// control, which terminals obey, or for people one that hides or moves text.
std::size_t PassingUtf8Length(const std::string& text, std::size_t at, EscapeFor use)
{
    std::uint32_t codePoint = 0;
    const std::size_t length = utf8::DecodeAt(text, at, codePoint);
    if (IsC1Control(codePoint) || (use != EscapeFor::Data && HidesOrMovesText(codePoint)))
        return 0;
    return length;
}

void AppendHex(std::string& out, unsigned char byte)
{
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02X", byte);
    out += text;
}

// An escaped character goes byte by byte, so that the bytes of a sequence
// that was refused as a whole all show.
std::size_t EscapedLength(const std::string& text, std::size_t at)
{
    std::uint32_t codePoint = 0;
    const std::size_t length = utf8::DecodeAt(text, at, codePoint);
    return length == 0 ? 1 : length;
}
const char* HtmlReference(unsigned char byte)
{
    switch (byte) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    case '\'':
        return "&#39;";
    default:
        return nullptr;
    }
}
} // namespace

std::string EscapeBytes(const std::string& bytes, EscapeFor use)
{
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (byte == '\\') {
            out += use == EscapeFor::Path ? "\\" : "\\\\";
            ++at;
        } else if (const char* reference = use == EscapeFor::Html ? HtmlReference(byte) : nullptr) {
            out += reference;
            ++at;
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += static_cast<char>(byte);
            ++at;
        } else if (const std::size_t length = byte >= 0x80 ? PassingUtf8Length(bytes, at, use) : 0) {
            out.append(bytes, at, length);
            at += length;
        } else {
            const std::size_t escaped = EscapedLength(bytes, at);
            for (std::size_t k = 0; k < escaped; ++k)
                AppendHex(out, static_cast<unsigned char>(bytes[at + k]));
            at += escaped;
        }
    }
    return out;
}

std::string EscapeField(const std::uint8_t* field, std::size_t size, EscapeFor use)
{
    const void* zero = std::memchr(field, 0, size);
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - field) : size;
    return EscapeBytes(std::string(reinterpret_cast<const char*>(field), length), use);
}
