#include "ImageTake.h"

#include "Platform.h"
#include "WholeFile.h"

namespace {
// Windows takes either separator in a path.
std::string NameOf(const std::string& path)
{
    const char separators[] = {tolvane::platform::kPathSeparator, '/', '\0'};
    const std::size_t separator = path.find_last_of(separators);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

WriteDecision NotTaken(const std::string& name, const std::string& error)
{
    WriteDecision decision;
    decision.kind = WriteDecision::Kind::Refuse;
    decision.logLine = "!!!Error " + name + " cannot be copied for the library (" + error + "), not written\r\n";
    decision.reason = "no private copy of the image: " + error;
    return decision;
}
} // namespace

WriteDecision ImageTake::OnWriteStarting(const std::string& imagePath)
{
    Drop();
    const std::string name = NameOf(imagePath);
    std::string bytes;
    std::string error;
    tolvane::platform::FileDigest digest;
    if (!tolvane::platform::ReadWholeFile(imagePath, kMaxImageBytes, bytes, error) ||
        !tolvane::platform::Sha256Bytes(bytes, digest, error) || !m_copy.Make(name, bytes, error))
        return NotTaken(name, error);
    m_imagePath = imagePath;
    m_digest = digest;
    WriteDecision proceed;
    proceed.libraryPath = m_copy.Path();
    return proceed;
}

bool ImageTake::DigestOf(const std::string& imagePath, tolvane::platform::FileDigest& digest, std::string& error) const
{
    if (m_imagePath.empty() || imagePath != m_imagePath) {
        error = "the image was not read for this write";
        return false;
    }
    digest = m_digest;
    return true;
}

tolvane::platform::DigestSource ImageTake::Digests() const
{
    return [this](const std::string& path, tolvane::platform::FileDigest& digest, std::string& error) {
        return DigestOf(path, digest, error);
    };
}

void ImageTake::Drop()
{
    m_copy.Remove();
    m_imagePath.clear();
    m_digest = {};
}
