// Modifier costs per vertex over a 100,000-vertex mesh, and the vertex weld beside
// meshoptimizer's exact-match remap on the same positions.
//
// BM_Deform is a deformer as the evaluator runs it in a stack: its vertex pass from one
// vertex array into another, the faces and edges staying where they are. BM_Apply is the
// stand-alone Apply, which also copies faces and edges into a new mesh (BM_ApplyBaseline
// measures that copy alone, BM_RebuildEdges the rebuild it saves). The "points" runs apply
// the modifiers to the vertices without faces.
#include "base/uMesh.h"
#include "modifiers/uModifierAnimatedUV.h"
#include "modifiers/uModifierArray2D.h"
#include "modifiers/uModifierArrayCircular.h"
#include "modifiers/uModifierBend.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierInflate.h"
#include "modifiers/uModifierNoise.h"
#include "modifiers/uModifierPush.h"
#include "modifiers/uModifierReverseNormals.h"
#include "modifiers/uModifierRipple.h"
#include "modifiers/uModifierSkew.h"
#include "modifiers/uModifierSqueeze.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifierStretch.h"
#include "modifiers/uModifierTaper.h"
#include "modifiers/uModifierTopologyUtils.h"
#include "modifiers/uModifierTwist.h"
#include "modifiers/uModifierUpdateUVs.h"
#include "modifiers/uModifierWave.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <numbers>

#ifdef QUILL_HAVE_MESHOPTIMIZER
#include <meshoptimizer.h>
#endif

namespace {

constexpr int kAround = 400;
constexpr int kUp = 250;  // 400 x 250 = 100,000 vertices

// A tube of radius 1 and height 2.5 (so every axis has extent), quads between the rings.
const TMeshData& Tube()
{
    static const TMeshData mesh = [] {
        TMeshData m;
        m.Vertices.reserve(kAround * kUp);
        for (int i = 0; i < kUp; ++i)
            for (int j = 0; j < kAround; ++j) {
                const double a = 2 * std::numbers::pi * j / kAround;
                TMeshVertex v;
                v.Position = {static_cast<float>(std::cos(a)), 0.01f * i,
                              static_cast<float>(std::sin(a))};
                v.Normal = {static_cast<float>(std::cos(a)), 0, static_cast<float>(std::sin(a))};
                v.UV = {static_cast<float>(j) / kAround, static_cast<float>(i) / kUp};
                m.Vertices.push_back(v);
            }
        for (int i = 0; i + 1 < kUp; ++i)
            for (int j = 0; j < kAround; ++j) {
                const int a = i * kAround + j, b = i * kAround + (j + 1) % kAround;
                m.AddQuad(a, b, b + kAround, a + kAround);
            }
        m.RebuildEdges();
        return m;
    }();
    return mesh;
}

const TMeshData& TubePoints()
{
    static const TMeshData mesh = [] {
        TMeshData m;
        m.Vertices = Tube().Vertices;
        return m;
    }();
    return mesh;
}

void ReportPerVertex(benchmark::State& State, size_t Vertices)
{
    State.counters["per_vertex"] = benchmark::Counter(
        static_cast<double>(Vertices),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void RunApply(benchmark::State& State, TModifier& Modifier, const TMeshData& Source)
{
    TMeshData out;
    for (auto _ : State) {
        Modifier.Apply(Source, out);
        benchmark::DoNotOptimize(out.Vertices.data());
    }
    ReportPerVertex(State, Source.Vertices.size());
}

// The evaluator's step for a deformer: In to a separate Out of the same length.
void RunDeform(benchmark::State& State, TModifier& Modifier, const TMeshData& Source)
{
    std::vector<TMeshVertex> out(Source.Vertices.size());
    for (auto _ : State) {
        Modifier.DeformVertices(Source.Vertices, out);
        benchmark::DoNotOptimize(out.data());
    }
    ReportPerVertex(State, Source.Vertices.size());
}

using TMaker = std::function<std::unique_ptr<TModifier>()>;

template <class T>
TMaker Defaults()
{
    return [] { return std::make_unique<T>(); };
}

void RegisterModifierBenchmarks(const char* Name, TMaker Make)
{
    if (Make()->KeepsTopology())
        benchmark::RegisterBenchmark((std::string("BM_Deform/") + Name).c_str(),
                                     [Make](benchmark::State& s) {
                                         auto m = Make();
                                         RunDeform(s, *m, Tube());
                                     })
            ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((std::string("BM_Apply/") + Name).c_str(),
                                 [Make](benchmark::State& s) {
                                     auto m = Make();
                                     RunApply(s, *m, Tube());
                                 })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((std::string("BM_ApplyPoints/") + Name).c_str(),
                                 [Make](benchmark::State& s) {
                                     auto m = Make();
                                     RunApply(s, *m, TubePoints());
                                 })
        ->Unit(benchmark::kMicrosecond);
}

const bool kRegistered = [] {
    RegisterModifierBenchmarks("twist", [] {
        auto m = std::make_unique<TTwistModifier>();
        m->SetAngle(90);
        return m;
    });
    RegisterModifierBenchmarks("noise", Defaults<TNoiseModifier>());
    RegisterModifierBenchmarks("taper", Defaults<TTaperModifier>());
    RegisterModifierBenchmarks("inflate", Defaults<TInflateModifier>());
    RegisterModifierBenchmarks("bend", [] {
        auto m = std::make_unique<TBendModifier>();
        m->SetLimitsEnabled(true);
        m->SetLowerLimit(0.25f);
        m->SetUpperLimit(0.75f);
        return m;
    });
    RegisterModifierBenchmarks("skew", Defaults<TSkewModifier>());
    RegisterModifierBenchmarks("stretch", [] {
        auto m = std::make_unique<TStretchModifier>();
        m->SetAmplify(0.5f);
        return m;
    });
    RegisterModifierBenchmarks("squeeze", Defaults<TSqueezeModifier>());
    RegisterModifierBenchmarks("wave", [] {
        auto m = std::make_unique<TWaveModifier>();
        m->SetDecay(0.5f);
        return m;
    });
    RegisterModifierBenchmarks("ripple", Defaults<TRippleModifier>());
    RegisterModifierBenchmarks("push", Defaults<TPushModifier>());
    RegisterModifierBenchmarks("reverse_normals", Defaults<TReverseNormalsModifier>());
    RegisterModifierBenchmarks("unscale_uvs", [] {
        auto m = std::make_unique<TUnscaleUVsModifier>();
        m->SetObjectScale(2, 3, 4);
        return m;
    });
    RegisterModifierBenchmarks("animated_uv", [] {
        auto m = std::make_unique<TAnimatedUVModifier>();
        m->SetOffset(0.25f);
        return m;
    });
    // Per source vertex: four and nine copies.
    RegisterModifierBenchmarks("array_2d", Defaults<TArray2DModifier>());
    RegisterModifierBenchmarks("array_circular", Defaults<TArrayCircularModifier>());
    return true;
}();

}  // namespace

namespace {

void FourDeformers(TModifierStack& Stack)
{
    auto twist = std::make_unique<TTwistModifier>();
    twist->SetAngle(90);
    Stack.Add(std::move(twist));
    Stack.Add(std::make_unique<TTaperModifier>());
    auto bend = std::make_unique<TBendModifier>();
    bend->SetAxis(kAxisX);
    Stack.Add(std::move(bend));
    Stack.Add(std::make_unique<TNoiseModifier>());
}

}  // namespace

// A stack of four deformers evaluated whole, per vertex of the mesh: the copy of the
// source, four vertex passes and the output checks. Cold: every run writes fresh memory,
// as the first evaluation of an object does. Warm: the buffers of the run before are
// reused, as an object's later evaluations do.
static void BM_EvaluateDeformStack(benchmark::State& state)
{
    TModifierStack stack;
    FourDeformers(stack);
    const TModifierEvaluator evaluator;
    const bool warm = state.range(0) != 0;
    TModifierEvalBuffers buffers;
    TModifierEvaluationResult result;
    if (warm) {
        evaluator.Evaluate(&Tube(), stack, {}, result, &buffers);
        buffers.Mesh = std::move(result.Mesh);
    }
    for (auto _ : state) {
        evaluator.Evaluate(&Tube(), stack, {}, result, warm ? &buffers : nullptr);
        benchmark::DoNotOptimize(result.Mesh.get());
        if (warm)
            buffers.Mesh = std::move(result.Mesh);
        else
            result.Mesh.reset();
    }
    ReportPerVertex(state, Tube().Vertices.size());
}
BENCHMARK(BM_EvaluateDeformStack)->Arg(0)->Arg(1)->ArgName("warm")->Unit(benchmark::kMicrosecond);

// The floor the stack is measured against: one copy of the vertex array per deformer,
// into memory written before.
static void BM_DeformStackMemcpyFloor(benchmark::State& state)
{
    const std::vector<TMeshVertex>& in = Tube().Vertices;
    std::vector<TMeshVertex> a(in.size()), b(in.size());
    for (auto _ : state) {
        std::memcpy(a.data(), in.data(), in.size() * sizeof(TMeshVertex));
        for (int step = 1; step < 4; ++step) {
            std::memcpy(b.data(), a.data(), a.size() * sizeof(TMeshVertex));
            std::swap(a, b);
        }
        benchmark::DoNotOptimize(a.data());
    }
    ReportPerVertex(state, in.size());
}
BENCHMARK(BM_DeformStackMemcpyFloor)->Unit(benchmark::kMicrosecond);

// What every deform Apply pays besides its own pass: the copy of vertices, faces and edges.
static void BM_ApplyBaseline(benchmark::State& state)
{
    const TMeshData& source = Tube();
    TMeshData out;
    for (auto _ : state) {
        CopyForDeform(source, out);
        benchmark::DoNotOptimize(out.Vertices.data());
    }
    ReportPerVertex(state, source.Vertices.size());
}
BENCHMARK(BM_ApplyBaseline)->Unit(benchmark::kMicrosecond);

static void BM_ApplyBaselinePoints(benchmark::State& state)
{
    const TMeshData& source = TubePoints();
    TMeshData out;
    for (auto _ : state) {
        CopyForDeform(source, out);
        benchmark::DoNotOptimize(out.Vertices.data());
    }
    ReportPerVertex(state, source.Vertices.size());
}
BENCHMARK(BM_ApplyBaselinePoints)->Unit(benchmark::kMicrosecond);

// The rebuild the array and modelling modifiers end with (100,000 quads' corner pairs).
static void BM_RebuildEdges(benchmark::State& state)
{
    TMeshData mesh = Tube();
    for (auto _ : state) {
        mesh.RebuildEdges();
        benchmark::DoNotOptimize(mesh.Edges.data());
    }
    ReportPerVertex(state, mesh.Vertices.size());
}
BENCHMARK(BM_RebuildEdges)->Unit(benchmark::kMicrosecond);

namespace {

// 1,000,000 vertices, four to a quad with no sharing (as the built-in primitives store
// them): a 500 x 500 grid of quads whose corners repeat up to four times.
const TMeshData& UnsharedGrid()
{
    static const TMeshData mesh = [] {
        TMeshData m;
        constexpr int n = 500;
        m.Vertices.reserve(4 * n * n);
        m.Faces.reserve(n * n);
        auto corner = [&](int i, int j) {
            TMeshVertex v;
            v.Position = {0.01f * j, 0.001f * ((i * 7 + j * 3) % 11), 0.01f * i};
            v.Normal = {0, 1, 0};
            return m.AddVertex(v);
        };
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                const int a = corner(i, j), b = corner(i, j + 1), c = corner(i + 1, j + 1),
                          d = corner(i + 1, j);
                m.AddQuad(a, b, c, d);
            }
        m.RebuildEdges();
        return m;
    }();
    return mesh;
}

}  // namespace

static void BM_WeldVertices1M(benchmark::State& state)
{
    const TMeshData& source = UnsharedGrid();
    size_t kept = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TMeshData m = source;
        state.ResumeTiming();
        WeldVertices(m, 1e-6f, false, false, true);
        kept = m.Vertices.size();
        benchmark::DoNotOptimize(m.Vertices.data());
    }
    state.counters["unique"] = static_cast<double>(kept);
    ReportPerVertex(state, source.Vertices.size());
}
BENCHMARK(BM_WeldVertices1M)->Unit(benchmark::kMillisecond);

#ifdef QUILL_HAVE_MESHOPTIMIZER
// The same positions as a packed float stream; exact-match remap only (no faces, no
// averaging, no edges), so it is the lower bound of what a weld can cost.
static void BM_MeshoptGenerateVertexRemap1M(benchmark::State& state)
{
    const TMeshData& source = UnsharedGrid();
    std::vector<TVec3> positions;
    positions.reserve(source.Vertices.size());
    for (const TMeshVertex& v : source.Vertices)
        positions.push_back(v.Position);
    std::vector<unsigned int> remap(positions.size());
    size_t kept = 0;
    for (auto _ : state) {
        kept = meshopt_generateVertexRemap(remap.data(), nullptr, positions.size(),
                                           positions.data(), positions.size(), sizeof(TVec3));
        benchmark::DoNotOptimize(remap.data());
    }
    state.counters["unique"] = static_cast<double>(kept);
    ReportPerVertex(state, positions.size());
}
BENCHMARK(BM_MeshoptGenerateVertexRemap1M)->Unit(benchmark::kMillisecond);
#endif
