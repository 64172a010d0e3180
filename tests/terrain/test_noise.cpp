#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "terrain/uNoise.h"

// Expected values come from an independent single-precision model of the
// generator (every intermediate rounded to float), not from this code.

TEST(NoiseSeed, PermutationForAFixedSeed)
{
    const TNoiseGenerator Gen(12345);
    const uint8_t First[16] = {233, 27, 199, 169, 127, 26,  78, 249,
                               205, 85, 132, 246, 230, 183, 30, 96};
    const auto& Perm = Gen.GetPerm();
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(Perm[i], First[i]) << "index " << i;
    bool Seen[256] = {};
    for (int i = 0; i < 256; ++i) {
        EXPECT_FALSE(Seen[Perm[i]]) << "value " << int(Perm[i]) << " appears twice";
        Seen[Perm[i]] = true;
        EXPECT_EQ(Perm[i + 256], Perm[i]);
    }
    EXPECT_EQ(Gen.GetSeed(), 12345);
}

TEST(NoiseSeed, ZeroSeedUsesTheDeadBeefState)
{
    const TNoiseGenerator Zero(0);
    const TNoiseGenerator Beef(static_cast<int32_t>(0xDEADBEEFu));
    EXPECT_EQ(Zero.GetPerm(), Beef.GetPerm());
    const uint8_t First[8] = {130, 153, 238, 25, 233, 116, 165, 135};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Zero.GetPerm()[i], First[i]);
    // A signed modulo slip shows up at once for a seed whose state goes negative.
    const uint8_t SeedOne[8] = {126, 174, 92, 239, 163, 141, 221, 157};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(TNoiseGenerator(1).GetPerm()[i], SeedOne[i]);
}

TEST(NoiseSeed, ReseedingRegeneratesTheSameValues)
{
    TNoiseGenerator A(4711), B(99);
    B.Seed(4711);
    EXPECT_EQ(A.GetPerm(), B.GetPerm());
    for (float x = -5.3f; x < 5.0f; x += 0.77f)
        EXPECT_EQ(A.Fbm2D(x, x * 0.3f, 6, 2.0f, 0.5f), B.Fbm2D(x, x * 0.3f, 6, 2.0f, 0.5f));
}

TEST(Perlin, ValuesForAFixedSeed)
{
    const TNoiseGenerator Gen(12345);
    struct Case {
        float X, Y, Expected;
    };
    const Case Cases[] = {
        {1.25f, 2.75f, -0.0536842346f},
        {-3.7f, 10.1f, -0.0601969436f},
        {100.3f, -0.2f, 0.236413717f},
        {0.37f, 0.81f, -0.349360257f},
    };
    for (const Case& c : Cases)
        EXPECT_EQ(Gen.Perlin2D(c.X, c.Y), c.Expected) << c.X << "," << c.Y;
    EXPECT_EQ(Gen.Perlin3D(0.3f, 1.6f, -2.2f), -0.479493141f);
    EXPECT_EQ(Gen.Perlin3D(5.5f, 0.25f, 7.75f), 0.439775944f);
}

TEST(Perlin, ZeroOnTheLattice)
{
    const TNoiseGenerator Gen(2024);
    for (int x = -300; x <= 300; x += 37)
        for (int y = -260; y <= 260; y += 53) {
            EXPECT_EQ(Gen.Perlin2D(float(x), float(y)), 0.0f);
            EXPECT_EQ(Gen.Perlin3D(float(x), float(y), float(x - y)), 0.0f);
        }
}

TEST(Perlin, NonFiniteCoordinatesGiveZero)
{
    const TNoiseGenerator Gen(7);
    const float Inf = std::numeric_limits<float>::infinity();
    const float NaN = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(Gen.Perlin2D(NaN, 0.5f), 0.0f);
    EXPECT_EQ(Gen.Perlin2D(0.5f, -Inf), 0.0f);
    EXPECT_EQ(Gen.Perlin3D(0.5f, 0.5f, Inf), 0.0f);
    EXPECT_EQ(Gen.Fbm2D(Inf, Inf, 4, 2.0f, 0.5f), 0.5f);
    // Far beyond the integer range the value stays defined and bounded.
    const float Far = Gen.Perlin2D(3e30f, 0.25f);
    EXPECT_TRUE(std::isfinite(Far));
    EXPECT_LE(std::fabs(Far), 1.0f);
}

TEST(Fractal, ValuesForAFixedSeed)
{
    const TNoiseGenerator Gen(12345);
    EXPECT_EQ(Gen.Fbm2D(0.37f, 0.81f, 4, 2.0f, 0.5f), 0.316977948f);
    EXPECT_EQ(Gen.Fbm3D(0.37f, 0.81f, 0.5f, 4, 2.0f, 0.5f), 0.528735459f);
    EXPECT_EQ(Gen.Ridged2D(0.37f, 0.81f, 4, 2.0f, 0.5f, 1.0f), 0.396838248f);
    EXPECT_EQ(Gen.Multifractal2D(0.37f, 0.81f, 4, 2.0f, 0.5f, 0.5f), 0.283970922f);
}

TEST(Fractal, OctavesAreClampedToOneThroughTwelve)
{
    const TNoiseGenerator Gen(31337);
    for (float x = 0.13f; x < 4.0f; x += 0.61f) {
        const float y = 1.7f - x;
        EXPECT_EQ(Gen.Fbm2D(x, y, 0, 2.0f, 0.5f), Gen.Perlin2D(x, y) * 0.5f + 0.5f);
        EXPECT_EQ(Gen.Fbm2D(x, y, -3, 2.0f, 0.5f), Gen.Fbm2D(x, y, 1, 2.0f, 0.5f));
        EXPECT_EQ(Gen.Fbm2D(x, y, 20, 2.0f, 0.5f), Gen.Fbm2D(x, y, 12, 2.0f, 0.5f));
        EXPECT_EQ(Gen.Ridged2D(x, y, 20, 2.0f, 0.5f, 1.0f),
                  Gen.Ridged2D(x, y, 12, 2.0f, 0.5f, 1.0f));
        EXPECT_EQ(Gen.Multifractal2D(x, y, 0, 2.0f, 0.5f, 0.5f),
                  Gen.Multifractal2D(x, y, 1, 2.0f, 0.5f, 0.5f));
    }
}

TEST(Fractal, EdgeValues)
{
    const TNoiseGenerator Gen(5);
    // On the lattice every octave of the noise is 0, so each ridge is at its peak.
    for (int Octaves : {1, 4, 12})
        EXPECT_EQ(Gen.Ridged2D(3.0f, -2.0f, Octaves, 2.0f, 0.5f, 1.0f), 1.0f);
    // Amplitudes 1 and -1 sum to zero: fBm falls back to mid-grey, ridged to 0.
    EXPECT_EQ(Gen.Fbm2D(0.3f, 0.4f, 2, 2.0f, -1.0f), 0.5f);
    EXPECT_EQ(Gen.Ridged2D(0.3f, 0.4f, 2, 2.0f, -1.0f, 1.0f), 0.0f);
    EXPECT_EQ(Gen.Multifractal2D(2.0f, 2.0f, 4, 2.0f, 0.5f, 0.0f), 0.0f);
    for (float x = -2.0f; x < 2.0f; x += 0.31f) {
        const float r = Gen.Ridged2D(x, x * 1.3f, 8, 2.0f, 0.5f, 1.0f);
        const float m = Gen.Multifractal2D(x, x * 1.3f, 8, 2.0f, 0.5f, 0.5f);
        EXPECT_GE(r, 0.0f);
        EXPECT_LE(r, 1.0f);
        EXPECT_GE(m, 0.0f);
        EXPECT_LE(m, 1.0f);
    }
}

TEST(NoiseParams, Defaults)
{
    TNoiseParams P;
    P.Algorithm = 2;
    P.Scale = 9.0f;
    P.Octaves = 1;
    InitDefaultNoiseParams(P);
    EXPECT_EQ(P.Algorithm, 0);
    EXPECT_EQ(P.Shape, 0);
    EXPECT_EQ(P.Dimensions, 0);
    EXPECT_EQ(P.Scale, 1.0f);
    EXPECT_EQ(P.Seed, 12345);
    EXPECT_EQ(P.Octaves, 4);
    EXPECT_EQ(P.Lacunarity, 2.0f);
    EXPECT_EQ(P.Persistence, 0.5f);
}
