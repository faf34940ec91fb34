#include "StopFlag.h"

#include "Platform.h"

#include <atomic>
#include <chrono>

namespace tolvane::platform {
namespace {
// Lock-free, so that a signal handler may set it.
std::atomic<bool> g_stopRequestedFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag must be safe in a signal handler");

// Short enough that an operator does not notice the delay, long enough that
// the wait costs nothing.
constexpr std::uint32_t kStopCheckMs = 10;
} // namespace

void RequestStop()
{
    g_stopRequestedFlag.store(true);
}

bool StopRequested()
{
    return g_stopRequestedFlag.load();
}

void ClearStop()
{
    g_stopRequestedFlag.store(false);
}

bool WaitMs(std::uint32_t milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!StopRequested()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end)
            return true;
        // Rounded up: a wait never ends before its time.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now).count();
        SleepMs(left < kStopCheckMs ? static_cast<std::uint32_t>(left) : kStopCheckMs);
    }
    return false;
}

} // namespace tolvane::platform
