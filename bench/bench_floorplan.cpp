// Ear-clipping triangulation of prepared floor-plan rings. Each iteration triangulates
// one ring; what matters is how the time grows with the point count.
#include "floorplan/uFloorPlanMesh.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

TFloorPlanPointArray Clockwise(TFloorPlanPointArray ring)
{
    if (RingDoubleArea(ring) > 0)
        ReverseRing(ring);
    return ring;
}

// Tips and valleys at every scale: odd points stand out furthest, and each later level
// again stands out from the points left once the level above is clipped. A star whose
// valleys all sit on one circle would leave a smooth ring of n / 2 points, whose corners
// fall below the triangulation's tolerance at these sizes.
int Level(int i)
{
    if (i % 2 != 0)
        return 0;
    return i == 0 ? 14 : std::min(std::countr_zero(static_cast<unsigned>(i)), 14);
}

TFloorPlanPointArray Star(int n)
{
    TFloorPlanPointArray ring;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        const double r = 10 - 0.4 * Level(i);
        ring.push_back(MakeFloorPlanPoint(static_cast<float>(r * std::cos(a)),
                                          static_cast<float>(r * std::sin(a))));
    }
    return Clockwise(ring);
}

// n / 4 unit-wide teeth as long as the comb is wide; the gaps between them reach down to
// depths that again differ at every scale, for the same reason as the star's valleys.
TFloorPlanPointArray Comb(int n)
{
    const int teeth = n / 4;
    const float width = static_cast<float>(2 * teeth - 1);
    TFloorPlanPointArray ring = {{0, 0}, {width, 0}};
    for (int t = teeth - 1; t >= 0; --t) {
        ring.push_back(MakeFloorPlanPoint(static_cast<float>(2 * t + 1), width + 1));
        ring.push_back(MakeFloorPlanPoint(static_cast<float>(2 * t), width + 1));
        if (t > 0) {
            const int level = std::min(std::countr_zero(static_cast<unsigned>(t)), 13);
            const float gap = width * (0.9f - 0.06f * static_cast<float>(level));
            ring.push_back(MakeFloorPlanPoint(static_cast<float>(2 * t), gap));
            ring.push_back(MakeFloorPlanPoint(static_cast<float>(2 * t - 1), gap));
        }
    }
    return Clockwise(ring);
}

void Triangulate(benchmark::State& state, const TFloorPlanPointArray& ring)
{
    TIntegerArray triangles;
    std::string message;
    for (auto _ : state) {
        if (!TriangulateFloorPlanRing(ring, triangles, message))
            state.SkipWithError(message.c_str());
        benchmark::DoNotOptimize(triangles.data());
    }
    state.counters["points"] = static_cast<double>(ring.size());
    state.SetComplexityN(static_cast<int64_t>(ring.size()));
}

void BM_TriangulateStar(benchmark::State& state)
{
    Triangulate(state, Star(static_cast<int>(state.range(0))));
}
void BM_TriangulateComb(benchmark::State& state)
{
    Triangulate(state, Comb(static_cast<int>(state.range(0))));
}

}  // namespace

BENCHMARK(BM_TriangulateStar)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_TriangulateComb)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
