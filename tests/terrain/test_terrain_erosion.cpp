#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "terrain/uHeightmap.h"
#include "terrain/uNoise.h"
#include "terrain/uTerrainErosion.h"
#include "terrain/uTerrainOps.h"
#include "tests/terrain/uErodeReference.h"

// The erosion searches each window through kept column minima and splits the
// rows between workers; whatever the map, the result must be the plain scan's
// to the bit.

namespace {

enum class TSurface { Noise, Random, Steps, Tiny, NonFinite };

struct TErosionCase {
    int Resolution;
    int Radius;
    int Iterations;
    float Amount;
    TSurface Surface;
    uint32_t Seed;
};

std::string SurfaceName(TSurface s)
{
    switch (s) {
    case TSurface::Noise:
        return "Noise";
    case TSurface::Random:
        return "Random";
    case TSurface::Steps:
        return "Steps";
    case TSurface::Tiny:
        return "Tiny";
    case TSurface::NonFinite:
        return "NonFinite";
    }
    return "?";
}

void FillSurface(THeightmap& Map, TSurface Surface, uint32_t Seed)
{
    std::mt19937 Rng(Seed);
    std::uniform_real_distribution<float> Unit(0.0f, 1.0f);
    float* H = Map.Data();
    const int Count = Map.CellCount();
    switch (Surface) {
    case TSurface::Noise: {
        TNoiseParams P;
        InitDefaultNoiseParams(P);
        P.Seed = static_cast<int>(Seed);
        GenerateNoiseTerrain(&Map, P);
        break;
    }
    case TSurface::Random:
        for (int i = 0; i < Count; ++i)
            H[i] = Unit(Rng);
        break;
    case TSurface::Steps:
        // Few levels: many equal drops, so the scan-order tie rule decides.
        for (int i = 0; i < Count; ++i)
            H[i] = static_cast<float>(Rng() % 4) / 3.0f;
        break;
    case TSurface::Tiny:
        // Heights that differ by less than the rounding of 1 - h: different lowest
        // cells whose drops round to the same float.
        for (int i = 0; i < Count; ++i)
            H[i] = Rng() % 3 == 0 ? 1.0f : static_cast<float>(Rng() % 8) * 1e-9f;
        break;
    case TSurface::NonFinite:
        for (int i = 0; i < Count; ++i) {
            const uint32_t r = Rng() % 40;
            H[i] = r == 0   ? std::numeric_limits<float>::quiet_NaN()
                   : r == 1 ? std::numeric_limits<float>::infinity()
                   : r == 2 ? -std::numeric_limits<float>::infinity()
                            : Unit(Rng);
        }
        break;
    }
}

class TErosionOracle : public testing::TestWithParam<TErosionCase> {};

TEST_P(TErosionOracle, MatchesThePlainScanBitForBit)
{
    const TErosionCase& Case = GetParam();
    THeightmap Fast(Case.Resolution);
    FillSurface(Fast, Case.Surface, Case.Seed);
    THeightmap Plain(Case.Resolution);
    std::memcpy(Plain.Data(), Fast.Data(), sizeof(float) * static_cast<size_t>(Fast.CellCount()));

    ErodeTerrain(&Fast, Case.Iterations, Case.Radius, Case.Amount);
    ReferenceErodeTerrain(&Plain, Case.Iterations, Case.Radius, Case.Amount);

    ASSERT_EQ(std::memcmp(Fast.Data(), Plain.Data(),
                          sizeof(float) * static_cast<size_t>(Fast.CellCount())),
              0);
    EXPECT_EQ(Fast.GetMinHeight(), Plain.GetMinHeight());
    EXPECT_EQ(Fast.GetMaxHeight(), Plain.GetMaxHeight());
}

std::vector<TErosionCase> ErosionCases()
{
    std::vector<TErosionCase> Cases;
    uint32_t Seed = 1;
    // Small maps, shorter than the window: every cell is an edge cell.
    for (const int n : {2, 4, 8})
        for (const int r : {1, 3, 6})
            Cases.push_back({n, r, 7, 0.5f, TSurface::Random, Seed++});
    // Every radius and surface on maps that one worker and several workers take.
    for (const int n : {16, 64, 128})
        for (int r = 1; r <= 6; ++r)
            for (const TSurface s : {TSurface::Noise, TSurface::Random, TSurface::Steps,
                                     TSurface::Tiny, TSurface::NonFinite})
                Cases.push_back({n, r, n >= 128 ? 3 : 6, r % 2 ? 0.3f : 1.0f, s, Seed++});
    // Amounts at and beyond the caps, and the window's own settings.
    Cases.push_back({64, 2, 5, 7.0f, TSurface::Noise, Seed++});
    Cases.push_back({64, 9, 5, 0.01f, TSurface::Random, Seed++});
    Cases.push_back({256, 2, 4, 0.3f, TSurface::Noise, Seed++});
    Cases.push_back({256, 6, 2, 0.3f, TSurface::Noise, Seed++});
    return Cases;
}

INSTANTIATE_TEST_SUITE_P(Table, TErosionOracle, testing::ValuesIn(ErosionCases()),
                         [](const testing::TestParamInfo<TErosionCase>& Info) {
                             const TErosionCase& c = Info.param;
                             return "n" + std::to_string(c.Resolution) + "_r" +
                                    std::to_string(c.Radius) + "_" + SurfaceName(c.Surface) + "_" +
                                    std::to_string(Info.index);
                         });

// Told how far it is, the erosion gives the same map; stopped, it leaves the map as it
// was before it started, normalisation included, on one worker and on several.
TEST(TerrainErosionProgress, ReportsEveryIterationAndAStopLeavesTheMapAsItWas)
{
    for (const int n : {16, 128}) {
        SCOPED_TRACE(n);
        THeightmap Map(n);
        FillSurface(Map, TSurface::Random, 77);
        for (int i = 0; i < Map.CellCount(); ++i)
            Map.Data()[i] = Map.Data()[i] * 3.0f - 1.0f;  // not normalised yet
        Map.UpdateMinMax();
        const std::vector<float> Start(Map.Data(), Map.Data() + Map.CellCount());

        std::vector<int> Seen;
        THeightmap Plain(n);
        std::copy(Start.begin(), Start.end(), Plain.Data());
        EXPECT_TRUE(ErodeTerrain(&Map, 6, 3, 0.4f, [&](int Done, int Total) {
            EXPECT_EQ(Total, 6);
            Seen.push_back(Done);
            return true;
        }));
        ReferenceErodeTerrain(&Plain, 6, 3, 0.4f);
        EXPECT_EQ(Seen, (std::vector<int>{1, 2, 3, 4, 5}));
        EXPECT_EQ(std::memcmp(Map.Data(), Plain.Data(), sizeof(float) * Start.size()), 0);

        std::copy(Start.begin(), Start.end(), Map.Data());
        Map.UpdateMinMax();
        const float Min = Map.GetMinHeight(), Max = Map.GetMaxHeight();
        EXPECT_FALSE(ErodeTerrain(&Map, 6, 3, 0.4f, [](int Done, int) { return Done < 2; }));
        EXPECT_EQ(std::memcmp(Map.Data(), Start.data(), sizeof(float) * Start.size()), 0);
        EXPECT_EQ(Map.GetMinHeight(), Min);
        EXPECT_EQ(Map.GetMaxHeight(), Max);

        EXPECT_THROW(ErodeTerrain(&Map, 6, 3, 0.4f,
                                  [](int Done, int) -> bool {
                                      if (Done == 3)
                                          throw std::runtime_error("stop");
                                      return true;
                                  }),
                     std::runtime_error);
        EXPECT_EQ(std::memcmp(Map.Data(), Start.data(), sizeof(float) * Start.size()), 0);
    }
}

// A process or thread limit refuses a worker thread: the erosion goes on with the
// workers that did start, or on the calling thread alone, and gives the plain scan's map.
TEST(TerrainErosionThreads, AWorkerThatCannotStartLeavesTheSameResult)
{
    for (const int Radius : {2, 5}) {
        for (int Refused = 0; Refused < 3; ++Refused) {
            SCOPED_TRACE("radius " + std::to_string(Radius) + ", start " + std::to_string(Refused) +
                         " refused");
            THeightmap Map(128);
            FillSurface(Map, TSurface::Noise, 31);
            THeightmap Plain(128);
            std::copy(Map.Data(), Map.Data() + Map.CellCount(), Plain.Data());

            int Starts = 0;
            const TErosionThreadStart Start = [&](std::function<void()> Body) {
                if (Starts++ == Refused)
                    throw std::system_error(
                        std::make_error_code(std::errc::resource_unavailable_try_again),
                        "thread limit");
                return std::thread(std::move(Body));
            };
            EXPECT_TRUE(ErodeTerrain(&Map, 5, Radius, 0.6f, {}, Start));
            ReferenceErodeTerrain(&Plain, 5, Radius, 0.6f);
            EXPECT_EQ(std::memcmp(Map.Data(), Plain.Data(), sizeof(float) * Map.CellCount()), 0);
            EXPECT_EQ(Map.GetMaxHeight(), Plain.GetMaxHeight());
        }
    }
}

}  // namespace
