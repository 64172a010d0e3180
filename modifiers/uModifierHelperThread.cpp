#include "modifiers/uModifierHelperThread.h"

#include <atomic>
#include <chrono>
#include <thread>

#if defined(__linux__)
#include <sched.h>
#endif

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The processors this process may run on (a process pinned to one gets no helper: the two
// halves would take turns on it).
int32_t ProcessorsToRunOn()
{
#if defined(__linux__)
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return CPU_COUNT(&set);
#endif
    return static_cast<int32_t>(std::thread::hardware_concurrency());
}

// Returns once Value differs from Old. The passes of one evaluation follow each other
// within microseconds, and waking a sleeping thread costs more than that (a system call
// each way), so both sides first spin for a short while before they sleep.
void SpinThenWait(const std::atomic<uint32_t>& Value, uint32_t Old)
{
    using TClock = std::chrono::steady_clock;
    const TClock::time_point until = TClock::now() + std::chrono::microseconds(50);
    for (int32_t i = 1;; ++i) {
        if (Value.load() != Old)
            return;
#if defined(__SSE2__)
        _mm_pause();
#endif
        if (i % 64 == 0 && TClock::now() > until)
            break;
    }
    Value.wait(Old);
}

class THelperThread {
public:
    ~THelperThread()
    {
        if (!Thread.joinable())
            return;
        Quit = true;
        Posted.fetch_add(1);
        Posted.notify_one();
        Thread.join();
    }

    // False when the helper is taken or cannot run; the caller then does both parts.
    bool TryRun(void (*Part)(void*, int32_t), void* Context)
    {
        // A flag, not a mutex: a part that itself asks for two parts (on the thread that
        // holds the helper) just finds it taken.
        if (Taken.exchange(true))
            return false;
        struct TRelease {
            std::atomic<bool>& Flag;
            ~TRelease() { Flag.store(false); }
        } release{Taken};
        if (!Start())
            return false;
        Function = Part;
        Argument = Context;
        const uint32_t ticket = Posted.fetch_add(1) + 1;
        Posted.notify_one();
        // The helper's part is waited for on every way out, so Context outlives it.
        struct TJoin {
            std::atomic<uint32_t>& Done;
            uint32_t Ticket;
            ~TJoin()
            {
                for (uint32_t done = Done.load(); done != Ticket; done = Done.load())
                    SpinThenWait(Done, done);
            }
        } join{Done, ticket};
        Part(Context, 0);
        return true;
    }

private:
    bool Start()
    {
        if (Thread.joinable())
            return true;
        if (Failed || ProcessorsToRunOn() < 2)
            return false;
        try {
            Thread = std::thread([this] { Loop(); });
        } catch (...) {
            Failed = true;
            return false;
        }
        return true;
    }

    void Loop()
    {
        uint32_t seen = 0;
        for (;;) {
            SpinThenWait(Posted, seen);
            seen = Posted.load();
            if (Quit)
                return;
            Function(Argument, 1);
            Done.store(seen);
            Done.notify_one();
        }
    }

    std::atomic<bool> Taken{false};  // one caller at a time
    std::thread Thread;
    bool Failed = false;
    // A part is handed over by raising Posted; the helper reports it by storing that value
    // in Done. Function and Argument are written before the raise and read after it.
    std::atomic<uint32_t> Posted{0}, Done{0};
    std::atomic<bool> Quit{false};
    void (*Function)(void*, int32_t) = nullptr;
    void* Argument = nullptr;
};

}  // namespace

void RunTwoParts(void (*Part)(void* Context, int32_t Index), void* Context)
{
    static THelperThread Helper;
    if (Helper.TryRun(Part, Context))
        return;
    Part(Context, 0);
    Part(Context, 1);
}
