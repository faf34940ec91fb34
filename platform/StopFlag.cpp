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
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return true;
        SleepMs(left.count() < kStopCheckMs ? static_cast<std::uint32_t>(left.count()) : kStopCheckMs);
    }
    return false;
}

} // namespace tolvane::platform
