// The C library's file descriptors, for catching the standard output.
// Internal to the platform layer: each system names these calls its own way.
#ifndef TOLVANE_PLATFORM_DESCRIPTORS_H
#define TOLVANE_PLATFORM_DESCRIPTORS_H

#include <cstddef>

namespace tolvane::platform::descriptors {

// A pipe whose ends no child process inherits; false with errno set.
bool OpenPipe(int ends[2]);
int StandardOutput();
// As dup and dup2: -1 with errno set on failure.
int Duplicate(int descriptor);
int DuplicateOnto(int descriptor, int onto);
void Close(int descriptor);
// Up to length bytes, retried when a signal cuts the read short; 0 at the
// end, -1 on an error.
long Read(int descriptor, void* buffer, std::size_t length);

} // namespace tolvane::platform::descriptors

#endif
