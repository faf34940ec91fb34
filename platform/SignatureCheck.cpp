// The half of the signature check that both builds share: what a key file
// and a signature must be. The system's crypto library only does the
// arithmetic, on inputs judged here.
#include "SignatureCheck.h"

#include "FileDigest.h"
#include "KeyParts.h"
#include "PemParts.h"
#include "SignatureParts.h"

namespace tolvane::platform {

KeyStatus VerifyKey::Import(const std::string& text, std::string& detail)
{
    Forget();
    m_fingerprint.clear();
    std::string der;
    const KeyStatus pem = PublicKeyDer(text, der, detail);
    if (pem != KeyStatus::Usable)
        return pem;
    P256Point point;
    const KeyStatus key = JudgePublicKeyInfo(der, point);
    if (key != KeyStatus::Usable)
        return key;
    // A key taken here has one DER form only, so its fingerprint is the hash
    // of the bytes read, as `openssl pkey -pubin -outform DER` writes them.
    FileDigest digest;
    if (!Sha256Bytes(der, digest, detail))
        return KeyStatus::SystemFailure;
    const KeyStatus imported = ImportJudged(der, point.x, point.y, detail);
    if (imported != KeyStatus::Usable) {
        Forget();
        return imported;
    }
    m_fingerprint = digest.sha256;
    return KeyStatus::Usable;
}

Verdict VerifyKey::Verify(const std::string& bytes, const std::string& signature) const
{
    if (!m_handles)
        return Verdict::SystemFailure;
    RawSignature raw;
    if (!JudgeSignature(signature, raw))
        return Verdict::Malformed;
    return VerifyJudged(bytes, signature, raw.rs);
}

} // namespace tolvane::platform
