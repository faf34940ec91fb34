#include "UnmatchedImages.h"

#include "FileDigest.h"
#include "Platform.h"
#include "ShownName.h"
#include "TextEscape.h"

#include <filesystem>
#include <system_error>

namespace {
std::string InFolder(const std::string& folder, const std::string& name)
{
    const char last = folder.empty() ? '/' : folder.back();
    const bool separated = last == '/' || last == tolvane::platform::kPathSeparator;
    return folder + (separated ? "" : std::string(1, tolvane::platform::kPathSeparator)) + name;
}

// Why the image at path is not the one listed with sha256; empty when it is.
std::string Mismatch(const std::string& path, const std::string& folder, const std::string& sha256)
{
    // Paths are the system's 8-bit names, as the engine passes them.
    std::error_code failure;
    if (std::filesystem::status(std::filesystem::path(path), failure).type() == std::filesystem::file_type::not_found)
        return "no such image in " + ShownPath(folder);
    tolvane::platform::FileDigest digest;
    std::string error;
    if (!tolvane::platform::Sha256File(path, digest, error))
        return ShownPath(path) + " cannot be read: " + error;
    if (digest.sha256 != sha256)
        return ShownPath(path) + " has other contents (sha256 " + digest.sha256 + ")";
    return std::string();
}
} // namespace

std::vector<UnmatchedEntry> UnmatchedEntries(const ApprovedList& list, const std::string& folder)
{
    std::vector<UnmatchedEntry> unmatched;
    for (const ApprovedList::Listed& entry : list.Entries()) {
        const std::string path = InFolder(folder, ApprovedList::LastPart(entry.name));
        std::string reason = Mismatch(path, folder, entry.sha256);
        if (!reason.empty())
            unmatched.push_back({entry.line, entry.name, std::move(reason)});
    }
    return unmatched;
}

std::string UnmatchedText(const UnmatchedEntry& entry)
{
    return "line " + std::to_string(entry.line) + ": " + EscapeBytes(entry.name) + ": " + entry.reason;
}
