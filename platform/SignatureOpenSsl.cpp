// OpenSSL's half of the signature check: it imports a key and verifies a
// signature that the shared half (SignatureCheck.cpp) already judged.
#include "SignatureCheck.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <climits>

namespace tolvane::platform {

struct VerifyKey::Handles {
    EVP_PKEY* key = nullptr;
    ~Handles() { EVP_PKEY_free(key); }
};

VerifyKey::VerifyKey() = default;
VerifyKey::~VerifyKey() = default;

void VerifyKey::Forget()
{
    m_handles.reset();
}

KeyStatus VerifyKey::ImportJudged(const std::string& der, const std::uint8_t*, const std::uint8_t*, std::string& detail)
{
    auto handles = std::make_unique<Handles>();
    const auto* at = reinterpret_cast<const unsigned char*>(der.data());
    handles->key = d2i_PUBKEY(nullptr, &at, static_cast<long>(der.size()));
    ERR_clear_error();
    if (!handles->key) {
        detail = "OpenSSL cannot import a P-256 key";
        return KeyStatus::SystemFailure;
    }
    m_handles = std::move(handles);
    return KeyStatus::Usable;
}

Verdict VerifyKey::VerifyJudged(const std::string& bytes, const std::string& signature, const std::uint8_t*) const
{
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (!context)
        return Verdict::SystemFailure;
    int result = -2;
    if (EVP_DigestVerifyInit(context, nullptr, EVP_sha256(), nullptr, m_handles->key) == 1)
        result = EVP_DigestVerify(context, reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                                  reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    EVP_MD_CTX_free(context);
    ERR_clear_error();
    if (result == 1)
        return Verdict::Verified;
    // The signature is in the strict DER that OpenSSL writes itself, so 0 is
    // the verification proper failing and anything else the library.
    return result == 0 ? Verdict::Mismatch : Verdict::SystemFailure;
}

} // namespace tolvane::platform
