// Mesh hot paths: the edge rebuild that ends every builder and modifier, and the weld.
#include "base/uMesh.h"
#include "modifiers/uModifierTopologyUtils.h"

#include <benchmark/benchmark.h>

namespace {
// A torus of about n x n quads.
TMeshData Torus(int n)
{
    TMeshData m;
    m.BuildTorus(n, n, 1.0f, 0.25f);
    return m;
}
}  // namespace

static void BM_RebuildEdges(benchmark::State& state)
{
    TMeshData m = Torus(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        m.RebuildEdges();
        benchmark::DoNotOptimize(m.Edges.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(m.Faces.size()));
}
BENCHMARK(BM_RebuildEdges)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

static void BM_BuildEdgeList(benchmark::State& state)
{
    const TMeshData m = Torus(static_cast<int>(state.range(0)));
    TTopologyEdgeArray edges;
    for (auto _ : state) {
        BuildEdgeList(m, edges);
        benchmark::DoNotOptimize(edges.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(m.Faces.size()));
}
BENCHMARK(BM_BuildEdgeList)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

static void BM_WeldVertices(benchmark::State& state)
{
    const TMeshData source = Torus(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        TMeshData m = source;
        AppendMesh(&source, &m);  // every vertex has a twin to weld with
        state.ResumeTiming();
        WeldVertices(m, 1e-4f, true, true, true);
        benchmark::DoNotOptimize(m.Vertices.data());
    }
    state.SetItemsProcessed(state.iterations() * 2 * static_cast<int64_t>(source.Vertices.size()));
}
BENCHMARK(BM_WeldVertices)->Arg(100)->Arg(700)->Unit(benchmark::kMillisecond);
