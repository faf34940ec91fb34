#include "Interrupts.h"

#include "StopFlag.h"

#include <csignal>

namespace tolvane::platform {
namespace {
volatile std::sig_atomic_t g_caught = 0;
volatile std::sig_atomic_t g_inWrite = 0;

constexpr int kHeld[] = {SIGINT, SIGTERM, SIGHUP};

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
} // namespace

void HoldInterruptions()
{
    g_caught = 0;
    g_inWrite = 0;
    for (int signal : kHeld) {
        struct sigaction action {};
        action.sa_handler = Hold;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

void ReleaseInterruptions()
{
    for (int signal : kHeld)
        std::signal(signal, SIG_DFL);
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
