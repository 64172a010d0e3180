// The two topology kernels that small files could once make run for minutes: cap holes on
// the one long boundary loop of a welded row of planes, and the vertex weld of a
// subdivided sphere with a threshold wider than the sphere, where every vertex shares one
// grid cell. Each is timed on its first run (cold) and on the runs after (warm), beside the
// plain routine the tests keep as the oracle where that finishes in seconds. The work units
// an evaluation on opening charges for the same step are reported beside.
#include "base/uMesh.h"
#include "modifiers/uModifierArray2D.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierModeling.h"
#include "modifiers/uModifierModelingSurface.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifierTopologyUtils.h"
#include "tests/modifiers/uCapHolesReference.h"
#include "tests/modifiers/uVertexWeldReference.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <map>

namespace {

TMeshData Applied(TModifier& Modifier, const TMeshData& Source)
{
    TMeshData out;
    Modifier.Apply(Source, out);
    return out;
}

// The units a metered evaluation of the one step charges.
double ChargedUnits(const TModifier& Modifier, const TMeshData& Source)
{
    TModifierStack stack;
    stack.Add(Modifier.Clone());
    TWorkMeter meter;
    TModifierEvalContext context;
    context.Meter = &meter;
    TModifierEvaluationResult result;
    TModifierEvaluator().Evaluate(&Source, stack, context, result);
    return static_cast<double>(meter.Used());
}

// A plane, array_2d 1000 x 1, vertex_weld, array_2d Copies x 1, vertex_weld, each array's
// copies abutting: the input of the file's cap_holes, one long strip.
const TMeshData& WeldedRow(int Copies)
{
    static std::map<int, TMeshData> made;
    auto found = made.find(Copies);
    if (found != made.end())
        return found->second;
    TMeshData mesh;
    mesh.BuildPlane();
    TArray2DModifier first;
    first.SetCountX(1000);
    first.SetCountY(1);
    first.SetOffsetX(0.5f);  // the plane's size
    TVertexWeldModifier weld;
    mesh = Applied(weld, Applied(first, mesh));
    TArray2DModifier second;
    second.SetCountX(Copies);
    second.SetCountY(1);
    second.SetOffsetX(500);
    mesh = Applied(weld, Applied(second, mesh));
    return made.emplace(Copies, std::move(mesh)).first->second;
}

// The scene's sphere subdivided Levels times.
const TMeshData& SubdividedSphere(int Levels)
{
    static std::map<int, TMeshData> made;
    auto found = made.find(Levels);
    if (found != made.end())
        return found->second;
    TMeshData mesh;
    mesh.BuildSphere(24, 16, 0.5f);
    TSubdivideModifier subdivide;
    subdivide.SetLevels(Levels);
    return made.emplace(Levels, Applied(subdivide, mesh)).first->second;
}

// The first run apart from the mean of the others, in milliseconds.
void TimeColdAndWarm(benchmark::State& State, const std::function<void()>& Run)
{
    using clock = std::chrono::steady_clock;
    double cold = 0, warm = 0;
    int64_t runs = 0;
    for (auto _ : State) {
        const auto t0 = clock::now();
        Run();
        const double ms = std::chrono::duration<double, std::milli>(clock::now() - t0).count();
        (runs++ == 0 ? cold : warm) += ms;
    }
    State.counters["cold_ms"] = cold;
    State.counters["warm_ms"] = runs > 1 ? warm / double(runs - 1) : cold;
}

void BM_CapHolesWeldedRow(benchmark::State& State)
{
    const TMeshData& source = WeldedRow(static_cast<int>(State.range(0)));
    TIntegerArrayList loops;
    FindBoundaryLoops(source, loops);
    size_t longest = 0;
    for (const TIntegerArray& loop : loops)
        longest = std::max(longest, loop.size());
    TCapHolesModifier cap;
    TimeColdAndWarm(State, [&] { benchmark::DoNotOptimize(Applied(cap, source)); });
    State.counters["loop"] = static_cast<double>(longest);
    State.counters["units"] = ChargedUnits(cap, source);
}
BENCHMARK(BM_CapHolesWeldedRow)->Arg(32)->Arg(160)->Iterations(4)->Unit(benchmark::kMillisecond);

// The loops triangulated by the plain scan: the part of cap holes that was slow.
void BM_CapHolesWeldedRowPlainScan(benchmark::State& State)
{
    const TMeshData& source = WeldedRow(static_cast<int>(State.range(0)));
    TIntegerArrayList loops;
    FindBoundaryLoops(source, loops);
    TimeColdAndWarm(State, [&] {
        for (TIntegerArray loop : loops) {
            std::reverse(loop.begin(), loop.end());
            TIntegerArray triangles;
            cap_holes_reference::TriangulateLoop(source, loop, triangles);
            benchmark::DoNotOptimize(triangles);
        }
    });
}
BENCHMARK(BM_CapHolesWeldedRowPlainScan)->Arg(32)->Iterations(1)->Unit(benchmark::kMillisecond);

// An open tube of many segments: two round loops, every corner an ear.
void BM_CapHolesOpenTube(benchmark::State& State)
{
    const TMeshData tube = cap_holes_reference::OpenTube(static_cast<int>(State.range(0)));
    TCapHolesModifier cap;
    TimeColdAndWarm(State, [&] { benchmark::DoNotOptimize(Applied(cap, tube)); });
}
BENCHMARK(BM_CapHolesOpenTube)->Arg(100000)->Iterations(4)->Unit(benchmark::kMillisecond);

void BM_VertexWeldWideThreshold(benchmark::State& State)
{
    const TMeshData& source = SubdividedSphere(static_cast<int>(State.range(0)));
    TVertexWeldModifier weld;
    weld.SetThreshold(1000);
    TimeColdAndWarm(State, [&] { benchmark::DoNotOptimize(Applied(weld, source)); });
    State.counters["vertices"] = static_cast<double>(source.Vertices.size());
    State.counters["units"] = ChargedUnits(weld, source);
}
BENCHMARK(BM_VertexWeldWideThreshold)->Arg(4)->Arg(5)->Iterations(4)->Unit(benchmark::kMillisecond);

// Two dense sheets a hair further apart than the threshold: crowded cells whose fine
// cells across the gap hold no pair within reach.
void BM_VertexWeldSheetsJustApart(benchmark::State& State)
{
    static const TMeshData source = [] {
        TMeshData m;
        constexpr int side = 300;
        constexpr float t = 0.05f;
        for (int sheet = 0; sheet < 2; ++sheet)
            for (int i = 0; i < side; ++i)
                for (int j = 0; j < side; ++j) {
                    TMeshVertex v;
                    v.Position = {t / 20 * static_cast<float>(i),
                                  1.0001f * t * static_cast<float>(sheet),
                                  t / 20 * static_cast<float>(j)};
                    m.AddVertex(v);
                }
        return m;
    }();
    TVertexWeldModifier weld;
    weld.SetThreshold(0.05f);
    TimeColdAndWarm(State, [&] { benchmark::DoNotOptimize(Applied(weld, source)); });
    State.counters["vertices"] = static_cast<double>(source.Vertices.size());
}
BENCHMARK(BM_VertexWeldSheetsJustApart)->Iterations(4)->Unit(benchmark::kMillisecond);

// Every pair compared: the weld's oracle.
void BM_VertexWeldWideThresholdEveryPair(benchmark::State& State)
{
    const TMeshData& source = SubdividedSphere(static_cast<int>(State.range(0)));
    TimeColdAndWarm(State, [&] {
        benchmark::DoNotOptimize(
            vertex_weld_reference::ReferenceWeldVertices(source, 1000, true, false, true));
    });
}
BENCHMARK(BM_VertexWeldWideThresholdEveryPair)
    ->Arg(4)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
