#include "P256.h"

#include <array>

namespace tolvane::platform::p256 {

namespace {
// A 256-bit number in eight 32-bit words, the least significant first.
using Number = std::array<std::uint32_t, 8>;

Number FromBytes(const std::uint8_t* bigEndian)
{
    Number n{};
    for (std::size_t i = 0; i < kBytes; ++i)
        n[(kBytes - 1 - i) / 4] |= std::uint32_t{bigEndian[i]} << (8 * ((kBytes - 1 - i) % 4));
    return n;
}

// -1, 0 or 1 as a is below, equal to or above b.
int Compare(const Number& a, const Number& b)
{
    for (std::size_t i = a.size(); i-- > 0;)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return 0;
}

// a + b modulo 2^256; the carry out.
std::uint32_t Add(Number& a, const Number& b)
{
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        carry += std::uint64_t{a[i]} + b[i];
        a[i] = static_cast<std::uint32_t>(carry);
        carry >>= 32;
    }
    return static_cast<std::uint32_t>(carry);
}

// a - b modulo 2^256; the borrow out.
std::uint32_t Subtract(Number& a, const Number& b)
{
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::int64_t difference = std::int64_t{a[i]} - b[i] - borrow;
        a[i] = static_cast<std::uint32_t>(difference);
        borrow = difference < 0 ? 1 : 0;
    }
    return static_cast<std::uint32_t>(borrow);
}

// The field's prime p = 2^256 - 2^224 + 2^192 + 2^96 - 1, the curve's b and
// its order n, least significant word first.
const Number kPrime = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0x00000000, 0x00000000, 0x00000000, 0x00000001, 0xFFFFFFFF};
const Number kB = {0x27D2604B, 0x3BCE3C3E, 0xCC53B0F6, 0x651D06B0, 0x769886BC, 0xB3EBBD55, 0xAA3A93E7, 0x5AC635D8};
const Number kOrder = {0xFC632551, 0xF3B9CAC2, 0xA7179E84, 0xBCE6FAAD, 0xFFFFFFFF, 0xFFFFFFFF, 0x00000000, 0xFFFFFFFF};

// (a + b) mod p, for a and b below p.
Number AddMod(Number a, const Number& b)
{
    if (Add(a, b) != 0 || Compare(a, kPrime) >= 0)
        Subtract(a, kPrime);
    return a;
}

// (a - b) mod p, for a and b below p: a borrow means adding p back, whose
// own carry cancels it.
Number SubtractMod(Number a, const Number& b)
{
    if (Subtract(a, b) != 0)
        Add(a, kPrime);
    return a;
}

// (a * b) mod p by doubling and adding, from b's highest bit down: slow, but
// a key is judged once.
Number MultiplyMod(const Number& a, const Number& b)
{
    Number product{};
    for (std::size_t bit = 256; bit-- > 0;) {
        product = AddMod(product, product);
        if ((b[bit / 32] >> (bit % 32)) & 1)
            product = AddMod(product, a);
    }
    return product;
}
} // namespace

bool OnCurve(const std::uint8_t* x, const std::uint8_t* y)
{
    const Number X = FromBytes(x);
    const Number Y = FromBytes(y);
    if (Compare(X, kPrime) >= 0 || Compare(Y, kPrime) >= 0)
        return false;
    const Number threeX = AddMod(AddMod(X, X), X);
    const Number right = AddMod(SubtractMod(MultiplyMod(MultiplyMod(X, X), X), threeX), kB);
    return Compare(MultiplyMod(Y, Y), right) == 0;
}

bool InScalarRange(const std::uint8_t* value)
{
    const Number v = FromBytes(value);
    return Compare(v, Number{}) != 0 && Compare(v, kOrder) < 0;
}

} // namespace tolvane::platform::p256
