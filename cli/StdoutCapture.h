// Catches what the engine writes to the standard output (the notes of the
// settings file) while a JSON document, or a rescan, must keep it clean.
#ifndef TOLVANE_CLI_STDOUTCAPTURE_H
#define TOLVANE_CLI_STDOUTCAPTURE_H

#include <cstdio>
#include <filesystem>
#include <string>

class StdoutCapture {
public:
    // Redirects the standard output into a temporary file; when that cannot
    // be done the output goes on to where it went.
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Restores the standard output and returns what was written meanwhile.
    std::string Finish();

private:
    std::filesystem::path m_path;
    std::FILE* m_file = nullptr;
    int m_saved = -1;
};

#endif
