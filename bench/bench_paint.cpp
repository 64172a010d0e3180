// Modelling hover picking (one mouse move: the nearest vertex, edge midpoint or face under
// the cursor) over grids of 100,000 and 1,000,000 vertices, and one flood fill over the
// 1,000,000-vertex grid. The fill is measured warm (buffers kept from the last fill, as
// in the editor's repeated fills) and cold (fresh buffers each time).
#include "base/uMesh.h"
#include "scene/uMeshElementPick.h"
#include "scene/uVertexPaint.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>

namespace {

// An n x n grid of vertices in the XZ plane, side 10, made of quads.
const TMeshData& Grid(int n)
{
    static std::map<int, TMeshData> meshes;
    auto it = meshes.find(n);
    if (it != meshes.end())
        return it->second;
    TMeshData& m = meshes[n];
    m.Vertices.reserve(size_t(n) * size_t(n));
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x) {
            TMeshVertex v;
            v.Position = Vec3(10.0f * float(x) / float(n - 1) - 5.0f, 0.0f,
                              10.0f * float(z) / float(n - 1) - 5.0f);
            v.Color = Vec3(1, 1, 1);
            m.Vertices.push_back(v);
        }
    for (int z = 0; z + 1 < n; ++z)
        for (int x = 0; x + 1 < n; ++x) {
            const int32_t i = z * n + x;
            m.AddQuad(i, i + n, i + n + 1, i + 1);
        }
    m.RebuildEdges();
    return m;
}

// A perspective camera 8 units above and 8 in front of the grid's centre, looking at it,
// onto an 800 x 600 viewport.
TScreenProjector Projector()
{
    const double fovy = 45.0 * 3.14159265358979 / 180.0, aspect = 800.0 / 600.0;
    const double f = 1.0 / std::tan(fovy / 2), zn = 0.1, zf = 1000.0;
    std::array<double, 16> P{};
    P[0] = f / aspect;
    P[5] = f;
    P[10] = (zf + zn) / (zn - zf);
    P[11] = -1;
    P[14] = 2 * zf * zn / (zn - zf);
    // Look-at from (0, 8, 8) to the origin: forward (0, -1, -1)/sqrt2.
    const double s = 1.0 / std::sqrt(2.0);
    std::array<double, 16> V{};
    // Rows: right (1,0,0); up (0, s, -s); back (0, s, s); translation -R.eye.
    V[0] = 1;
    V[5] = s;
    V[9] = -s;
    V[6] = s;
    V[10] = s;
    V[13] = -(s * 8 - s * 8);
    V[14] = -(s * 8 + s * 8);
    V[15] = 1;
    TScreenProjector p;
    p.Matrix = MultiplyColumnMajor(P, V);
    p.Viewport = {0, 0, 800, 600};
    p.DeviceHeight = 600;
    return p;
}

int SideFor(int64_t Vertices)
{
    return int(std::lround(std::sqrt(double(Vertices))));
}

void BM_HoverVertex(benchmark::State& state)
{
    const TMeshData& m = Grid(SideFor(state.range(0)));
    const TScreenProjector p = Projector();
    for (auto _ : state)
        benchmark::DoNotOptimize(NearestProjectedVertex(m, p, 400, 300, 15));
    state.counters["vertices"] = double(m.Vertices.size());
}

void BM_HoverEdge(benchmark::State& state)
{
    const TMeshData& m = Grid(SideFor(state.range(0)));
    const TScreenProjector p = Projector();
    for (auto _ : state)
        benchmark::DoNotOptimize(NearestProjectedEdge(m, p, 400, 300, 12));
    state.counters["edges"] = double(m.Edges.size());
}

void BM_HoverFace(benchmark::State& state)
{
    const TMeshData& m = Grid(SideFor(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(
            NearestFaceAlongRay(m, Vec3(0.01f, 8, 8.01f), Vec3Normalize(Vec3(0, -1, -1))));
    state.counters["faces"] = double(m.Faces.size());
}

void BM_FloodFillWarm(benchmark::State& state)
{
    const TMeshData& m = Grid(1000);
    TFloodFill fill;
    size_t filled = 0;
    for (auto _ : state)
        filled = fill.Run(m, {0}).size();
    state.counters["filled"] = double(filled);
}

void BM_FloodFillCold(benchmark::State& state)
{
    const TMeshData& m = Grid(1000);
    size_t filled = 0;
    for (auto _ : state) {
        TFloodFill fill;
        filled = fill.Run(m, {0}).size();
    }
    state.counters["filled"] = double(filled);
}

}  // namespace

BENCHMARK(BM_HoverVertex)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HoverEdge)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HoverFace)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloodFillWarm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloodFillCold)->Unit(benchmark::kMillisecond);
