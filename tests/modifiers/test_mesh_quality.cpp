// Spherify, optimize, tessellate and smooth.
#include "modifiers/uModifierMeshQuality.h"
#include "tests/modifiers/uModelingTestKit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kit;

namespace {

std::array<int32_t, 4> Corners(const TMeshData& m, size_t Face)
{
    return m.Faces[Face].Indices;
}

// A right triangle with legs a and b in the XZ plane starting at vertex First.
void AddRightTriangle(TMeshData& m, float a, float b, float x)
{
    const int32_t first = static_cast<int32_t>(m.Vertices.size());
    for (TVec3 p : {TVec3{x, 0, 0}, TVec3{x + a, 0, 0}, TVec3{x, 0, b}}) {
        TMeshVertex v;
        v.Position = p;
        m.AddVertex(v);
    }
    m.AddTriangle(first, first + 1, first + 2);
}

}  // namespace

// ---- spherify ----

TEST(SpherifyModifier, PushesEveryVertexToTheFarthestDistance)
{
    const TMeshData grid = Grid(2, 2);  // centre (1, 0, 1), farthest distance sqrt 2
    const float r = std::sqrt(2.0f);
    struct Case {
        float amount, radiusScale, edgeZ;
    };
    for (const Case& c : {Case{1, 1, 1 - r}, Case{0.5f, 1, (1 - r) / 2}, Case{1, 2, 1 - 2 * r}}) {
        TSpherifyModifier spherify;
        spherify.SetAmount(c.amount);
        spherify.SetRadiusScale(c.radiusScale);
        const TMeshData out = Apply(spherify, grid);
        ExpectNear(out.Vertices[1].Position, {1, 0, c.edgeZ});  // the edge midpoint (1, 0, 0)
        ExpectNear(out.Vertices[4].Position, {1, 0, 1});        // the centre stays
        if (c.amount == 1) {
            EXPECT_NEAR(Vec3Distance(out.Vertices[0].Position, {1, 0, 1}), r * c.radiusScale,
                        1e-5f);
        }
    }
    TSpherifyModifier spherify;
    EXPECT_EQ(FlagsOf(spherify, grid), 37);
    spherify.SetAmount(0);
    TMeshData tilted = grid;
    tilted.Vertices[0].Normal = {1, 0, 0};
    EXPECT_EQ(Apply(spherify, tilted).Vertices, tilted.Vertices);
}

TEST(SpherifyModifier, ParameterLines)
{
    TSpherifyModifier spherify;
    EXPECT_EQ(Saved(spherify), (std::vector<std::string>{"Amount=1", "RadiusScale=1"}));
    spherify.SetRadiusScale(-500);
    EXPECT_EQ(spherify.GetRadiusScale(), 100);
    spherify.SetAmount(std::nanf(""));
    EXPECT_EQ(spherify.GetAmount(), 1);
    spherify.SetAmount(0.4f);
    spherify.SetRadiusScale(1.5f);
    TSpherifyModifier loaded;
    Load(loaded, Saved(spherify));
    EXPECT_EQ(Saved(loaded), Saved(spherify));
}

// ---- optimize ----

TEST(OptimizeModifier, DropsDuplicateAndInvalidFacesAndCompactsVertices)
{
    TMeshData m = Points({{0, 0, 0},
                          {1, 0, 0},
                          {0, 0, 1},
                          {5, 5, 5},
                          {1, 0, 1},
                          {2, 0, 0},
                          {2, 0, 1},
                          {3, 0, 0},
                          {3, 0, 1},
                          {4, 0, 0}});
    m.AddTriangle(0, 1, 2);
    m.AddTriangle(2, 1, 0);  // the same vertices wound the other way
    m.AddTriangle(1, 4, 99);
    m.AddTriangle(1, 5, 4);
    TMeshFace wide;
    wide.Count = 5;
    m.Faces.push_back(wide);
    TOptimizeModifier optimize;
    const TMeshData out = Apply(optimize, m);
    ASSERT_EQ(out.Faces.size(), 2u);
    EXPECT_EQ(out.Vertices.size(), 5u);
    EXPECT_EQ(Corners(out, 0), (std::array<int32_t, 4>{0, 1, 2, -1}));
    EXPECT_EQ(Corners(out, 1), (std::array<int32_t, 4>{1, 4, 3, -1}));  // 4 -> 3, 5 -> 4
    ExpectNear(out.Vertices[4].Position, {2, 0, 0});
    EXPECT_TRUE(MeshFacesValid(&out));
    EXPECT_EQ(FlagsOf(optimize, m), 38);

    optimize.SetRemoveUnusedVertices(false);
    optimize.SetRemoveDuplicateFaces(false);
    const TMeshData kept = Apply(optimize, m);
    EXPECT_EQ(kept.Vertices.size(), 10u);
    EXPECT_EQ(kept.Faces.size(), 3u);
}

TEST(OptimizeModifier, MinimumAreaDropsSmallFacesAndTheirLaterCopies)
{
    TMeshData m;
    AddRightTriangle(m, 1, 1, 0);   // area 0.5
    AddRightTriangle(m, 2, 2, 10);  // area 2
    AddRightTriangle(m, 2, 1, 20);  // area exactly 1
    m.AddTriangle(1, 0, 2);         // a copy of the first, dropped as a duplicate
    TOptimizeModifier optimize;
    optimize.SetMinimumArea(1);
    optimize.SetRemoveUnusedVertices(false);
    TMeshData out = Apply(optimize, m);
    ASSERT_EQ(out.Faces.size(), 1u);
    EXPECT_EQ(out.Faces[0].Indices[0], 3);
    EXPECT_FLOAT_EQ(PolygonFaceArea(m, m.Faces[1]), 2);

    optimize.SetRemoveDuplicateFaces(false);
    optimize.SetMinimumArea(0.25f);
    EXPECT_EQ(Apply(optimize, m).Faces.size(), 4u);
}

TEST(OptimizeModifier, FaceKeysAndAreas)
{
    TMeshFace f;
    f.Indices = {7, 2, 5, -1};
    EXPECT_EQ(FaceIndexKey(f), "3:2:5:7");
    f.Indices = {5, 7, 2, -1};
    EXPECT_EQ(FaceIndexKey(f), "3:2:5:7");
    const TMeshData quad = Grid(1, 1);
    EXPECT_FLOAT_EQ(PolygonFaceArea(quad, quad.Faces[0]), 1);
    f.Indices = {0, 1, 9, -1};
    EXPECT_EQ(PolygonFaceArea(quad, f), 0);
}

TEST(OptimizeModifier, AMinimumAreaNearZeroSurvivesSaveAndLoad)
{
    TOptimizeModifier optimize;
    EXPECT_EQ(Saved(optimize),
              (std::vector<std::string>{"MinimumArea=9.999999975E-7", "RemoveDuplicateFaces=1",
                                        "RemoveUnusedVertices=1"}));
    optimize.SetMinimumArea(1);
    optimize.SetMinimumArea(0);
    EXPECT_EQ(optimize.GetMinimumArea(), 0);
    TOptimizeModifier loaded;  // starts at 1e-6, within the setter's tolerance of 0
    Load(loaded, Saved(optimize));
    EXPECT_EQ(loaded.GetMinimumArea(), 0);
    Load(loaded, {"MinimumArea=1.5E-6"});
    EXPECT_FLOAT_EQ(loaded.GetMinimumArea(), 1.5e-6f);
    Load(loaded, {"MinimumArea=-3E7", "RemoveUnusedVertices=0"});
    EXPECT_EQ(loaded.GetMinimumArea(), 1000000);
    EXPECT_FALSE(loaded.GetRemoveUnusedVertices());

    // A zero-area face that the saved modifier kept is still kept after the reload.
    TMeshData flat = Points({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
    flat.AddTriangle(0, 1, 2);
    TOptimizeModifier reloaded;
    Load(reloaded, Saved(optimize));
    EXPECT_EQ(Apply(reloaded, flat).Faces.size(), 1u);
}

// ---- tessellate ----

TEST(TessellateModifier, SplitsQuadsAcrossTheChosenDiagonal)
{
    TMeshData m = Grid(1, 1);
    AddRightTriangle(m, 1, 1, 5);
    TTessellateModifier tessellate;
    TMeshData out = Apply(tessellate, m);
    ASSERT_EQ(out.Faces.size(), 3u);
    EXPECT_EQ(Corners(out, 0), (std::array<int32_t, 4>{0, 2, 3, -1}));
    EXPECT_EQ(Corners(out, 1), (std::array<int32_t, 4>{0, 3, 1, -1}));
    EXPECT_EQ(out.Faces[1].UVs[2], m.Faces[0].UVs[3]);
    EXPECT_EQ(out.Faces[2], m.Faces[1]);
    ExpectEstimateMatches(tessellate, m, out);
    EXPECT_EQ(FlagsOf(tessellate, m), 34);

    tessellate.SetAlternateDiagonal(true);
    out = Apply(tessellate, m);
    EXPECT_EQ(Corners(out, 0), (std::array<int32_t, 4>{0, 2, 1, -1}));
    EXPECT_EQ(Corners(out, 1), (std::array<int32_t, 4>{2, 3, 1, -1}));

    tessellate.SetTriangulateQuads(false);
    out = Apply(tessellate, m);
    EXPECT_EQ(out.Faces, m.Faces);
    ExpectEstimateMatches(tessellate, m, out);
}

TEST(TessellateModifier, ParameterLines)
{
    TTessellateModifier tessellate;
    EXPECT_EQ(Saved(tessellate),
              (std::vector<std::string>{"TriangulateQuads=1", "AlternateDiagonal=0"}));
    tessellate.SetTriangulateQuads(false);
    tessellate.SetAlternateDiagonal(true);
    TTessellateModifier loaded;
    Load(loaded, Saved(tessellate));
    EXPECT_EQ(Saved(loaded), Saved(tessellate));
}

// ---- smooth ----

TEST(SmoothModifier, MovesAnInteriorVertexAQuarterOfTheWay)
{
    TMeshData grid = Grid(2, 2);
    grid.Vertices[4].Position.Y = 1;
    TSmoothModifier smooth;
    TMeshData out = Apply(smooth, grid);
    EXPECT_FLOAT_EQ(out.Vertices[4].Position.Y, 0.75f);
    EXPECT_EQ(out.Vertices[1].Position.Y, 0);  // the border stays
    EXPECT_EQ(FlagsOf(smooth, grid), 37);
    smooth.SetIterations(2);
    out = Apply(smooth, grid);
    EXPECT_FLOAT_EQ(out.Vertices[4].Position.Y, 0.5625f);
}

TEST(SmoothModifier, ParameterLines)
{
    TSmoothModifier smooth;
    EXPECT_EQ(Saved(smooth),
              (std::vector<std::string>{"Amount=0.25", "Iterations=1", "PreserveBoundary=1"}));
    smooth.SetAmount(-1);
    EXPECT_EQ(smooth.GetAmount(), 0);
    smooth.SetAmount(std::nanf(""));
    EXPECT_EQ(smooth.GetAmount(), 0.25f);
    smooth.SetIterations(-4);
    EXPECT_EQ(smooth.GetIterations(), 0);
    smooth.SetAmount(0.8f);
    smooth.SetIterations(12);
    smooth.SetPreserveBoundary(false);
    TSmoothModifier loaded;
    Load(loaded, Saved(smooth));
    EXPECT_EQ(Saved(loaded), Saved(smooth));
}
