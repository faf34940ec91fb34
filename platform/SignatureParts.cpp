#include "SignatureParts.h"

#include "DerReader.h"

#include <cstring>

namespace tolvane::platform {

namespace {
// One INTEGER, positive and in its fewest bytes, written right-aligned into
// the kBytes at out.
bool PositiveInteger(DerReader& reader, std::uint8_t* out)
{
    DerItem integer;
    if (!reader.Next(integer) || integer.tag != der::kInteger || integer.size == 0)
        return false;
    const std::uint8_t* bytes = integer.content;
    std::size_t size = integer.size;
    // A set top bit is a negative number.
    if (bytes[0] & 0x80)
        return false;
    // A leading zero only where the next byte's top bit would read as a sign.
    if (bytes[0] == 0 && size > 1) {
        if (!(bytes[1] & 0x80))
            return false;
        ++bytes;
        --size;
    }
    if (size > p256::kBytes)
        return false;
    std::memset(out, 0, p256::kBytes - size);
    std::memcpy(out + p256::kBytes - size, bytes, size);
    return p256::InScalarRange(out);
}
} // namespace

bool JudgeSignature(const std::string& der, RawSignature& raw)
{
    DerItem value;
    if (!OnlyItem(reinterpret_cast<const std::uint8_t*>(der.data()), der.size(), der::kSequence, value))
        return false;
    DerReader reader(value);
    return PositiveInteger(reader, raw.rs) && PositiveInteger(reader, raw.rs + p256::kBytes) && reader.AtEnd();
}

} // namespace tolvane::platform
