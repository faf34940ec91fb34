#include "Interrupts.h"

#include "StopFlag.h"

#include <csignal>

#include <windows.h>

namespace tolvane::platform {
namespace {
volatile std::sig_atomic_t g_caught = 0;
volatile std::sig_atomic_t g_inWrite = 0;
HANDLE g_finished = nullptr;
bool g_holding = false;

constexpr int kClosed = 1000; // a console closed, a logoff or a shutdown

BOOL WINAPI Hold(DWORD event)
{
    if (g_caught != 0 && g_inWrite == 0 && (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT))
        return FALSE; // the default: the program ends
    if (g_caught == 0)
        g_caught = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : kClosed;
    RequestStop();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // Returning ends the process: wait until the record is complete, as
        // long as the system lets us.
        if (g_finished != nullptr)
            ::WaitForSingleObject(g_finished, INFINITE);
    }
    return TRUE;
}
} // namespace

void HoldInterruptions()
{
    g_caught = 0;
    g_inWrite = 0;
    if (g_holding)
        return; // added once, so that one removal takes it away
    // One event for every hold: a closing console's wait ends with the
    // process, so the event is never waited on across two holds.
    if (g_finished == nullptr)
        g_finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    else
        ::ResetEvent(g_finished);
    // Added in front of the handlers that were there, and taken out alone at
    // the release, which leaves them, and whether Ctrl-C is ignored, as they
    // were.
    g_holding = ::SetConsoleCtrlHandler(Hold, TRUE) != FALSE;
}

void ReleaseInterruptions()
{
    if (g_finished != nullptr)
        ::SetEvent(g_finished);
    if (g_holding)
        ::SetConsoleCtrlHandler(Hold, FALSE);
    g_holding = false;
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
    default:
        return "console closed";
    }
}

int InterruptionExitStatus(int caught)
{
    return caught == kClosed ? 128 + 1 : 128 + caught; // a closed console as SIGHUP
}

void SetWriteInProgress(bool inWrite)
{
    g_inWrite = inWrite ? 1 : 0;
}

void EndAsInterrupted(int /*caught*/)
{}

void IgnoreFileSizeLimitSignal()
{}

void IgnoreBrokenPipes()
{}

} // namespace tolvane::platform
