#include "KeyParts.h"

#include "DerReader.h"

#include <cstring>

namespace tolvane::platform {

namespace {
// The object identifiers' contents: id-ecPublicKey, P-256 (prime256v1),
// rsaEncryption and RSASSA-PSS.
const std::uint8_t kEcPublicKey[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};
const std::uint8_t kP256Curve[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};
const std::uint8_t kRsa[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};
const std::uint8_t kRsaPss[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x0A};

// The first byte of an encoded point says its form (SEC 1, 2.3.3).
constexpr std::uint8_t kCompressedEven = 0x02;
constexpr std::uint8_t kCompressedOdd = 0x03;
constexpr std::uint8_t kUncompressed = 0x04;
constexpr std::uint8_t kHybridEven = 0x06;
constexpr std::uint8_t kHybridOdd = 0x07;

template <std::size_t N>
bool Is(const DerItem& item, const std::uint8_t (&oid)[N])
{
    return item.tag == der::kObjectId && item.size == N && std::memcmp(item.content, oid, N) == 0;
}

// What the AlgorithmIdentifier says the key is: Usable for P-256 by name.
KeyStatus StatusOfAlgorithm(const DerItem& algorithm)
{
    DerReader reader(algorithm);
    DerItem oid;
    if (!reader.Next(oid) || oid.tag != der::kObjectId)
        return KeyStatus::Undecodable;
    if (Is(oid, kRsa) || Is(oid, kRsaPss))
        return KeyStatus::RsaKey;
    if (!Is(oid, kEcPublicKey))
        return KeyStatus::OtherKey;
    DerItem curve;
    if (!reader.Next(curve) || !reader.AtEnd())
        return KeyStatus::Undecodable;
    if (curve.tag == der::kSequence)
        return KeyStatus::ExplicitCurve;
    if (curve.tag != der::kObjectId)
        return KeyStatus::Undecodable;
    return Is(curve, kP256Curve) ? KeyStatus::Usable : KeyStatus::OtherCurve;
}

// The point of the key's BIT STRING, of whole bytes.
KeyStatus StatusOfPoint(const DerItem& bits, P256Point& point)
{
    if (bits.size < 2 || bits.content[0] != 0)
        return KeyStatus::Undecodable;
    const std::uint8_t* encoded = bits.content + 1;
    const std::size_t size = bits.size - 1;
    const std::uint8_t form = encoded[0];
    if ((form == kCompressedEven || form == kCompressedOdd) && size == 1 + p256::kBytes)
        return KeyStatus::CompressedKey;
    if (size != 1 + 2 * p256::kBytes)
        return KeyStatus::Undecodable;
    if (form == kHybridEven || form == kHybridOdd)
        return KeyStatus::HybridKey;
    if (form != kUncompressed)
        return KeyStatus::Undecodable;
    if (!p256::OnCurve(encoded + 1, encoded + 1 + p256::kBytes))
        return KeyStatus::OffCurve;
    std::memcpy(point.x, encoded + 1, p256::kBytes);
    std::memcpy(point.y, encoded + 1 + p256::kBytes, p256::kBytes);
    return KeyStatus::Usable;
}
} // namespace

KeyStatus JudgePublicKeyInfo(const std::string& der, P256Point& point)
{
    DerItem info;
    if (!OnlyItem(reinterpret_cast<const std::uint8_t*>(der.data()), der.size(), der::kSequence, info))
        return KeyStatus::Undecodable;
    DerReader reader(info);
    DerItem algorithm;
    DerItem bits;
    if (!reader.Next(algorithm) || algorithm.tag != der::kSequence || !reader.Next(bits) ||
        bits.tag != der::kBitString || !reader.AtEnd())
        return KeyStatus::Undecodable;
    const KeyStatus status = StatusOfAlgorithm(algorithm);
    if (status != KeyStatus::Usable)
        return status;
    return StatusOfPoint(bits, point);
}

} // namespace tolvane::platform
