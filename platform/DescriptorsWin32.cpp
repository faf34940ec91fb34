#include "Descriptors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <io.h>

namespace tolvane::platform::descriptors {

bool OpenPipe(int ends[2])
{
    return _pipe(ends, 64 * 1024, _O_BINARY | _O_NOINHERIT) == 0;
}

int StandardOutput()
{
    return _fileno(stdout);
}

int Duplicate(int descriptor)
{
    return _dup(descriptor);
}

int DuplicateOnto(int descriptor, int onto)
{
    return _dup2(descriptor, onto);
}

void Close(int descriptor)
{
    _close(descriptor);
}

long Read(int descriptor, void* buffer, std::size_t length)
{
    const auto want = static_cast<unsigned>(std::min<std::size_t>(length, 1u << 30));
    for (;;) {
        const int got = _read(descriptor, buffer, want);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

} // namespace tolvane::platform::descriptors
