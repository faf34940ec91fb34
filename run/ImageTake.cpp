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

ImageTaking ImageTake::OnImageTaking(const std::string& imagePath)
{
    ImageTaking taking;
    m_current = Find(imagePath);
    if (!m_current) {
        if (m_beforeRead)
            m_beforeRead(imagePath);
        auto bytes = std::make_shared<std::string>();
        std::string error;
        if (!tolvane::platform::ReadWholeFile(imagePath, kMaxImageBytes, *bytes, error)) {
            taking.kind = ImageTaking::Kind::Refused;
            taking.refusal = NotTaken(NameOf(imagePath), error);
            return taking;
        }
        MakeRoomFor(bytes->size());
        m_current = &m_taken.emplace_back();
        m_current->path = imagePath;
        m_current->bytes = std::move(bytes);
    }
    taking.kind = ImageTaking::Kind::Taken;
    taking.bytes = m_current->bytes;
    return taking;
}

WriteDecision ImageTake::OnWriteStarting(const std::string& imagePath)
{
    if (!m_copies)
        return {};
    if (!m_current || m_current->path != imagePath)
        return NotTaken(NameOf(imagePath), "the image was not read for this write");
    std::string error;
    if (m_current->copy.Path().empty() && !m_current->copy.Make(NameOf(imagePath), *m_current->bytes, error))
        return NotTaken(NameOf(imagePath), error);
    WriteDecision proceed;
    proceed.libraryPath = m_current->copy.Path();
    return proceed;
}

bool ImageTake::DigestOf(const std::string& imagePath, tolvane::platform::FileDigest& digest, std::string& error)
{
    if (!m_current || m_current->path != imagePath) {
        error = "the image was not read for this write";
        return false;
    }
    if (!m_current->digest) {
        tolvane::platform::FileDigest hashed;
        if (!tolvane::platform::Sha256Bytes(*m_current->bytes, hashed, error))
            return false;
        m_current->digest = hashed;
    }
    digest = *m_current->digest;
    return true;
}

tolvane::platform::DigestSource ImageTake::Digests()
{
    return [this](const std::string& path, tolvane::platform::FileDigest& digest, std::string& error) {
        return DigestOf(path, digest, error);
    };
}

std::string ImageTake::CopyPath() const
{
    return m_current ? m_current->copy.Path() : std::string();
}

void ImageTake::Release()
{
    m_current = nullptr;
    m_taken.clear();
}

ImageTake::Taken* ImageTake::Find(const std::string& imagePath)
{
    for (Taken& taken : m_taken)
        if (taken.path == imagePath)
            return &taken;
    return nullptr;
}

// Called between two hubs' images: no copy is in the library's hands then.
void ImageTake::MakeRoomFor(std::uint64_t size)
{
    std::uint64_t kept = size;
    for (const Taken& taken : m_taken)
        kept += taken.bytes->size();
    while (kept > kKeptBytes && !m_taken.empty()) {
        kept -= m_taken.front().bytes->size();
        m_taken.pop_front();
    }
}
