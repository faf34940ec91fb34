// The system's SHA-256 as a stream: OpenSSL's EVP on POSIX, a CNG hash
// object on Windows. Internal to the platform layer.
#ifndef TOLVANE_PLATFORM_DIGESTBACKEND_H
#define TOLVANE_PLATFORM_DIGESTBACKEND_H

#include <cstddef>

namespace tolvane::platform {

class Sha256Stream {
public:
    Sha256Stream();
    ~Sha256Stream();
    Sha256Stream(const Sha256Stream&) = delete;
    Sha256Stream& operator=(const Sha256Stream&) = delete;

    bool Ok() const { return m_ok; }
    bool Update(const unsigned char* data, std::size_t length);
    // Writes the 32 bytes of the digest; the stream is spent afterwards.
    bool Final(unsigned char* digest);

private:
    bool m_ok = false;
    void* m_state = nullptr; // EVP_MD_CTX, or the CNG hash handle
#ifdef _WIN32
    // The CNG algorithm handle; clang refuses an unused private field.
    void* m_provider = nullptr;
#endif
};

} // namespace tolvane::platform

#endif
