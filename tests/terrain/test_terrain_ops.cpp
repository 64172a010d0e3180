#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "terrain/uTerrainOps.h"

// Expected heights of the larger cases come from an independent
// single-precision model of the operations, not from this code.

namespace {

const float NaN = std::numeric_limits<float>::quiet_NaN();

std::vector<float> HeightsOf(const THeightmap& Map)
{
    return std::vector<float>(Map.Data(), Map.Data() + Map.CellCount());
}

void SetHeights(THeightmap& Map, const std::vector<float>& Values)
{
    ASSERT_EQ(static_cast<int>(Values.size()), Map.CellCount());
    std::copy(Values.begin(), Values.end(), Map.Data());
}

// A rough test surface: ((7x + 13y) mod 11) / 10.
void FillPattern(THeightmap& Map)
{
    const int n = Map.GetResolution();
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            Map.Put(x, y, float((x * 7 + y * 13) % 11) / 10.0f);
}

void ExpectHeights(const THeightmap& Map, const std::vector<float>& Expected)
{
    ASSERT_EQ(static_cast<int>(Expected.size()), Map.CellCount());
    const int n = Map.GetResolution();
    for (int i = 0; i < Map.CellCount(); ++i)
        EXPECT_EQ(Map.Data()[i], Expected[i]) << "at (" << i % n << "," << i / n << ")";
}

}  // namespace

TEST(BrushKernel, SizeRadiusAndWeights)
{
    struct Case {
        int Asked, Size;
    };
    for (const Case c :
         {Case{4, 5}, Case{300, 257}, Case{1, 3}, Case{-8, 3}, Case{256, 257}, Case{9, 9}}) {
        const TBrushKernel K(c.Asked, 0.5f);
        EXPECT_EQ(K.GetSize(), c.Size) << c.Asked;
        EXPECT_EQ(K.GetRadius(), c.Size / 2) << c.Asked;
        EXPECT_EQ(K.Weight(K.GetRadius(), K.GetRadius()), 1.0f);
        EXPECT_EQ(K.Weight(K.GetRadius(), 0), 0.0f);  // distance = radius
        EXPECT_EQ(K.Weight(0, 0), 0.0f);
    }
    const TBrushKernel Soft(5, 0.5f);
    EXPECT_EQ(Soft.Weight(2, 1), 0.199999958f);
    EXPECT_EQ(Soft.Weight(1, 1), 0.0938363075f);
    // Hardness outside 0..1 is clamped: 7 behaves as 1, a near-flat disc.
    const TBrushKernel Hard(5, 7.0f);
    EXPECT_GT(Hard.Weight(1, 1), 0.9999f);
    EXPECT_EQ(Hard.Weight(1, 1), TBrushKernel(5, 1.0f).Weight(1, 1));
    EXPECT_THROW(TBrushKernel(5, NaN), EArgumentError);
}

TEST(TerrainBrush, RaiseAndLowerAtASingleCell)
{
    const TBrushKernel Dot(3, 0.5f);  // only the centre has weight
    struct Case {
        int Mode;
        bool Invert;
        float Strength, Start, Expected;
    };
    const Case Cases[] = {
        {bmRaise, false, 1.0f, 0.5f, 0.5f + 0.08f},
        {bmRaise, true, 1.0f, 0.5f, 0.5f - 0.08f},
        {bmLower, false, 1.0f, 0.5f, 0.5f - 0.08f},
        {bmLower, true, 1.0f, 0.5f, 0.5f + 0.08f},
        {bmRaise, false, 0.5f, 0.5f, 0.5f + 0.04f},
        {bmRaise, false, 3.0f, 0.5f, 0.5f + 0.08f},  // strength capped at 1
        {bmRaise, false, 1.0f, 0.99f, 1.0f},         // clamped to 0..1
        {bmLower, false, 1.0f, 0.03f, 0.0f},
        {bmRaise, false, 0.0f, 0.5f, 0.5f},
        {bmRaise, false, -1.0f, 0.5f, 0.5f},
        {bmRaise, false, NaN, 0.5f, 0.5f},
    };
    for (const Case& c : Cases) {
        THeightmap Map(4);
        Map.Fill(c.Start);
        ApplyBrush(&Map, 1, 2, c.Invert, c.Strength, c.Mode, &Dot);
        EXPECT_EQ(Map.Get(1, 2), c.Expected) << "mode " << c.Mode << " strength " << c.Strength;
        EXPECT_EQ(Map.Get(2, 2), c.Start);  // neighbours have weight 0
    }
}

TEST(TerrainBrush, SmoothAndErodeAtASingleCell)
{
    const TBrushKernel Dot(3, 0.5f);
    THeightmap Map(4);
    Map.Fill(0.0f);
    Map.Put(1, 1, 0.9f);
    ApplyBrush(&Map, 1, 1, true, 1.0f, bmSmooth, &Dot);  // Invert does not matter here
    EXPECT_FLOAT_EQ(Map.Get(1, 1), 0.5f);                // 0.9 + (0.1 - 0.9) * 0.5

    Map.Fill(0.6f);
    Map.Put(1, 1, 0.9f);
    Map.Put(2, 2, 0.4f);
    ApplyBrush(&Map, 1, 1, true, 1.0f, bmErode, &Dot);
    EXPECT_FLOAT_EQ(Map.Get(1, 1), 0.6f);  // 0.9 + 0.6 * (0.4 - 0.9)
}

TEST(TerrainBrush, DabWritesImmediatelyInScanOrder)
{
    const TBrushKernel Kernel(5, 0.5f);
    auto Start = [] {
        THeightmap Map(8);
        Map.Fill(0.2f);
        Map.Put(2, 2, 0.9f);
        Map.Put(1, 1, 0.7f);
        return Map;
    };
    THeightmap Map = Start();
    ApplyBrush(&Map, 2, 2, false, 0.8f, bmSmooth, &Kernel);
    EXPECT_EQ(Map.Get(1, 1), 0.686237335f);
    EXPECT_EQ(Map.Get(2, 1), 0.210544333f);
    EXPECT_EQ(Map.Get(1, 2), 0.210638061f);  // reads the already smoothed (1,1)
    EXPECT_EQ(Map.Get(2, 2), 0.673794806f);
    EXPECT_EQ(Map.Get(3, 3), 0.202012226f);
    EXPECT_EQ(Map.Get(4, 2), 0.2f);  // distance 2 = radius: weight 0

    Map = Start();
    ApplyBrush(&Map, 2, 2, false, 0.8f, bmErode, &Kernel);
    EXPECT_EQ(Map.Get(1, 1), 0.677479267f);
    EXPECT_EQ(Map.Get(2, 2), 0.56400001f);
    EXPECT_EQ(Map.Get(3, 2), 0.2f);

    Map = Start();
    ApplyBrush(&Map, 1, 3, true, 0.6f, bmLower, &Kernel);
    EXPECT_EQ(Map.Get(2, 2), 0.90450412f);
    EXPECT_EQ(Map.Get(1, 2), 0.209600002f);
    EXPECT_EQ(Map.Get(1, 3), 0.247999996f);
    EXPECT_EQ(Map.Get(0, 2), 0.204504147f);
    EXPECT_EQ(Map.Get(1, 1), 0.7f);
}

TEST(TerrainBrush, DabAtTheCornerStaysInsideTheGrid)
{
    const TBrushKernel Kernel(5, 1.0f);
    THeightmap Map(4);
    Map.Fill(0.5f);
    ApplyBrush(&Map, 0, 0, false, 1.0f, bmRaise, &Kernel);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool Touched = x * x + y * y < 4;
            EXPECT_EQ(Map.Get(x, y) > 0.5f, Touched) << x << "," << y;
        }
    // Centred outside the grid, only the cells within the radius change.
    Map.Fill(0.5f);
    ApplyBrush(&Map, -1, 4, false, 1.0f, bmRaise, &Kernel);
    EXPECT_GT(Map.Get(0, 3), 0.5f);
    EXPECT_EQ(Map.Get(1, 3), 0.5f);
    EXPECT_EQ(Map.Get(0, 2), 0.5f);
    // Missing map or kernel: nothing happens.
    const std::vector<float> Before = HeightsOf(Map);
    ApplyBrush(nullptr, 0, 0, false, 1.0f, bmRaise, &Kernel);
    ApplyBrush(&Map, 0, 3, false, 1.0f, bmRaise, nullptr);
    EXPECT_EQ(HeightsOf(Map), Before);
}

TEST(TerrainBrush, InvalidModeIsAnArgumentError)
{
    const TBrushKernel Kernel(5, 0.5f);
    THeightmap Map(4);
    Map.Fill(0.5f);
    for (int Mode : {4, -1, 99}) {
        try {
            ApplyBrush(&Map, 1, 1, false, 1.0f, Mode, &Kernel);
            FAIL() << "mode " << Mode << " was accepted";
        } catch (const EArgumentError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Invalid brush mode " + std::to_string(Mode) +
                          " (must be 0 raise, 1 lower, 2 smooth or 3 erode)");
        }
    }
    EXPECT_EQ(HeightsOf(Map), std::vector<float>(16, 0.5f));
}

TEST(TerrainBrush, StrokeUndoAndRedo)
{
    const TBrushKernel Kernel(7, 0.3f);
    THeightmap Map(16);
    FillPattern(Map);
    const std::vector<float> Before = HeightsOf(Map);
    Map.BeginEdit();  // once per stroke
    for (int x = 2; x <= 12; x += 2)
        ApplyBrush(&Map, x, 6, false, 0.6f, bmRaise, &Kernel);
    ApplyBrush(&Map, 7, 6, false, 1.0f, bmSmooth, &Kernel);
    const std::vector<float> After = HeightsOf(Map);
    ASSERT_NE(After, Before);
    ASSERT_TRUE(Map.Undo());
    EXPECT_EQ(HeightsOf(Map), Before);
    EXPECT_FALSE(Map.CanUndo());
    ASSERT_TRUE(Map.Redo());
    EXPECT_EQ(HeightsOf(Map), After);
    EXPECT_TRUE(Map.CanUndo());
}

TEST(TerrainOps, RaiseAndLowerWholeMap)
{
    THeightmap Map(2);
    SetHeights(Map, {0.1f, 0.2f, 0.3f, 0.4f});
    Map.UpdateMinMax();
    RaiseTerrain(&Map, 0.05f);
    EXPECT_EQ(Map.Get(1, 1), 0.4f + 0.05f);
    EXPECT_EQ(Map.GetMinHeight(), 0.1f + 0.05f);
    LowerTerrain(&Map, 0.25f);
    EXPECT_EQ(Map.Get(1, 1), 0.4f + 0.05f - 0.25f);
    const std::vector<float> Now = HeightsOf(Map);
    RaiseTerrain(&Map, NaN);
    LowerTerrain(&Map, std::numeric_limits<float>::infinity());
    RaiseTerrain(nullptr, 1.0f);
    EXPECT_EQ(HeightsOf(Map), Now);
}

TEST(TerrainOps, SmoothIsASeparableBoxBlurWithClampedEdges)
{
    THeightmap Map(2);
    SetHeights(Map, {0.0f, 1.0f, 2.0f, 3.0f});
    Map.SetMinMax(-7.0f, 7.0f);
    SmoothTerrain(&Map, 1);
    EXPECT_FLOAT_EQ(Map.Get(0, 0), 1.0f);
    EXPECT_FLOAT_EQ(Map.Get(1, 0), 4.0f / 3.0f);
    EXPECT_FLOAT_EQ(Map.Get(0, 1), 5.0f / 3.0f);
    EXPECT_FLOAT_EQ(Map.Get(1, 1), 2.0f);
    EXPECT_EQ(Map.GetMinHeight(), -7.0f);  // cached extremes left as they were

    THeightmap Flat(8);
    Flat.Fill(0.5f);
    SmoothTerrain(&Flat, 1);
    EXPECT_EQ(HeightsOf(Flat), std::vector<float>(64, 0.5f));

    THeightmap A(32), B(32);
    FillPattern(A);
    FillPattern(B);
    const std::vector<float> Original = HeightsOf(A);
    SmoothTerrain(&A, 0);
    EXPECT_EQ(HeightsOf(A), Original);
    SmoothTerrain(&A, 9);
    SmoothTerrain(&B, 6);
    EXPECT_EQ(HeightsOf(A), HeightsOf(B));
}

TEST(TerrainOps, EdgeShapeMakesAnIsland)
{
    THeightmap Map(8);
    Map.Fill(0.3f);  // normalised first: a flat map becomes 0.5
    ApplyEdgeShape(&Map, 0.2f);
    const float a = 0.417517304f, b = 0.417517155f, c = 0.5f;
    // clang-format off
    ExpectHeights(Map, {0, 0, 0, 0, 0, 0, 0, 0,
                        0, 0, a, c, c, b, 0, 0,
                        0, a, c, c, c, c, a, 0,
                        0, c, c, c, c, c, c, 0,
                        0, c, c, c, c, c, c, 0,
                        0, b, c, c, c, c, b, 0,
                        0, 0, a, c, c, b, 0, 0,
                        0, 0, 0, 0, 0, 0, 0, 0});
    // clang-format on
    EXPECT_EQ(Map.GetMinHeight(), 0.0f);
    EXPECT_EQ(Map.GetMaxHeight(), 1.0f);

    // Falloff outside 0.01..1 is clamped; NaN leaves the map alone.
    THeightmap Tiny(8), Smallest(8);
    FillPattern(Tiny);
    FillPattern(Smallest);
    ApplyEdgeShape(&Tiny, -3.0f);
    ApplyEdgeShape(&Smallest, 0.01f);
    EXPECT_EQ(HeightsOf(Tiny), HeightsOf(Smallest));
    THeightmap Untouched(4);
    FillPattern(Untouched);
    const std::vector<float> Before = HeightsOf(Untouched);
    ApplyEdgeShape(&Untouched, NaN);
    EXPECT_EQ(HeightsOf(Untouched), Before);
}

TEST(TerrainOps, ErosionFollowsScanOrderAndTies)
{
    // (0,0) sheds half to (1,0), the first of three equal drops; (1,0) then
    // sheds to (0,1), and (0,1) to (1,1). Normalising maps 0.125..0.5 to 0..1.
    THeightmap Map(2);
    SetHeights(Map, {1.0f, 0.0f, 0.0f, 0.0f});
    ErodeTerrain(&Map, 1, 1, 1.0f);
    EXPECT_EQ(Map.Get(0, 0), 1.0f);
    EXPECT_FLOAT_EQ(Map.Get(1, 0), 1.0f / 3.0f);
    EXPECT_EQ(Map.Get(0, 1), 0.0f);
    EXPECT_EQ(Map.Get(1, 1), 0.0f);
}

TEST(TerrainOps, ErosionOverSeveralPasses)
{
    THeightmap Map(8);  // radius 2 reaches both the border and the inner cells
    FillPattern(Map);
    ErodeTerrain(&Map, 3, 2, 0.3f);
    // clang-format off
    ExpectHeights(Map, {
        0.0f, 0.37116012f, 0.0513668768f, 0.86541605f,
        0.262218535f, 0.0963591486f, 0.753548145f, 0.187451631f,
        0.0700354278f, 0.734858513f, 0.14958629f, 0.196949214f,
        0.623829544f, 0.151056617f, 0.216365397f, 0.467213213f,
        0.0989465192f, 0.169690996f, 0.453637779f, 0.198907912f,
        0.932624221f, 0.340900719f, 0.141881898f, 0.801937878f,
        0.341514528f, 0.177875921f, 0.795443296f, 0.177846447f,
        0.249380529f, 0.653224349f, 0.146834016f, 0.228178293f,
        0.633698642f, 0.161872581f, 0.231950268f, 0.486944616f,
        0.184733465f, 0.96442163f, 0.378206819f, 0.217990443f,
        0.95506084f, 0.36820522f, 0.212353006f, 0.821948349f,
        0.232247919f, 0.309202313f, 0.66910398f, 0.311759174f,
        0.208714128f, 0.676963627f, 0.234332353f, 0.247221455f,
        0.545965075f, 0.225790799f, 1.0f, 0.411348194f,
        0.235978574f, 0.999862552f, 0.41298914f, 0.28935343f,
        0.87312597f, 0.279736161f, 0.311082095f, 0.734307706f,
    });
    // clang-format on
}

TEST(TerrainOps, ErosionParameterLimits)
{
    THeightmap Flat(8);
    Flat.Fill(0.3f);
    ErodeTerrain(&Flat, 5, 2, 0.5f);
    EXPECT_EQ(HeightsOf(Flat), std::vector<float>(64, 0.5f));  // no drop, then normalised

    THeightmap Map(8);
    FillPattern(Map);
    const std::vector<float> Before = HeightsOf(Map);
    ErodeTerrain(&Map, 0, 2, 0.5f);
    ErodeTerrain(&Map, 3, 2, 0.0f);
    ErodeTerrain(&Map, 3, 2, NaN);
    ErodeTerrain(nullptr, 3, 2, 0.5f);
    EXPECT_EQ(HeightsOf(Map), Before);

    THeightmap A(8), B(8);
    FillPattern(A);
    FillPattern(B);
    ErodeTerrain(&A, 2, 40, 5.0f);
    ErodeTerrain(&B, 2, 6, 1.0f);
    EXPECT_EQ(HeightsOf(A), HeightsOf(B));
    EXPECT_EQ(A.GetMinHeight(), 0.0f);
    EXPECT_EQ(A.GetMaxHeight(), 1.0f);
}

TEST(TerrainGenerate, FourByFourMaps)
{
    struct Case {
        const char* Name;
        TNoiseParams Params;
        std::vector<float> Expected;
    };
    auto With = [](auto Change) {
        TNoiseParams P;
        InitDefaultNoiseParams(P);
        Change(P);
        return P;
    };
    const Case Cases[] = {
        {"default fBm",
         With([](TNoiseParams&) {}),
         {0.522951424f, 1.0f, 0.796435654f, 0.522951424f, 0.0459029078f, 0.47407636f, 0.815087557f,
          0.715009868f, 0.262743205f, 0.0f, 0.459292501f, 0.64951539f, 0.522951424f, 0.137949467f,
          0.472502977f, 0.522951424f}},
        {"ridged",
         With([](TNoiseParams& P) {
             P.Algorithm = 1;
             P.Scale = 2.5f;
             P.Seed = 777;
         }),
         {1.0f, 0.690560162f, 0.448542684f, 0.422778428f, 0.496673167f, 0.501578629f, 0.843819976f,
          0.448943585f, 0.326677382f, 0.597236574f, 0.236501515f, 0.788202643f, 0.422778428f,
          0.568039536f, 0.0f, 0.663287342f}},
        {"multifractal",
         With([](TNoiseParams& P) {
             P.Algorithm = 2;
             P.Seed = 42;
             P.Octaves = 6;
         }),
         {0.82701093f, 0.822001696f, 0.815775335f, 0.82701093f, 0.0f, 0.50487262f, 0.694451988f,
          0.762916088f, 0.0792624354f, 0.863456666f, 0.892286539f, 0.856576502f, 0.82701093f,
          0.965557992f, 1.0f, 0.82701093f}},
        {"3D fBm, smoothstep",
         With([](TNoiseParams& P) {
             P.Dimensions = 1;
             P.Shape = 2;
             P.Seed = -5;
         }),
         {0.0905940831f, 0.199976876f, 0.0f, 0.0905940831f, 0.988427699f, 0.642106295f, 1.0f,
          0.931946218f, 0.95242238f, 0.88685894f, 0.974470139f, 0.817008734f, 0.901861131f,
          0.774915457f, 0.789518952f, 0.901861131f}},
        {"fBm, step",
         With([](TNoiseParams& P) {
             P.Shape = 1;
             P.Seed = 99;
         }),
         {0.0772127807f, 0.0595574267f, 0.944915235f, 0.0772127807f, 1.0f, 0.0559420735f,
          0.0179575887f, 0.0320150554f, 0.940207183f, 0.93608886f, 0.0120201763f, 0.0f,
          0.0772127807f, 0.0444915108f, 0.960922658f, 0.0772127807f}},
    };
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.Name);
        THeightmap Map(4);
        GenerateNoiseTerrain(&Map, c.Params);
        ExpectHeights(Map, c.Expected);
        EXPECT_EQ(Map.GetMinHeight(), 0.0f);
        EXPECT_EQ(Map.GetMaxHeight(), 1.0f);
    }
}

TEST(TerrainGenerate, SameParamsSameMapAndFullRange)
{
    TNoiseParams P;
    P.Algorithm = 1;
    P.Scale = 3.0f;
    P.Seed = 2147483646;
    THeightmap A(64), B(64);
    GenerateNoiseTerrain(&A, P);
    GenerateNoiseTerrain(&B, P);
    EXPECT_EQ(HeightsOf(A), HeightsOf(B));
    A.UpdateMinMax();
    EXPECT_EQ(A.GetMinHeight(), 0.0f);
    EXPECT_EQ(A.GetMaxHeight(), 1.0f);
    P.Seed += -1;
    GenerateNoiseTerrain(&B, P);
    EXPECT_NE(HeightsOf(A), HeightsOf(B));
    // A scale below 0.01 counts as 0.01, NaN too.
    THeightmap C(8), D(8);
    P.Scale = -4.0f;
    GenerateNoiseTerrain(&C, P);
    P.Scale = 0.01f;
    GenerateNoiseTerrain(&D, P);
    EXPECT_EQ(HeightsOf(C), HeightsOf(D));
    P.Scale = NaN;
    GenerateNoiseTerrain(&C, P);
    EXPECT_EQ(HeightsOf(C), HeightsOf(D));
    GenerateNoiseTerrain(nullptr, P);
}
