#pragma once
// Runs a piece of a test on a thread with a small stack, so that code recursing once per
// level of a tree overflows it at a depth the test reaches in little time.
#include <pthread.h>

#include <functional>
#include <gtest/gtest.h>

inline void RunOnSmallStack(const std::function<void()>& Work, size_t StackBytes = 1 << 20)
{
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, StackBytes), 0);
    pthread_t thread;
    const int created = pthread_create(
        &thread, &attr,
        [](void* Arg) -> void* {
            (*static_cast<const std::function<void()>*>(Arg))();
            return nullptr;
        },
        const_cast<std::function<void()>*>(&Work));
    pthread_attr_destroy(&attr);
    ASSERT_EQ(created, 0);
    pthread_join(thread, nullptr);
}
