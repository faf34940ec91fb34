#include "StdoutCapture.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define TOLVANE_DUP _dup
#define TOLVANE_DUP2 _dup2
#define TOLVANE_CLOSE _close
#define TOLVANE_FILENO _fileno
#define TOLVANE_READ _read
#else
#include <fcntl.h>
#include <unistd.h>
#define TOLVANE_DUP ::dup
#define TOLVANE_DUP2 ::dup2
#define TOLVANE_CLOSE ::close
#define TOLVANE_FILENO ::fileno
#define TOLVANE_READ ::read
#endif

namespace {
// A pipe whose ends no child process inherits.
bool OpenPipe(int ends[2])
{
#ifdef _WIN32
    return _pipe(ends, 64 * 1024, _O_BINARY | _O_NOINHERIT) == 0;
#else
    if (::pipe(ends) != 0)
        return false;
    ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
    return true;
#endif
}
} // namespace

StdoutCapture::StdoutCapture()
{
    int ends[2] = {-1, -1};
    if (!OpenPipe(ends)) {
        m_error = std::strerror(errno);
        return;
    }
    std::fflush(stdout);
    const int saved = TOLVANE_DUP(TOLVANE_FILENO(stdout));
    if (saved < 0 || TOLVANE_DUP2(ends[1], TOLVANE_FILENO(stdout)) < 0) {
        m_error = std::strerror(errno);
        if (saved >= 0)
            TOLVANE_CLOSE(saved);
        TOLVANE_CLOSE(ends[0]);
        TOLVANE_CLOSE(ends[1]);
        return;
    }
    try {
        // The reader drains the pipe as it fills, so that no write blocks.
        m_reader = std::thread(&StdoutCapture::Drain, this, ends[0]);
    } catch (const std::system_error& failure) {
        m_error = failure.what();
        TOLVANE_DUP2(saved, TOLVANE_FILENO(stdout));
        TOLVANE_CLOSE(saved);
        TOLVANE_CLOSE(ends[0]);
        TOLVANE_CLOSE(ends[1]);
        return;
    }
    m_saved = saved;
    m_write = ends[1];
}

StdoutCapture::~StdoutCapture()
{
    Finish();
}

void StdoutCapture::Drain(int readEnd)
{
    char chunk[4096];
    for (;;) {
        const auto got = TOLVANE_READ(readEnd, chunk, sizeof chunk);
        if (got > 0) {
            m_text.append(chunk, static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        break;
    }
    TOLVANE_CLOSE(readEnd);
}

std::string StdoutCapture::Finish()
{
    if (m_saved < 0)
        return std::string();
    // The reader sees the end of the pipe once both descriptors of its write
    // end are closed: the standard output's copy, by pointing it back, and
    // the one kept here.
    std::fflush(stdout);
    TOLVANE_DUP2(m_saved, TOLVANE_FILENO(stdout));
    TOLVANE_CLOSE(m_saved);
    TOLVANE_CLOSE(m_write);
    m_saved = -1;
    m_write = -1;
    m_reader.join();
    return std::move(m_text);
}
