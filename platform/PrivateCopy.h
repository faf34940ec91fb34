// A copy of an image's bytes that only this process's user can change, for
// the ISP library to read instead of the image folder's file: whoever may
// write the image folder cannot swap the bytes after they were checked.
// On Linux a file without a name (a sealed in-memory file, else an unnamed
// file of the temporary folder's file system) that the library opens by its
// /proc/self/fd path, so that no folder another user may write leads to it.
// On Windows a file in a folder of its own below the working folder, open to
// this user alone and held open so that nobody renames or deletes it while
// the copy lives, named by a path of ASCII letters that the library's 8-bit
// calls always take.
// The library may open, read and close the copy as often as it likes; the
// copy stays until Remove.
#ifndef TOLVANE_PLATFORM_PRIVATECOPY_H
#define TOLVANE_PLATFORM_PRIVATECOPY_H

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

namespace tolvane::platform {

class PrivateCopy {
public:
    PrivateCopy() = default;
    ~PrivateCopy() { Remove(); }
    PrivateCopy(const PrivateCopy&) = delete;
    PrivateCopy& operator=(const PrivateCopy&) = delete;
    // The copy goes with the move; the source is left empty, so that only
    // one of the two ever removes it.
    PrivateCopy(PrivateCopy&& other) noexcept : m_path(std::exchange(other.m_path, {})), m_held(std::move(other.m_held))
    {}
    PrivateCopy& operator=(PrivateCopy&& other) noexcept
    {
        if (this != &other) {
            Remove();
            m_path = std::exchange(other.m_path, {});
            m_held = std::move(other.m_held);
        }
        return *this;
    }

    // Makes the copy of bytes under name (the image's file name, no folder).
    // False with the reason in error; nothing is left behind then. The bytes
    // are written straight from the caller's buffer.
    bool Make(const std::string& name, const std::string& bytes, std::string& error)
    {
        return Make(name, bytes.data(), bytes.size(), error);
    }
    bool Make(const std::string& name, const char* bytes, std::size_t size, std::string& error);
    // Where the library opens the copy; empty when there is none.
    const std::string& Path() const { return m_path; }
    // Removes the copy and its folder; nothing when there is none.
    void Remove()
    {
        m_held.reset();
        m_path.clear();
    }

    // Removes the copies that a run killed before it could remove them left
    // behind, recognised by their folder and name; a copy that another run
    // holds stays. Nothing on Linux, where copies have no name to leave.
    static void RemoveLeftCopies();

private:
    // What keeps the copy, each system's own; releasing it removes the copy.
    struct Held;
    struct Release {
        void operator()(Held* held) const;
    };

    std::string m_path;
    std::unique_ptr<Held, Release> m_held;
};

} // namespace tolvane::platform

#endif
