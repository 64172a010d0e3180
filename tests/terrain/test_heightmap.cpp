#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "terrain/uHeightmap.h"

namespace {

std::vector<float> HeightsOf(const THeightmap& Map)
{
    return std::vector<float>(Map.Data(), Map.Data() + Map.CellCount());
}

// Heights x + 10 * y, so every sample is distinct and easy to name.
void FillRamp(THeightmap& Map)
{
    const int n = Map.GetResolution();
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            Map.Put(x, y, float(x + 10 * y));
}

std::string MessageOf(auto&& Action)
{
    try {
        Action();
    } catch (const EHeightmapError& e) {
        return e.what();
    }
    return "(no EHeightmapError)";
}

}  // namespace

TEST(Heightmap, ResolutionMustBeAPowerOfTwoInRange)
{
    for (int n : {1, 3, 0, -4, 2048, 1000}) {
        EXPECT_EQ(MessageOf([&] { THeightmap Map(n); }), "Invalid heightmap resolution " +
                                                             std::to_string(n) +
                                                             " (must be power of two in 2..1024)");
    }
    THeightmap Small(2), Large(1024);
    EXPECT_EQ(Small.CellCount(), 4);
    EXPECT_EQ(Large.GetResolution(), 1024);
    EXPECT_EQ(Large.Get(1023, 1023), 0.0f);
    EXPECT_FALSE(Large.CanUndo());
    EXPECT_FALSE(Large.CanRedo());
    EXPECT_TRUE((std::is_base_of_v<EGeneralError, EHeightmapError>));
}

TEST(Heightmap, GetClampsAndPutChecks)
{
    THeightmap Map(4);
    FillRamp(Map);
    EXPECT_EQ(Map.Get(-5, 3), 30.0f);
    EXPECT_EQ(Map.Get(9, -2), 3.0f);
    EXPECT_EQ(Map.Get(2, 1), 12.0f);
    EXPECT_EQ(Map.Data()[2 + 1 * 4], 12.0f);
    EXPECT_EQ(MessageOf([&] { Map.Put(-1, 0, 1.0f); }), "Put(-1,0) out of range (res=4)");
    EXPECT_EQ(MessageOf([&] { Map.Put(0, 4, 1.0f); }), "Put(0,4) out of range (res=4)");
    // Put leaves the cached extremes alone.
    EXPECT_EQ(Map.GetMinHeight(), 0.0f);
    EXPECT_EQ(Map.GetMaxHeight(), 0.0f);
}

TEST(Heightmap, CreateFromCopiesHeightsButNotHistory)
{
    THeightmap Map(4);
    FillRamp(Map);
    Map.UpdateMinMax();
    Map.BeginEdit();
    auto Copy = Map.Clone();
    EXPECT_EQ(HeightsOf(*Copy), HeightsOf(Map));
    EXPECT_EQ(Copy->GetMaxHeight(), 33.0f);
    EXPECT_FALSE(Copy->CanUndo());
    Copy->Put(0, 0, 7.0f);
    EXPECT_EQ(Map.Get(0, 0), 0.0f);
    try {
        THeightmap::CreateFrom(nullptr);
        FAIL() << "expected an error";
    } catch (const EHeightmapError&) {
        FAIL() << "a missing source is a general error";
    } catch (const EGeneralError& e) {
        EXPECT_STREQ(e.what(), "THeightmap.CreateFrom: source is nil");
    }
}

TEST(Heightmap, WholeMapOperations)
{
    THeightmap Map(2);
    for (int i = 0; i < 4; ++i)
        Map.Data()[i] = float(i) * 2.0f;  // 0 2 4 6
    Map.Normalize(-1.0f, 1.0f);
    const float Expected[4] = {-1.0f, -1.0f / 3.0f, 1.0f / 3.0f, 1.0f};
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(Map.Data()[i], Expected[i]);
    EXPECT_EQ(Map.GetMinHeight(), -1.0f);
    Map.Offset(0.5f);
    EXPECT_EQ(Map.GetMinHeight(), -0.5f);
    EXPECT_EQ(Map.GetMaxHeight(), 1.5f);
    Map.Clamp(0.0f, 1.0f);
    EXPECT_EQ(Map.Data()[0], 0.0f);
    EXPECT_FLOAT_EQ(Map.Data()[1], 0.5f - 1.0f / 3.0f);
    EXPECT_EQ(Map.Data()[3], 1.0f);
    EXPECT_EQ(Map.GetMinHeight(), 0.0f);
    EXPECT_EQ(Map.GetMaxHeight(), 1.0f);
    Map.Flatten();
    EXPECT_EQ(HeightsOf(Map), std::vector<float>(4, 0.5f));
    EXPECT_EQ(Map.GetMaxHeight(), 0.5f);
    // A flat map has no range to stretch: it lands in the middle.
    Map.Normalize(0.0f, 1.0f);
    EXPECT_EQ(HeightsOf(Map), std::vector<float>(4, 0.5f));
    EXPECT_EQ(Map.GetMinHeight(), 0.0f);
    EXPECT_EQ(Map.GetMaxHeight(), 1.0f);
}

TEST(Heightmap, ClampKeepsNaN)
{
    THeightmap Map(2);
    Map.Data()[0] = -3.0f;
    Map.Data()[1] = std::numeric_limits<float>::quiet_NaN();
    Map.Data()[3] = 9.0f;
    Map.Clamp(0.0f, 1.0f);
    EXPECT_EQ(Map.Data()[0], 0.0f);
    EXPECT_TRUE(std::isnan(Map.Data()[1]));
    EXPECT_EQ(Map.Data()[3], 1.0f);
    EXPECT_EQ(Map.GetMaxHeight(), 1.0f);
}

TEST(Heightmap, BilinearSampling)
{
    const std::vector<float> Grid{0.0f, 1.0f, 2.0f, 3.0f};  // 2 x 2
    EXPECT_EQ(SampleHeightsBilinear(Grid, 2, 0.5f, 0.5f), 1.5f);
    EXPECT_EQ(SampleHeightsBilinear(Grid, 2, 1.0f, 0.0f), 1.0f);
    EXPECT_EQ(SampleHeightsBilinear(Grid, 2, 7.0f, -3.0f), 1.0f);  // clamped into 0..1
    EXPECT_EQ(SampleHeightsBilinear(Grid, 2, std::nanf(""), 1.0f), 2.0f);
}

TEST(Heightmap, ResampleInterpolatesAndRefusesBadSizes)
{
    THeightmap Map(2);
    for (int i = 0; i < 4; ++i)
        Map.Data()[i] = float(i);
    Map.Resample(4);
    ASSERT_EQ(Map.GetResolution(), 4);
    EXPECT_EQ(Map.Get(0, 0), 0.0f);
    EXPECT_EQ(Map.Get(3, 0), 1.0f);
    EXPECT_EQ(Map.Get(0, 3), 2.0f);
    EXPECT_EQ(Map.Get(3, 3), 3.0f);
    EXPECT_FLOAT_EQ(Map.Get(1, 0), 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(Map.Get(2, 2), 2.0f);
    EXPECT_EQ(Map.GetMaxHeight(), 3.0f);
    EXPECT_EQ(MessageOf([&] { Map.Resample(12); }),
              "Invalid heightmap resolution 12 (must be power of two in 2..1024)");
    EXPECT_EQ(Map.GetResolution(), 4);
}

TEST(HeightmapHistory, RingKeepsTheLast24Steps)
{
    THeightmap Map(2);
    for (int Edit = 1; Edit <= 25; ++Edit) {
        Map.BeginEdit();
        Map.Fill(float(Edit));
    }
    int Undone = 0;
    while (Map.Undo())
        ++Undone;
    EXPECT_EQ(Undone, 24);
    EXPECT_EQ(Map.Get(0, 0), 1.0f);  // the state after the first edit
    EXPECT_FALSE(Map.CanUndo());
    int Redone = 0;
    while (Map.Redo())
        ++Redone;
    EXPECT_EQ(Redone, 24);
    EXPECT_EQ(Map.Get(1, 1), 25.0f);
    EXPECT_EQ(Map.GetMinHeight(), 25.0f);
}

TEST(HeightmapHistory, UndoRedoAndBranching)
{
    THeightmap Map(4);
    EXPECT_FALSE(Map.Undo());
    EXPECT_FALSE(Map.Redo());
    Map.BeginEdit();
    Map.Fill(0.25f);
    Map.BeginEdit();
    Map.Put(1, 2, 0.75f);
    ASSERT_TRUE(Map.Undo());
    EXPECT_EQ(Map.Get(1, 2), 0.25f);
    EXPECT_EQ(Map.GetMaxHeight(), 0.25f);
    ASSERT_TRUE(Map.Redo());
    EXPECT_EQ(Map.Get(1, 2), 0.75f);
    EXPECT_EQ(Map.GetMaxHeight(), 0.75f);
    EXPECT_FALSE(Map.CanRedo());
    ASSERT_TRUE(Map.Undo());
    ASSERT_TRUE(Map.Undo());
    EXPECT_EQ(Map.Get(1, 2), 0.0f);
    EXPECT_TRUE(Map.CanRedo());
    // A new edit after undoing drops the undone steps.
    Map.BeginEdit();
    Map.Fill(0.5f);
    EXPECT_FALSE(Map.CanRedo());
    ASSERT_TRUE(Map.Undo());
    EXPECT_EQ(Map.Get(0, 0), 0.0f);
    EXPECT_FALSE(Map.CanUndo());
}

TEST(HeightmapHistory, UndoRestoresTheResolution)
{
    THeightmap Map(128);
    FillRamp(Map);
    const std::vector<float> Before = HeightsOf(Map);
    Map.BeginEdit();
    Map.Resample(16);
    EXPECT_EQ(Map.CellCount(), 256);
    ASSERT_TRUE(Map.Undo());
    EXPECT_EQ(Map.GetResolution(), 128);
    EXPECT_EQ(HeightsOf(Map), Before);
    ASSERT_TRUE(Map.Redo());
    EXPECT_EQ(Map.GetResolution(), 16);
    Map.Put(15, 15, -1.0f);  // the restored grid really is 16 x 16
}
