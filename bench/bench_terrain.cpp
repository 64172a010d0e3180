#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "terrain/uHeightmap.h"
#include "terrain/uNoise.h"
#include "terrain/uTerrainMesh.h"
#include "terrain/uTerrainOps.h"
#include "terrain/uTerrainPainting.h"
#include "tests/terrain/uErodeReference.h"

#ifdef QUILL_HAVE_LIBNOISE
#include <noise.h>
#endif

namespace {

constexpr int GridSize = 1024;
constexpr int Octaves = 8;

TNoiseParams FbmParams()
{
    TNoiseParams P;
    InitDefaultNoiseParams(P);
    P.Octaves = Octaves;
    return P;
}

// A whole 1024 x 1024 map of 8-octave fBm, normalised, as the terrain window makes it.
void BM_GenerateFbm1024(benchmark::State& State)
{
    THeightmap Map(GridSize);
    const TNoiseParams P = FbmParams();
    for (auto _ : State) {
        GenerateNoiseTerrain(&Map, P);
        benchmark::DoNotOptimize(Map.Data());
    }
    State.SetItemsProcessed(State.iterations() * Map.CellCount());
}
BENCHMARK(BM_GenerateFbm1024)->Unit(benchmark::kMillisecond);

#ifdef QUILL_HAVE_LIBNOISE
// The same grid and octave count through libnoise's Perlin module.
void BM_LibnoisePerlin1024(benchmark::State& State)
{
    noise::module::Perlin Perlin;
    Perlin.SetOctaveCount(Octaves);
    Perlin.SetFrequency(1.0);
    Perlin.SetLacunarity(2.0);
    Perlin.SetPersistence(0.5);
    Perlin.SetSeed(12345);
    std::vector<float> Heights(static_cast<size_t>(GridSize) * GridSize);
    const float Scale = FbmParams().Scale;
    for (auto _ : State) {
        for (int y = 0; y < GridSize; ++y) {
            const float ny = Scale * static_cast<float>(y) / (GridSize - 1);
            for (int x = 0; x < GridSize; ++x) {
                const float nx = Scale * static_cast<float>(x) / (GridSize - 1);
                Heights[static_cast<size_t>(x) + static_cast<size_t>(y) * GridSize] =
                    static_cast<float>(Perlin.GetValue(nx, ny, 0.0));
            }
        }
        benchmark::DoNotOptimize(Heights.data());
    }
    State.SetItemsProcessed(State.iterations() * static_cast<int64_t>(Heights.size()));
}
BENCHMARK(BM_LibnoisePerlin1024)->Unit(benchmark::kMillisecond);
#endif

// Ten thermal-erosion passes (radius 2, amount 0.3) over a 1024 x 1024 noise map.
void BM_ThermalErosion10Passes1024(benchmark::State& State)
{
    THeightmap Source(GridSize);
    GenerateNoiseTerrain(&Source, FbmParams());
    THeightmap Map(GridSize);
    for (auto _ : State) {
        State.PauseTiming();
        std::copy(Source.Data(), Source.Data() + Source.CellCount(), Map.Data());
        State.ResumeTiming();
        ErodeTerrain(&Map, 10, 2, 0.3f);
        benchmark::DoNotOptimize(Map.Data());
    }
}
BENCHMARK(BM_ThermalErosion10Passes1024)->Unit(benchmark::kMillisecond);

// "Erode (global)" as the terrain window runs it on a 512 x 512 map: 200 iterations,
// amount 0.3, at the erosion radius given. "Plain" is the first-written scan that tests
// every neighbour of every cell, the peer the library's erosion is measured against
// (and must match bit for bit). cold_ms is the first erosion on a freshly made map,
// ms the mean of the timed runs on a map reused between them.
constexpr int ErodeGrid = 512;
constexpr int ErodeIterations = 200;

template <bool Plain>
void BM_ErodeGlobal512(benchmark::State& State)
{
    using Clock = std::chrono::steady_clock;
    const int Radius = static_cast<int>(State.range(0));
    const auto Erode = [&](THeightmap& Map) {
        if constexpr (Plain)
            ReferenceErodeTerrain(&Map, ErodeIterations, Radius, 0.3f);
        else
            ErodeTerrain(&Map, ErodeIterations, Radius, 0.3f);
    };
    TNoiseParams P = FbmParams();
    P.Algorithm = 1;  // the window's default, ridged
    THeightmap Source(ErodeGrid);
    GenerateNoiseTerrain(&Source, P);

    double ColdMs = 0;
    {
        auto Fresh = std::make_unique<THeightmap>(ErodeGrid);
        std::copy(Source.Data(), Source.Data() + Source.CellCount(), Fresh->Data());
        const Clock::time_point T0 = Clock::now();
        Erode(*Fresh);
        ColdMs = std::chrono::duration<double, std::milli>(Clock::now() - T0).count();
        benchmark::DoNotOptimize(Fresh->Data());
    }
    THeightmap Map(ErodeGrid);
    double WarmMs = 0;
    for (auto _ : State) {
        State.PauseTiming();
        std::copy(Source.Data(), Source.Data() + Source.CellCount(), Map.Data());
        State.ResumeTiming();
        const Clock::time_point T0 = Clock::now();
        Erode(Map);
        WarmMs += std::chrono::duration<double, std::milli>(Clock::now() - T0).count();
        benchmark::DoNotOptimize(Map.Data());
    }
    State.counters["ms"] = WarmMs / static_cast<double>(State.iterations());
    State.counters["cold_ms"] = ColdMs;
}
void BM_ErodeGlobal512Fast(benchmark::State& State)
{
    BM_ErodeGlobal512<false>(State);
}
void BM_ErodeGlobal512Plain(benchmark::State& State)
{
    BM_ErodeGlobal512<true>(State);
}
BENCHMARK(BM_ErodeGlobal512Fast)->Arg(2)->Arg(6)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ErodeGlobal512Plain)
    ->Arg(2)
    ->Arg(6)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One dab of a radius-64 brush (129 x 129 kernel) in each mode: 0 raise .. 3 erode.
void BM_BrushDabRadius64(benchmark::State& State)
{
    THeightmap Map(GridSize);
    GenerateNoiseTerrain(&Map, FbmParams());
    const TBrushKernel Kernel(129, 0.5f);
    const int Mode = static_cast<int>(State.range(0));
    bool Invert = false;
    for (auto _ : State) {
        // Alternating the direction keeps raise and lower from saturating.
        ApplyBrush(&Map, GridSize / 2, GridSize / 2, Invert, 0.6f, Mode, &Kernel);
        Invert = !Invert;
        benchmark::DoNotOptimize(Map.Data());
    }
}
BENCHMARK(BM_BrushDabRadius64)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// One brush stroke as the terrain window paints it on a 512 x 512 map: 20 dabs of the
// default brush (a quarter of the map wide, 129 x 129) along a diagonal, each followed by
// what brings the window and the scene up to date: the preview pixels of the dab and the
// terrain mesh. "Region" updates only the dab's vertices (what the window does); "Full"
// rebuilds the whole mesh after every dab, the peer it is measured against. The first
// stroke on fresh buffers is reported apart as cold_ms_per_dab.
constexpr int StrokeGrid = 512;
constexpr int StrokeDabs = 20;

template <bool Region>
void BM_BrushStroke512(benchmark::State& State)
{
    using Clock = std::chrono::steady_clock;
    THeightmap Map(StrokeGrid);
    GenerateNoiseTerrain(&Map, FbmParams());
    const std::vector<float> Start(Map.Data(), Map.Data() + Map.CellCount());
    const TBrushKernel Kernel(BrushKernelSizeFor(StrokeGrid, 0.25f), 0.5f);
    std::vector<uint32_t> Preview(PreviewPixels * PreviewPixels);
    TMeshData Mesh;
    std::vector<TGridCell> Dabs;
    StrokeDabCells({40, 60}, {40 + 19 * 16, 60 + 19 * 16}, 4 * 16, Dabs);  // spacing 16: 20 dabs
    Dabs.resize(StrokeDabs);

    const auto Stroke = [&] {
        for (const TGridCell& d : Dabs) {
            ApplyBrush(&Map, d.X, d.Y, false, 0.6f, bmRaise, &Kernel);
            const TGridRect Cells = DabCells(d, Kernel.GetRadius(), StrokeGrid);
            RenderHeightPreview(Map, false, Cells, Preview.data(), PreviewPixels * 4);
            if (!Region || !UpdateTerrainMeshRegion(Mesh, Map, 4.0f, 0.6f, Cells))
                BuildTerrainMesh(&Mesh, &Map, 4.0f, 0.6f);
        }
    };
    // The cold stroke: the mesh and the preview written for the first time.
    const Clock::time_point ColdStart = Clock::now();
    BuildTerrainMesh(&Mesh, &Map, 4.0f, 0.6f);
    RenderHeightPreview(Map, false, TGridRect{0, 0, StrokeGrid - 1, StrokeGrid - 1}, Preview.data(),
                        PreviewPixels * 4);
    Stroke();
    const double ColdMs =
        std::chrono::duration<double, std::milli>(Clock::now() - ColdStart).count() / StrokeDabs;

    double WarmMs = 0;
    for (auto _ : State) {
        State.PauseTiming();
        std::copy(Start.begin(), Start.end(), Map.Data());
        BuildTerrainMesh(&Mesh, &Map, 4.0f, 0.6f);
        State.ResumeTiming();
        const Clock::time_point T0 = Clock::now();
        Stroke();
        WarmMs += std::chrono::duration<double, std::milli>(Clock::now() - T0).count();
        benchmark::DoNotOptimize(Mesh.Vertices.data());
        benchmark::DoNotOptimize(Preview.data());
    }
    State.counters["ms_per_dab"] = WarmMs / (static_cast<double>(State.iterations()) * StrokeDabs);
    State.counters["cold_ms_per_dab"] = ColdMs;
}
void BM_BrushStroke512Region(benchmark::State& State)
{
    BM_BrushStroke512<true>(State);
}
void BM_BrushStroke512Full(benchmark::State& State)
{
    BM_BrushStroke512<false>(State);
}
BENCHMARK(BM_BrushStroke512Region)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BrushStroke512Full)->Unit(benchmark::kMillisecond);

// What one push of the stroke costs the scene on top of the mesh update: the terrain
// object's mesh marked changed and evaluated again, as the next paint of the views does.
// The window pushes at most every 45 ms while painting, so this is paid per push, not per
// dab.
void BM_TerrainObjectPush512(benchmark::State& State)
{
    TScene Scene;
    TSceneObject* Object = Scene.AddPrimitive(ptTerrain);
    auto Map = std::make_unique<THeightmap>(StrokeGrid);
    GenerateNoiseTerrain(Map.get(), FbmParams());
    Object->SetHeightmap(std::move(Map));
    Object->RebuildTerrainMesh();
    benchmark::DoNotOptimize(Object->GetEvaluatedMesh());
    const TBrushKernel Kernel(BrushKernelSizeFor(StrokeGrid, 0.25f), 0.5f);
    bool Invert = false;
    for (auto _ : State) {
        ApplyBrush(Object->GetHeightmap(), 200, 200, Invert, 0.6f, bmRaise, &Kernel);
        Invert = !Invert;
        UpdateTerrainMeshRegion(*Object->GetBaseMesh(), *Object->GetHeightmap(),
                                Object->TerrainSize, Object->TerrainHeight,
                                DabCells({200, 200}, Kernel.GetRadius(), StrokeGrid));
        Object->MarkMeshDirty();
        benchmark::DoNotOptimize(Object->GetEvaluatedMesh());
    }
}
BENCHMARK(BM_TerrainObjectPush512)->Unit(benchmark::kMillisecond);

// A one-second stroke on a 512 x 512 terrain as the window paints it: 100 mouse moves
// 10 ms apart along the diagonal, each dabbing the default brush (129 x 129) from the
// last cell to the new one and colouring the preview, the mesh brought up to date and
// evaluated again at most every 45 ms. Timed is only what is left when the button is
// let go: "Rebuild" makes the whole mesh again from the map (as the window first did),
// "Region" brings over the cells painted since the last push and recolours the
// vertices, which gives the same mesh. release_ms is the mean over the timed strokes,
// cold_release_ms the first stroke's on a freshly made object; stroke_ms what the
// moves themselves cost, for scale.
constexpr int StrokeMoves = 100;
constexpr uint64_t MoveIntervalMs = 10;
constexpr uint64_t PushIntervalMs = 45;

template <bool Region>
void BM_StrokeRelease512(benchmark::State& State)
{
    using Clock = std::chrono::steady_clock;
    const auto MsSince = [](Clock::time_point T0) {
        return std::chrono::duration<double, std::milli>(Clock::now() - T0).count();
    };
    THeightmap Start(StrokeGrid);
    GenerateNoiseTerrain(&Start, FbmParams());
    const TBrushKernel Kernel(BrushKernelSizeFor(StrokeGrid, 0.25f), 0.5f);
    std::vector<uint32_t> Preview(PreviewPixels * PreviewPixels);

    const auto MakeTerrain = [&](TScene& Scene) {
        TSceneObject* Object = Scene.AddPrimitive(ptTerrain);
        Object->SetHeightmap(THeightmap::CreateFrom(&Start));
        Object->RebuildTerrainMesh();
        benchmark::DoNotOptimize(Object->GetEvaluatedMesh());
        return Object;
    };
    // The stroke up to the release; returns the cells not pushed yet.
    const auto Paint = [&](TSceneObject& Object) {
        THeightmap& Map = *Object.GetHeightmap();
        Map.BeginEdit();
        TGridRect Pending;
        uint64_t Now = 1000, LastPush = 0;
        TGridCell Last{60, 60};
        std::vector<TGridCell> Dabs;
        for (int m = 0; m <= StrokeMoves; ++m, Now += MoveIntervalMs) {
            const TGridCell Cell{60 + m * 39 / 10, 60 + m * 39 / 10};
            Dabs.clear();
            if (m == 0)
                Dabs.push_back(Cell);
            else
                StrokeDabCells(Last, Cell, Kernel.GetRadius(), Dabs);
            Last = Cell;
            for (const TGridCell& d : Dabs) {
                ApplyBrush(&Map, d.X, d.Y, false, 0.6f, bmRaise, &Kernel);
                const TGridRect Cells = DabCells(d, Kernel.GetRadius(), StrokeGrid);
                Pending.Include(Cells);
                RenderHeightPreview(Map, false, Cells, Preview.data(), PreviewPixels * 4);
            }
            if (LastPush == 0 || Now - LastPush >= PushIntervalMs) {
                LastPush = Now;
                UpdateTerrainMeshRegion(*Object.GetBaseMesh(), Map, Object.TerrainSize,
                                        Object.TerrainHeight, Pending);
                Object.MarkMeshDirty();
                benchmark::DoNotOptimize(Object.GetEvaluatedMesh());
                Pending = TGridRect{};
            }
        }
        return Pending;
    };
    const auto Release = [&](TSceneObject& Object, const TGridRect& Pending) {
        if constexpr (Region) {
            UpdateTerrainMeshRegion(*Object.GetBaseMesh(), *Object.GetHeightmap(),
                                    Object.TerrainSize, Object.TerrainHeight, Pending);
            Object.ApplyColorToVertices(Object.Color);
            Object.MarkMeshDirty();
        } else {
            Object.RebuildTerrainMesh();
        }
        benchmark::DoNotOptimize(Object.GetEvaluatedMesh());
    };

    double ColdMs = 0;
    {
        TScene Scene;
        TSceneObject* Object = MakeTerrain(Scene);
        const TGridRect Pending = Paint(*Object);
        const Clock::time_point T0 = Clock::now();
        Release(*Object, Pending);
        ColdMs = MsSince(T0);
    }
    TScene Scene;
    TSceneObject* Object = MakeTerrain(Scene);
    double ReleaseMs = 0, StrokeMs = 0;
    for (auto _ : State) {
        std::copy(Start.Data(), Start.Data() + Start.CellCount(), Object->GetHeightmap()->Data());
        Object->RebuildTerrainMesh();
        benchmark::DoNotOptimize(Object->GetEvaluatedMesh());
        Clock::time_point T0 = Clock::now();
        const TGridRect Pending = Paint(*Object);
        StrokeMs += MsSince(T0);
        T0 = Clock::now();
        Release(*Object, Pending);
        const double Ms = MsSince(T0);
        ReleaseMs += Ms;
        State.SetIterationTime(Ms / 1000.0);
    }
    const double Runs = static_cast<double>(State.iterations());
    State.counters["release_ms"] = ReleaseMs / Runs;
    State.counters["cold_release_ms"] = ColdMs;
    State.counters["stroke_ms"] = StrokeMs / Runs;
}
void BM_StrokeRelease512Region(benchmark::State& State)
{
    BM_StrokeRelease512<true>(State);
}
void BM_StrokeRelease512Rebuild(benchmark::State& State)
{
    BM_StrokeRelease512<false>(State);
}
BENCHMARK(BM_StrokeRelease512Region)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StrokeRelease512Rebuild)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace
