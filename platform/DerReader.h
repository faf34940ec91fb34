// A reader of strict DER, the one encoding of ASN.1 that leaves no choice:
// a key or a signature written any other way (a long length where a short
// one does, an indefinite length, a high tag number) is refused, so that
// both systems' crypto libraries are only ever handed one form of each.
#ifndef TOLVANE_PLATFORM_DERREADER_H
#define TOLVANE_PLATFORM_DERREADER_H

#include <cstddef>
#include <cstdint>

namespace tolvane::platform {

// One element: its tag byte and its contents.
struct DerItem {
    std::uint8_t tag = 0;
    const std::uint8_t* content = nullptr;
    std::size_t size = 0;
};

namespace der {
constexpr std::uint8_t kInteger = 0x02;
constexpr std::uint8_t kBitString = 0x03;
constexpr std::uint8_t kObjectId = 0x06;
constexpr std::uint8_t kSequence = 0x30;
} // namespace der

// The elements of a run of bytes, one after the other.
class DerReader {
public:
    DerReader(const std::uint8_t* data, std::size_t size) : m_at(data), m_left(size) {}
    explicit DerReader(const DerItem& constructed) : DerReader(constructed.content, constructed.size) {}

    // The next element. False at the end, or when its tag or its length is
    // not in strict DER or its length runs past the bytes.
    bool Next(DerItem& item);

    bool AtEnd() const { return m_left == 0; }

private:
    bool Length(std::size_t& length);

    const std::uint8_t* m_at;
    std::size_t m_left;
};

// Reads the one element that bytes hold, of the tag wanted, with nothing
// after it.
bool OnlyItem(const std::uint8_t* data, std::size_t size, std::uint8_t tag, DerItem& item);

} // namespace tolvane::platform

#endif
