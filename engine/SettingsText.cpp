#include "SettingsText.h"

#include "AsciiText.h"
#include "Platform.h"

#include <cstring>

namespace {
// Large reads keep a settings file of millions of lines to few system calls.
constexpr std::size_t kChunkSize = 64 * 1024;
} // namespace

SettingsText::SettingsText() : m_chunk(kChunkSize)
{}
SettingsText::~SettingsText() = default;

bool SettingsText::Open(const char* fileName)
{
    m_file = tolvane::platform::OpenReadOnly(fileName);
    m_offset = 0;
    m_chunkSize = m_chunkPos = 0;
    m_pending = -1;
    return m_file != nullptr;
}

int SettingsText::ReadByte()
{
    if (m_chunkPos == m_chunkSize) {
        if (!m_file)
            return -1;
        m_chunkSize = m_file->ReadAt(m_offset, m_chunk.data(), m_chunk.size());
        m_chunkPos = 0;
        m_offset += m_chunkSize;
        if (m_chunkSize == 0)
            return -1;
    }
    return m_chunk[m_chunkPos++];
}

const char* SettingsText::NextPiece()
{
    std::size_t length = 0;
    while (length < kPieceSize - 1) {
        int c = m_pending >= 0 ? m_pending : ReadByte();
        m_pending = -1;
        if (c == '\r') {
            // Text mode: a carriage return directly before a line feed vanishes.
            const int next = ReadByte();
            if (next == '\n')
                c = '\n';
            else
                m_pending = next;
        }
        if (c < 0)
            break;
        m_piece[length++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    if (length == 0)
        return nullptr;
    if (m_piece[length - 1] == '\n')
        --length;
    m_piece[length] = '\0';
    return m_piece;
}

bool SettingsText::FindSection(const char* header)
{
    while (const char* line = NextPiece()) {
        if (std::strstr(line, header))
            return true;
    }
    return false;
}

const char* SettingsText::NextSectionLine()
{
    const char* line = NextPiece();
    if (!line || std::strchr(line, '['))
        return nullptr;
    return line;
}

namespace {
bool IsScanSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* SkipSpace(const char* text)
{
    while (IsScanSpace(*text))
        ++text;
    return text;
}

// Sign and digits in the given base; value wraps modulo 2^32.
bool ScanUnsigned(const char* text, unsigned base, std::uint32_t& value, const char** end)
{
    const char* p = SkipSpace(text);
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && ascii::HexDigitValue(p[2]) >= 0)
        p += 2;
    std::uint32_t result = 0;
    const char* digits = p;
    for (int d; (d = ascii::HexDigitValue(*p)) >= 0 && static_cast<unsigned>(d) < base; ++p)
        result = result * base + static_cast<std::uint32_t>(d);
    if (p == digits)
        return false;
    value = negative ? 0u - result : result;
    if (end)
        *end = p;
    return true;
}
} // namespace

bool ScanDecimal(const char* text, std::int32_t& value, const char** end)
{
    std::uint32_t raw = 0;
    if (!ScanUnsigned(text, 10, raw, end))
        return false;
    value = static_cast<std::int32_t>(raw);
    return true;
}

bool ScanHex(const char* text, std::uint32_t& value, const char** end)
{
    return ScanUnsigned(text, 16, value, end);
}

bool ScanWord(const char* text, char* destination, std::size_t size)
{
    const char* p = SkipSpace(text);
    std::size_t length = 0;
    while (p[length] && !IsScanSpace(p[length]))
        ++length;
    if (length == 0 || size == 0)
        return false;
    if (length > size - 1)
        length = size - 1;
    std::memcpy(destination, p, length);
    destination[length] = '\0';
    return true;
}

const char* ValueOf(const char* line)
{
    const char* equals = std::strchr(line, '=');
    return equals ? equals + 1 : nullptr;
}
