// Runs the event loop until a condition holds, for tests of the loop's users.
#pragma once

#include "EventLoop.h"

#include <chrono>
#include <functional>

namespace vendrix::testing {

// Runs the process's loop in 5 ms steps until `pred` holds or `timeoutMs`
// passed; whether it held.
inline bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        net::TEventLoop::Instance().RunOnce(5);
    }
    return true;
}

} // namespace vendrix::testing
