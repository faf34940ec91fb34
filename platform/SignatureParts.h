// The judgement of an ECDSA signature's DER form, shared by both builds: one
// ECDSA-Sig-Value (a SEQUENCE of the INTEGERs r and s) in strict DER, r and
// s positive, minimal and below P-256's order, nothing after it. OpenSSL
// and CNG each refuse a different set of other forms; judged here, they
// only ever see this one.
#ifndef TOLVANE_PLATFORM_SIGNATUREPARTS_H
#define TOLVANE_PLATFORM_SIGNATUREPARTS_H

#include "P256.h"

#include <cstdint>
#include <string>

namespace tolvane::platform {

// r || s, big-endian, as CNG takes them.
struct RawSignature {
    std::uint8_t rs[2 * p256::kBytes] = {};
};

// True with raw set when der is such a signature.
bool JudgeSignature(const std::string& der, RawSignature& raw);

} // namespace tolvane::platform

#endif
