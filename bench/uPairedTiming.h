#pragma once
// Our routine and its peer timed in turn within each iteration, the one that goes first
// alternating, so both meet the same machine load. Reports milliseconds a run for each,
// wall clock ("ratio", ours / peer) and processor time of CpuClock ("cpu_ratio"): on a busy
// machine the second tells the work apart from the time spent waiting for a processor.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>

inline double CpuMs(clockid_t Clock)
{
    timespec t{};
    clock_gettime(Clock, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

inline void TimeAgainstPeer(benchmark::State& State, clockid_t CpuClock,
                            const std::function<void()>& Ours, const std::function<void()>& Peer)
{
    using clock = std::chrono::steady_clock;
    double ours = 0, peer = 0, oursCpu = 0, peerCpu = 0;
    bool oursFirst = true;
    for (auto _ : State) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool isOurs = (turn == 0) == oursFirst;
            const auto t0 = clock::now();
            const double c0 = CpuMs(CpuClock);
            (isOurs ? Ours : Peer)();
            (isOurs ? ours : peer) +=
                std::chrono::duration<double, std::milli>(clock::now() - t0).count();
            (isOurs ? oursCpu : peerCpu) += CpuMs(CpuClock) - c0;
        }
        oursFirst = !oursFirst;
    }
    const double n = double(std::max<int64_t>(State.iterations(), 1));
    State.counters["ours_ms"] = ours / n;
    State.counters["peer_ms"] = peer / n;
    State.counters["ratio"] = peer > 0 ? ours / peer : 0.0;
    State.counters["ours_cpu_ms"] = oursCpu / n;
    State.counters["peer_cpu_ms"] = peerCpu / n;
    State.counters["cpu_ratio"] = peerCpu > 0 ? oursCpu / peerCpu : 0.0;
}
