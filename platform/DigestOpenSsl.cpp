#include "DigestBackend.h"

#include <openssl/evp.h>

namespace tolvane::platform {

Sha256Stream::Sha256Stream()
{
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    m_state = context;
    m_ok = context && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
}

Sha256Stream::~Sha256Stream()
{
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(m_state));
}

bool Sha256Stream::Update(const unsigned char* data, std::size_t length)
{
    return m_ok && EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(m_state), data, length) == 1;
}

bool Sha256Stream::Final(unsigned char* digest)
{
    unsigned int length = 0;
    const bool done = m_ok && EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(m_state), digest, &length) == 1;
    m_ok = false;
    return done && length == 32;
}

} // namespace tolvane::platform
