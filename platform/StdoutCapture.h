// Catches what is written to the standard output (the engine's notes on the
// settings file) while a JSON document, or a rescan, must keep it clean: the
// output is a pipe meanwhile, drained by a thread of this process into
// memory, so that no temporary file or folder is needed.
#ifndef TOLVANE_PLATFORM_STDOUTCAPTURE_H
#define TOLVANE_PLATFORM_STDOUTCAPTURE_H

#include <string>
#include <thread>

class StdoutCapture {
public:
    // Makes the standard output a pipe; when that cannot be done, Capturing()
    // is false, error says why, and the output goes on to where it went.
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    bool Capturing() const { return m_saved >= 0; }
    const std::string& Error() const { return m_error; }

    // Restores the standard output and returns what was written meanwhile.
    std::string Finish();

private:
    void Drain(int readEnd);

    int m_saved = -1; // the standard output's own descriptor, kept aside
    int m_write = -1; // the pipe's end the output was pointed at
    std::thread m_reader;
    std::string m_text;
    std::string m_error;
};

#endif
