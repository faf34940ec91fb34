#include "DigestBackend.h"

#include <windows.h>

#include <bcrypt.h>

namespace tolvane::platform {

namespace {
bool Succeeded(NTSTATUS status)
{
    return status >= 0;
}
} // namespace

Sha256Stream::Sha256Stream()
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return;
    m_provider = algorithm;
    // With no object buffer given, CNG keeps the hash object itself.
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!Succeeded(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)))
        return;
    m_state = hash;
    m_ok = true;
}

Sha256Stream::~Sha256Stream()
{
    if (m_state)
        BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(m_state));
    if (m_provider)
        BCryptCloseAlgorithmProvider(static_cast<BCRYPT_ALG_HANDLE>(m_provider), 0);
}

bool Sha256Stream::Update(const unsigned char* data, std::size_t length)
{
    // CNG takes at most a ULONG at a time.
    while (m_ok && length > 0) {
        const ULONG part = length > 0x40000000u ? 0x40000000u : static_cast<ULONG>(length);
        m_ok = Succeeded(BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(m_state), const_cast<PUCHAR>(data), part, 0));
        data += part;
        length -= part;
    }
    return m_ok;
}

bool Sha256Stream::Final(unsigned char* digest)
{
    const bool done = m_ok && Succeeded(BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(m_state), digest, 32, 0));
    m_ok = false;
    return done;
}

} // namespace tolvane::platform
