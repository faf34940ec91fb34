// An image's identity: its SHA-256 and size, computed by the system's crypto
// library (OpenSSL's libcrypto; CNG on Windows) from one pass over the file
// in constant memory, so that a record names the very bytes that were
// written.
#ifndef TOLVANE_PLATFORM_FILEDIGEST_H
#define TOLVANE_PLATFORM_FILEDIGEST_H

#include <cstdint>
#include <functional>
#include <string>

namespace tolvane::platform {

struct FileDigest {
    std::string sha256;     // 64 lower-case hex digits
    std::uint64_t size = 0; // the bytes hashed
};

// Hashes the regular file at path. False with the reason in error when it
// cannot be opened, is not a regular file, cannot be read to its end, or the
// crypto library fails.
bool Sha256File(const std::string& path, FileDigest& digest, std::string& error);

// Hashes bytes already in memory; the size is theirs. False with the reason
// in error when the crypto library fails.
bool Sha256Bytes(const std::string& bytes, FileDigest& digest, std::string& error);

// Where a check or a record learns the digest of the image at a path: from
// the one read of it that a run took, so that nothing opens the path again.
using DigestSource = std::function<bool(const std::string& path, FileDigest& digest, std::string& error)>;

// The digest from source; with no source, the file at path hashed now.
bool DigestFrom(const DigestSource& source, const std::string& path, FileDigest& digest, std::string& error);

// The hex form of a digest as the crypto library returns it.
std::string HexOf(const unsigned char* bytes, std::size_t count);

} // namespace tolvane::platform

#endif
