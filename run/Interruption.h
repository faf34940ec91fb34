// Holds Ctrl-C, SIGTERM, SIGHUP and a closing console (Windows) while an
// upgrade runs, so that no library write is ever cut in half: once a hub has
// passed the checks before its write, the write and its records are made,
// and no further hub starts. A hub whose write has not begun is not started.
// An interruption also ends a wait at once (platform's stop flag). A second
// interruption outside a library write ends the program at once. Guards
// nest: an inner one (a board's session inside a production loop) neither
// forgets what the outer one caught nor gives the interruptions back.
#ifndef TOLVANE_RUN_INTERRUPTION_H
#define TOLVANE_RUN_INTERRUPTION_H

#include "UpgradeObserver.h"

#include <string>
#include <vector>

class InterruptionGuard : public IUpgradeObserver {
public:
    InterruptionGuard();
    ~InterruptionGuard() override;
    InterruptionGuard(const InterruptionGuard&) = delete;
    InterruptionGuard& operator=(const InterruptionGuard&) = delete;

    // The name of what interrupted the run ("SIGINT"); empty when nothing did.
    std::string Caught() const;
    // The exit status an interrupted run ends with: 128 and the signal's
    // number, as a shell reports a program that a signal ended.
    int ExitStatus() const;
    // The hubs the run did not start, by number, in the order they were due.
    const std::vector<unsigned>& NotStarted() const { return m_notStarted; }

    // Placed after the checks of the image and before anything recorded
    // ahead of the write: from here on an interruption waits for the write.
    WriteDecision OnWriteStarting(const std::string& imagePath) override;
    void OnWriteHeld(const WriteDecision& decision) override;
    void OnLibraryResult(std::int32_t result, std::uint64_t milliseconds) override;
    bool ContinueRun() override { return Caught().empty(); }
    void OnRunStopped(unsigned nextEntry) override;

private:
    std::vector<unsigned> m_notStarted;
};

// The one line on the standard error that an interrupted run ends with.
std::string InterruptedLine(const InterruptionGuard& guard);

// Ends the process as the held interruption would have, for a program that
// outlives its runs (the windows); nothing when none was caught.
void EndAsInterrupted(const InterruptionGuard& guard);

// A file-size limit must give a write error, cut back like a full disk, not
// end the program in the middle of a line.
void IgnoreFileSizeLimitSignal();

// A closed output pipe must give an error, not end the program unseen.
void IgnoreBrokenPipes();

#endif
