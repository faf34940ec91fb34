// The key file's PEM text, judged and decoded the same way on both builds
// (no system decoder reads it: each took a different block out of the same
// file), kept apart from the system code so that the fuzzer reaches it.
#ifndef TOLVANE_PLATFORM_PEMPARTS_H
#define TOLVANE_PLATFORM_PEMPARTS_H

#include "SignatureCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvane::platform {

// The label of the first "-----BEGIN LABEL-----" line of text (blank space
// before it allowed) ("PUBLIC
// KEY", "CERTIFICATE"...). False when there is none: the text is not PEM.
bool FirstPemLabel(const std::string& text, std::string& label);

// What a PEM block's label says it holds: Usable for "PUBLIC KEY", whose
// contents the system must still judge, else the kind that is refused.
KeyStatus StatusOfPemLabel(const std::string& label);

// The same for a key file's text, before its contents are decoded: NotPem
// without a "-----BEGIN" line; OtherPem with the label in detail.
KeyStatus StatusOfPemText(const std::string& text, std::string& detail);

// The DER of a key file that holds exactly one "PUBLIC KEY" block and
// nothing else but blank space: spaces and tabs, blank lines, LF or CR LF
// line ends. Usable with der set; else what is wrong, in the order a reader
// meets it: a UTF-8 byte-order mark, no block, a block of another kind (as
// StatusOfPemText), a bare CR, text outside the block, a second block, an
// END line of another label or none, contents that are not strict Base64.
KeyStatus PublicKeyDer(const std::string& text, std::string& der, std::string& detail);

// An ECDSA integer as crypt32 decodes it (little-endian, unsigned) written
// big-endian into the width bytes at out, as CNG takes r and s. False when
// it is zero or does not fit. The signature check no longer calls it: it
// reads r and s itself (SignatureParts.h), the same on both builds.
bool BigEndianInto(const std::uint8_t* littleEndian, std::size_t size, std::uint8_t* out, std::size_t width);

} // namespace tolvane::platform

#endif
