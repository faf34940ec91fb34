#include "Descriptors.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace tolvane::platform::descriptors {

bool OpenPipe(int ends[2])
{
    if (::pipe(ends) != 0)
        return false;
    ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
    return true;
}

int StandardOutput()
{
    return ::fileno(stdout);
}

int Duplicate(int descriptor)
{
    return ::dup(descriptor);
}

int DuplicateOnto(int descriptor, int onto)
{
    return ::dup2(descriptor, onto);
}

void Close(int descriptor)
{
    ::close(descriptor);
}

long Read(int descriptor, void* buffer, std::size_t length)
{
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer, length);
        if (got >= 0 || errno != EINTR)
            return static_cast<long>(got);
    }
}

} // namespace tolvane::platform::descriptors
