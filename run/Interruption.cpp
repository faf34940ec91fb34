#include "Interruption.h"

#include "StopFlag.h"

#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
// What was caught (0 for nothing) and whether the library is writing now.
volatile std::sig_atomic_t g_caught = 0;
volatile std::sig_atomic_t g_inWrite = 0;

#ifdef _WIN32
constexpr int kClosed = 1000; // a console closed, a logoff or a shutdown
HANDLE g_finished = nullptr;

BOOL WINAPI Hold(DWORD event)
{
    if (g_caught != 0 && g_inWrite == 0 && (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT))
        return FALSE; // the default: the program ends
    if (g_caught == 0)
        g_caught = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : kClosed;
    tolvane::platform::RequestStop();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // Returning ends the process: wait until the record is complete, as
        // long as the system lets us.
        if (g_finished != nullptr)
            ::WaitForSingleObject(g_finished, INFINITE);
    }
    return TRUE;
}

void Install()
{
    g_finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(Hold, TRUE);
}

void Uninstall()
{
    if (g_finished != nullptr)
        ::SetEvent(g_finished);
    ::SetConsoleCtrlHandler(Hold, FALSE);
}
#else
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
    tolvane::platform::RequestStop();
}

void Install()
{
    for (int signal : kHeld) {
        struct sigaction action {};
        action.sa_handler = Hold;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

void Uninstall()
{
    for (int signal : kHeld)
        std::signal(signal, SIG_DFL);
}
#endif
} // namespace

InterruptionGuard::InterruptionGuard()
{
    g_caught = 0;
    g_inWrite = 0;
    tolvane::platform::ClearStop();
    Install();
}

InterruptionGuard::~InterruptionGuard()
{
    Uninstall();
    tolvane::platform::ClearStop();
}

std::string InterruptionGuard::Caught() const
{
    switch (g_caught) {
    case 0:
        return std::string();
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
#ifdef _WIN32
    default:
        return "console closed";
#else
    case SIGHUP:
        return "SIGHUP";
    default:
        return "signal " + std::to_string(g_caught);
#endif
    }
}

int InterruptionGuard::ExitStatus() const
{
#ifdef _WIN32
    if (g_caught == kClosed)
        return 128 + 1; // as SIGHUP
#endif
    return 128 + static_cast<int>(g_caught);
}

WriteDecision InterruptionGuard::OnWriteStarting(const std::string& /*imagePath*/)
{
    g_inWrite = 1;
    if (g_caught == 0)
        return {};
    // Caught before the hub's write began: the hub is not started, and
    // nothing about it is recorded ahead.
    g_inWrite = 0;
    WriteDecision stop;
    stop.kind = WriteDecision::Kind::NotStarted;
    stop.reason = "interrupted (" + Caught() + ")";
    return stop;
}

void InterruptionGuard::OnWriteHeld(const WriteDecision& /*decision*/)
{
    g_inWrite = 0;
}

void InterruptionGuard::OnLibraryResult(std::int32_t /*result*/, std::uint64_t /*milliseconds*/)
{
    g_inWrite = 0;
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
#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

void EndAsInterrupted(const InterruptionGuard& guard)
{
#ifdef _WIN32
    static_cast<void>(guard);
#else
    if (guard.Caught().empty())
        return;
    const int caught = static_cast<int>(g_caught);
    std::signal(caught, SIG_DFL);
    std::raise(caught);
#endif
}

void IgnoreFileSizeLimitSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}
