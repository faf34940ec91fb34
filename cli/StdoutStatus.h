// Whether everything written to the standard output got there. Output that
// was lost (a full disk, a closed pipe) must not pass for a clean run.
#ifndef TOLVANE_CLI_STDOUTSTATUS_H
#define TOLVANE_CLI_STDOUTSTATUS_H

#include <cstdio>

// Flushes out and checks that no write to it has failed since the program
// started. On a failure prints one line on err ("tolvane-cli: cannot write
// the standard output" and the reason when known) and returns false.
// Called once, after the run: an upgrade is never stopped for its output.
bool FinishStdout(std::FILE* out, std::FILE* err);

#endif
