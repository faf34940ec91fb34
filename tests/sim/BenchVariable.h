// Sets TOLVANE_BENCH for one test and clears it again afterwards, so that a
// failing test cannot point the next one at its bench.
#ifndef TOLVANE_TESTS_SIM_BENCHVARIABLE_H
#define TOLVANE_TESTS_SIM_BENCHVARIABLE_H

#include <cstdlib>

// MinGW has no setenv; _putenv_s with an empty value removes the variable.
inline void SetBenchVariable(const char* value)
{
#ifdef _WIN32
    _putenv_s("TOLVANE_BENCH", value ? value : "");
#else
    if (value)
        setenv("TOLVANE_BENCH", value, 1);
    else
        unsetenv("TOLVANE_BENCH");
#endif
}

class BenchVariable {
public:
    explicit BenchVariable(const char* value) { SetBenchVariable(value); }
    ~BenchVariable() { SetBenchVariable(nullptr); }
    BenchVariable(const BenchVariable&) = delete;
    BenchVariable& operator=(const BenchVariable&) = delete;
};

#endif
