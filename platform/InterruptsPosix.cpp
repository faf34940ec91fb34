#include "Interrupts.h"

#include "StopFlag.h"

#include <csignal>

namespace tolvane::platform {
namespace {
volatile std::sig_atomic_t g_caught = 0;
volatile std::sig_atomic_t g_inWrite = 0;

constexpr int kHeld[] = {SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t kHeldCount = sizeof kHeld / sizeof kHeld[0];

// What each signal did before it was held, given back as it was: a program
// started under nohup keeps ignoring hang-ups, and a caller's own handler,
// its flags and its mask return whole.
struct Before {
    struct sigaction action {};
    bool held = false;
};
Before g_before[kHeldCount];
bool g_holding = false;

void Hold(int signal)
{
    if (g_caught != 0 && g_inWrite == 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    if (g_caught == 0)
        g_caught = signal;
    RequestStop();
}

bool Ignored(const struct sigaction& action)
{
    return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_IGN;
}
} // namespace

void HoldInterruptions()
{
    g_caught = 0;
    g_inWrite = 0;
    if (g_holding)
        return; // what is saved is the caller's, not our own handler
    g_holding = true;
    for (std::size_t i = 0; i < kHeldCount; ++i) {
        Before& before = g_before[i];
        before.held = false;
        if (sigaction(kHeld[i], nullptr, &before.action) != 0 || Ignored(before.action))
            continue; // a signal ignored from the start (nohup) is no interruption
        struct sigaction action {};
        action.sa_handler = Hold;
        sigemptyset(&action.sa_mask);
        before.held = sigaction(kHeld[i], &action, nullptr) == 0;
    }
}

void ReleaseInterruptions()
{
    if (!g_holding)
        return;
    g_holding = false;
    for (std::size_t i = 0; i < kHeldCount; ++i) {
        if (g_before[i].held)
            sigaction(kHeld[i], &g_before[i].action, nullptr);
        g_before[i].held = false;
    }
}

int CaughtInterruption()
{
    return static_cast<int>(g_caught);
}

std::string InterruptionName(int caught)
{
    switch (caught) {
    case 0:
        return std::string();
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "signal " + std::to_string(caught);
    }
}

int InterruptionExitStatus(int caught)
{
    return 128 + caught;
}

void SetWriteInProgress(bool inWrite)
{
    g_inWrite = inWrite ? 1 : 0;
}

void EndAsInterrupted(int caught)
{
    if (caught == 0)
        return;
    std::signal(caught, SIG_DFL);
    std::raise(caught);
}

void IgnoreFileSizeLimitSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

void IgnoreBrokenPipes()
{
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace tolvane::platform
