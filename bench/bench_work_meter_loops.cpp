// Nanoseconds per work unit of the modifier loops that charge the meter as they run, so
// that a unit stays about one nanosecond of kernel work on one core (aim: 0.5 to 1.5).
//
// Smoothing (relax and smooth share the passes): the passes alone, timed as the difference
// between a run of 1 + 20 iterations and a run of one, in processor time of the calling
// thread (the passes run on it; the machine's load does not count). Meshes of valence 4
// (quads) and 6 (quads split in two): warm, a torus of 10,000 vertices whose passes stay in
// the caches; cold, one of 1,000,000 vertices (about 40 MB of positions and neighbour lists)
// whose every pass streams from memory.
//
// Also the neighbour lists of a fan: linear in the fan, never charged.
#include "base/uMesh.h"
#include "base/uWorkMeter.h"
#include "modifiers/uModifierMeshQuality.h"
#include "modifiers/uModifierModelingSurface.h"
#include "modifiers/uModifierTopologyUtils.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <ctime>
#include <map>
#include <vector>

namespace {

// A torus of N x N quads, split into triangles when Triangles (valence 6).
const TMeshData& Torus(int N, bool Triangles)
{
    static std::map<std::pair<int, bool>, TMeshData> made;
    auto [it, isNew] = made.try_emplace({N, Triangles});
    if (isNew) {
        TMeshData torus;
        torus.BuildTorus(N, N, 1.0f, 0.25f);
        if (Triangles) {
            TTessellateModifier tessellate;
            tessellate.Apply(torus, it->second);
        } else {
            it->second = std::move(torus);
        }
    }
    return it->second;
}

// Processor time of the calling thread.
double ThreadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The units one run of Iterations charges.
int64_t Units(const TMeshData& Mesh, int32_t Iterations)
{
    TMeshData copy = Mesh;
    TWorkMeter meter;
    RelaxMeshPositions(copy, 0.5f, Iterations, false, &meter);
    return meter.Used();
}

constexpr int32_t kPasses = 20;

// Args: torus size, valence 6 (1) or 4 (0).
void BM_RelaxPassPerUnit(benchmark::State& State)
{
    const TMeshData& mesh = Torus(static_cast<int>(State.range(0)), State.range(1) != 0);
    const int64_t passUnits = Units(mesh, 1);
    TMeshData one, many;
    double passSeconds = 0;
    for (auto _ : State) {
        State.PauseTiming();
        one = mesh;
        many = mesh;
        State.ResumeTiming();
        const double t0 = ThreadSeconds();
        RelaxMeshPositions(one, 0.5f, 1, false);
        const double t1 = ThreadSeconds();
        RelaxMeshPositions(many, 0.5f, 1 + kPasses, false);
        const double t2 = ThreadSeconds();
        passSeconds += ((t2 - t1) - (t1 - t0)) / kPasses;
    }
    const double passNs = passSeconds * 1e9 / static_cast<double>(State.iterations());
    State.counters["vertices"] = static_cast<double>(mesh.Vertices.size());
    State.counters["units_per_pass"] = static_cast<double>(passUnits);
    State.counters["pass_ms"] = passNs / 1e6;
    State.counters["ns_per_unit"] = passNs / static_cast<double>(passUnits);
}

// The neighbour lists of a cone of Arg segments: its apex and base centre each neighbour
// every rim vertex.
void BM_NeighbourListsOfAFan(benchmark::State& State)
{
    TMeshData cone;
    cone.BuildCone(static_cast<int32_t>(State.range(0)));
    TIntegerArrayList neighbours;
    std::vector<bool> boundary(cone.Vertices.size());
    for (auto _ : State) {
        BuildVertexNeighbours(cone, neighbours, boundary);
        benchmark::DoNotOptimize(neighbours.data());
    }
    State.counters["faces"] = static_cast<double>(cone.Faces.size());
}

}  // namespace

BENCHMARK(BM_RelaxPassPerUnit)
    ->Args({100, 0})
    ->Args({100, 1})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NeighbourListsOfAFan)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);
