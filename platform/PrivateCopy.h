// A copy of an image's bytes that only this process's user can change, for
// the ISP library to read instead of the image folder's file: whoever may
// write the image folder cannot swap the bytes after they were checked.
// On Linux a sealed in-memory file (no folder needed), else a file of the
// image's own name in a folder of its own below the system's temporary
// folder, open to this user alone.
#ifndef TOLVANE_PLATFORM_PRIVATECOPY_H
#define TOLVANE_PLATFORM_PRIVATECOPY_H

#include <string>

namespace tolvane::platform {

class PrivateCopy {
public:
    PrivateCopy() = default;
    ~PrivateCopy() { Remove(); }
    PrivateCopy(const PrivateCopy&) = delete;
    PrivateCopy& operator=(const PrivateCopy&) = delete;

    // Makes the copy of bytes under name (the image's file name, no folder).
    // False with the reason in error; nothing is left behind then.
    bool Make(const std::string& name, const std::string& bytes, std::string& error);
    // Where the library opens the copy; empty when there is none.
    const std::string& Path() const { return m_path; }
    // Removes the copy and its folder; nothing when there is none.
    void Remove();

private:
    bool MakeSealed(const std::string& name, const std::string& bytes, std::string& error);
    bool MakeInFolder(const std::string& name, const std::string& bytes, std::string& error);

    std::string m_path;
    std::string m_folder;      // the private folder; empty for a sealed copy
    int m_fd = -1;             // the sealed copy; closing it frees it
    std::wstring m_wideFolder; // Windows: the folder as the system names it
};

} // namespace tolvane::platform

#endif
