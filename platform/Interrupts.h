// The system's interruptions of a run: Ctrl-C (and Ctrl-Break), a request to
// terminate, a hang-up, and on Windows a closing console, a logoff or a
// shutdown. While they are held, the first one is only noted and raises the
// stop flag (StopFlag.h); a second one outside a write ends the program as
// the system would have.
#ifndef TOLVANE_PLATFORM_INTERRUPTS_H
#define TOLVANE_PLATFORM_INTERRUPTS_H

#include <string>

namespace tolvane::platform {

// Starts holding interruptions, forgetting any caught before. A signal that
// was ignored when the hold began (SIGHUP under nohup) stays ignored and is
// never caught. Holding again before the release only forgets.
void HoldInterruptions();
// Gives every interruption back exactly as it was before the hold: the
// disposition, handler, flags and mask of each signal; on Windows the
// console control handlers that were there.
void ReleaseInterruptions();

// What was caught since HoldInterruptions: 0 for nothing.
int CaughtInterruption();
// Its name ("SIGINT"); empty for 0.
std::string InterruptionName(int caught);
// The exit status it ends a program with: 128 and the signal's number, as a
// shell reports a program that a signal ended.
int InterruptionExitStatus(int caught);

// While a write is in progress a second interruption is held as well.
void SetWriteInProgress(bool inWrite);

// Ends the process as the caught interruption would have; nothing on
// Windows, where a console program's window simply closes.
void EndAsInterrupted(int caught);

// A file-size limit must give a write error, not end the program in the
// middle of a line.
void IgnoreFileSizeLimitSignal();
// A closed output pipe must give an error, not end the program unseen.
void IgnoreBrokenPipes();

} // namespace tolvane::platform

#endif
