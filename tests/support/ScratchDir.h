// A fresh, empty folder per test that becomes the working directory while the
// test runs, with helpers to write the files a test needs into it.
#ifndef TOLVANE_TESTS_SCRATCHDIR_H
#define TOLVANE_TESTS_SCRATCHDIR_H

#include <filesystem>
#include <string>

class ScratchDir {
public:
    // Named after the running test, below the build's testwork folder;
    // emptied if it exists.
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // Writes bytes exactly as given (no line-end translation).
    void Write(const std::string& relativeName, const std::string& bytes) const;
    std::string Read(const std::string& relativeName) const;
    void Remove(const std::string& relativeName) const;

private:
    std::filesystem::path m_previous;
    std::filesystem::path m_path;
};

#endif
