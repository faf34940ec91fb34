// The judgement of a public key's DER form (SubjectPublicKeyInfo), shared by
// both builds: a key is taken only as a named-curve P-256 key with its point
// uncompressed and on the curve, in strict DER, and every other key is named
// for what it is, in the same words on both systems.
#ifndef TOLVANE_PLATFORM_KEYPARTS_H
#define TOLVANE_PLATFORM_KEYPARTS_H

#include "P256.h"
#include "SignatureCheck.h"

#include <cstdint>
#include <string>

namespace tolvane::platform {

// The public point, big-endian coordinates, as CNG's key blob takes them.
struct P256Point {
    std::uint8_t x[p256::kBytes] = {};
    std::uint8_t y[p256::kBytes] = {};
};

// Usable with point set when der is one P-256 key as `openssl pkey -pubout`
// writes it; else what der holds instead.
KeyStatus JudgePublicKeyInfo(const std::string& der, P256Point& point);

} // namespace tolvane::platform

#endif
