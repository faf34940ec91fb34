#include "StdoutCapture.h"

#include "Descriptors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace fd = tolvane::platform::descriptors;

StdoutCapture::StdoutCapture()
{
    int ends[2] = {-1, -1};
    if (!fd::OpenPipe(ends)) {
        m_error = std::strerror(errno);
        return;
    }
    std::fflush(stdout);
    const int saved = fd::Duplicate(fd::StandardOutput());
    if (saved < 0 || fd::DuplicateOnto(ends[1], fd::StandardOutput()) < 0) {
        m_error = std::strerror(errno);
        if (saved >= 0)
            fd::Close(saved);
        fd::Close(ends[0]);
        fd::Close(ends[1]);
        return;
    }
    try {
        // The reader drains the pipe as it fills, so that no write blocks.
        m_reader = std::thread(&StdoutCapture::Drain, this, ends[0]);
    } catch (const std::system_error& failure) {
        m_error = failure.what();
        fd::DuplicateOnto(saved, fd::StandardOutput());
        fd::Close(saved);
        fd::Close(ends[0]);
        fd::Close(ends[1]);
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
        const long got = fd::Read(readEnd, chunk, sizeof chunk);
        if (got <= 0)
            break;
        m_text.append(chunk, static_cast<std::size_t>(got));
    }
    fd::Close(readEnd);
}

std::string StdoutCapture::Finish()
{
    if (m_saved < 0)
        return std::string();
    // The reader sees the end of the pipe once both descriptors of its write
    // end are closed: the standard output's copy, by pointing it back, and
    // the one kept here.
    std::fflush(stdout);
    fd::DuplicateOnto(m_saved, fd::StandardOutput());
    fd::Close(m_saved);
    fd::Close(m_write);
    m_saved = -1;
    m_write = -1;
    m_reader.join();
    return std::move(m_text);
}
