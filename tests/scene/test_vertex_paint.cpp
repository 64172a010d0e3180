// Vertex colours: the conversions as one table, the flood fill and the gradient on small
// meshes with exact colours, the element searches of the modelling mode, and the paint
// commands' undo and redo, also after their object was deleted and restored.
#include "base/uCommandHistory.h"
#include "base/uErrors.h"
#include "base/uMesh.h"
#include "scene/uHierarchyCommands.h"
#include "scene/uMeshElementPick.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "scene/uVertexPaint.h"
#include "scene/uVertexPaintCommands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

bool Near(const TVec3& a, const TVec3& b, float e = 1e-6f)
{
    return std::fabs(a.X - b.X) <= e && std::fabs(a.Y - b.Y) <= e && std::fabs(a.Z - b.Z) <= e;
}

bool Same(const TVec3& a, const TVec3& b)
{
    return a.X == b.X && a.Y == b.Y && a.Z == b.Z;
}

TMeshVertex V(float x, float y, float z, TVec3 c = Vec3(1, 1, 1))
{
    TMeshVertex v;
    v.Position = Vec3(x, y, z);
    v.Color = c;
    return v;
}

// A row of n vertices joined by n - 1 degenerate-free triangles' edges: 0-1-2-...
TMeshData Strip(int n)
{
    TMeshData m;
    for (int i = 0; i < n; ++i)
        m.AddVertex(V(float(i), float(i % 2), 0));
    for (int i = 0; i + 2 < n; ++i)
        m.AddTriangle(i, i + 1, i + 2);
    m.RebuildEdges();
    return m;
}

}  // namespace

TEST(VertexPaintColours, ConversionsTable)
{
    struct {
        TVec3 In;
        uint32_t Packed;
        const char* Hex;
    } rows[] = {
        {{1.2f, -0.1f, 0.5f}, 255u + 0u * 256u + 128u * 65536u, "#ff0080"},  // 127.5 -> 128
        {{0, 0, 0}, 0u, "#000000"},
        {{1, 1, 1}, 0xFFFFFFu, "#ffffff"},
        {{0.5f, 0.25f, 0.75f}, 128u + 64u * 256u + 191u * 65536u, "#8040bf"},
        {{kNaN, kInf, -kInf}, 0u, "#000000"},  // not a number counts as 0
        {{1, 128.0f / 255.0f, 0}, 255u + 128u * 256u, "#ff8000"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.Hex);
        EXPECT_EQ(Vec3ToColor(r.In), r.Packed);
        EXPECT_EQ(ColorToHexText(r.In), r.Hex);
        TVec3 parsed;
        ASSERT_TRUE(ParseHexColorText(r.Hex, parsed));
        EXPECT_EQ(Vec3ToColor(parsed), r.Packed);                 // hex round trip
        EXPECT_EQ(Vec3ToColor(ColorToVec3(r.Packed)), r.Packed);  // packed round trip
    }

    struct {
        float H, S, V;
        TVec3 Rgb;
    } hsv[] = {
        {0, 1, 1, {1, 0, 0}},
        {1.0f, 1, 1, {1, 0, 0}},  // hue 1 is hue 0
        {1.0f / 3.0f, 1, 1, {0, 1, 0}},
        {4.0f / 6.0f, 1, 1, {0, 0, 1}},
        {0.5f, 0, 0.25f, {0.25f, 0.25f, 0.25f}},
        {-0.1f, 1, 1, {0, 0, 0}},
        {kNaN, 1, 1, {0, 0, 0}},  // refused, not undefined
        {kInf, 1, 1, {0, 0, 0}},
    };
    for (const auto& r : hsv) {
        SCOPED_TRACE(r.H);
        EXPECT_TRUE(Near(HSVToRGB(r.H, r.S, r.V), r.Rgb));
    }

    struct {
        TVec3 Rgb;
        float H, S, V;
    } back[] = {
        {{0, 0, 0}, 0, 0, 0},           {{0.4f, 0.4f, 0.4f}, 0, 0, 0.4f},
        {{0, 0, 1}, 4.0f / 6.0f, 1, 1}, {{1, 0, 0.5f}, 1.0f - 0.5f / 6.0f, 1, 1},
        {{kNaN, 0, 0}, 0, 0, 0},
    };
    for (const auto& r : back) {
        float h = -1, s = -1, v = -1;
        RGBToHSV(r.Rgb, h, s, v);
        EXPECT_NEAR(h, r.H, 1e-6f);
        EXPECT_NEAR(s, r.S, 1e-6f);
        EXPECT_NEAR(v, r.V, 1e-6f);
    }
    // Round trips through HSV at the corners of the cube.
    for (int c = 0; c < 8; ++c) {
        const TVec3 rgb = Vec3(float(c & 1), float((c >> 1) & 1), float((c >> 2) & 1));
        float h, s, v;
        RGBToHSV(rgb, h, s, v);
        EXPECT_TRUE(Near(HSVToRGB(h, s, v), rgb)) << c;
    }
}

TEST(VertexPaintColours, HexTextIsValidated)
{
    struct {
        const char* Text;
        bool Taken;
        TVec3 Color;
    } rows[] = {
        {"#ff8000", true, {1, 128.0f / 255.0f, 0}},
        {"#FF8000xyz", true, {1, 128.0f / 255.0f, 0}},  // what follows is ignored
        {"#zz8000", true, {0, 128.0f / 255.0f, 0}},     // a bad pair counts as 0
        {"#-f8000", true, {0, 128.0f / 255.0f, 0}},     // no sign, no prefix forms
        {"#ff80", false, {}},
        {"ff8000a", false, {}},
        {"", false, {}},
    };
    for (const auto& r : rows) {
        TVec3 c = Vec3(0.5f, 0.5f, 0.5f);
        EXPECT_EQ(ParseHexColorText(r.Text, c), r.Taken) << r.Text;
        EXPECT_TRUE(Same(c, r.Taken ? r.Color : Vec3(0.5f, 0.5f, 0.5f))) << r.Text;
    }
}

TEST(VertexPaintColours, RecentColoursMoveToTheFrontAndKeepEight)
{
    std::array<TVec3, 8> colors{};
    int32_t count = 0;
    for (int i = 0; i < 10; ++i)
        AddRecentColor(colors, count, Vec3(float(i) / 10.0f, 0, 0));
    EXPECT_EQ(count, 8);
    EXPECT_TRUE(Same(colors[0], Vec3(0.9f, 0, 0)));
    EXPECT_TRUE(Same(colors[7], Vec3(0.2f, 0, 0)));
    // Within 0.001 in every channel: the entry moves to the front, nothing is added.
    AddRecentColor(colors, count, Vec3(0.5005f, 0.0005f, -0.0005f));
    EXPECT_EQ(count, 8);
    EXPECT_TRUE(Same(colors[0], Vec3(0.5005f, 0.0005f, -0.0005f)));
    EXPECT_TRUE(Same(colors[1], Vec3(0.9f, 0, 0)));
    EXPECT_TRUE(Same(colors[5], Vec3(0.4f, 0, 0)));
    EXPECT_TRUE(Same(colors[6], Vec3(0.3f, 0, 0)));
}

TEST(VertexPaintMesh, FloodFillSpreadsOnlyThroughTheSeedColour)
{
    const TVec3 red = Vec3(1, 0, 0), blue = Vec3(0, 0, 1);
    TMeshData m = Strip(6);  // edges 0-1, 0-2, 1-2, 1-3, 2-3, 2-4, 3-4, 3-5, 4-5
    m.Vertices[2].Color = blue;
    m.Vertices[3].Color = blue;
    TFloodFill fill;
    // From 0 (white): 1 joins; 2 and 3 are blue and stop it; 4 and 5 only through them.
    EXPECT_EQ(fill.Run(m, {0}), (std::vector<int32_t>{0, 1}));
    // A vertex differing from all its neighbours changes alone.
    m.Vertices[5].Color = red;
    EXPECT_EQ(fill.Run(m, {5}), (std::vector<int32_t>{5}));
    // A face seed spreads only from corners of the first corner's colour, in the order of a
    // scan of the edge list per queue entry.
    EXPECT_EQ(fill.Run(m, {2, 1, 3}), (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(fill.Run(m, {1, 2, 3}), (std::vector<int32_t>{1, 0}));
    // Bad seeds and broken edges are no trouble.
    m.Edges.push_back({4, 99});
    m.Edges.push_back({-3, 4});
    EXPECT_EQ(fill.Run(m, {4}), (std::vector<int32_t>{4}));
    EXPECT_TRUE(fill.Run(m, {-1}).empty());
    EXPECT_TRUE(fill.Run(m, {}).empty());
}

TEST(VertexPaintMesh, GradientShiftsByTheRotation)
{
    const std::array<TVec3, 4> main{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}}};
    TMeshData m;
    for (int i = 0; i < 7; ++i)
        m.AddVertex(V(float(i), 0, 0));
    m.AddQuad(0, 1, 2, 3);
    m.AddTriangle(4, 5, 6);
    m.RebuildEdges();
    struct {
        float Rotation;
        std::vector<int> QuadSlots, TriangleSlots;
    } rows[] = {
        {0, {0, 1, 2, 3}, {0, 1, 2}},
        {90, {3, 0, 1, 2}, {2, 0, 1}},   // 90 / 120 = 0.75 rounds to a shift of 1
        {45, {0, 1, 2, 3}, {0, 1, 2}},   // 0.5 rounds to the even 0
        {135, {2, 3, 0, 1}, {2, 0, 1}},  // 1.5 rounds to 2
        {360, {0, 1, 2, 3}, {0, 1, 2}},
        {kNaN, {0, 1, 2, 3}, {0, 1, 2}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.Rotation);
        const TGradientPlan plan = BuildGradientPlan(m, {0, 7, -1, 1}, main, r.Rotation);
        EXPECT_EQ(plan.Faces, (std::vector<int32_t>{0, 1}));  // invalid faces left out
        EXPECT_TRUE(plan.HasQuad);
        EXPECT_EQ(plan.VertexIndices, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6}));
        ASSERT_EQ(plan.NewColors.size(), 7u);
        for (size_t p = 0; p < 4; ++p)
            EXPECT_TRUE(Same(plan.NewColors[p], main[size_t(r.QuadSlots[p])])) << p;
        for (size_t p = 0; p < 3; ++p)
            EXPECT_TRUE(Same(plan.NewColors[4 + p], main[size_t(r.TriangleSlots[p])])) << p;
    }
    EXPECT_EQ(UsableMainColorSlots(&m, true, 1, {1}), 3);
    EXPECT_EQ(UsableMainColorSlots(&m, true, 0, {}), 4);
    EXPECT_EQ(UsableMainColorSlots(&m, true, 1, {1, 0}), 4);
    EXPECT_EQ(UsableMainColorSlots(&m, false, 0, {0}), 3);
}

TEST(VertexPaintMesh, PickColourSetsAndFaceUVButtons)
{
    TMeshData cube;
    cube.BuildCube();
    // Vertex mode: the selected vertices first, then their neighbours, each once.
    const std::vector<int32_t> set = PickColorVertices(cube, 0, {0, 1}, {}, {});
    ASSERT_GE(set.size(), 2u);
    EXPECT_EQ(set[0], 0);
    EXPECT_EQ(set[1], 1);
    std::vector<int32_t> sorted = set;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
    EXPECT_EQ(PickColorVertices(cube, 2, {}, {}, {0, 99, -1}), cube.GetFaceVertices(0));

    TMeshData tri;
    for (int i = 0; i < 3; ++i)
        tri.AddVertex(V(float(i), 0, 0));
    tri.AddTriangle(0, 1, 2);
    tri.Faces[0].UVs = {TVec2{0.25f, 0.5f}, TVec2{1, 0}, TVec2{0, 1}, TVec2{}};
    struct {
        int Tag;
        TVec2 Corner0;
    } rows[] = {{0, {0.5f, 0.25f}}, {1, {0.5f, 0.25f}}, {2, {0.5f, 0.75f}},
                {3, {1.0f, 1.5f}},  {4, {0.5f, 0.75f}}, {5, {0, 0}}};
    for (const auto& r : rows) {
        ASSERT_TRUE(ApplyFaceUVButton(tri, {0}, r.Tag));
        EXPECT_EQ(tri.Faces[0].UVs[0], r.Corner0) << r.Tag;
    }
    // "Reset" on a triangle: (0, 0), (1, 0), (0, 1).
    EXPECT_EQ(tri.Faces[0].UVs[1], (TVec2{1, 0}));
    EXPECT_EQ(tri.Faces[0].UVs[2], (TVec2{0, 1}));
    EXPECT_FALSE(ApplyFaceUVButton(tri, {3}, 1));
    EXPECT_FALSE(ApplyFaceUVButton(tri, {0}, 6));
}

TEST(VertexPaintMesh, ColourWheelPicksInsideTheCircleOnly)
{
    TVec3 c = Vec3(0.1f, 0.2f, 0.3f);
    EXPECT_TRUE(ColorWheelPick(60, 60, 120, 120, c));
    EXPECT_TRUE(Same(c, Vec3(1, 1, 1)));  // the centre is white
    EXPECT_TRUE(ColorWheelPick(118, 60, 120, 120, c));
    EXPECT_TRUE(Near(c, Vec3(1, 0, 0)));  // the rim at angle 0 is pure red
    EXPECT_FALSE(ColorWheelPick(119, 60, 120, 120, c));
    EXPECT_FALSE(ColorWheelPick(0, 0, 120, 120, c));
    int x = 0, y = 0;
    ColorWheelMarker(Vec3(1, 0, 0), 120, 120, x, y);
    EXPECT_EQ(x, 118);
    EXPECT_EQ(y, 60);
}

TEST(MeshElementPick, NearestElementsWithStrictThresholds)
{
    TMeshData m;
    m.AddVertex(V(0, 0, 0));
    m.AddVertex(V(10, 0, 0));
    m.AddVertex(V(0, 10, 0));
    m.AddVertex(V(0, 0, 5));
    m.AddTriangle(0, 1, 2);
    m.AddQuad(0, 1, 2, 3);
    m.RebuildEdges();
    // Identity projection onto a 100 x 100 viewport: x = 50 + 50 X, y = 50 - 50 Y.
    TScreenProjector p;
    for (int i = 0; i < 4; ++i)
        p.Matrix[size_t(i * 5)] = 1;
    p.Matrix[0] = p.Matrix[5] = 0.1;
    p.Matrix[10] = 0.1;
    p.Viewport = {0, 0, 100, 100};
    p.DeviceHeight = 100;
    float x = 0, y = 0;
    ASSERT_TRUE(p.Project(Vec3(10, 0, 0), x, y));
    EXPECT_FLOAT_EQ(x, 100);
    EXPECT_FLOAT_EQ(y, 50);
    EXPECT_FALSE(p.Project(Vec3(0, 0, 20), x, y));  // beyond the depth range

    EXPECT_EQ(NearestProjectedVertex(m, p, 95, 50, 6), 1);
    EXPECT_EQ(NearestProjectedVertex(m, p, 94, 50, 6), -1);  // 6 pixels is not nearer than 6
    EXPECT_EQ(NearestProjectedVertex(m, p, 52, 50, 80), 0);
    // Edge midpoints: 0-1 at (75, 50), 1-2 at (75, 25).
    EXPECT_EQ(NearestProjectedEdge(m, p, 75, 45, 12), NearestProjectedEdge(m, p, 75, 50, 1));
    EXPECT_EQ(NearestProjectedEdge(m, p, 0, 99, 12), -1);

    // Faces: nearest along the ray, even when a farther face is tested first.
    TMeshData two;
    for (float z : {-1.0f, 1.0f}) {
        const int32_t b = int32_t(two.Vertices.size());
        two.AddVertex(V(-1, -1, z));
        two.AddVertex(V(1, -1, z));
        two.AddVertex(V(1, 1, z));
        two.AddVertex(V(-1, 1, z));
        two.AddQuad(b, b + 1, b + 2, b + 3);
    }
    EXPECT_EQ(NearestFaceAlongRay(two, Vec3(0.5f, 0.5f, 5), Vec3(0, 0, -1)), 1);
    EXPECT_EQ(NearestFaceAlongRay(two, Vec3(0.5f, 0.5f, -5), Vec3(0, 0, 1)), 0);
    EXPECT_EQ(NearestFaceAlongRay(two, Vec3(5, 5, 5), Vec3(0, 0, -1)), -1);
    two.Faces[1].Indices[2] = 77;  // a corner outside the mesh: the face is skipped
    EXPECT_EQ(NearestFaceAlongRay(two, Vec3(0.5f, 0.5f, 5), Vec3(0, 0, -1)), 0);
}

// ---------------------------------------------------------------------------------------
// Commands.

class VertexPaintCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        Object = Scene.AddPrimitive(ptCube);
        Id = Object->GetId();
        Object->ApplyColorToVertices(Vec3(0.5f, 0.5f, 0.5f));
    }
    TMeshData& Mesh() { return *Object->GetBaseMesh(); }
    std::vector<TVec3> Colors()
    {
        auto* o = dynamic_cast<TSceneObject*>(Scene.FindNodeById(Id));
        std::vector<TVec3> c;
        for (const TMeshVertex& v : o->GetBaseMesh()->Vertices)
            c.push_back(v.Color);
        return c;
    }
    TScene Scene;
    TCommandHistory History{1000};
    TSceneObject* Object = nullptr;
    uint32_t Id = 0;
};

TEST_F(VertexPaintCommands, EachCommandUndoesAndRedoesExactly)
{
    const std::vector<TVec3> start = Colors();
    const std::vector<int32_t> face = Mesh().GetFaceVertices(0);
    std::vector<TVec3> old;
    for (int32_t v : face)
        old.push_back(Mesh().Vertices[size_t(v)].Color);
    const TVec3 red = Vec3(1, 0, 0);

    auto paint = std::make_unique<TVertexPaintCommand>(
        Scene, Id, 0, face, old, std::vector<TVec3>(face.size(), red), "Paint");
    EXPECT_EQ(paint->GetDescription(), "Paint (" + std::to_string(face.size()) + " elements)");
    History.Execute(std::move(paint));
    const std::vector<TVec3> painted = Colors();
    for (int32_t v : face)
        EXPECT_TRUE(Same(painted[size_t(v)], red));
    EXPECT_TRUE(Object->IsMeshDirty());

    auto fill = std::make_unique<TVertexPaintFillCommand>(
        Scene, Id, 0, std::vector<int32_t>{0, 1}, std::vector<TVec3>{Colors()[0], Colors()[1]},
        Vec3(0, 1, 0));
    EXPECT_EQ(fill->GetDescription(), "Fill (2 elements)");
    History.Execute(std::move(fill));
    const std::vector<TVec3> filled = Colors();

    auto gradient = std::make_unique<TVertexPaintGradientCommand>(
        Scene, Id, std::vector<int32_t>{0}, std::vector<TVec3>{Colors()[2]},
        std::vector<TVec3>{Vec3(0, 0, 1)}, std::vector<int32_t>{2});
    EXPECT_EQ(gradient->GetDescription(), "Gradient (1 faces)");
    History.Execute(std::move(gradient));
    const std::vector<TVec3> graded = Colors();
    EXPECT_TRUE(Same(graded[2], Vec3(0, 0, 1)));

    ASSERT_TRUE(History.Undo());
    EXPECT_EQ(Colors(), filled);
    ASSERT_TRUE(History.Undo());
    EXPECT_EQ(Colors(), painted);
    ASSERT_TRUE(History.Undo());
    EXPECT_EQ(Colors(), start);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(History.Redo());
    EXPECT_EQ(Colors(), graded);
}

TEST_F(VertexPaintCommands, UndoAfterDeleteAndRestoreAndNothingWhenGone)
{
    const std::vector<TVec3> start = Colors();
    History.Execute(std::make_unique<TVertexPaintCommand>(
        Scene, Id, 0, std::vector<int32_t>{3}, std::vector<TVec3>{start[3]},
        std::vector<TVec3>{Vec3(1, 0, 1)}, "Paint"));
    const std::vector<TVec3> painted = Colors();
    History.Execute(std::make_unique<TDeleteSubtreeCommand>(Scene, Object));
    EXPECT_EQ(Scene.FindNodeById(Id), nullptr);
    ASSERT_TRUE(History.Undo());  // the object is back, with its id
    ASSERT_NE(Scene.FindNodeById(Id), nullptr);
    EXPECT_EQ(Colors(), painted);
    ASSERT_TRUE(History.Undo());  // the paint finds it by id
    EXPECT_EQ(Colors(), start);
    ASSERT_TRUE(History.Redo());
    EXPECT_EQ(Colors(), painted);

    // A command whose object is gone does nothing (and does not fail).
    ASSERT_TRUE(History.Redo());  // delete again
    TVertexPaintFillCommand orphan(Scene, Id, 2, {0}, {Vec3(0, 0, 0)}, Vec3(1, 1, 1));
    EXPECT_NO_THROW(orphan.Execute());
    EXPECT_NO_THROW(orphan.Undo());
    EXPECT_EQ(Scene.FindNodeById(Id), nullptr);
}

TEST_F(VertexPaintCommands, InvalidElementsAreSkippedAndBadInputRefused)
{
    const std::vector<TVec3> start = Colors();
    const int32_t faces = int32_t(Mesh().Faces.size());
    // Faces: one valid, one past the end, one negative; only the valid one changes.
    History.Execute(
        std::make_unique<TVertexPaintCommand>(Scene, Id, 2, std::vector<int32_t>{1, faces, -1},
                                              std::vector<TVec3>(3, Vec3(0.5f, 0.5f, 0.5f)),
                                              std::vector<TVec3>(3, Vec3(0, 0, 0)), "Paint"));
    std::vector<TVec3> expected = start;
    for (int32_t v : Mesh().GetFaceVertices(1))
        expected[size_t(v)] = Vec3(0, 0, 0);
    EXPECT_EQ(Colors(), expected);
    ASSERT_TRUE(History.Undo());
    EXPECT_EQ(Colors(), start);

    // Undo of a face fill gives every corner the one colour stored for the face.
    Mesh().Vertices[size_t(Mesh().Faces[0].Indices[1])].Color = Vec3(0.1f, 0.2f, 0.3f);
    History.Execute(std::make_unique<TVertexPaintFillCommand>(
        Scene, Id, 2, std::vector<int32_t>{0}, std::vector<TVec3>{Vec3(0.7f, 0.7f, 0.7f)},
        Vec3(1, 0, 0)));
    ASSERT_TRUE(History.Undo());
    for (int32_t v : Mesh().GetFaceVertices(0))
        EXPECT_TRUE(Same(Mesh().Vertices[size_t(v)].Color, Vec3(0.7f, 0.7f, 0.7f)));

    EXPECT_THROW(TVertexPaintCommand(Scene, Id, 0, {0}, {Vec3(0, 0, 0)}, {Vec3(kNaN, 0, 0)}, "P"),
                 EArgumentError);
    EXPECT_THROW(TVertexPaintFillCommand(Scene, Id, 0, {0}, {Vec3(0, 0, 0)}, Vec3(0, kInf, 0)),
                 EArgumentError);
    EXPECT_THROW(TVertexPaintCommand(Scene, Id, 3, {0}, {Vec3(0, 0, 0)}, {Vec3(0, 0, 0)}, "P"),
                 EArgumentError);
    EXPECT_THROW(TVertexPaintGradientCommand(Scene, Id, {0}, {}, {Vec3(0, 0, 0)}, {0}),
                 EArgumentError);
}
