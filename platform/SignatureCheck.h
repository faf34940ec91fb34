// The check of a detached signature by the system's crypto library
// (OpenSSL's libcrypto; CNG on Windows): ECDSA over P-256 with
// SHA-256, the DER signature that `openssl dgst -sha256 -sign` writes, under
// a PEM public key as `openssl pkey -pubout` writes it. Tolvane only
// verifies; it never holds a private key.
#ifndef TOLVANE_PLATFORM_SIGNATURECHECK_H
#define TOLVANE_PLATFORM_SIGNATURECHECK_H

#include <cstdint>
#include <memory>
#include <string>

namespace tolvane::platform {

// What a key file turned out to hold, when it is not a P-256 public key.
enum class KeyStatus {
    Usable,             // a P-256 public key
    NotPem,             // no "-----BEGIN ...-----" block at all
    ByteOrderMark,      // the text starts with a UTF-8 byte-order mark
    BareCarriageReturn, // a line ends in CR alone
    TextOutsideBlock,   // anything but blank space before or after the block
    TwoBlocks,          // a second PEM block after the key's
    EndMismatch,        // the END line names another label than BEGIN
    NoEndLine,          // the block is not closed
    PrivateKey,         // a private key, of any kind
    Certificate,        // a certificate, not the key alone
    RsaKey,             // an RSA public key
    OtherCurve,         // an EC public key on another curve
    ExplicitCurve,      // an EC public key whose curve is spelt out, not named
    CompressedKey,      // a P-256 key whose point is compressed, which CNG cannot take
    HybridKey,          // a P-256 key whose point is in the hybrid form (0x06, 0x07)
    OffCurve,           // a P-256 key whose point does not lie on the curve
    OtherKey,           // a public key of another algorithm
    OtherPem,           // a PEM block of another kind (its label in detail)
    Undecodable,        // a "PUBLIC KEY" block whose contents do not decode
    SystemFailure,      // the crypto library failed (its reason in detail)
};

enum class Verdict {
    Verified,      // the signature holds over the bytes under this key
    Mismatch,      // a well-formed signature that does not hold
    Malformed,     // not a strict DER ECDSA signature of P-256's size
    SystemFailure, // the crypto library failed
};

// A public key imported into the crypto library, ready to verify.
class VerifyKey {
public:
    VerifyKey();
    ~VerifyKey();
    VerifyKey(const VerifyKey&) = delete;
    VerifyKey& operator=(const VerifyKey&) = delete;

    // Imports the key file's text, which must hold one P-256 public key
    // (PublicKeyDer, JudgePublicKeyInfo). Usable, or what the text holds
    // instead; detail names the PEM label of OtherPem and the system's
    // reason of SystemFailure.
    KeyStatus Import(const std::string& text, std::string& detail);

    // The SHA-256 (lower-case hex) of the key's DER SubjectPublicKeyInfo, as
    // `openssl pkey -pubin -outform DER | sha256sum` computes it; empty
    // until a key was imported.
    const std::string& Fingerprint() const { return m_fingerprint; }

    // Checks signature (DER) over the SHA-256 of bytes; Malformed unless
    // JudgeSignature takes it.
    Verdict Verify(const std::string& bytes, const std::string& signature) const;

    struct Handles; // the system's key objects, as each system's file defines them

private:
    // The system's half, in each system's file, handed only what the shared
    // half judged valid: the key's DER with its point, and a signature's DER
    // with its r || s (64 bytes). Import gives Usable or SystemFailure,
    // Verify never Malformed.
    void Forget();
    KeyStatus ImportJudged(const std::string& der, const std::uint8_t* x, const std::uint8_t* y, std::string& detail);
    Verdict VerifyJudged(const std::string& bytes, const std::string& signature, const std::uint8_t* rs) const;

    std::unique_ptr<Handles> m_handles;
    std::string m_fingerprint;
};

} // namespace tolvane::platform

#endif
