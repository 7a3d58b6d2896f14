// An idle timer holds its handle from the start and fires once per arming.
#include "EventLoop.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace vendrix::net;

namespace {

TEST(EventLoop, AnIdleTimerFiresOncePerStartAndStaysUntilCancelled) {
    TEventLoop loop;
    int fired = 0;
    TEventLoop::TTimerId id = loop.AddIdleTimer([&] { ++fired; });
    ASSERT_NE(id, 0u);
    for (int i = 0; i < 3; ++i)
        loop.RunOnce(5);
    EXPECT_EQ(fired, 0); // not armed yet
    for (int round = 1; round <= 2; ++round) {
        ASSERT_TRUE(loop.StartTimer(id, 1));
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (fired < round && std::chrono::steady_clock::now() < deadline)
            loop.RunOnce(10);
        for (int i = 0; i < 3; ++i)
            loop.RunOnce(5);
        EXPECT_EQ(fired, round);
    }
    loop.CancelTimer(id);
    EXPECT_FALSE(loop.StartTimer(id, 1));
}

} // namespace
