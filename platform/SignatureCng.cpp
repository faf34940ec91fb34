#include "SignatureCheck.h"

#include "DigestBackend.h"
#include "FileDigest.h"
#include "PemParts.h"

#include <windows.h>

#include <bcrypt.h>
#include <wincrypt.h>

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
constexpr std::size_t kP256Bytes = 32;
// The DER parameters of an EC public key on P-256: its curve's OID.
const BYTE kP256Parameters[] = {0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};

// Memory that crypt32 allocated for a decoded or encoded object.
template <class T>
struct LocalMemory {
    T* value = nullptr;
    LocalMemory() = default;
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;
    ~LocalMemory()
    {
        if (value)
            LocalFree(value);
    }
};

bool NtSuccess(NTSTATUS status)
{
    return status >= 0;
}

bool PemToDer(const std::string& text, std::vector<BYTE>& der)
{
    if (text.size() > MAXDWORD)
        return false;
    const DWORD length = static_cast<DWORD>(text.size());
    DWORD size = 0;
    if (!CryptStringToBinaryA(text.data(), length, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
        return false;
    der.resize(size);
    if (!CryptStringToBinaryA(text.data(), length, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr) ||
        size > der.size())
        return false;
    der.resize(size);
    return true;
}

template <class T>
bool Decode(LPCSTR type, const BYTE* der, std::size_t size, LocalMemory<T>& decoded)
{
    DWORD decodedSize = 0;
    return size <= MAXDWORD && CryptDecodeObjectEx(X509_ASN_ENCODING, type, der, static_cast<DWORD>(size),
                                                   CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded.value, &decodedSize);
}

KeyStatus StatusOfAlgorithm(const CERT_PUBLIC_KEY_INFO& info)
{
    const char* oid = info.Algorithm.pszObjId ? info.Algorithm.pszObjId : "";
    if (std::strcmp(oid, szOID_RSA_RSA) == 0 || std::strcmp(oid, szOID_RSA_SSA_PSS) == 0)
        return KeyStatus::RsaKey;
    if (std::strcmp(oid, szOID_ECC_PUBLIC_KEY) != 0)
        return KeyStatus::OtherKey;
    const CRYPT_OBJID_BLOB& parameters = info.Algorithm.Parameters;
    if (parameters.cbData != sizeof kP256Parameters ||
        std::memcmp(parameters.pbData, kP256Parameters, sizeof kP256Parameters) != 0)
        return KeyStatus::OtherCurve;
    return KeyStatus::Usable;
}

// CNG's public key blob: its header, then X and Y, from the uncompressed
// point 04 || X || Y of the key's bit string.
bool PointBlob(const CRYPT_BIT_BLOB& point, std::vector<BYTE>& blob)
{
    if (point.cUnusedBits != 0 || point.cbData != 1 + 2 * kP256Bytes || point.pbData[0] != 0x04)
        return false;
    BCRYPT_ECCKEY_BLOB header{};
    header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header.cbKey = kP256Bytes;
    blob.resize(sizeof header + 2 * kP256Bytes);
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, point.pbData + 1, 2 * kP256Bytes);
    return true;
}

// The fingerprint is of the key's DER form as crypt32 writes it again,
// which is the form `openssl pkey -outform DER` writes.
bool FingerprintOf(const CERT_PUBLIC_KEY_INFO& info, std::string& fingerprint)
{
    LocalMemory<BYTE> der;
    DWORD size = 0;
    if (!CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &info, CRYPT_ENCODE_ALLOC_FLAG, nullptr,
                             &der.value, &size))
        return false;
    FileDigest digest;
    std::string error;
    if (!Sha256Bytes(std::string(reinterpret_cast<const char*>(der.value), size), digest, error))
        return false;
    fingerprint = digest.sha256;
    return true;
}

// A P-256 signature is at most 72 bytes, so its DER sequence has a short
// length, which must cover exactly the rest: nothing may follow it.
bool OneShortSequence(const std::string& signature)
{
    return signature.size() >= 2 && static_cast<BYTE>(signature[0]) == 0x30 && static_cast<BYTE>(signature[1]) < 0x80 &&
           std::size_t{static_cast<BYTE>(signature[1])} + 2 == signature.size();
}

// r || s, 32 bytes each, big-endian, as CNG takes them.
bool RawSignature(const std::string& signature, BYTE (&raw)[2 * kP256Bytes])
{
    if (!OneShortSequence(signature))
        return false;
    LocalMemory<CERT_ECC_SIGNATURE> decoded;
    if (!Decode(X509_ECC_SIGNATURE, reinterpret_cast<const BYTE*>(signature.data()), signature.size(), decoded))
        return false;
    const CRYPT_UINT_BLOB& r = decoded.value->r;
    const CRYPT_UINT_BLOB& s = decoded.value->s;
    return BigEndianInto(r.pbData, r.cbData, raw, kP256Bytes) &&
           BigEndianInto(s.pbData, s.cbData, raw + kP256Bytes, kP256Bytes);
}

KeyStatus ImportPoint(const CRYPT_BIT_BLOB& point, VerifyKey::Handles& handles, std::string& detail)
{
    std::vector<BYTE> blob;
    if (point.cbData == 1 + kP256Bytes && (point.pbData[0] == 0x02 || point.pbData[0] == 0x03))
        return KeyStatus::CompressedKey;
    if (!PointBlob(point, blob))
        return KeyStatus::Undecodable;
    if (!NtSuccess(BCryptOpenAlgorithmProvider(&handles.algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
        detail = "CNG has no ECDSA P-256";
        return KeyStatus::SystemFailure;
    }
    if (!NtSuccess(BCryptImportKeyPair(handles.algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &handles.key, blob.data(),
                                       static_cast<ULONG>(blob.size()), 0)))
        return KeyStatus::Undecodable;
    return KeyStatus::Usable;
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
    std::vector<BYTE> der;
    LocalMemory<CERT_PUBLIC_KEY_INFO> info;
    if (!PemToDer(text, der) || !Decode(X509_PUBLIC_KEY_INFO, der.data(), der.size(), info))
        return KeyStatus::Undecodable;
    const KeyStatus status = StatusOfAlgorithm(*info.value);
    if (status != KeyStatus::Usable)
        return status;
    auto handles = std::make_unique<Handles>();
    const KeyStatus imported = ImportPoint(info.value->PublicKey, *handles, detail);
    if (imported != KeyStatus::Usable)
        return imported;
    if (!FingerprintOf(*info.value, m_fingerprint)) {
        detail = "crypt32 cannot encode the key again";
        return KeyStatus::SystemFailure;
    }
    m_handles = std::move(handles);
    return KeyStatus::Usable;
}

Verdict VerifyKey::Verify(const std::string& bytes, const std::string& signature) const
{
    if (!m_handles)
        return Verdict::SystemFailure;
    BYTE raw[2 * kP256Bytes];
    if (!RawSignature(signature, raw))
        return Verdict::Malformed;
    Sha256Stream hash;
    unsigned char digest[32];
    if (!hash.Ok() || !hash.Update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) ||
        !hash.Final(digest))
        return Verdict::SystemFailure;
    const NTSTATUS status = BCryptVerifySignature(m_handles->key, nullptr, digest, sizeof digest, raw, sizeof raw, 0);
    if (NtSuccess(status))
        return Verdict::Verified;
    return status == static_cast<NTSTATUS>(0xC000A000L) /* STATUS_INVALID_SIGNATURE */ ? Verdict::Mismatch
                                                                                       : Verdict::SystemFailure;
}

} // namespace tolvane::platform
