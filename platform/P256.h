// The few facts about the curve P-256 that the key and the signature are
// judged by before either system's crypto library sees them: whether a point
// lies on the curve, and whether a signature's r and s lie below its order.
// Each system would refuse these in its own way and with its own words, or
// (Wine's CNG) not at all.
#ifndef TOLVANE_PLATFORM_P256_H
#define TOLVANE_PLATFORM_P256_H

#include <cstddef>
#include <cstdint>

namespace tolvane::platform::p256 {

// The size of a coordinate, and of r and s.
constexpr std::size_t kBytes = 32;

// True when (x, y), big-endian, is a point of the curve: both below the
// field's prime and y^2 = x^3 - 3x + b.
bool OnCurve(const std::uint8_t* x, const std::uint8_t* y);

// True when value, big-endian, is from 1 to the curve's order less one, as
// r and s of a signature must be.
bool InScalarRange(const std::uint8_t* value);

} // namespace tolvane::platform::p256

#endif
