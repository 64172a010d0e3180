// Slice, cap holes, normal, relax and vertex weld.
#include "modifiers/uModifierModelingSurface.h"
#include "modifiers/uModifierTopologyUtils.h"
#include "tests/modifiers/uModelingTestKit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <set>

using namespace kit;

namespace {

// Every directed side of every face, counted.
std::map<std::pair<int32_t, int32_t>, int> DirectedSides(const TMeshData& m)
{
    std::map<std::pair<int32_t, int32_t>, int> sides;
    for (const TMeshFace& f : m.Faces)
        for (int k = 0; k < f.Count; ++k)
            ++sides[{f.Indices[k], f.Indices[(k + 1) % f.Count]}];
    return sides;
}

// Closed and consistently wound: each side is used once in each direction.
bool ClosedAndConsistent(const TMeshData& m)
{
    const auto sides = DirectedSides(m);
    for (const auto& [side, count] : sides) {
        const auto reverse = sides.find({side.second, side.first});
        if (count != 1 || reverse == sides.end() || reverse->second != 1)
            return false;
    }
    return true;
}

TVec3 FaceNormal(const TMeshData& m, const TMeshFace& f)
{
    const TVec3& a = m.Vertices[f.Indices[0]].Position;
    return Vec3Cross(Vec3Sub(m.Vertices[f.Indices[1]].Position, a),
                     Vec3Sub(m.Vertices[f.Indices[2]].Position, a));
}

}  // namespace

// ---- slice ----

TEST(SliceModifier, KeepsOneHalfOfTheCubeSharingOneVertexPerCutEdge)
{
    TSliceModifier slice;
    const TMeshData cube = SharedCube();
    const TMeshData out = Apply(slice, cube);
    // The +X face whole, four side faces cut in half, the -X face gone; no cap.
    EXPECT_EQ(out.Faces.size(), 5u);
    EXPECT_EQ(out.Vertices.size(), 8u);  // 4 source corners + 1 cut point per cut edge
    int cuts = 0;
    for (const TMeshVertex& v : out.Vertices) {
        EXPECT_GE(v.Position.X, 0);
        cuts += v.Position.X == 0;
    }
    EXPECT_EQ(cuts, 4);
    for (const auto& [side, count] : DirectedSides(out))
        EXPECT_EQ(count, 1);
    EXPECT_EQ(FlagsOf(slice, cube), 39);
}

TEST(SliceModifier, BothSidesShareTheCut)
{
    TSliceModifier slice;
    slice.SetKeepNegative(true);
    const TMeshData cube = SharedCube();
    const TMeshData out = Apply(slice, cube);
    EXPECT_EQ(out.Faces.size(), 10u);
    EXPECT_EQ(out.Vertices.size(), 12u);
    EXPECT_TRUE(ClosedAndConsistent(out));
    // The estimate is the output's own counts, for both sides and for one.
    int64_t v, f, e;
    ASSERT_TRUE(slice.EstimateOutputSize(cube, v, f, e));
    EXPECT_EQ(v, 12);
    EXPECT_EQ(f, 10);
    EXPECT_EQ(e, -1);
    slice.SetKeepNegative(false);
    slice.EstimateOutputSize(cube, v, f, e);
    EXPECT_EQ(v, 8);
    EXPECT_EQ(f, 5);
}

TEST(SliceModifier, ACutThroughAVertexReusesIt)
{
    TSliceModifier slice;
    TMeshData m = Points({{0, 1, 0}, {1, 0, 0}, {-1, 0, 0}});
    m.AddTriangle(0, 1, 2);
    const TMeshData out = Apply(slice, m);
    ASSERT_EQ(out.Vertices.size(), 3u);
    ASSERT_EQ(out.Faces.size(), 1u);
    // Order of first use: B, the cut point, then A itself.
    ExpectNear(out.Vertices[0].Position, {1, 0, 0});
    ExpectNear(out.Vertices[1].Position, {0, 0, 0});
    ExpectNear(out.Vertices[2].Position, {0, 1, 0});
    EXPECT_EQ(out.Faces[0].UVs[1], (TVec2{0, 0}));
}

TEST(SliceModifier, AFiveCornerPieceIsFannedFromItsFirstCorner)
{
    TSliceModifier slice;
    slice.SetOffset(0.5f);
    TMeshData m = Points({{0, 0, 0}, {2, 0, -1}, {3, 0, 1}, {1, 0, 2}});
    m.AddQuad(0, 1, 2, 3);
    const TMeshData out = Apply(slice, m);
    ASSERT_EQ(out.Faces.size(), 3u);
    for (const TMeshFace& f : out.Faces) {
        EXPECT_EQ(f.Count, 3);
        EXPECT_EQ(f.Indices[0], 0);
        EXPECT_EQ(f.Indices[3], -1);
    }
    ExpectNear(out.Vertices[0].Position, {0.5f, 0, -0.25f});
    int64_t v, f, e;
    ASSERT_TRUE(slice.EstimateOutputSize(m, v, f, e));
    EXPECT_EQ(v, 5);  // the three kept corners and two cuts
    EXPECT_EQ(f, 3);
    EXPECT_EQ(out.Vertices.size(), 5u);
}

TEST(SliceModifier, HugeAndNonFinitePositionsStaySound)
{
    TSliceModifier slice;
    TMeshData m = Points({{-3e38f, 0, 0}, {3e38f, 0, 0}, {3e38f, 1, 0}});
    m.AddTriangle(0, 1, 2);
    const TMeshData out = Apply(slice, m);
    ASSERT_EQ(out.Faces.size(), 1u);
    EXPECT_EQ(out.Faces[0].Count, 4);
    EXPECT_TRUE(MeshPositionsFinite(&out));
    ExpectNear(out.Vertices[0].Position, {0, 0, 0});
    ExpectNear(out.Vertices[3].Position, {0, 0.5f, 0});

    TMeshData bad = Points({{std::nanf(""), 0, 0}, {1, 0, 0}, {1, 1, 0}, {2, 1, 0}});
    bad.AddTriangle(0, 1, 2);
    bad.AddTriangle(1, 3, 2);
    bad.Vertices[3].Position.X = std::numeric_limits<float>::infinity();
    const TModifierEvaluationResult result = Evaluate(std::make_unique<TSliceModifier>(), bad);
    EXPECT_FALSE(result.Success);
}

TEST(SliceModifier, FacesThatBreakTheRulesAreLeftOut)
{
    TSliceModifier slice;
    slice.SetOffset(-10);
    const TMeshData out = Apply(slice, CorruptMesh());
    EXPECT_EQ(out.Faces.size(), 1u);
    EXPECT_TRUE(MeshFacesValid(&out));
}

TEST(SliceModifier, SettersKeepOneSideAndLoadingRepairs)
{
    TSliceModifier slice;
    EXPECT_EQ(Saved(slice), (std::vector<std::string>{"Axis=0", "Offset=0", "KeepPositive=1",
                                                      "KeepNegative=0", "Epsilon=9.999999747E-6"}));
    const int64_t revision = slice.GetRevision();
    slice.SetKeepPositive(false);
    EXPECT_TRUE(slice.GetKeepPositive());
    EXPECT_EQ(slice.GetRevision(), revision);
    slice.SetKeepNegative(true);
    slice.SetKeepPositive(false);
    EXPECT_FALSE(slice.GetKeepPositive());
    slice.SetKeepNegative(false);  // now the last kept side
    EXPECT_TRUE(slice.GetKeepNegative());
    slice.SetEpsilon(-0.5f);
    EXPECT_FLOAT_EQ(slice.GetEpsilon(), 0.5f);
    slice.SetAxis(2);
    slice.SetOffset(1.25f);

    TSliceModifier loaded;
    const int64_t before = loaded.GetRevision();
    Load(loaded, Saved(slice));
    EXPECT_EQ(Saved(loaded), Saved(slice));
    EXPECT_EQ(loaded.GetRevision(), before);  // stored directly

    Load(loaded, {"KeepPositive=0", "KeepNegative=0", "Axis=5", "Epsilon=0", "Offset=nan"});
    EXPECT_TRUE(loaded.GetKeepPositive());
    EXPECT_FALSE(loaded.GetKeepNegative());
    EXPECT_EQ(loaded.GetAxis(), 0);
    EXPECT_FLOAT_EQ(loaded.GetEpsilon(), 1e-6f);
    EXPECT_EQ(loaded.GetOffset(), 0);
}

// ---- cap holes ----

TEST(CapHolesModifier, ClosesAnOpenCubeWoundLikeTheMissingFace)
{
    TCapHolesModifier cap;
    cap.SetTextureId(3);
    TMeshData open = SharedCube();
    const TVec3 missing = FaceNormal(open, open.Faces[1]);
    open.Faces.erase(open.Faces.begin() + 1);
    const TMeshData out = Apply(cap, open);
    ASSERT_EQ(out.Faces.size(), 7u);
    EXPECT_TRUE(ClosedAndConsistent(out));
    for (size_t i = 5; i < 7; ++i) {
        EXPECT_EQ(out.Faces[i].Count, 3);
        EXPECT_EQ(out.Faces[i].TexId, 3);
        EXPECT_GT(Vec3Dot(FaceNormal(out, out.Faces[i]), missing), 0);
        EXPECT_EQ(out.Faces[i].UVs[0], out.Vertices[out.Faces[i].Indices[0]].UV);
    }
    ExpectEstimateMatches(cap, open, out);
    EXPECT_EQ(FlagsOf(cap, open), 38);

    const TMeshData closed = SharedCube();
    EXPECT_EQ(Apply(cap, closed).Faces, closed.Faces);
}

TEST(CapHolesModifier, AConcaveBorderIsCappedFacingOneWay)
{
    // An L of three quads in the XZ plane, all facing up; its border starts at the inner
    // (concave) corner, so the first three loop vertices turn the wrong way.
    TMeshData m = Points(
        {{1, 0, 1}, {1, 0, 2}, {0, 0, 2}, {0, 0, 1}, {0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 0, 1}});
    m.AddQuad(6, 5, 0, 7);
    m.AddQuad(3, 2, 1, 0);
    m.AddQuad(4, 3, 0, 5);
    m.RebuildEdges();
    TCapHolesModifier cap;
    const TMeshData out = Apply(cap, m);
    ASSERT_EQ(out.Faces.size(), 3u + 6);
    for (size_t i = 0; i < 3; ++i)
        ASSERT_GT(FaceNormal(out, out.Faces[i]).Y, 0);
    for (size_t i = 3; i < out.Faces.size(); ++i)
        EXPECT_LT(FaceNormal(out, out.Faces[i]).Y, 0) << i;
}

TEST(CapHolesModifier, ParameterLines)
{
    TCapHolesModifier cap;
    EXPECT_EQ(Saved(cap), (std::vector<std::string>{"TextureId=0"}));
    cap.SetTextureId(-4);
    EXPECT_EQ(cap.GetTextureId(), 0);
    cap.SetTextureId(12);
    TCapHolesModifier loaded;
    Load(loaded, Saved(cap));
    EXPECT_EQ(loaded.GetTextureId(), 12);
    Load(loaded, {"TextureId=-3"});
    EXPECT_EQ(loaded.GetTextureId(), 0);
}

// ---- normal ----

TEST(NormalModifier, RecomputesNormalsFromTheWinding)
{
    TNormalModifier normal;
    const TMeshData grid = Grid(1, 1);
    TMeshData tilted = grid;
    for (TMeshVertex& v : tilted.Vertices)
        v.Normal = {1, 0, 0};
    const TMeshData out = Apply(normal, tilted);
    EXPECT_EQ(out.Faces, grid.Faces);
    for (const TMeshVertex& v : out.Vertices)
        ExpectNear(v.Normal, {0, 1, 0});
    EXPECT_TRUE(Saved(normal).empty());
    EXPECT_EQ(FlagsOf(normal, grid), 36);
}

// ---- relax ----

TEST(RelaxModifier, MovesInteriorVerticesTowardTheirNeighbours)
{
    TMeshData grid = Grid(2, 2);
    grid.Vertices[4].Position.Y = 1;  // the centre
    struct Case {
        float amount;
        bool preserve;
        float centreY, cornerY;
    };
    for (const Case& c : {Case{1, true, 0, 0}, Case{0.5f, true, 0.5f, 0}, Case{1, false, 0, 0},
                          Case{0, true, 1, 0}}) {
        TRelaxModifier relax;
        relax.SetAmount(c.amount);
        relax.SetPreserveBoundary(c.preserve);
        const TMeshData out = Apply(relax, grid);
        EXPECT_FLOAT_EQ(out.Vertices[4].Position.Y, c.centreY) << c.amount << c.preserve;
        // The border midpoint (1, 0, 0) has the centre among its three neighbours.
        const float edgeY = out.Vertices[1].Position.Y;
        EXPECT_FLOAT_EQ(edgeY, c.preserve ? 0 : c.amount / 3) << c.amount << c.preserve;
        EXPECT_EQ(out.Vertices[0].Position.Y, c.cornerY);
    }
    TRelaxModifier relax;
    EXPECT_EQ(FlagsOf(relax, grid), 37);
}

TEST(RelaxModifier, IterationsStartFromThePreviousPass)
{
    TMeshData line = Grid(3, 1);
    line.Vertices[1].Position.Y = 1;
    TRelaxModifier relax;
    relax.SetAmount(1);
    relax.SetPreserveBoundary(false);
    relax.SetIterations(2);
    const TMeshData out = Apply(relax, line);
    for (const TMeshVertex& v : out.Vertices)
        EXPECT_TRUE(std::isfinite(v.Position.Y));
    relax.SetIterations(0);
    EXPECT_EQ(Apply(relax, line).Vertices, line.Vertices);
}

TEST(RelaxModifier, ParameterLines)
{
    TRelaxModifier relax;
    EXPECT_EQ(Saved(relax),
              (std::vector<std::string>{"Amount=0.5", "Iterations=1", "PreserveBoundary=1"}));
    relax.SetAmount(3);
    EXPECT_EQ(relax.GetAmount(), 1);
    relax.SetAmount(std::nanf(""));
    EXPECT_EQ(relax.GetAmount(), 0.5f);
    relax.SetIterations(500);
    EXPECT_EQ(relax.GetIterations(), 100);
    relax.SetAmount(0.3f);
    relax.SetIterations(7);
    relax.SetPreserveBoundary(false);
    TRelaxModifier loaded;
    Load(loaded, Saved(relax));
    EXPECT_EQ(Saved(loaded), Saved(relax));
}

// ---- vertex weld ----

TEST(VertexWeldModifier, MergesCloseVerticesAndReportsSourceCounts)
{
    TMeshData m = Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0.0005f}, {1, 1, 0}, {0, 1, 0}});
    m.AddTriangle(0, 1, 2);
    m.AddTriangle(3, 4, 5);
    TVertexWeldModifier weld;
    const TMeshData out = Apply(weld, m);
    EXPECT_EQ(out.Vertices.size(), 4u);
    EXPECT_EQ(out.Faces[1].Indices, (std::array<int32_t, 4>{1, 3, 2, -1}));
    ExpectNear(out.Vertices[1].Position, {1, 0, 0.00025f});
    int64_t v, f, e;
    ASSERT_TRUE(weld.EstimateOutputSize(m, v, f, e));
    EXPECT_EQ(v, 6);
    EXPECT_EQ(f, 2);
    EXPECT_EQ(FlagsOf(weld, m), 39);
}

TEST(VertexWeldModifier, HugeAndNonFinitePositionsAreSafe)
{
    const float inf = std::numeric_limits<float>::infinity();
    TMeshData m = Points({{1e30f, 0, 0},
                          {1e30f, 0, 0},
                          {std::nanf(""), 0, 0},
                          {-inf, 0, 0},
                          {9.3e12f, 1, 1},
                          {0, 0, 0}});
    m.AddTriangle(0, 4, 5);
    m.AddTriangle(1, 2, 3);
    TVertexWeldModifier weld;
    weld.SetThreshold(0);
    EXPECT_FLOAT_EQ(weld.GetThreshold(), 1e-6f);
    const TMeshData out = Apply(weld, m);
    EXPECT_EQ(out.Vertices.size(), 5u);  // only the two equal huge vertices merge
}

TEST(VertexWeldModifier, ParameterLines)
{
    TVertexWeldModifier weld;
    EXPECT_EQ(Saved(weld),
              (std::vector<std::string>{"Threshold=0.001000000047", "AveragePosition=1",
                                        "AverageNormals=0", "RemoveDegenerate=1"}));
    weld.SetThreshold(-0.25f);
    EXPECT_EQ(weld.GetThreshold(), 0.25f);
    weld.SetAveragePosition(false);
    weld.SetAverageNormals(true);
    weld.SetRemoveDegenerate(false);
    TVertexWeldModifier loaded;
    Load(loaded, Saved(weld));
    EXPECT_EQ(Saved(loaded), Saved(weld));
    Load(loaded, {"Threshold=junk", "AverageNormals=junk"});
    EXPECT_FLOAT_EQ(loaded.GetThreshold(), 0.001f);
    EXPECT_FALSE(loaded.GetAverageNormals());
}
