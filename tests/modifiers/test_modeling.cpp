// Mirror, xform, subdivide and shell.
#include "modifiers/uModifierModeling.h"
#include "modifiers/uModifierTopologyUtils.h"
#include "tests/modifiers/uModelingTestKit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kit;

namespace {

TMeshData Triangle()
{
    TMeshData m = Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    m.AddTriangle(0, 1, 2);
    return m;
}

TMeshData Quad()
{
    TMeshData m = Points({{0, 0, 0}, {0, 0, 2}, {2, 0, 2}, {2, 0, 0}});
    m.AddQuad(0, 1, 2, 3);
    return m;
}

std::array<int32_t, 4> Corners(const TMeshData& m, size_t Face)
{
    return m.Faces[Face].Indices;
}

}  // namespace

// ---- mirror ----

TEST(MirrorModifier, WeldsTheSeamAndReversesTheReflectedCopy)
{
    TMirrorModifier mirror;
    const TMeshData source = Triangle();
    const TMeshData out = Apply(mirror, source);
    ASSERT_EQ(out.Vertices.size(), 6u);
    ASSERT_EQ(out.Faces.size(), 2u);
    EXPECT_EQ(Corners(out, 0), (std::array<int32_t, 4>{0, 1, 2, -1}));
    // The reflected face (3, 4, 5) reversed is (5, 4, 3); 5 and 3 lie on the plane and
    // are redirected to 2 and 0, leaving their twins unreferenced.
    EXPECT_EQ(Corners(out, 1), (std::array<int32_t, 4>{2, 4, 0, -1}));
    ExpectNear(out.Vertices[4].Position, {-1, 0, 0});
    // Both faces still face +Z: the reflection flips, the reversal flips back.
    const TVec3 n = Vec3Cross(Vec3Sub(out.Vertices[4].Position, out.Vertices[2].Position),
                              Vec3Sub(out.Vertices[0].Position, out.Vertices[2].Position));
    EXPECT_GT(n.Z, 0);
    EXPECT_EQ(out.Faces[1].UVs[0], source.Faces[0].UVs[2]);
    ExpectEstimateMatches(mirror, source, out);
    EXPECT_EQ(FlagsOf(mirror, source), 39);
}

TEST(MirrorModifier, WithoutTheOriginalGivesOnlyTheReflectedCopy)
{
    TMirrorModifier mirror;
    mirror.SetIncludeOriginal(false);
    mirror.SetAxis(1);
    mirror.SetOffset(2);
    const TMeshData source = Triangle();
    const TMeshData out = Apply(mirror, source);
    ASSERT_EQ(out.Vertices.size(), 3u);
    ASSERT_EQ(out.Faces.size(), 1u);
    EXPECT_EQ(Corners(out, 0), (std::array<int32_t, 4>{2, 1, 0, -1}));
    ExpectNear(out.Vertices[2].Position, {0, 3, 0});  // 2 * 2 - 1
    ExpectNear(out.Vertices[0].Normal, {0, -1, 0});
    ExpectEstimateMatches(mirror, source, out);
}

TEST(MirrorModifier, WeldsALongSeamInOnePass)
{
    // Every vertex of the grid's first column lies on the plane X = 0.
    TMirrorModifier mirror;
    const TMeshData grid = Grid(2, 50);
    const TMeshData out = Apply(mirror, grid);
    std::vector<bool> used(out.Vertices.size(), false);
    for (const TMeshFace& f : out.Faces)
        for (int k = 0; k < f.Count; ++k)
            used[f.Indices[k]] = true;
    const size_t n = grid.Vertices.size();
    for (size_t i = 0; i < n; ++i) {
        const bool onSeam = grid.Vertices[i].Position.X == 0;
        EXPECT_EQ(used[n + i], !onSeam) << i;
    }
}

TEST(MirrorModifier, SettersAndParameterLines)
{
    TMirrorModifier mirror;
    EXPECT_EQ(Saved(mirror),
              (std::vector<std::string>{"Axis=0", "Offset=0", "IncludeOriginal=1", "MergeSeam=1",
                                        "MergeThreshold=0.00009999999747"}));
    mirror.SetAxis(7);
    EXPECT_EQ(mirror.GetAxis(), 2);
    mirror.SetOffset(std::numeric_limits<float>::infinity());
    EXPECT_EQ(mirror.GetOffset(), 0);
    mirror.SetMergeThreshold(1e-9f);
    EXPECT_FLOAT_EQ(mirror.GetMergeThreshold(), 1e-6f);
    const int64_t revision = mirror.GetRevision();
    mirror.SetOffset(5e-7f);  // within the tolerance
    EXPECT_EQ(mirror.GetRevision(), revision);

    mirror.SetAxis(1);
    mirror.SetOffset(-2.5f);
    mirror.SetIncludeOriginal(false);
    mirror.SetMergeSeam(false);
    mirror.SetMergeThreshold(0.25f);
    TMirrorModifier loaded;
    Load(loaded, Saved(mirror));
    EXPECT_EQ(Saved(loaded), Saved(mirror));

    // Axis is taken at the end of the block; out of range gives 0, not the clamp.
    Load(loaded, {"Axis=7", "IncludeOriginal=x"});
    EXPECT_EQ(loaded.GetAxis(), 0);
    EXPECT_TRUE(loaded.GetIncludeOriginal());
}

// ---- xform ----

TEST(XFormModifier, MovesRotatesAndScalesAboutThePivot)
{
    TXFormModifier xform;
    xform.SetTranslation({1, 2, 3});
    xform.SetRotation({0, 0, 90});
    xform.SetPivot({1, 0, 0});
    const TMeshData source = Points({{2, 0, 0}});
    const TMeshData out = Apply(xform, source);
    ExpectNear(out.Vertices[0].Position, {2, 3, 3});
    ExpectNear(out.Vertices[0].Normal, {-1, 0, 0});  // (0, 1, 0) turned a quarter about Z
    EXPECT_EQ(FlagsOf(xform, source), 37);
}

TEST(XFormModifier, NegativeScaleMirrorsAndReversesEveryFace)
{
    TXFormModifier xform;
    xform.SetScale({-1, 1, 1});
    const TMeshData source = Quad();
    const TMeshData out = Apply(xform, source);
    ExpectNear(out.Vertices[2].Position, {-2, 0, 2});
    EXPECT_EQ(Corners(out, 0), (std::array<int32_t, 4>{3, 2, 1, 0}));
    EXPECT_EQ(out.Faces[0].UVs[0], source.Faces[0].UVs[3]);
    EXPECT_EQ(FlagsOf(xform, source), 39);
    xform.SetScale({2, 2, 2});
    EXPECT_EQ(FlagsOf(xform, source), 37);
}

TEST(XFormModifier, ATinyUniformScaleKeepsUnitNormals)
{
    TXFormModifier xform;
    xform.SetScale({1e-5f, 1e-5f, 1e-5f});
    const TMeshData out = Apply(xform, Quad());
    ExpectNear(out.Vertices[0].Normal, {0, 1, 0});
}

TEST(XFormModifier, SettersRepairVectors)
{
    TXFormModifier xform;
    xform.SetScale({0, -1e-7f, 5});
    EXPECT_EQ(xform.GetScale(), (TVec3{1e-6f, -1e-6f, 5}));
    xform.SetScale({std::nanf(""), 2, 3});
    EXPECT_EQ(xform.GetScale(), (TVec3{1, 2, 3}));
    xform.SetTranslation({1, std::numeric_limits<float>::infinity(), 3});
    EXPECT_EQ(xform.GetTranslation(), (TVec3{0, 0, 0}));
    const int64_t revision = xform.GetRevision();
    xform.SetPivot({0, 0, 0});  // the vector setters always report a change
    EXPECT_EQ(xform.GetRevision(), revision + 1);
}

TEST(XFormModifier, ParameterLines)
{
    TXFormModifier xform;
    EXPECT_EQ(Saved(xform), (std::vector<std::string>{
                                "TranslationX=0", "TranslationY=0", "TranslationZ=0", "RotationX=0",
                                "RotationY=0", "RotationZ=0", "ScaleX=1", "ScaleY=1", "ScaleZ=1",
                                "PivotX=0", "PivotY=0", "PivotZ=0"}));
    xform.SetTranslation({1, -2, 3.5f});
    xform.SetScale({2, 0.5f, -1});
    TXFormModifier loaded;
    Load(loaded, Saved(xform));
    EXPECT_EQ(Saved(loaded), Saved(xform));

    // One key sets one component; the block always ends with the four setters.
    loaded.SetTranslation({4, 5, 6});
    const int64_t revision = loaded.GetRevision();
    Load(loaded, {"RotationY=90"});
    EXPECT_EQ(loaded.GetRevision(), revision + 4);
    EXPECT_EQ(loaded.GetRotation(), (TVec3{0, 90, 0}));
    EXPECT_EQ(loaded.GetTranslation(), (TVec3{4, 5, 6}));
    EXPECT_EQ(loaded.GetScale(), (TVec3{2, 0.5f, -1}));
}

// ---- subdivide ----

TEST(SubdivideModifier, CountsPerLevel)
{
    struct Case {
        const char* name;
        TMeshData mesh;
        int32_t levels;
        size_t vertices, faces, corners;
    };
    const Case cases[] = {
        {"quad level 1", Quad(), 1, 9, 4, 4},
        {"quad level 2", Quad(), 2, 25, 16, 4},
        {"triangle level 1", Triangle(), 1, 6, 4, 3},
        {"cube level 2", SharedCube(), 2, 98, 96, 4},
    };
    for (const Case& c : cases) {
        TSubdivideModifier subdivide;
        subdivide.SetLevels(c.levels);
        const TMeshData out = Apply(subdivide, c.mesh);
        EXPECT_EQ(out.Vertices.size(), c.vertices) << c.name;
        ASSERT_EQ(out.Faces.size(), c.faces) << c.name;
        for (const TMeshFace& f : out.Faces)
            EXPECT_EQ(static_cast<size_t>(f.Count), c.corners) << c.name;
        ExpectEstimateMatches(subdivide, c.mesh, out);
        int64_t v, f, e;
        subdivide.EstimateOutputSize(c.mesh, v, f, e);
        EXPECT_EQ(e, static_cast<int64_t>(out.Edges.size())) << c.name;
        // Through the evaluator, which rebuilds the edges of the final mesh.
        const TModifierEvaluationResult result = Evaluate(subdivide.Clone(), c.mesh);
        ASSERT_TRUE(result.Success) << c.name;
        EXPECT_EQ(result.Mesh->Faces, out.Faces) << c.name;
        EXPECT_EQ(result.Mesh->Edges, out.Edges) << c.name;
    }
}

TEST(SubdivideModifier, PlacesMidpointsAndCentres)
{
    TSubdivideModifier subdivide;
    const TMeshData out = Apply(subdivide, Quad());
    // Source corners, then one midpoint per edge in first-use order, then the centre.
    ExpectNear(out.Vertices[4].Position, {0, 0, 1});
    ExpectNear(out.Vertices[7].Position, {1, 0, 0});
    ExpectNear(out.Vertices[8].Position, {1, 0, 1});
    EXPECT_EQ(Corners(out, 0), (std::array<int32_t, 4>{0, 4, 8, 7}));
    EXPECT_EQ(out.Faces[0].UVs[2], (TVec2{1, 1}));
    EXPECT_EQ(FlagsOf(subdivide, Quad()), 39);

    const TMeshData tri = Apply(subdivide, Triangle());
    EXPECT_EQ(Corners(tri, 3), (std::array<int32_t, 4>{3, 4, 5, -1}));
    ExpectNear(tri.Vertices[4].Position, {0.5f, 0.5f, 0});
}

TEST(SubdivideModifier, LevelZeroCopiesAndBadFacesAreDropped)
{
    TSubdivideModifier subdivide;
    subdivide.SetLevels(0);
    const TMeshData cube = SharedCube();
    const TMeshData copy = Apply(subdivide, cube);
    EXPECT_EQ(copy.Vertices, cube.Vertices);
    EXPECT_EQ(copy.Faces, cube.Faces);

    subdivide.SetLevels(1);
    TMeshData degenerate = Triangle();
    degenerate.AddTriangle(0, 0, 1);  // a side of two equal corners
    EXPECT_EQ(Apply(subdivide, degenerate).Faces.size(), 4u);
    const TMeshData corrupt = Apply(subdivide, CorruptMesh());
    EXPECT_EQ(corrupt.Faces.size(), 4u);  // only the sound triangle survives
}

TEST(SubdivideModifier, LevelsAndParameterLines)
{
    TSubdivideModifier subdivide;
    EXPECT_EQ(Saved(subdivide), (std::vector<std::string>{"Levels=1"}));
    subdivide.SetLevels(9);
    EXPECT_EQ(subdivide.GetLevels(), 5);
    subdivide.SetLevels(-1);
    EXPECT_EQ(subdivide.GetLevels(), 0);
    subdivide.SetLevels(3);
    TSubdivideModifier loaded;
    Load(loaded, Saved(subdivide));
    EXPECT_EQ(loaded.GetLevels(), 3);
    Load(loaded, {"Levels=x"});
    EXPECT_EQ(loaded.GetLevels(), 1);
    Load(loaded, {"Levels=12"});
    EXPECT_EQ(loaded.GetLevels(), 5);
}

TEST(SubdivideModifier, TheEvaluatorRefusesAnOutputPastTheLimitBeforeItRuns)
{
    auto subdivide = std::make_unique<TSubdivideModifier>();
    subdivide->SetLevels(5);
    const TModifierEvaluationResult result = Evaluate(std::move(subdivide), Grid(40, 40));
    EXPECT_FALSE(result.Success);
    EXPECT_NE(result.Message.find("output exceeds limits (1640961 verts/1638400 faces"),
              std::string::npos)
        << result.Message;
}

// ---- shell ----

TEST(ShellModifier, OpenGridGetsARimAlongItsBorder)
{
    TShellModifier shell;
    const TMeshData grid = Grid(2, 1);
    const TMeshData out = Apply(shell, grid);
    EXPECT_EQ(out.Vertices.size(), 12u);
    EXPECT_EQ(out.Faces.size(), 2u * 2 + 6);
    ExpectEstimateMatches(shell, grid, out);
    ExpectNear(out.Vertices[0].Position, {0, 0.05f, 0});
    ExpectNear(out.Vertices[1].Position, {0, -0.05f, 0});
    // The inner copy is wound the other way.
    EXPECT_EQ(Corners(out, 0), (std::array<int32_t, 4>{0, 6, 8, 2}));
    EXPECT_EQ(Corners(out, 1), (std::array<int32_t, 4>{3, 9, 7, 1}));
    EXPECT_EQ(FlagsOf(shell, grid), 39);
}

TEST(ShellModifier, ModesPlaceTheTwoSides)
{
    struct Case {
        int32_t mode;
        float outer, inner;
    };
    for (const Case& c : {Case{0, 0.25f, -0.25f}, Case{1, 0.5f, 0}, Case{2, 0, -0.5f}}) {
        TShellModifier shell;
        shell.SetThickness(-0.5f);  // the absolute value
        shell.SetMode(c.mode);
        shell.SetCapOpenings(false);
        const TMeshData out = Apply(shell, Quad());
        EXPECT_EQ(out.Faces.size(), 2u);
        EXPECT_FLOAT_EQ(out.Vertices[0].Position.Y, c.outer) << c.mode;
        EXPECT_FLOAT_EQ(out.Vertices[1].Position.Y, c.inner) << c.mode;
    }
}

TEST(ShellModifier, ClosedCubeHasNoRim)
{
    TShellModifier shell;
    const TMeshData cube = SharedCube();
    const TMeshData out = Apply(shell, cube);
    EXPECT_EQ(out.Vertices.size(), 16u);
    EXPECT_EQ(out.Faces.size(), 12u);
    ExpectEstimateMatches(shell, cube, out);
}

TEST(ShellModifier, ParameterLines)
{
    TShellModifier shell;
    EXPECT_EQ(Saved(shell),
              (std::vector<std::string>{"Thickness=0.1000000015", "Mode=0", "CapOpenings=1"}));
    shell.SetMode(7);
    EXPECT_EQ(shell.GetMode(), 2);
    shell.SetThickness(std::nanf(""));
    EXPECT_FLOAT_EQ(shell.GetThickness(), 0.1f);
    shell.SetThickness(0.75f);
    shell.SetCapOpenings(false);
    TShellModifier loaded;
    Load(loaded, Saved(shell));
    EXPECT_EQ(Saved(loaded), Saved(shell));
    Load(loaded, {"Mode=7"});
    EXPECT_EQ(loaded.GetMode(), 0);
}

// ---- faces that break the rules ----

TEST(ModelingModifiers, CorruptFacesAreNeverReadPastTheirCornersAndFailCleanly)
{
    // The evaluator must reject each output (a 7-corner face survives as it came, a far
    // index becomes -1), and nothing may read or write past a face's four corners.
    std::vector<std::unique_ptr<TModifier>> modifiers;
    modifiers.push_back(std::make_unique<TMirrorModifier>());
    modifiers.push_back(std::make_unique<TXFormModifier>());
    modifiers.push_back(std::make_unique<TShellModifier>());
    static_cast<TXFormModifier&>(*modifiers[1]).SetScale({-1, 1, 1});
    for (auto& m : modifiers) {
        const std::string name = m->GetDisplayName();
        const TModifierEvaluationResult result = Evaluate(std::move(m), CorruptMesh());
        EXPECT_FALSE(result.Success) << name;
        EXPECT_EQ(result.Message, name + ": output contains invalid or non-finite mesh data");
    }
    TMirrorModifier mirror;
    mirror.SetMergeSeam(false);
    const TMeshData out = Apply(mirror, CorruptMesh());
    EXPECT_EQ(Corners(out, 2), (std::array<int32_t, 4>{1, -1, 3, -1}));
    EXPECT_EQ(Corners(out, 5), (std::array<int32_t, 4>{7, -1, 5, -1}));
}
