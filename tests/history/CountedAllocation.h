// Every allocation of the test program through operator new, counted: the
// bytes alive now and the most alive at once since the last reset. What a
// reader holds shows here whatever the system's allocator does.
#ifndef TOLVANE_TESTS_COUNTEDALLOCATION_H
#define TOLVANE_TESTS_COUNTEDALLOCATION_H

#include <cstddef>

namespace counted {
std::size_t Live();
// The peak from now on starts at what is alive now.
void ResetPeak();
std::size_t Peak();
} // namespace counted

#endif
