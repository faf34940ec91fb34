#include "WholeFile.h"

#include "Platform.h"

namespace tolvane::platform {

bool ReadWholeFile(const std::string& path, std::uint64_t limit, std::string& bytes, std::string& error)
{
    const std::unique_ptr<ReadOnlyFile> file = OpenReadOnly(path, error);
    if (!file)
        return false;
    const std::uint64_t size = file->OpenedSize();
    if (size > limit) {
        error = "larger than " + std::to_string(limit) + " bytes";
        return false;
    }
    bytes.assign(static_cast<std::size_t>(size), '\0');
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t got = file->ReadAt(at, &bytes[at], bytes.size() - at);
        if (got == 0) {
            error = "read failed before the end of the file";
            return false;
        }
        at += got;
    }
    return true;
}

} // namespace tolvane::platform
