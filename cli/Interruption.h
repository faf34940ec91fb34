// Holds Ctrl-C, SIGTERM, SIGHUP and a closing console (Windows) while an
// upgrade command runs, so that no library write is ever cut in half: the
// write in progress ends, its result is recorded, and no further hub starts.
// A second interruption outside a library write ends the program at once.
#ifndef TOLVANE_CLI_INTERRUPTION_H
#define TOLVANE_CLI_INTERRUPTION_H

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

    WriteDecision OnWriteStarting(const std::string& imagePath) override;
    void OnLibraryResult(std::int32_t result, std::uint64_t milliseconds) override;
    bool ContinueRun() override { return Caught().empty(); }
    void OnRunStopped(unsigned nextEntry) override;

private:
    std::vector<unsigned> m_notStarted;
};

// The one line on the standard error that an interrupted run ends with.
std::string InterruptedLine(const InterruptionGuard& guard);

// A closed output pipe must give an error, not end the program unseen.
void IgnoreBrokenPipes();

#endif
