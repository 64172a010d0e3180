// Vertex weld cases beside the exact-duplicate grid of bench_modifiers.cpp: a dense cloud
// where every cell holds many vertices that stay apart, and a flat-shaded sphere whose
// shared corners differ in normal and UV, so that the averages take the slow path.
#include "base/uMesh.h"
#include "modifiers/uModifierTopologyUtils.h"

#include <benchmark/benchmark.h>

#include <cmath>
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
