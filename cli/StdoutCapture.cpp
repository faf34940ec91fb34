#include "StdoutCapture.h"

#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#define TOLVANE_DUP _dup
#define TOLVANE_DUP2 _dup2
#define TOLVANE_CLOSE _close
#define TOLVANE_FILENO _fileno
#else
#include <unistd.h>
#define TOLVANE_DUP ::dup
#define TOLVANE_DUP2 ::dup2
#define TOLVANE_CLOSE ::close
#define TOLVANE_FILENO ::fileno
#endif

StdoutCapture::StdoutCapture()
{
    std::error_code failure;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(failure);
    if (failure)
        return;
    std::random_device source;
    m_path = folder / ("tolvane-cli-" + std::to_string(source()) + std::to_string(source()) + ".out");
    m_file = std::fopen(m_path.string().c_str(), "w+b");
    if (!m_file)
        return;
    std::fflush(stdout);
    m_saved = TOLVANE_DUP(TOLVANE_FILENO(stdout));
    if (m_saved < 0 || TOLVANE_DUP2(TOLVANE_FILENO(m_file), TOLVANE_FILENO(stdout)) < 0) {
        if (m_saved >= 0)
            TOLVANE_CLOSE(m_saved);
        m_saved = -1;
    }
}

StdoutCapture::~StdoutCapture()
{
    Finish();
}

std::string StdoutCapture::Finish()
{
    std::string text;
    if (m_saved >= 0) {
        std::fflush(stdout);
        TOLVANE_DUP2(m_saved, TOLVANE_FILENO(stdout));
        TOLVANE_CLOSE(m_saved);
        m_saved = -1;
        std::rewind(m_file);
        char chunk[4096];
        std::size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, m_file)) != 0)
            text.append(chunk, got);
    }
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
    return text;
}
