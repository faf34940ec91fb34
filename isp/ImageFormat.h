// Where the fields of a firmware image (.BIN) lie. The engine reads only these
// few fields; everything else in an image is opaque and reaches the hub
// through the ISP library, which reads the file itself.
#ifndef TOLVANE_ISP_IMAGEFORMAT_H
#define TOLVANE_ISP_IMAGEFORMAT_H

#include <cstddef>
#include <cstdint>

namespace image_format {

// Header, bytes 0 to 3: target identifier (big-endian), imageFlags, unused.
constexpr std::uint64_t kHeaderSize = 4;
constexpr std::uint64_t kFlagsOffset = 2;

constexpr std::uint8_t kFlagCompat = 0x04;  // bit 2
constexpr std::uint8_t kFlagLayoutA = 0x08; // bit 3
constexpr std::uint8_t kFlagAlt = 0x80;     // bit 7, also selects layout A
constexpr unsigned kVersionStepShift = 4;   // bits 4 to 6
constexpr unsigned kVersionStepMask = 7;

constexpr std::size_t kTextFieldSize = 46;
constexpr std::size_t kManufacturerCompared = 30;
constexpr std::size_t kProductCompared = 36;

struct Layout {
    std::uint64_t versionWord;
    std::uint64_t manufacturer;
    std::uint64_t product1;
    std::uint64_t product2;
    std::uint64_t legalSize; // the one legal size for target identifier 0x0D12
};

constexpr Layout kLayoutA{0x1F4C, 0x7020, 0x7050, 0x7080, 28848};
constexpr Layout kLayoutB{0x1F6C, 0x701B, 0x7039, 0x705D, 28801};

// The images whose size is checked carry this target identifier.
constexpr std::uint16_t kSizeCheckedTarget = 0x0D12;

// Some images of layout B keep a marker word here, whatever their layout.
constexpr std::uint64_t kMarkerOffset = 0x1F6C;
constexpr std::uint16_t kMarkerValue = 0x9010;

constexpr bool IsLayoutA(std::uint8_t imageFlags)
{
    return (imageFlags & (kFlagLayoutA | kFlagAlt)) != 0;
}

constexpr const Layout& LayoutOf(std::uint8_t imageFlags)
{
    return IsLayoutA(imageFlags) ? kLayoutA : kLayoutB;
}

constexpr unsigned VersionStep(std::uint8_t imageFlags)
{
    return (imageFlags >> kVersionStepShift) & kVersionStepMask;
}

// The firmware version an image carries: its version word plus the step, in
// 16 bits.
constexpr std::uint16_t FirmwareVersion(std::uint16_t versionWord, std::uint8_t imageFlags)
{
    return static_cast<std::uint16_t>(versionWord + VersionStep(imageFlags));
}

} // namespace image_format

#endif
