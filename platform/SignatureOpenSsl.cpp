#include "SignatureCheck.h"

#include "FileDigest.h"
#include "PemParts.h"

#include <openssl/bio.h>
#include <openssl/ecdsa.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/objects.h>
#include <openssl/pem.h>

#include <climits>

namespace tolvane::platform {

struct VerifyKey::Handles {
    EVP_PKEY* key = nullptr;
    ~Handles() { EVP_PKEY_free(key); }
};

namespace {
constexpr int kP256Bytes = 32;

// What a decoded public key is, as the key file's refusal names it.
KeyStatus StatusOfKey(EVP_PKEY* key)
{
    const int type = EVP_PKEY_get_base_id(key);
    if (type == EVP_PKEY_RSA || type == EVP_PKEY_RSA_PSS)
        return KeyStatus::RsaKey;
    if (type != EVP_PKEY_EC)
        return KeyStatus::OtherKey;
    char group[80] = "";
    std::size_t length = 0;
    if (EVP_PKEY_get_group_name(key, group, sizeof group, &length) != 1 || OBJ_txt2nid(group) != NID_X9_62_prime256v1)
        return KeyStatus::OtherCurve;
    // CNG takes the point uncompressed only; a key must work on both builds.
    if (EVP_PKEY_get_ec_point_conv_form(key) != POINT_CONVERSION_UNCOMPRESSED)
        return KeyStatus::CompressedKey;
    return KeyStatus::Usable;
}

bool FingerprintOf(EVP_PKEY* key, std::string& fingerprint)
{
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(key, &der);
    if (length <= 0)
        return false;
    FileDigest digest;
    std::string error;
    const bool hashed = Sha256Bytes(std::string(reinterpret_cast<const char*>(der), length), digest, error);
    OPENSSL_free(der);
    fingerprint = digest.sha256;
    return hashed;
}

// True when signature is one DER ECDSA-Sig-Value, nothing after it, whose
// r and s are positive and fit P-256's 32 bytes.
bool WellFormed(const std::string& signature)
{
    if (signature.empty() || signature.size() > LONG_MAX)
        return false;
    const auto* start = reinterpret_cast<const unsigned char*>(signature.data());
    const unsigned char* at = start;
    ECDSA_SIG* parsed = d2i_ECDSA_SIG(nullptr, &at, static_cast<long>(signature.size()));
    if (!parsed)
        return false;
    const BIGNUM* r = nullptr;
    const BIGNUM* s = nullptr;
    ECDSA_SIG_get0(parsed, &r, &s);
    const bool fits = at == start + signature.size() && !BN_is_zero(r) && !BN_is_zero(s) && !BN_is_negative(r) &&
                      !BN_is_negative(s) && BN_num_bytes(r) <= kP256Bytes && BN_num_bytes(s) <= kP256Bytes;
    ECDSA_SIG_free(parsed);
    return fits;
}
} // namespace

VerifyKey::VerifyKey() = default;
VerifyKey::~VerifyKey() = default;

KeyStatus VerifyKey::Import(const std::string& text, std::string& detail)
{
    m_handles.reset();
    m_fingerprint.clear();
    const KeyStatus byLabel = StatusOfPemText(text, detail);
    if (byLabel != KeyStatus::Usable)
        return byLabel;
    if (text.size() > INT_MAX)
        return KeyStatus::Undecodable;
    BIO* bio = BIO_new_mem_buf(text.data(), static_cast<int>(text.size()));
    if (!bio) {
        detail = "cannot read memory through OpenSSL";
        return KeyStatus::SystemFailure;
    }
    auto handles = std::make_unique<Handles>();
    handles->key = PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    ERR_clear_error();
    if (!handles->key)
        return KeyStatus::Undecodable;
    const KeyStatus status = StatusOfKey(handles->key);
    if (status != KeyStatus::Usable)
        return status;
    if (!FingerprintOf(handles->key, m_fingerprint)) {
        detail = "the key's DER form cannot be hashed";
        return KeyStatus::SystemFailure;
    }
    m_handles = std::move(handles);
    return KeyStatus::Usable;
}

Verdict VerifyKey::Verify(const std::string& bytes, const std::string& signature) const
{
    if (!m_handles)
        return Verdict::SystemFailure;
    if (!WellFormed(signature))
        return Verdict::Malformed;
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
    // OpenSSL refuses a signature in a DER form other than the one it
    // writes itself (-1); the verification proper fails with 0.
    return result == 0 ? Verdict::Mismatch : result == -1 ? Verdict::Malformed : Verdict::SystemFailure;
}

} // namespace tolvane::platform
