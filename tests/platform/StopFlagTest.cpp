// The wait an interruption cuts short: never shorter than asked otherwise.
#include "StopFlag.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace tolvane::platform;

TEST(StopFlag, AStopEndsAWaitAtOnceAndNothingElseDoes)
{
    const struct {
        const char* name;
        int stopAfterMs; // -1: never, 0: before the wait
        std::uint32_t waitMs;
        bool completes;
    } cases[] = {{"no stop", -1, 150, true}, {"stop during", 50, 5000, false}, {"stopped before", 0, 5000, false}};
    for (const auto& c : cases) {
        ClearStop();
        if (c.stopAfterMs == 0)
            RequestStop();
        std::thread stopper([&c] {
            if (c.stopAfterMs > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(c.stopAfterMs));
                RequestStop();
            }
        });
        const auto start = std::chrono::steady_clock::now();
        const bool completed = WaitMs(c.waitMs);
        const auto taken = std::chrono::steady_clock::now() - start;
        stopper.join();
        EXPECT_EQ(completed, c.completes) << c.name;
        if (c.completes) {
            EXPECT_GE(taken, std::chrono::milliseconds(c.waitMs)) << c.name;
        } else {
            EXPECT_LT(taken, std::chrono::milliseconds(1000)) << c.name;
        }
    }
    ClearStop();
}
