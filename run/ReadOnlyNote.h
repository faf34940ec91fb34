// With TOLVANE_HUBS=system the Linux library reads the real hubs but refuses
// to program them; the log shows only that each hub failed, so the command
// line says why.
#ifndef TOLVANE_RUN_READONLYNOTE_H
#define TOLVANE_RUN_READONLYNOTE_H

#include <cstdio>
#include <string>

// True when TOLVANE_HUBS selects the real hubs of this machine, read as the
// Linux library itself reads it.
bool SystemHubsSelected();

// True when the library in use reads the real hubs and refuses to program
// them (the system mode, on Linux): every hub handed over fails.
bool ProgrammingRefused();

// Writes one line to out when the real hubs were selected and the run
// handed at least one hub to the library for programming.
void NoteRefusedProgramming(const std::wstring& log, std::FILE* out);

#endif
