#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "terrain/uTerrainMesh.h"
#include "terrain/uTerrainOps.h"
#include "terrain/uTerrainPainting.h"

namespace {

bool SameBits(const TVec3& a, const TVec3& b)
{
    return std::memcmp(&a, &b, sizeof(TVec3)) == 0;
}

// Every vertex of Actual equals Expected's bit for bit.
void ExpectSameMesh(const TMeshData& Actual, const TMeshData& Expected, const char* What)
{
    ASSERT_EQ(Actual.Vertices.size(), Expected.Vertices.size()) << What;
    for (size_t i = 0; i < Actual.Vertices.size(); ++i) {
        ASSERT_TRUE(SameBits(Actual.Vertices[i].Position, Expected.Vertices[i].Position))
            << What << ": position of vertex " << i;
        ASSERT_TRUE(SameBits(Actual.Vertices[i].Normal, Expected.Vertices[i].Normal))
            << What << ": normal of vertex " << i;
    }
}

}  // namespace

TEST(TerrainMeshRegion, MatchesAFullRebuildAfterDabsAnywhere)
{
    struct TCase {
        int Resolution, KernelSize;
        float Size, HeightScale;
    };
    const TCase Cases[] = {{16, 5, 4.0f, 0.6f}, {64, 17, 3.0f, 1.7f}, {128, 33, 10.0f, 0.25f}};
    std::mt19937 Random(7);
    for (const TCase& c : Cases) {
        THeightmap Map(c.Resolution);
        TNoiseParams P;
        GenerateNoiseTerrain(&Map, P);
        TMeshData Mesh;
        BuildTerrainMesh(&Mesh, &Map, c.Size, c.HeightScale);
        const TBrushKernel Kernel(c.KernelSize, 0.5f);
        std::uniform_int_distribution<int> Cell(-3, c.Resolution + 2);
        // Dabs at random cells, the corners and past the edges, each brought in alone.
        std::vector<TGridCell> Dabs = {
            {0, 0}, {c.Resolution - 1, c.Resolution - 1}, {c.Resolution - 1, 0}, {-2, 5}};
        for (int i = 0; i < 12; ++i)
            Dabs.push_back({Cell(Random), Cell(Random)});
        int Mode = 0;
        for (const TGridCell& d : Dabs) {
            ApplyBrush(&Map, d.X, d.Y, false, 0.9f, Mode++ % 4, &Kernel);
            ASSERT_TRUE(UpdateTerrainMeshRegion(Mesh, Map, c.Size, c.HeightScale,
                                                DabCells(d, Kernel.GetRadius(), c.Resolution)));
        }
        TMeshData Full;
        BuildTerrainMesh(&Full, &Map, c.Size, c.HeightScale);
        ExpectSameMesh(Mesh, Full, "after the dabs");
    }
}

TEST(TerrainMeshRegion, RefusesAMeshThatIsNotTheMapsGrid)
{
    THeightmap Map(32);
    Map.Flatten();
    TMeshData Mesh;
    BuildTerrainMesh(&Mesh, &Map, 4.0f, 0.6f);
    const TGridRect All{0, 0, 31, 31};

    THeightmap Larger(64);
    EXPECT_FALSE(UpdateTerrainMeshRegion(Mesh, Larger, 4.0f, 0.6f, All)) << "other resolution";
    EXPECT_FALSE(UpdateTerrainMeshRegion(Mesh, Map, 5.0f, 0.6f, All)) << "other size";
    TMeshData Cube;
    Cube.BuildCube();
    EXPECT_FALSE(UpdateTerrainMeshRegion(Cube, Map, 4.0f, 0.6f, All)) << "not a grid";

    Map.Fill(1.0f);
    const TMeshData Before = Mesh;
    EXPECT_TRUE(UpdateTerrainMeshRegion(Mesh, Map, 4.0f, 0.6f, TGridRect{}));
    ExpectSameMesh(Mesh, Before, "an empty rectangle changes nothing");
}

TEST(TerrainPainting, BrushKernelSize)
{
    struct TCase {
        int Resolution;
        float BrushSize;
        int Expected;
    };
    const TCase Cases[] = {
        {128, 0.25f, 33},                                   // 32, made odd
        {512, 0.25f, 129}, {16, 0.01f, 3}, {16, 1.0f, 17},  // at most n, then made odd
        {64, 0.5f, 33},    {128, 0.0f, 3},
    };
    for (const TCase& c : Cases)
        EXPECT_EQ(BrushKernelSizeFor(c.Resolution, c.BrushSize), c.Expected)
            << c.Resolution << " x " << c.BrushSize;
}

TEST(TerrainPainting, StrokeDabsAreSpacedByAQuarterOfTheRadius)
{
    std::vector<TGridCell> Cells;
    // Ten cells with a radius of 12: spacing 3, three steps, both ends.
    StrokeDabCells({10, 20}, {20, 20}, 12, Cells);
    EXPECT_EQ(Cells, (std::vector<TGridCell>{{10, 20}, {13, 20}, {17, 20}, {20, 20}}));

    // Small radii dab every cell.
    Cells.clear();
    StrokeDabCells({5, 5}, {2, 8}, 3, Cells);
    EXPECT_EQ(Cells, (std::vector<TGridCell>{{5, 5}, {4, 6}, {3, 7}, {2, 8}}));

    // A segment shorter than the spacing is one step.
    Cells.clear();
    StrokeDabCells({0, 0}, {1, 0}, 40, Cells);
    EXPECT_EQ(Cells, (std::vector<TGridCell>{{0, 0}, {1, 0}}));
}

TEST(TerrainPainting, PreviewSquareAndCells)
{
    const TPreviewSquare Wide = PreviewSquareFor(700, 512);
    EXPECT_EQ(Wide.Left, 94);
    EXPECT_EQ(Wide.Top, 0);
    EXPECT_EQ(Wide.Side, 512);
    const TPreviewSquare Small = PreviewSquareFor(200, 100);
    EXPECT_EQ(Small.Side, 256) << "never below 256";
    EXPECT_EQ(Small.Left, -28);
    EXPECT_EQ(Small.Top, -78);

    EXPECT_EQ(PreviewToCell(94, 0, 700, 512, 128), (TGridCell{0, 0}));
    EXPECT_EQ(PreviewToCell(94 + 512, 512, 700, 512, 128), (TGridCell{127, 127}));
    EXPECT_EQ(PreviewToCell(94 + 256, 128, 700, 512, 128), (TGridCell{64, 32}));
    EXPECT_EQ(PreviewToCell(-50, 9000, 700, 512, 128), (TGridCell{0, 127})) << "clamped";
}

TEST(TerrainPainting, HeightColours)
{
    const auto Rgb = [](uint32_t c) { return c & 0xFFFFFFu; };
    EXPECT_EQ(Rgb(HeightToColor(false, 0.0f)), 0x2850A0u);  // (40, 80, 160)
    EXPECT_EQ(Rgb(HeightToColor(false, 0.5f)), 0x5AC83Cu);  // (90, 200, 60)
    EXPECT_EQ(Rgb(HeightToColor(false, 1.0f)), 0xFFA0FFu);  // (255, 160, 255)
    EXPECT_EQ(HeightToColor(false, 7.0f), HeightToColor(false, 1.0f)) << "clamped";
    EXPECT_EQ(HeightToColor(false, -1.0f), HeightToColor(false, 0.0f));
    EXPECT_EQ(Rgb(HeightToColor(true, 0.301f)), 0u) << "a contour line";
    EXPECT_EQ(HeightToColor(true, 0.35f), HeightToColor(false, 0.35f)) << "between lines";
    EXPECT_EQ(HeightToColor(false, 0.25f) >> 24, 0xFFu) << "opaque";
}

TEST(TerrainPainting, PreviewRegionRendersOnlyItsCells)
{
    THeightmap Map(64);
    TNoiseParams P;
    GenerateNoiseTerrain(&Map, P);
    std::vector<uint32_t> Full(PreviewPixels * PreviewPixels, 1u);
    RenderHeightPreview(Map, false, TGridRect{0, 0, 63, 63}, Full.data(), PreviewPixels * 4);
    for (int py = 0; py < PreviewPixels; py += 37)
        for (int px = 0; px < PreviewPixels; px += 41)
            ASSERT_EQ(Full[py * PreviewPixels + px],
                      HeightToColor(false, Map.Get(63 * px / 511, 63 * py / 511)));

    std::vector<uint32_t> Part(PreviewPixels * PreviewPixels, 1u);
    const TGridRect Cells{10, 20, 12, 21};
    RenderHeightPreview(Map, false, Cells, Part.data(), PreviewPixels * 4);
    for (int py = 0; py < PreviewPixels; ++py)
        for (int px = 0; px < PreviewPixels; ++px) {
            const int sx = 63 * px / 511, sy = 63 * py / 511;
            const bool Inside = sx >= 10 && sx <= 12 && sy >= 20 && sy <= 21;
            ASSERT_EQ(Part[py * PreviewPixels + px], Inside ? Full[py * PreviewPixels + px] : 1u)
                << px << ", " << py;
        }
}
