#include "floorplan/uFloorPlanMesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// The 4 by 3 rectangle as a user draws it (counter-clockwise), closed.
TFloorPlan Rectangle(TFloorSettings settings = DefaultFloorSettings())
{
    TFloorPlan plan(1, "Plan 1");
    plan.SetPoints({{-2, -1.5f}, {2, -1.5f}, {2, 1.5f}, {-2, 1.5f}, {-2, -1.5f}});
    plan.SetSettings(settings);
    return plan;
}

int CountFaces(const TMeshData& mesh, int corners)
{
    return static_cast<int>(std::count_if(mesh.Faces.begin(), mesh.Faces.end(),
                                          [&](const TMeshFace& f) { return f.Count == corners; }));
}

// Every face's winding normal (right-hand rule) agrees with each corner's stored normal.
void ExpectOutwardWinding(const TMeshData& mesh)
{
    for (size_t i = 0; i < mesh.Faces.size(); ++i) {
        const TMeshFace& f = mesh.Faces[i];
        const TVec3 p0 = mesh.Vertices[f.Indices[0]].Position;
        const TVec3 n = Vec3Cross(Vec3Sub(mesh.Vertices[f.Indices[1]].Position, p0),
                                  Vec3Sub(mesh.Vertices[f.Indices[2]].Position, p0));
        for (int k = 0; k < f.Count; ++k)
            EXPECT_GT(Vec3Dot(n, mesh.Vertices[f.Indices[k]].Normal), 0)
                << "face " << i << " corner " << k;
    }
    std::string message;
    EXPECT_TRUE(mesh.Validate(message)) << message;
}

void ExpectColour(const TMeshData& mesh, float grey)
{
    for (const TMeshVertex& v : mesh.Vertices)
        EXPECT_EQ(v.Color, Vec3(grey, grey, grey));
}

float MinY(const TMeshData& m)
{
    float y = m.Vertices.at(0).Position.Y;
    for (const auto& v : m.Vertices)
        y = std::min(y, v.Position.Y);
    return y;
}

float MaxY(const TMeshData& m)
{
    float y = m.Vertices.at(0).Position.Y;
    for (const auto& v : m.Vertices)
        y = std::max(y, v.Position.Y);
    return y;
}

}  // namespace

TEST(FloorPlanMesh, SlabOfARectangle)
{
    const TFloorPlan plan = Rectangle();
    TMeshData mesh;
    std::string message = "stale";
    ASSERT_TRUE(BuildFloorPlanSlabMesh(&mesh, &plan, message));
    EXPECT_EQ(message, "");
    EXPECT_EQ(mesh.Vertices.size(), 24u);
    EXPECT_EQ(CountFaces(mesh, 3), 4);
    EXPECT_EQ(CountFaces(mesh, 4), 4);
    EXPECT_EQ(mesh.Edges.size(), 26u);  // two capped quads of 5 edges, four side quads of 4
    EXPECT_EQ(MinY(mesh), 0);
    EXPECT_EQ(MaxY(mesh), 0.2f);
    ExpectColour(mesh, 0.72f);
    ExpectOutwardWinding(mesh);

    // Top cap first, at the slab thickness, with planar UVs over the outline.
    for (int i = 0; i < 4; ++i) {
        const TMeshVertex& v = mesh.Vertices[i];
        EXPECT_EQ(v.Position.Y, 0.2f);
        EXPECT_EQ(v.Normal, Vec3(0, 1, 0));
        EXPECT_EQ(v.UV.U, (v.Position.X + 2) / 4);
        EXPECT_EQ(v.UV.V, (v.Position.Z + 1.5f) / 3);
        EXPECT_EQ(mesh.Vertices[i + 4].Normal, Vec3(0, -1, 0));
        EXPECT_EQ(mesh.Vertices[i + 4].Position.Y, 0);
    }
    // Side quads: one outward normal per edge, the same planar UV at top and bottom.
    for (int k = 0; k < 4; ++k) {
        const TMeshVertex* q = &mesh.Vertices[8 + 4 * k];
        EXPECT_EQ(q[0].UV, q[3].UV);
        EXPECT_EQ(q[1].UV, q[2].UV);
        const TVec3 mid = Vec3Scale(Vec3Add(q[0].Position, q[1].Position), 0.5f);
        EXPECT_GT(mid.X * q[0].Normal.X + mid.Z * q[0].Normal.Z, 0) << "edge " << k;
    }
}

TEST(FloorPlanMesh, WallsStandOnTheSlab)
{
    const TFloorPlan plan = Rectangle();
    TMeshData mesh;
    std::string message;
    ASSERT_TRUE(BuildFloorPlanWallMesh(&mesh, &plan, message)) << message;
    EXPECT_EQ(mesh.Vertices.size(), 64u);
    EXPECT_EQ(CountFaces(mesh, 4), 16);
    EXPECT_EQ(CountFaces(mesh, 3), 0);
    EXPECT_EQ(MinY(mesh), 0.2f);
    EXPECT_EQ(MaxY(mesh), 3.0f);
    ExpectColour(mesh, 0.82f);
    ExpectOutwardWinding(mesh);

    for (int k = 0; k < 4; ++k) {
        const TMeshVertex* outer = &mesh.Vertices[16 * k];
        const TMeshVertex* inner = outer + 4;
        // The outer face lies on the outline, the inner face 0.2 inside it.
        for (int c = 0; c < 4; ++c) {
            EXPECT_TRUE(std::fabs(outer[c].Position.X) == 2 ||
                        std::fabs(outer[c].Position.Z) == 1.5f);
            EXPECT_NEAR(std::fabs(inner[c].Position.X), 1.8f, 1e-6);
            EXPECT_NEAR(std::fabs(inner[c].Position.Z), 1.3f, 1e-6);
        }
        EXPECT_EQ(outer[0].UV.V, 1);
        EXPECT_EQ(outer[3].UV.V, 0);
        EXPECT_EQ(inner[0].UV.U, outer[0].UV.U);  // the perimeter u is reused inside
        EXPECT_EQ(inner[3].UV.U, outer[1].UV.U);
    }
    // The perimeter coordinate runs once around: 0 at the first edge, exactly 1 at the last.
    EXPECT_EQ(mesh.Vertices[0].UV.U, 0);
    EXPECT_EQ(mesh.Vertices[16 * 3 + 1].UV.U, 1);
    EXPECT_NEAR(mesh.Vertices[1].UV.U, 4.0f / 14, 1e-6);  // the ring starts with a long side
}

TEST(FloorPlanMesh, Roofs)
{
    TFloorSettings settings = DefaultFloorSettings();
    TMeshData mesh;
    std::string message;

    const TFloorPlan none = Rectangle(settings);
    mesh.AddVertex({});
    ASSERT_TRUE(BuildFloorPlanRoofMesh(&mesh, &none, message));
    EXPECT_TRUE(mesh.Vertices.empty());
    EXPECT_TRUE(mesh.Faces.empty());

    settings.RoofType = rtFlat;
    const TFloorPlan flat = Rectangle(settings);
    ASSERT_TRUE(BuildFloorPlanRoofMesh(&mesh, &flat, message)) << message;
    EXPECT_EQ(mesh.Vertices.size(), 4u);
    EXPECT_EQ(CountFaces(mesh, 3), 2);
    EXPECT_EQ(MinY(mesh), 3.0f);
    EXPECT_EQ(MaxY(mesh), 3.0f);
    ExpectColour(mesh, 0.68f);
    ExpectOutwardWinding(mesh);

    settings.RoofType = rtTruncatedPyramid;
    const TFloorPlan pyramid = Rectangle(settings);
    ASSERT_TRUE(BuildFloorPlanRoofMesh(&mesh, &pyramid, message)) << message;
    EXPECT_EQ(mesh.Vertices.size(), 20u);
    EXPECT_EQ(CountFaces(mesh, 4), 4);
    EXPECT_EQ(CountFaces(mesh, 3), 2);
    EXPECT_EQ(MinY(mesh), 3.0f);
    EXPECT_EQ(MaxY(mesh), 4.0f);
    ExpectOutwardWinding(mesh);
    for (int k = 0; k < 4; ++k) {
        const TMeshVertex* q = &mesh.Vertices[4 * k];
        EXPECT_GT(q[0].Normal.Y, 0);  // up and out
        EXPECT_GT(q[0].Position.X * q[0].Normal.X + q[0].Position.Z * q[0].Normal.Z, 0);
        EXPECT_EQ(q[2].Position.Y, 4.0f);
        EXPECT_NEAR(std::fabs(q[2].Position.X), 1.8f, 1e-6);
        EXPECT_EQ(q[0].UV.V, 0);  // v follows the end of the edge, not the height
        EXPECT_EQ(q[1].UV.V, 1);
        EXPECT_EQ(q[2].UV.V, 1);
    }
    for (int i = 16; i < 20; ++i)
        EXPECT_EQ(mesh.Vertices[i].Position.Y, 4.0f);
}

TEST(FloorPlanMesh, Failures)
{
    const TFloorPlan plan = Rectangle();
    std::string message;
    EXPECT_FALSE(BuildFloorPlanSlabMesh(nullptr, &plan, message));
    EXPECT_EQ(message, "Slab destination mesh is nil");
    EXPECT_FALSE(BuildFloorPlanWallMesh(nullptr, &plan, message));
    EXPECT_EQ(message, "Wall destination mesh is nil");
    EXPECT_FALSE(BuildFloorPlanRoofMesh(nullptr, &plan, message));
    EXPECT_EQ(message, "Roof destination mesh is nil");

    TMeshData mesh;
    mesh.BuildCube();
    EXPECT_FALSE(BuildFloorPlanSlabMesh(&mesh, nullptr, message));
    EXPECT_EQ(message, "Floor plan is nil");
    EXPECT_TRUE(mesh.Vertices.empty());

    TFloorSettings bad = DefaultFloorSettings();
    bad.Height = 0.1f;
    const TFloorPlan low = Rectangle(bad);
    mesh.BuildCube();
    EXPECT_FALSE(BuildFloorPlanWallMesh(&mesh, &low, message));
    EXPECT_EQ(message, "Floor-plan height must be above the slab");
    EXPECT_TRUE(mesh.Vertices.empty());

    // Walls thicker than the outline allows fail with the inset's message; the slab builds.
    TFloorSettings thick = DefaultFloorSettings();
    thick.WallThickness = 1.5f;
    const TFloorPlan fat = Rectangle(thick);
    EXPECT_FALSE(BuildFloorPlanWallMesh(&mesh, &fat, message));
    EXPECT_EQ(message, "Inset would create a degenerate or self-intersecting ring");
    EXPECT_TRUE(BuildFloorPlanSlabMesh(&mesh, &fat, message));

    TFloorSettings roof = DefaultFloorSettings();
    roof.RoofType = rtTruncatedPyramid;
    roof.RoofInset = 1.7f;
    const TFloorPlan steep = Rectangle(roof);
    EXPECT_FALSE(BuildFloorPlanRoofMesh(&mesh, &steep, message));
    EXPECT_EQ(message, "Inset reverses polygon orientation");
}

TEST(FloorPlanMesh, StraightPointGivesSlabAndFlatRoofButNoWalls)
{
    TFloorSettings settings = DefaultFloorSettings();
    settings.RoofType = rtFlat;
    TFloorPlan plan(1, "P");
    plan.SetPoints({{0, 0}, {0, 4}, {2, 4}, {4, 4}, {4, 0}, {0, 0}});  // clockwise already
    plan.SetSettings(settings);
    TMeshData mesh;
    std::string message;
    ASSERT_TRUE(BuildFloorPlanSlabMesh(&mesh, &plan, message)) << message;
    EXPECT_EQ(mesh.Vertices.size(), 30u);
    ExpectOutwardWinding(mesh);
    ASSERT_TRUE(BuildFloorPlanRoofMesh(&mesh, &plan, message)) << message;
    EXPECT_EQ(CountFaces(mesh, 3), 3);
    EXPECT_FALSE(BuildFloorPlanWallMesh(&mesh, &plan, message));
    EXPECT_EQ(message, "Inset is unstable at polygon point 2");
}

TEST(FloorPlanMesh, LShapedFloorIsWoundOutwardEverywhere)
{
    TFloorSettings settings = DefaultFloorSettings();
    settings.RoofType = rtTruncatedPyramid;
    TFloorPlan plan(1, "L");
    plan.SetPoints({{0, 0}, {6, 0}, {6, 2}, {2, 2}, {2, 6}, {0, 6}, {0, 0}});
    plan.SetSettings(settings);
    TMeshData mesh;
    std::string message;
    ASSERT_TRUE(BuildFloorPlanSlabMesh(&mesh, &plan, message)) << message;
    EXPECT_EQ(mesh.Vertices.size(), 36u);
    ExpectOutwardWinding(mesh);
    ASSERT_TRUE(BuildFloorPlanWallMesh(&mesh, &plan, message)) << message;
    EXPECT_EQ(mesh.Faces.size(), 24u);
    ExpectOutwardWinding(mesh);
    ASSERT_TRUE(BuildFloorPlanRoofMesh(&mesh, &plan, message)) << message;
    EXPECT_EQ(mesh.Vertices.size(), 30u);
    ExpectOutwardWinding(mesh);
}

TEST(FloorPlanMesh, PerimeterAndPlanarHelpers)
{
    TSingleArray cum;
    float total = 0;
    CumulativePerimeter({{0, 0}, {0, 3}, {4, 3}, {4, 0}}, cum, total);
    EXPECT_EQ(cum, (TSingleArray{0, 3, 7, 10}));
    EXPECT_EQ(total, 14);
    CumulativePerimeter({{1, 1}, {1, 1}, {1, 1}}, cum, total);
    EXPECT_EQ(total, 1);
    const TVec2 uv = PlanarUV({1, 5}, 0, 2, 5, 5);  // flat in Z: extent counts as 1
    EXPECT_EQ(uv, (TVec2{0.5f, 0}));
}

namespace {

bool AllFinite(const TMeshData& mesh)
{
    for (const TMeshVertex& v : mesh.Vertices)
        for (float f : {v.Position.X, v.Position.Y, v.Position.Z, v.Normal.X, v.Normal.Y,
                        v.Normal.Z, v.UV.U, v.UV.V})
            if (!std::isfinite(f))
                return false;
    return true;
}

}  // namespace

TEST(FloorPlanMesh, OutlinesNearTheSingleRangeBuildFiniteMeshesOrAreRefused)
{
    struct Case {
        const char* Name;
        float Min, Max;   // the square's corners on both axes
        float Thickness;  // walls and roof inset
        bool MustBuild;
    };
    const Case cases[] = {
        {"side 3e38 from the origin", 0, 3e38f, 1e37f, true},
        {"side 3e38 about the origin", -1.5e38f, 1.5e38f, 1e37f, true},
        {"side 6e38, past what a single difference holds", -3e38f, 3e38f, 1e37f, false},
        {"thin walls vanish in the rounding", -1.5e38f, 1.5e38f, 0.2f, false},
    };
    for (const Case& c : cases)
        for (TRoofType roof : {rtNone, rtFlat, rtTruncatedPyramid}) {
            SCOPED_TRACE(std::string(c.Name) + ", roof " + std::to_string(roof));
            TFloorSettings settings = DefaultFloorSettings();
            settings.WallThickness = settings.RoofInset = c.Thickness;
            settings.RoofType = roof;
            TFloorPlan plan(1, "Huge");
            // Counter-clockwise, as a user draws.
            plan.SetPoints(
                {{c.Min, c.Min}, {c.Max, c.Min}, {c.Max, c.Max}, {c.Min, c.Max}, {c.Min, c.Min}});
            ASSERT_TRUE(plan.SetSettings(settings));
            std::string message;
            ASSERT_TRUE(plan.Validate(message)) << message;
            for (auto build :
                 {BuildFloorPlanSlabMesh, BuildFloorPlanWallMesh, BuildFloorPlanRoofMesh}) {
                TMeshData mesh;
                if (build(&mesh, &plan, message)) {
                    EXPECT_TRUE(AllFinite(mesh));
                    for (const TMeshVertex& v : mesh.Vertices) {
                        EXPECT_GE(v.UV.U, 0);
                        EXPECT_LE(v.UV.U, 1);
                        EXPECT_NEAR(Vec3Length(v.Normal), 1, 1e-5);
                    }
                } else {
                    EXPECT_FALSE(c.MustBuild) << message;
                    EXPECT_FALSE(message.empty());
                }
            }
        }
}

TEST(FloorPlanMesh, InsetFailureNamesThePointByThePlansOwnNumbering)
{
    // Counter-clockwise with a point on the straight bottom edge: the prepared ring runs the
    // other way, but the message names plan point 1, the point the user put there.
    TFloorSettings settings = DefaultFloorSettings();
    settings.RoofType = rtTruncatedPyramid;
    TFloorPlan plan(1, "P");
    plan.SetPoints({{0, 0}, {2, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}});
    plan.SetSettings(settings);
    TMeshData mesh;
    std::string message;
    EXPECT_FALSE(BuildFloorPlanWallMesh(&mesh, &plan, message));
    EXPECT_EQ(message, "Inset is unstable at polygon point 1");
    EXPECT_FALSE(BuildFloorPlanRoofMesh(&mesh, &plan, message));
    EXPECT_EQ(message, "Inset is unstable at polygon point 1");
}
