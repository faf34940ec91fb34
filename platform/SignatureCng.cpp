// CNG's half of the signature check: it imports a key and verifies a
// signature that the shared half (SignatureCheck.cpp) already judged.
#include "SignatureCheck.h"

#include "DigestBackend.h"
#include "P256.h"

#include <windows.h>

#include <bcrypt.h>

#include <cstring>
#include <vector>

namespace tolvane::platform {

struct VerifyKey::Handles {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_KEY_HANDLE key = nullptr;
    ~Handles()
    {
        if (key)
            BCryptDestroyKey(key);
        if (algorithm)
            BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

namespace {
bool NtSuccess(NTSTATUS status)
{
    return status >= 0;
}

// CNG's public key blob: its header, then X and Y.
std::vector<BYTE> PointBlob(const std::uint8_t* x, const std::uint8_t* y)
{
    BCRYPT_ECCKEY_BLOB header{};
    header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header.cbKey = p256::kBytes;
    std::vector<BYTE> blob(sizeof header + 2 * p256::kBytes);
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, x, p256::kBytes);
    std::memcpy(blob.data() + sizeof header + p256::kBytes, y, p256::kBytes);
    return blob;
}
} // namespace

VerifyKey::VerifyKey() = default;
VerifyKey::~VerifyKey() = default;

void VerifyKey::Forget()
{
    m_handles.reset();
}

KeyStatus VerifyKey::ImportJudged(const std::string&, const std::uint8_t* x, const std::uint8_t* y, std::string& detail)
{
    auto handles = std::make_unique<Handles>();
    if (!NtSuccess(BCryptOpenAlgorithmProvider(&handles->algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
        detail = "CNG has no ECDSA P-256";
        return KeyStatus::SystemFailure;
    }
    std::vector<BYTE> blob = PointBlob(x, y);
    if (!NtSuccess(BCryptImportKeyPair(handles->algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &handles->key, blob.data(),
                                       static_cast<ULONG>(blob.size()), 0))) {
        detail = "CNG cannot import a P-256 key";
        return KeyStatus::SystemFailure;
    }
    m_handles = std::move(handles);
    return KeyStatus::Usable;
}

Verdict VerifyKey::VerifyJudged(const std::string& bytes, const std::string&, const std::uint8_t* rs) const
{
    Sha256Stream hash;
    unsigned char digest[32];
    if (!hash.Ok() || !hash.Update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) ||
        !hash.Final(digest))
        return Verdict::SystemFailure;
    // CNG takes r || s and does not write to it.
    auto* raw = const_cast<PUCHAR>(rs);
    const NTSTATUS status =
        BCryptVerifySignature(m_handles->key, nullptr, digest, sizeof digest, raw, 2 * p256::kBytes, 0);
    if (NtSuccess(status))
        return Verdict::Verified;
    return status == static_cast<NTSTATUS>(0xC000A000L) /* STATUS_INVALID_SIGNATURE */ ? Verdict::Mismatch
                                                                                       : Verdict::SystemFailure;
}

} // namespace tolvane::platform
