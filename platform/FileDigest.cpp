// The streaming half of the digest, shared by both systems: the file is read
// in fixed blocks through the platform's positioned reads and fed to the
// system hash, whose three calls each system supplies.
#include "FileDigest.h"

#include "DigestBackend.h"
#include "Platform.h"

#include <vector>

namespace tolvane::platform {

std::string HexOf(const unsigned char* bytes, std::size_t count)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0x0F];
    }
    return hex;
}

namespace {
bool Finish(Sha256Stream& hash, std::uint64_t size, FileDigest& digest, std::string& error)
{
    unsigned char bytes[32];
    if (!hash.Final(bytes)) {
        error = "the system's SHA-256 failed";
        return false;
    }
    digest.sha256 = HexOf(bytes, sizeof bytes);
    digest.size = size;
    return true;
}
} // namespace

bool Sha256Bytes(const std::string& bytes, FileDigest& digest, std::string& error)
{
    Sha256Stream hash;
    if (!hash.Ok() || !hash.Update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size())) {
        error = "the system's SHA-256 failed";
        return false;
    }
    return Finish(hash, bytes.size(), digest, error);
}

bool Sha256File(const std::string& path, FileDigest& digest, std::string& error)
{
    const std::unique_ptr<ReadOnlyFile> file = OpenReadOnly(path, error);
    if (!file)
        return false;
    Sha256Stream hash;
    if (!hash.Ok()) {
        error = "the system's SHA-256 is not available";
        return false;
    }
    // The size at opening bounds the pass: a file that grows meanwhile is
    // hashed as it was, one that shrinks is a read error.
    const std::uint64_t size = file->OpenedSize();
    std::vector<unsigned char> block(64 * 1024);
    for (std::uint64_t offset = 0; offset < size;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - offset));
        const std::size_t got = file->ReadAt(offset, block.data(), want);
        if (got == 0) {
            error = "read failed before the end of the file";
            return false;
        }
        if (!hash.Update(block.data(), got)) {
            error = "the system's SHA-256 failed";
            return false;
        }
        offset += got;
    }
    return Finish(hash, size, digest, error);
}

bool DigestFrom(const DigestSource& source, const std::string& path, FileDigest& digest, std::string& error)
{
    return source ? source(path, digest, error) : Sha256File(path, digest, error);
}

} // namespace tolvane::platform
