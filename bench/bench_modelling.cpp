// The modelling, animated and mesh-quality modifiers over a mesh of about 100,000 vertices
// (a closed torus of 316 x 316 quads), subdivide up to the evaluator's output limit, and
// relax and smooth over ten iterations.
#include "base/uMesh.h"
#include "modifiers/uModifierAdvanced.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierMeshQuality.h"
#include "modifiers/uModifierModeling.h"
#include "modifiers/uModifierModelingSurface.h"
#include "modifiers/uModifierStack.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

namespace {

TMeshData Torus(int n)
{
    TMeshData m;
    m.BuildTorus(n, n, 1.0f, 0.25f);
    return m;
}

const TMeshData& Torus100k()
{
    static const TMeshData mesh = Torus(316);
    return mesh;
}

// The torus with every 50th quad taken out: about 2,000 small holes to cap.
const TMeshData& HoledTorus100k()
{
    static const TMeshData mesh = [] {
        TMeshData m = Torus(316);
        std::vector<TMeshFace> kept;
        for (size_t i = 0; i < m.Faces.size(); ++i)
            if (i % 50 != 7)
                kept.push_back(m.Faces[i]);
        m.Faces = std::move(kept);
        m.RebuildEdges();
        return m;
    }();
    return mesh;
}

// Runs the modifier as the evaluator does (estimate, then ApplyWithInfo at a moving time).
void RunModifier(benchmark::State& state, TModifier& modifier, const TMeshData& source)
{
    TModifierEvalContext context;
    double time = 0;
    for (auto _ : state) {
        int64_t v, f, e;
        modifier.EstimateOutputSize(source, v, f, e);
        TMeshData out;
        context.Time = (time += 1.0 / 60);
        modifier.ApplyWithInfo(context, source, out);
        benchmark::DoNotOptimize(out.Vertices.data());
        state.counters["out_vertices"] = static_cast<double>(out.Vertices.size());
        state.counters["out_faces"] = static_cast<double>(out.Faces.size());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(source.Vertices.size()));
}

template <class T>
void BenchModifier(benchmark::State& state, std::function<void(T&)> configure = {},
                   const TMeshData& (*mesh)() = Torus100k)
{
    T modifier;
    if (configure)
        configure(modifier);
    RunModifier(state, modifier, mesh());
}

}  // namespace

static void BM_Mirror(benchmark::State& s)
{
    BenchModifier<TMirrorModifier>(s);
}
static void BM_XForm(benchmark::State& s)
{
    BenchModifier<TXFormModifier>(s, [](TXFormModifier& m) {
        m.SetRotation({10, 20, 30});
        m.SetScale({-1, 2, 1});
    });
}
static void BM_Subdivide(benchmark::State& s)
{
    BenchModifier<TSubdivideModifier>(s);
}
static void BM_Shell(benchmark::State& s)
{
    BenchModifier<TShellModifier>(s);
}
static void BM_Slice(benchmark::State& s)
{
    BenchModifier<TSliceModifier>(s, [](TSliceModifier& m) { m.SetKeepNegative(true); });
}
static void BM_CapHoles(benchmark::State& s)
{
    BenchModifier<TCapHolesModifier>(s, {}, HoledTorus100k);
}
static void BM_Normal(benchmark::State& s)
{
    BenchModifier<TNormalModifier>(s);
}
static void BM_Relax10(benchmark::State& s)
{
    BenchModifier<TRelaxModifier>(s, [](TRelaxModifier& m) {
        m.SetIterations(10);
        m.SetPreserveBoundary(false);
    });
}
static void BM_VertexWeld(benchmark::State& s)
{
    BenchModifier<TVertexWeldModifier>(s);
}
static void BM_AnimatedNoise(benchmark::State& s)
{
    BenchModifier<TAnimatedNoiseModifier>(s);
}
static void BM_AnimatedWave(benchmark::State& s)
{
    BenchModifier<TAnimatedWaveModifier>(s);
}
static void BM_PulseScale(benchmark::State& s)
{
    BenchModifier<TPulseScaleModifier>(s);
}
static void BM_Spin(benchmark::State& s)
{
    BenchModifier<TSpinModifier>(s);
}
static void BM_Spherify(benchmark::State& s)
{
    BenchModifier<TSpherifyModifier>(s);
}
static void BM_Optimize(benchmark::State& s)
{
    BenchModifier<TOptimizeModifier>(s);
}
static void BM_Tessellate(benchmark::State& s)
{
    BenchModifier<TTessellateModifier>(s);
}
static void BM_Smooth10(benchmark::State& s)
{
    BenchModifier<TSmoothModifier>(s, [](TSmoothModifier& m) { m.SetIterations(10); });
}

BENCHMARK(BM_Mirror)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XForm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Subdivide)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Shell)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Slice)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CapHoles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Normal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Relax10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VertexWeld)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnimatedNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnimatedWave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PulseScale)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Spin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Spherify)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Optimize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tessellate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Smooth10)->Unit(benchmark::kMillisecond);

// Subdivide up to the default output limit of 1,000,000 faces: a torus of Arg x Arg quads at
// the level that brings it just under the limit (250 at level 2: exactly 1,000,000 faces;
// 31 at level 5: 984,064).
static void BM_SubdivideToLimit(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const TMeshData source = Torus(n);
    TSubdivideModifier subdivide;
    subdivide.SetLevels(static_cast<int32_t>(state.range(1)));
    int64_t v, f, e;
    subdivide.EstimateOutputSize(source, v, f, e);
    if (v > kDefaultEvalLimit || f > kDefaultEvalLimit)
        state.SkipWithError("past the output limit");
    RunModifier(state, subdivide, source);
}
BENCHMARK(BM_SubdivideToLimit)->Args({250, 2})->Args({31, 5})->Unit(benchmark::kMillisecond);

// The same through the evaluator, as a scene object runs it: source copy, estimate, apply,
// output checks and the closing edge rebuild.
static void BM_SubdivideToLimitEvaluated(benchmark::State& state)
{
    const TMeshData source = Torus(static_cast<int>(state.range(0)));
    TModifierStack stack;
    auto subdivide = std::make_unique<TSubdivideModifier>();
    subdivide->SetLevels(static_cast<int32_t>(state.range(1)));
    stack.Add(std::move(subdivide));
    for (auto _ : state) {
        TModifierEvaluationResult result;
        if (!TModifierEvaluator().Evaluate(&source, stack, TModifierEvalContext{}, result))
            state.SkipWithError(result.Message.c_str());
        benchmark::DoNotOptimize(result.Mesh.get());
    }
}
BENCHMARK(BM_SubdivideToLimitEvaluated)->Args({250, 2})->Unit(benchmark::kMillisecond);

// Mirror with its whole seam on the plane: a flat grid whose every vertex lies on X = 0, so
// each of the 100,000 vertices is a seam vertex.
static void BM_MirrorFlatSeam(benchmark::State& state)
{
    TMeshData grid = Torus(316);
    for (TMeshVertex& v : grid.Vertices)
        v.Position.X = 0;
    TMirrorModifier mirror;
    RunModifier(state, mirror, grid);
}
BENCHMARK(BM_MirrorFlatSeam)->Unit(benchmark::kMillisecond);
