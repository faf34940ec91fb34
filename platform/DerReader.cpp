#include "DerReader.h"

namespace tolvane::platform {

namespace {
// Lengths beyond four bytes describe more than any key file can hold.
constexpr std::size_t kLongestLengthBytes = 4;
// Tag numbers 31 and up take more bytes; nothing read here uses them.
constexpr std::uint8_t kHighTagNumber = 0x1F;
} // namespace

bool DerReader::Length(std::size_t& length)
{
    if (m_left == 0)
        return false;
    const std::uint8_t first = *m_at++;
    --m_left;
    if (first < 0x80) {
        length = first;
        return true;
    }
    // 0x80 is BER's indefinite length; DER always states it.
    const std::size_t count = first & 0x7F;
    if (count == 0 || count > kLongestLengthBytes || count > m_left || m_at[0] == 0)
        return false;
    length = 0;
    for (std::size_t i = 0; i < count; ++i)
        length = length << 8 | m_at[i];
    m_at += count;
    m_left -= count;
    // The long form only where the short one cannot say it.
    return length >= 0x80;
}

bool DerReader::Next(DerItem& item)
{
    if (m_left == 0 || (*m_at & kHighTagNumber) == kHighTagNumber)
        return false;
    item.tag = *m_at++;
    --m_left;
    std::size_t length = 0;
    if (!Length(length) || length > m_left)
        return false;
    item.content = m_at;
    item.size = length;
    m_at += length;
    m_left -= length;
    return true;
}

bool OnlyItem(const std::uint8_t* data, std::size_t size, std::uint8_t tag, DerItem& item)
{
    DerReader reader(data, size);
    return reader.Next(item) && item.tag == tag && reader.AtEnd();
}

} // namespace tolvane::platform
