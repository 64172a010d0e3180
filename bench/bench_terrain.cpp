#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "terrain/uHeightmap.h"
#include "terrain/uNoise.h"
#include "terrain/uTerrainOps.h"

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

}  // namespace
