// OpenReadOnly on both systems: the file handle does the system's part.
#include "FileHandle.h"
#include "Platform.h"

#include <new>

namespace tolvane::platform {
namespace {
class HandleFile final : public ReadOnlyFile {
public:
    HandleFile(FileHandle file, std::uint64_t openedSize) : ReadOnlyFile(openedSize), m_file(std::move(file)) {}

    bool Size(std::uint64_t& size) override
    {
        std::string ignored;
        return m_file.Size(size, ignored);
    }

    ReadResult Read(std::uint64_t offset, void* buffer, std::size_t length) override
    {
        return m_file.Read(offset, buffer, length);
    }

private:
    FileHandle m_file;
};
} // namespace

std::unique_ptr<ReadOnlyFile> OpenReadOnly(const std::string& path)
{
    std::string ignored;
    return OpenReadOnly(path, ignored);
}

std::unique_ptr<ReadOnlyFile> OpenReadOnly(const std::string& path, std::string& error)
{
    FileOpenOptions options;
    options.form = PathForm::Ansi;
    FileHandle file;
    std::uint64_t size = 0;
    if (file.Open(path, options, error) != OpenStatus::Opened || !file.OpenedSize(size, error))
        return nullptr;
    try {
        return std::make_unique<HandleFile>(std::move(file), size);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return nullptr;
    }
}

} // namespace tolvane::platform
