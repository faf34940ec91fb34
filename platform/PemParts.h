// The two small pieces of the signature check that no system decoder
// supplies, kept apart from the system code so that both builds share them
// and the fuzzer reaches them.
#ifndef TOLVANE_PLATFORM_PEMPARTS_H
#define TOLVANE_PLATFORM_PEMPARTS_H

#include "SignatureCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvane::platform {

// The label of the first "-----BEGIN LABEL-----" line of text ("PUBLIC
// KEY", "CERTIFICATE"...). False when there is none: the text is not PEM.
bool FirstPemLabel(const std::string& text, std::string& label);

// What a PEM block's label says it holds: Usable for "PUBLIC KEY", whose
// contents the system must still judge, else the kind that is refused.
KeyStatus StatusOfPemLabel(const std::string& label);

// The same for a key file's text, before its contents are decoded: NotPem
// without a "-----BEGIN" line; OtherPem with the label in detail.
KeyStatus StatusOfPemText(const std::string& text, std::string& detail);

// An ECDSA integer as crypt32 decodes it (little-endian, unsigned) written
// big-endian into the width bytes at out, as CNG takes r and s. False when
// it is zero or does not fit.
bool BigEndianInto(const std::uint8_t* littleEndian, std::size_t size, std::uint8_t* out, std::size_t width);

} // namespace tolvane::platform

#endif
