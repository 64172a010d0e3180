// Vertex weld cases beside the exact-duplicate grid of bench_modifiers.cpp: a dense cloud
// where every cell holds many vertices that stay apart, a flat-shaded sphere whose shared
// corners differ in normal and UV, so that the averages take the slow path, and crowded
// patches of points in reach of each other with no pair within the threshold. "units" is
// what one weld charges a work meter, "per_unit" the time of a unit.
#include "base/uMesh.h"
#include "base/uWorkMeter.h"
#include "modifiers/uModifierTopologyUtils.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <random>

namespace {

// 490,000 vertices on a wavy sheet 0.01 apart, jittered, as triangles; a threshold of
// 0.004 joins none of them but puts dozens into each grid cell.
const TMeshData& DenseSheet()
{
    static const TMeshData mesh = [] {
        TMeshData m;
        constexpr int n = 700;
        std::mt19937 random(3);
        std::uniform_real_distribution<float> jitter(-0.002f, 0.002f);
        m.Vertices.reserve(n * n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                TMeshVertex v;
                v.Position = {0.01f * j + jitter(random), 0.05f * std::sin(0.03f * (i + j)),
                              0.01f * i + jitter(random)};
                v.Normal = {0, 1, 0};
                m.AddVertex(v);
            }
        for (int i = 0; i + 1 < n; ++i)
            for (int j = 0; j + 1 < n; ++j)
                m.AddQuad(i * n + j, i * n + j + 1, (i + 1) * n + j + 1, (i + 1) * n + j);
        m.RebuildEdges();
        return m;
    }();
    return mesh;
}

// A sphere of about 1,000,000 vertices stored four to a quad with flat normals and
// per-quad UVs, the way an unshared primitive comes out of a file.
const TMeshData& FlatSphere()
{
    static const TMeshData mesh = [] {
        TMeshData m;
        constexpr int around = 1000, up = 250;
        m.Vertices.reserve(4 * around * up);
        auto at = [](int i, int j) {
            const double phi = std::numbers::pi * i / up, theta = 2 * std::numbers::pi * j / around;
            return TVec3{static_cast<float>(std::sin(phi) * std::cos(theta)),
                         static_cast<float>(std::cos(phi)),
                         static_cast<float>(std::sin(phi) * std::sin(theta))};
        };
        for (int i = 0; i < up; ++i)
            for (int j = 0; j < around; ++j) {
                const TVec3 p[4] = {at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)};
                const TVec3 normal =
                    Vec3Normalize(Vec3Add(Vec3Add(p[0], p[1]), Vec3Add(p[2], p[3])));
                int32_t index[4];
                for (int k = 0; k < 4; ++k) {
                    TMeshVertex v;
                    v.Position = p[k];
                    v.Normal = normal;
                    v.UV = {static_cast<float>(k & 1), static_cast<float>(k >> 1)};
                    index[k] = m.AddVertex(v);
                }
                m.AddQuad(index[0], index[1], index[2], index[3]);
            }
        m.RebuildEdges();
        return m;
    }();
    return mesh;
}

void RunWeld(benchmark::State& State, const TMeshData& Source, float Threshold, bool Average)
{
    size_t kept = 0;
    for (auto _ : State) {
        State.PauseTiming();
        TMeshData m = Source;
        State.ResumeTiming();
        WeldVertices(m, Threshold, Average, Average, true);
        kept = m.Vertices.size();
        benchmark::DoNotOptimize(m.Vertices.data());
    }
    State.counters["unique"] = static_cast<double>(kept);
    State.counters["per_vertex"] = benchmark::Counter(
        static_cast<double>(Source.Vertices.size()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    TWorkMeter meter;
    TMeshData m = Source;
    WeldVertices(m, Threshold, Average, Average, true, &meter);
    State.counters["units"] = static_cast<double>(meter.Used());
    State.counters["per_unit"] = benchmark::Counter(
        static_cast<double>(std::max<int64_t>(meter.Used(), 1)),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A quad's corners each copied 1000 x Copies times 1e-5 apart (an arrayed quad): two pairs
// of crowded patches, one pair a float step more than 1 apart and one 1.0000005 apart
// across a line of the weld's grid, welded at 1.
const TMeshData& CrowdedPatches(int Copies)
{
    static std::map<int, TMeshData> meshes;
    TMeshData& m = meshes[Copies];
    if (!m.Vertices.empty())
        return m;
    const TVec3 corners[4] = {{0, 0, 0}, {0, 1.0000001f, 0}, {1, 8.6f, 0}, {1, 7.6f, 0}};
    m.Vertices.reserve(size_t{4000} * static_cast<size_t>(Copies));
    for (int i = 0; i < 1000; ++i)
        for (int j = 0; j < Copies; ++j) {
            int32_t index[4];
            for (int k = 0; k < 4; ++k) {
                TMeshVertex v;
                v.Position = {corners[k].X + static_cast<float>(i) * 1e-5f, corners[k].Y,
                              corners[k].Z + static_cast<float>(j) * 1e-5f};
                index[k] = m.AddVertex(v);
            }
            m.AddQuad(index[0], index[1], index[2], index[3]);
        }
    m.RebuildEdges();
    return m;
}

// Points that no search can rule out in groups: a tight cluster under a cap of points a
// hair more than the threshold from it, whose every box comes within reach of the cluster.
const TMeshData& ClusterUnderCap()
{
    static const TMeshData mesh = [] {
        TMeshData m;
        constexpr int cluster = 60, cap = 100;
        for (int i = 0; i < cluster; ++i)
            for (int j = 0; j < cluster; ++j) {
                TMeshVertex v;
                v.Position = {2 + 2.4e-7f * static_cast<float>(i), 2,
                              2 + 2.4e-7f * static_cast<float>(j)};
                m.AddVertex(v);
            }
        for (int i = 0; i < cap; ++i)
            for (int j = 0; j < cap; ++j) {
                const double a = 0.5 * (i - (cap - 1) / 2.0) / cap;
                const double b = 0.5 * (j - (cap - 1) / 2.0) / cap;
                const TVec3 d = Vec3Normalize(TVec3{static_cast<float>(std::sin(a)),
                                                    static_cast<float>(std::cos(a) * std::cos(b)),
                                                    static_cast<float>(std::sin(b))});
                TMeshVertex v;
                v.Position = Vec3Add(TVec3{2, 2, 2}, Vec3Scale(d, 1.0001f));
                m.AddVertex(v);
            }
        return m;
    }();
    return mesh;
}

}  // namespace

static void BM_WeldVerticesDenseSheet(benchmark::State& State)
{
    RunWeld(State, DenseSheet(), 0.004f, false);
}
BENCHMARK(BM_WeldVerticesDenseSheet)->Unit(benchmark::kMillisecond);

static void BM_WeldVerticesFlatSphere(benchmark::State& State)
{
    RunWeld(State, FlatSphere(), 1e-5f, true);
}
BENCHMARK(BM_WeldVerticesFlatSphere)->Unit(benchmark::kMillisecond);

static void BM_WeldVerticesCrowdedPatches(benchmark::State& State)
{
    RunWeld(State, CrowdedPatches(static_cast<int>(State.range(0))), 1, false);
}
BENCHMARK(BM_WeldVerticesCrowdedPatches)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

static void BM_WeldVerticesClusterUnderCap(benchmark::State& State)
{
    RunWeld(State, ClusterUnderCap(), 1, false);
}
BENCHMARK(BM_WeldVerticesClusterUnderCap)->Unit(benchmark::kMillisecond);
