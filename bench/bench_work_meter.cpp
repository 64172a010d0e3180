// What a work unit is worth: every registered modifier, with its default settings, run
// as a one-step stack through the evaluator with a work meter, on the scene's sphere
// subdivided 1, 3 and 5 times. "ns_per_unit" is the time of the run over the units the
// meter was charged (the evaluator's charges for the mesh received and built, and the
// kernel's own charges for its longer loops); near 1 means the charges follow the time.
// The first run is reported apart ("cold": fresh memory, as when a file opens) from the
// mean of the later ones ("warm": the buffers of the run before reused, as in editing).
//
// A composite owner's gathering is measured the same way: a chain of objects whose
// meshes it copies, over the units charged for visiting and copying them.
//
// Run pinned: taskset -c 2,3 build-rel/bench/quill_bench --benchmark_filter=WorkMeter
//
// When the weights were set (a vertex-only step 4 units a vertex; any other step 8 units
// a vertex or face it reads and 56 a vertex or face it builds; the source's copy as built),
// cold, with the kernels' own charges, on the sphere subdivided 3 and 5 times (24,578 and
// 393,218 vertices), in ns per unit:
//   vertex-only deformers (twist ... push)                     0.3 - 0.7
//   per-corner and copying steps (normals, UVs, xform, tessellate,
//     the animated deformers)                                  0.3 - 0.9
//   arrays, mirror, slice                                      0.4 - 1.5
//   relax, smooth, vertex weld, cap holes, optimize            0.7 - 1.6
//   shell                                                      1.5 - 1.9
//   subdivide                                                  1.3 - 2.5
//   a composite's gathering (visits, copies)                   0.3 - 0.4
// A stack repeating the dearest of these on a mesh near one object's limit runs out of
// work within about 7.5 s on one core here.
#include "base/uMesh.h"
#include "base/uWorkMeter.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierModeling.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>

namespace {

// The scene's sphere subdivided Levels times; a cube for Levels < 0.
const TMeshData& Sphere(int Levels)
{
    static std::map<int, TMeshData> made;
    if (auto found = made.find(Levels); found != made.end())
        return found->second;
    TMeshData mesh;
    if (Levels < 0) {
        mesh.BuildCube();
        mesh.RebuildEdges();
        return made.emplace(Levels, std::move(mesh)).first->second;
    }
    mesh.BuildSphere(24, 16, 0.5f);
    mesh.RebuildEdges();
    TSubdivideModifier subdivide;
    subdivide.SetLevels(Levels);
    TMeshData out;
    subdivide.Apply(mesh, out);
    return made.emplace(Levels, std::move(out)).first->second;
}

void BM_WorkMeterPerModifier(benchmark::State& State)
{
    if (ModifierDescriptorCount() == 0)
        RegisterBuiltInModifiers();
    const int32_t type = static_cast<int32_t>(State.range(0));
    if (type >= ModifierDescriptorCount()) {
        State.SkipWithError("no such modifier");
        return;
    }
    const TModifierDescriptor& descriptor = GetModifierDescriptor(type);
    const TMeshData& source = Sphere(static_cast<int>(State.range(1)));
    TModifierStack stack;
    stack.Add(CreateModifierByTypeId(descriptor.TypeId));

    using clock = std::chrono::steady_clock;
    TModifierEvalBuffers buffers;
    double coldNs = 0, warmNs = 0, coldUnits = 0, warmUnits = 0;
    int64_t runs = 0, outVertices = 0;
    std::string failure;
    for (auto _ : State) {
        TWorkMeter meter;
        TModifierEvalContext context;
        context.MaxVertices = context.MaxFaces = int64_t{1} << 40;
        context.Meter = &meter;
        TModifierEvaluationResult result;
        const auto t0 = clock::now();
        TModifierEvaluator().Evaluate(&source, stack, context, result,
                                      runs == 0 ? nullptr : &buffers);
        const double ns = std::chrono::duration<double, std::nano>(clock::now() - t0).count();
        if (!result.Success)
            failure = result.Message;
        if (result.Mesh)
            outVertices = static_cast<int64_t>(result.Mesh->Vertices.size());
        buffers.Mesh = std::move(result.Mesh);
        (runs == 0 ? coldNs : warmNs) += ns;
        (runs == 0 ? coldUnits : warmUnits) += static_cast<double>(meter.Used());
        ++runs;
    }
    State.counters["in_vertices"] = static_cast<double>(source.Vertices.size());
    State.counters["out_vertices"] = static_cast<double>(outVertices);
    State.counters["units"] = coldUnits;
    State.counters["ns_per_unit_cold"] = coldUnits > 0 ? coldNs / coldUnits : 0;
    State.counters["ns_per_unit_warm"] = warmUnits > 0 ? warmNs / warmUnits : 0;
    State.SetLabel(descriptor.TypeId + (failure.empty() ? "" : " failed: " + failure));
}
BENCHMARK(BM_WorkMeterPerModifier)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 32, 1), {1, 3, 5}})
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

// A composite owner over a chain of Depth spheres subdivided Levels times (cubes for -1):
// its gathering visits and copies them.
void BM_WorkMeterCompositeGather(benchmark::State& State)
{
    if (ModifierDescriptorCount() == 0)
        RegisterBuiltInModifiers();
    const int depth = static_cast<int>(State.range(0));
    const TMeshData& part = Sphere(static_cast<int>(State.range(1)));
    TScene scene;
    TSceneObject* owner = scene.AddMeshObject("owner", nullptr, nullptr);
    owner->AddModifier(CreateModifierByTypeId("stretch"));
    TSceneNode* parent = owner;
    for (int i = 0; i < depth; ++i) {
        TSceneObject* child =
            scene.AddMeshObject("part", std::make_unique<TMeshData>(part), parent);
        child->GetEvaluatedMesh();
        parent = child;
    }
    using clock = std::chrono::steady_clock;
    double coldNs = 0, warmNs = 0, coldUnits = 0, warmUnits = 0;
    int64_t runs = 0;
    for (auto _ : State) {
        TWorkMeter meter;
        TEvaluationBounds bounds;
        bounds.Meter = &meter;
        owner->MarkMeshDirty();
        const auto t0 = clock::now();
        owner->EvaluateWithin(bounds);
        const double ns = std::chrono::duration<double, std::nano>(clock::now() - t0).count();
        (runs == 0 ? coldNs : warmNs) += ns;
        (runs == 0 ? coldUnits : warmUnits) += static_cast<double>(meter.Used());
        ++runs;
    }
    State.counters["units"] = coldUnits;
    State.counters["ns_per_unit_cold"] = coldUnits > 0 ? coldNs / coldUnits : 0;
    State.counters["ns_per_unit_warm"] = warmUnits > 0 ? warmNs / warmUnits : 0;
}
BENCHMARK(BM_WorkMeterCompositeGather)
    ->Args({1000, -1})
    ->Args({20, 3})
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

}  // namespace
