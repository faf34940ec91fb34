// Ends the test program when a step that must not wait takes longer than
// the given time: a hang then fails the test instead of stalling the suite.
// POSIX only (alarm); where there is none, the guard does nothing.
#ifndef TOLVANE_TESTS_DEADLINE_H
#define TOLVANE_TESTS_DEADLINE_H

#ifndef _WIN32
#include <unistd.h>
#endif

class Deadline {
public:
    explicit Deadline(unsigned seconds)
    {
#ifndef _WIN32
        ::alarm(seconds);
#else
        static_cast<void>(seconds);
#endif
    }
    ~Deadline()
    {
#ifndef _WIN32
        ::alarm(0);
#endif
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;
};

#endif
