// Our fBm beside libnoise's Perlin module, like for like: the same sample coordinates and
// count, 8 octaves, frequency 1, lacunarity 2, persistence 0.5, and libnoise's
// QUALITY_BEST, whose quintic fade is the one our gradient noise uses. Each iteration
// fills the same float array once with each, in turn, so both see the same machine load;
// "ratio" is our time over libnoise's, "cpu_ratio" the same in processor time (which a
// busy machine's waits for a processor leave out).
//
// libnoise has 3D noise only, so the 2D map (our Fbm2D) is set beside libnoise on the
// plane z = 0. The 3D map is the terrain's 3D mode (Fbm3D on the plane z = 0.5), the
// volume a 128 x 128 x 128 block of Fbm3D across four noise units on each axis, twice the
// samples of a map.
#ifdef QUILL_HAVE_LIBNOISE

#include "bench/uPairedTiming.h"
#include "terrain/uNoise.h"

#include <benchmark/benchmark.h>
#include <noise.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <vector>

namespace {

constexpr int kOctaves = 8;
constexpr float kLacunarity = 2.0f;
constexpr float kPersistence = 0.5f;
constexpr int32_t kSeed = 12345;

// The sample grid: Side x Side x Depth points spanning 0..Scale on each axis (Depth 1
// is the plane z = Z0).
struct TGrid {
    int Side;
    int Depth;
    float Scale;
    float Z0;

    float At(int I, int Count) const
    {
        return Count > 1 ? Scale * static_cast<float>(I) / static_cast<float>(Count - 1) : 0.0f;
    }
};

template <class Sample>
void Fill(const TGrid& G, std::vector<float>& Out, Sample&& Value)
{
    size_t i = 0;
    for (int z = 0; z < G.Depth; ++z) {
        const float nz = G.Depth > 1 ? G.At(z, G.Depth) : G.Z0;
        for (int y = 0; y < G.Side; ++y) {
            const float ny = G.At(y, G.Side);
            for (int x = 0; x < G.Side; ++x)
                Out[i++] = Value(G.At(x, G.Side), ny, nz);
        }
    }
}

enum TOurs { oFbm2D, oFbm3D };

void BM_FbmAgainstLibnoise(benchmark::State& State, TOurs Ours, TGrid Grid)
{
    const TNoiseGenerator gen(kSeed);
    noise::module::Perlin perlin;
    perlin.SetFrequency(1.0);
    perlin.SetLacunarity(kLacunarity);
    perlin.SetPersistence(kPersistence);
    perlin.SetOctaveCount(kOctaves);
    perlin.SetNoiseQuality(noise::QUALITY_BEST);
    perlin.SetSeed(kSeed);
    std::vector<float> values(size_t(Grid.Side) * size_t(Grid.Side) * size_t(Grid.Depth));

    TimeAgainstPeer(
        State, CLOCK_THREAD_CPUTIME_ID,
        [&] {
            if (Ours == oFbm2D)
                Fill(Grid, values, [&](float X, float Y, float) {
                    return gen.Fbm2D(X, Y, kOctaves, kLacunarity, kPersistence);
                });
            else
                Fill(Grid, values, [&](float X, float Y, float Z) {
                    return gen.Fbm3D(X, Y, Z, kOctaves, kLacunarity, kPersistence);
                });
            benchmark::DoNotOptimize(values.data());
        },
        [&] {
            Fill(Grid, values, [&](float X, float Y, float Z) {
                return static_cast<float>(perlin.GetValue(X, Y, Z));
            });
            benchmark::DoNotOptimize(values.data());
        });
    State.counters["samples"] = double(values.size());
}

// The terrain window's default scale: one noise unit across the map.
constexpr float kMapScale = 1.0f;

BENCHMARK_CAPTURE(BM_FbmAgainstLibnoise, Map2D_1024, oFbm2D, TGrid{1024, 1, kMapScale, 0.0f})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_FbmAgainstLibnoise, Map3D_1024, oFbm3D, TGrid{1024, 1, kMapScale, 0.5f})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_FbmAgainstLibnoise, Volume3D_128, oFbm3D, TGrid{128, 128, 4.0f, 0.0f})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

#endif
