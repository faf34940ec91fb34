#include "Interruption.h"

#include "Interrupts.h"
#include "StopFlag.h"

namespace platform = tolvane::platform;

namespace {
// Guards nest: a production loop holds interruptions between its boards, and
// each board's session guards its own run inside. Only the outermost one
// starts and ends the hold, so an interruption caught while the loop waits is
// not forgotten when a board begins, nor given back when a board ends.
unsigned g_guards = 0;
} // namespace

InterruptionGuard::InterruptionGuard()
{
    if (g_guards++ > 0)
        return;
    platform::ClearStop();
    platform::HoldInterruptions();
}

InterruptionGuard::~InterruptionGuard()
{
    if (--g_guards > 0)
        return;
    platform::ReleaseInterruptions();
    platform::ClearStop();
}

std::string InterruptionGuard::Caught() const
{
    return platform::InterruptionName(platform::CaughtInterruption());
}

int InterruptionGuard::ExitStatus() const
{
    return platform::InterruptionExitStatus(platform::CaughtInterruption());
}

WriteDecision InterruptionGuard::OnWriteStarting(const std::string& /*imagePath*/)
{
    platform::SetWriteInProgress(true);
    if (platform::CaughtInterruption() == 0)
        return {};
    // Caught before the hub's write began: the hub is not started, and
    // nothing about it is recorded ahead.
    platform::SetWriteInProgress(false);
    WriteDecision stop;
    stop.kind = WriteDecision::Kind::NotStarted;
    stop.reason = "interrupted (" + Caught() + ")";
    return stop;
}

void InterruptionGuard::OnWriteHeld(const WriteDecision& /*decision*/)
{
    platform::SetWriteInProgress(false);
}

void InterruptionGuard::OnLibraryResult(std::int32_t /*result*/, std::uint64_t /*milliseconds*/)
{
    platform::SetWriteInProgress(false);
}

void InterruptionGuard::OnRunStopped(unsigned nextEntry)
{
    for (unsigned entry = nextEntry + 1; entry-- > 0;)
        m_notStarted.push_back(entry + 1);
}

std::string InterruptedLine(const InterruptionGuard& guard)
{
    std::string line = "tolvane-cli: interrupted (" + guard.Caught() + "); ";
    if (guard.NotStarted().empty())
        return line + "every hub had its turn";
    line += "hubs not started:";
    for (std::size_t i = 0; i < guard.NotStarted().size(); ++i)
        line += (i == 0 ? " " : ", ") + std::to_string(guard.NotStarted()[i]);
    return line;
}

void IgnoreBrokenPipes()
{
    platform::IgnoreBrokenPipes();
}

void EndAsInterrupted(const InterruptionGuard& /*guard*/)
{
    platform::EndAsInterrupted(platform::CaughtInterruption());
}

void IgnoreFileSizeLimitSignal()
{
    platform::IgnoreFileSizeLimitSignal();
}
