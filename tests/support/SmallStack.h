// Runs a piece of work on a thread with a small stack, so a recursion over a
// depth the client chooses shows as a crash in the test instead of waiting
// for the process's megabytes of stack to run out.
#pragma once

#include <algorithm>
#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <pthread.h>

namespace vendrix::testing {

inline void RunOnSmallStack(size_t bytes, const std::function<void()>& work) {
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, std::max<size_t>(bytes, PTHREAD_STACK_MIN)), 0);
    pthread_t thread;
    auto run = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    const int created = pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&work));
    pthread_attr_destroy(&attr);
    ASSERT_EQ(created, 0);
    pthread_join(thread, nullptr);
}

} // namespace vendrix::testing
