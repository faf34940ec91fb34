// The interruption guard gives back what was there before it: a program
// started under nohup keeps ignoring hang-ups after a press, and a caller's
// own handler returns whole, with its flags and its mask.
#include "Interruption.h"

#include <gtest/gtest.h>

#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

#ifndef _WIN32
namespace {
volatile std::sig_atomic_t g_ownCalls = 0;

void OwnHandler(int)
{
    g_ownCalls = g_ownCalls + 1;
}

void OwnInfoHandler(int, siginfo_t*, void*)
{
    g_ownCalls = g_ownCalls + 1;
}

// A signal's disposition, set for a case and given back after it.
class Disposition {
public:
    Disposition(int signal, const struct sigaction& wanted) : m_signal(signal)
    {
        EXPECT_EQ(sigaction(signal, &wanted, &m_saved), 0);
    }
    ~Disposition() { sigaction(m_signal, &m_saved, nullptr); }
    Disposition(const Disposition&) = delete;
    Disposition& operator=(const Disposition&) = delete;

private:
    int m_signal;
    struct sigaction m_saved {};
};

struct sigaction Current(int signal)
{
    struct sigaction now {};
    sigaction(signal, nullptr, &now);
    return now;
}

struct sigaction Plain(void (*handler)(int), int flags = 0, int masked = 0)
{
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    if (masked != 0)
        sigaddset(&action.sa_mask, masked);
    return action;
}

struct sigaction WithInfo()
{
    struct sigaction action {};
    action.sa_sigaction = OwnInfoHandler;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    return action;
}

void ExpectSame(const struct sigaction& before, const struct sigaction& after, int masked)
{
    EXPECT_EQ(after.sa_flags & (SA_SIGINFO | SA_RESTART), before.sa_flags & (SA_SIGINFO | SA_RESTART));
    if ((before.sa_flags & SA_SIGINFO) != 0) {
        EXPECT_EQ(after.sa_sigaction, before.sa_sigaction);
    } else {
        EXPECT_EQ(after.sa_handler, before.sa_handler);
    }
    if (masked != 0) {
        EXPECT_EQ(sigismember(&after.sa_mask, masked), sigismember(&before.sa_mask, masked));
    }
}
} // namespace

TEST(InterruptionGuard, GivesEachSignalBackAsItWas)
{
    const struct {
        const char* name;
        int signal;
        struct sigaction before;
        int masked;  // a signal the caller's mask holds, or 0
        bool raised; // raised while the guard holds it
        bool caught; // and then caught by the guard
    } cases[] = {
        {"SIGHUP ignored, as under nohup", SIGHUP, Plain(SIG_IGN), 0, false, false},
        {"SIGHUP ignored, raised during the press", SIGHUP, Plain(SIG_IGN), 0, true, false},
        {"SIGINT ignored, as in a background job", SIGINT, Plain(SIG_IGN), 0, true, false},
        {"SIGTERM with the caller's handler", SIGTERM, Plain(OwnHandler, SA_RESTART, SIGUSR1), SIGUSR1, false, false},
        {"SIGTERM caught during the press", SIGTERM, Plain(OwnHandler, SA_RESTART, SIGUSR2), SIGUSR2, true, true},
        {"SIGINT with a three-argument handler", SIGINT, WithInfo(), 0, true, true},
        {"SIGHUP at the default", SIGHUP, Plain(SIG_DFL), 0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Disposition set(c.signal, c.before);
        g_ownCalls = 0;
        {
            InterruptionGuard guard;
            if (c.raised)
                std::raise(c.signal);
            EXPECT_EQ(guard.Caught().empty(), !c.caught) << guard.Caught();
        }
        EXPECT_EQ(g_ownCalls, 0) << "the guard, not the caller's handler, took the signal";
        ExpectSame(c.before, Current(c.signal), c.masked);
    }
}

// Two guards one after the other (two presses of the window): the second
// saves what the first gave back, not the guard's own handler.
TEST(InterruptionGuard, TwoPressesGiveBackWhatWasThereFirst)
{
    const Disposition ignored(SIGHUP, Plain(SIG_IGN));
    const Disposition own(SIGTERM, Plain(OwnHandler));
    for (int press = 0; press < 2; ++press) {
        InterruptionGuard guard;
        std::raise(SIGTERM);
        EXPECT_EQ(guard.Caught(), "SIGTERM");
    }
    EXPECT_EQ(Current(SIGHUP).sa_handler, SIG_IGN);
    ASSERT_EQ(Current(SIGTERM).sa_handler, OwnHandler) << "raising SIGTERM now would end the tests";
    g_ownCalls = 0;
    std::raise(SIGTERM);
    EXPECT_EQ(g_ownCalls, 1) << "the caller's handler is called again";
}
#else
namespace {
BOOL WINAPI OwnConsoleHandler(DWORD)
{
    return FALSE;
}
} // namespace

// The guard's console handler comes and goes alone: a handler the program
// had before is still there after a press (it can be taken out, which fails
// for one that is not there).
TEST(InterruptionGuard, LeavesTheConsoleHandlersThatWereThere)
{
    ASSERT_NE(::SetConsoleCtrlHandler(OwnConsoleHandler, TRUE), FALSE);
    for (int press = 0; press < 2; ++press) {
        InterruptionGuard guard;
        EXPECT_TRUE(guard.Caught().empty());
    }
    EXPECT_NE(::SetConsoleCtrlHandler(OwnConsoleHandler, FALSE), FALSE) << "the program's own handler went";
    EXPECT_EQ(::SetConsoleCtrlHandler(OwnConsoleHandler, FALSE), FALSE) << "it was there twice";
}
#endif
