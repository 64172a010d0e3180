#include "base/uMesh.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace {

void ExpectVec(const TVec3& v, float x, float y, float z, float tol = 1e-5f)
{
    EXPECT_NEAR(v.X, x, tol);
    EXPECT_NEAR(v.Y, y, tol);
    EXPECT_NEAR(v.Z, z, tol);
}

TMeshVertex At(float x, float y, float z, TVec2 uv = {})
{
    TMeshVertex v;
    v.Position = {x, y, z};
    v.UV = uv;
    return v;
}

// Newell normal: the winding's normal even for faces with two coincident corners.
TVec3 WindingNormal(const TMeshData& m, const TMeshFace& f)
{
    TVec3 n{};
    for (int k = 0; k < f.Count; ++k) {
        const TVec3& a = m.Vertices[f.Indices[k]].Position;
        const TVec3& b = m.Vertices[f.Indices[(k + 1) % f.Count]].Position;
        n.X += (a.Y - b.Y) * (a.Z + b.Z);
        n.Y += (a.Z - b.Z) * (a.X + b.X);
        n.Z += (a.X - b.X) * (a.Y + b.Y);
    }
    return n;
}

TVec3 Centroid(const TMeshData& m, const TMeshFace& f)
{
    TVec3 c{};
    for (int k = 0; k < f.Count; ++k)
        c = Vec3Add(c, m.Vertices[f.Indices[k]].Position);
    return Vec3Scale(c, 1.0f / f.Count);
}

struct BuilderCase {
    const char* name;
    std::function<void(TMeshData&)> build;
    size_t vertices, faces, edges, quads;
    // Direction pointing out of the solid at a face centroid.
    std::function<TVec3(const TVec3&)> outward;
    // +1 when the face's winding normal must point out (CCW), -1 when in (CW).
    std::function<int(const TMeshFace&)> expectedSign;
};

TVec3 FromOrigin(const TVec3& c)
{
    return c;
}
int AllCW(const TMeshFace&)
{
    return -1;
}
int AllCCW(const TMeshFace&)
{
    return 1;
}

}  // namespace

TEST(Mesh, BuildersProduceTheirCountsWindingAndDefaults)
{
    const BuilderCase cases[] = {
        {"cube", [](TMeshData& m) { m.BuildCube(); }, 24, 6, 24, 6, FromOrigin, AllCW},
        {"sphere", [](TMeshData& m) { m.BuildSphere(24, 16, 0.5f); }, 386, 408, 792, 360,
         FromOrigin, [](const TMeshFace& f) { return f.Count == 3 ? -1 : 1; }},
        {"cylinder", [](TMeshData& m) { m.BuildCylinder(24, 0.5f, 1); }, 50, 72, 120, 24,
         FromOrigin, AllCW},
        {"cone", [](TMeshData& m) { m.BuildCone(24, 0.5f, 1); }, 26, 48, 72, 0, FromOrigin, AllCW},
        {"torus", [](TMeshData& m) { m.BuildTorus(24, 16, 0.35f, 0.15f); }, 384, 384, 768, 384,
         [](const TVec3& c) {
             const TVec3 tube = Vec3Scale(Vec3Normalize({c.X, 0, c.Z}), 0.35f);
             return Vec3Sub(c, tube);
         },
         AllCCW},
        {"plane", [](TMeshData& m) { m.BuildPlane(0.5f); }, 4, 1, 4, 1,
         [](const TVec3&) {
             return TVec3{0, 1, 0};
         },
         AllCW},
        {"skybox", [](TMeshData& m) { m.BuildSkybox(); }, 2401, 2304, 4704, 2304, FromOrigin,
         AllCCW},
    };
    for (const BuilderCase& c : cases) {
        SCOPED_TRACE(c.name);
        TMeshData m;
        m.AddVertex(At(9, 9, 9));  // leftovers must be cleared by the builder
        m.AddTriangle(0, 0, 0, 5);
        c.build(m);
        EXPECT_EQ(m.Vertices.size(), c.vertices);
        EXPECT_EQ(m.Faces.size(), c.faces);
        EXPECT_EQ(m.Edges.size(), c.edges);
        std::string message;
        EXPECT_TRUE(m.Validate(message)) << message;
        size_t quads = 0;
        int wrongWinding = 0;
        for (const TMeshFace& f : m.Faces) {
            quads += f.Count == 4;
            EXPECT_EQ(f.TexId, 0);
            if (f.Count == 3) {
                EXPECT_EQ(f.Indices[3], -1);
            }
            const TVec3 n = WindingNormal(m, f);
            if (Vec3Length(n) < 1e-9f)
                continue;  // the skybox's pole rows are degenerate
            const float side = Vec3Dot(n, c.outward(Centroid(m, f)));
            if ((side > 0 ? 1 : -1) != c.expectedSign(f))
                ++wrongWinding;
        }
        EXPECT_EQ(quads, c.quads);
        EXPECT_EQ(wrongWinding, 0);
        const TVec3 color = std::string(c.name) == "skybox" ? TVec3{1, 1, 1} : TVec3{0, 0, 0};
        for (const TMeshVertex& v : m.Vertices)
            ASSERT_EQ(v.Color, color);
    }
}

TEST(Mesh, CubeLaysOutEachFaceOnItsOwnFourVertices)
{
    TMeshData m;
    m.BuildCube();
    // Bottom face: corners c0, c3, c2, c1 with the normal (0,-1,0) and UVs in order.
    ExpectVec(m.Vertices[0].Position, -0.5f, -0.5f, -0.5f);
    ExpectVec(m.Vertices[1].Position, -0.5f, -0.5f, 0.5f);
    ExpectVec(m.Vertices[2].Position, 0.5f, -0.5f, 0.5f);
    ExpectVec(m.Vertices[3].Position, 0.5f, -0.5f, -0.5f);
    ExpectVec(m.Vertices[3].Normal, 0, -1, 0);
    // Last face (0,0,-1): c0, c1, c5, c4.
    ExpectVec(m.Vertices[22].Position, 0.5f, 0.5f, -0.5f);
    ExpectVec(m.Vertices[23].Normal, 0, 0, -1);
    const TMeshFace& top = m.Faces[1];
    EXPECT_EQ(top.Indices, (std::array<int32_t, 4>{4, 5, 6, 7}));
    EXPECT_EQ(top.UVs[2], (TVec2{1, 1}));
    EXPECT_EQ(top.UVs[3], (TVec2{0, 1}));
}

TEST(Mesh, CurvedBuildersPlaceTheirFirstVerticesAsLaidOut)
{
    TMeshData sphere;
    sphere.BuildSphere(24, 16, 0.5f);
    ExpectVec(sphere.Vertices[0].Position, 0, 0.5f, 0);
    ExpectVec(sphere.Vertices[385].Position, 0, -0.5f, 0);
    EXPECT_EQ(sphere.Vertices[385].UV, (TVec2{0.5f, 1}));
    const float phi = static_cast<float>(M_PI / 17);
    ExpectVec(sphere.Vertices[1].Position, 0.5f * std::sin(phi), 0.5f * std::cos(phi), 0);
    ExpectVec(sphere.Vertices[1].Normal, std::sin(phi), std::cos(phi), 0);
    EXPECT_EQ(sphere.Faces[0].Indices, (std::array<int32_t, 4>{0, 1, 2, -1}));

    TMeshData cylinder;
    cylinder.BuildCylinder(24, 0.5f, 1);
    ExpectVec(cylinder.Vertices[14].Position, 0, -0.5f, 0.5f);  // i = 6, a = pi/2
    ExpectVec(cylinder.Vertices[14].Normal, 0, 0, 1);
    EXPECT_NEAR(cylinder.Vertices[15].UV.U, 0.25f, 1e-6f);
    EXPECT_EQ(cylinder.Vertices[15].UV.V, 0);
    EXPECT_EQ(cylinder.Faces[2].Indices, (std::array<int32_t, 4>{2, 4, 5, 3}));

    TMeshData torus;
    torus.BuildTorus(24, 16, 0.35f, 0.15f);
    ExpectVec(torus.Vertices[4].Position, 0.35f, 0.15f, 0);  // i = 0, b = pi/2
    ExpectVec(torus.Vertices[4].Normal, 0, 1, 0);

    TMeshData sky;
    sky.BuildSkybox();
    ExpectVec(sky.Vertices[49 * 24].Position, 200, 0, 0, 1e-3f);
    ExpectVec(sky.Vertices[49 * 24].Normal, -1, 0, 0);
    EXPECT_EQ(sky.Vertices[49 * 48 + 48].UV, (TVec2{1, 0}));
}

TEST(Mesh, RebuildEdgesSortsDeduplicatesAndSkipsBadCorners)
{
    TMeshData m;
    m.AddTriangle(0, 1, 2, 0);  // no vertices yet: no edges
    m.RebuildEdges();
    EXPECT_TRUE(m.Edges.empty());

    m.Clear();
    for (int i = 0; i < 4; ++i)
        m.AddVertex(At(float(i), 0, 0));
    m.AddTriangle(2, 1, 0, 0);
    m.AddTriangle(1, 2, 3, 0);  // shares 1-2 with the first
    m.AddTriangle(3, 3, 0, 0);  // repeated corner: only 0-3
    m.AddQuad(0, 7, -1, 2, 0);  // out-of-range corners are skipped, 2-0 kept
    m.RebuildEdges();
    const std::vector<TMeshEdge> expected{{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
    EXPECT_EQ(m.Edges, expected);

    TMeshData sphere;
    sphere.BuildSphere(24, 16, 0.5f);
    for (size_t i = 1; i < sphere.Edges.size(); ++i) {
        const TMeshEdge& a = sphere.Edges[i - 1];
        const TMeshEdge& b = sphere.Edges[i];
        ASSERT_TRUE(a.V0 < b.V0 || (a.V0 == b.V0 && a.V1 < b.V1)) << i;
        ASSERT_LT(b.V0, b.V1);
    }
}

TEST(Mesh, ValidateReportsTheFirstProblemExactly)
{
    struct Case {
        const char* name;
        std::function<void(TMeshData&)> make;
        const char* message;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {"count before vertices",
         [&](TMeshData& m) {
             m.AddVertex(At(nan, 0, 0));
             m.AddTriangle(0, 0, 0, 0);
             m.Faces[0].Count = 5;
         },
         "Face 0: invalid count 5"},
        {"count too small",
         [](TMeshData& m) {
             m.AddVertex(At(0, 0, 0));
             m.AddTriangle(0, 0, 0, 0);
             m.AddTriangle(0, 0, 0, 0);
             m.Faces[1].Count = 2;
         },
         "Face 1: invalid count 2"},
        {"index past the end",
         [](TMeshData& m) {
             for (int i = 0; i < 3; ++i)
                 m.AddVertex(At(float(i), 0, 0));
             m.AddTriangle(0, 1, 2, 0);
             m.AddTriangle(0, 1, 2, 0);
             m.AddTriangle(0, 1, 3, 0);
         },
         "Face 2: vertex index 3 out of range (0..2)"},
        {"negative quad corner",
         [](TMeshData& m) {
             for (int i = 0; i < 4; ++i)
                 m.AddVertex(At(float(i), 0, 0));
             m.AddQuad(0, 1, 2, -1, 0);
         },
         "Face 0: vertex index -1 out of range (0..3)"},
        {"no vertices", [](TMeshData& m) { m.AddTriangle(0, 1, 2, 0); },
         "Face 0: vertex index 0 out of range (0..-1)"},
        {"nan position",
         [&](TMeshData& m) {
             m.AddVertex(At(0, 0, 0));
             m.AddVertex(At(0, 0, nan));
         },
         "Vertex 1: position contains NaN"},
        {"infinity passes",
         [&](TMeshData& m) {
             m.AddVertex(At(inf, -inf, 0));
             m.AddTriangle(0, 0, 0, 0);
             m.Vertices[0].Normal = {nan, nan, nan};
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMeshData m;
        c.make(m);
        std::string message = "stale";
        EXPECT_EQ(m.Validate(message), std::string(c.message).empty());
        EXPECT_EQ(message, c.message);
    }
}

TEST(Mesh, RayPickHitsTheNearestFanTriangleWithTheWindingNormal)
{
    TMeshData cube;
    cube.BuildCube();
    float distance = 0;
    TVec3 hit, normal;
    ASSERT_TRUE(cube.RayPick({0, 5, 0}, {0, -1, 0}, distance, hit, normal));
    EXPECT_FLOAT_EQ(distance, 4.5f);
    ExpectVec(hit, 0, 0.5f, 0);
    ExpectVec(normal, 0, -1, 0);  // the top face is wound CW seen from above

    // A hit on the second fan triangle of a quad, from below.
    ASSERT_TRUE(cube.RayPick({0.3f, -3, 0.2f}, {0, 1, 0}, distance, hit, normal));
    EXPECT_FLOAT_EQ(distance, 2.5f);
    ExpectVec(hit, 0.3f, -0.5f, 0.2f);
    ExpectVec(normal, 0, 1, 0);

    EXPECT_FALSE(cube.RayPick({5, 5, 0}, {0, -1, 0}, distance, hit, normal));
    EXPECT_EQ(distance, 1e30f);
    EXPECT_EQ(hit, (TVec3{5, 5, 0}));
    EXPECT_EQ(normal, (TVec3{0, 0, 1}));
}

TEST(Mesh, RayPickKeepsTheFirstOfEqualHitsAndIgnoresBrokenFaces)
{
    TMeshData m;
    m.AddVertex(At(-1, 0, -1));
    m.AddVertex(At(1, 0, -1));
    m.AddVertex(At(0, 0, 1));
    m.AddTriangle(0, 1, 2, 0);   // normal -Y
    m.AddTriangle(0, 2, 1, 0);   // same plane, normal +Y
    m.AddTriangle(0, 1, 99, 0);  // would read past the vertices
    float distance = 0;
    TVec3 hit, normal;
    ASSERT_TRUE(m.RayPick({0, 2, 0}, {0, -1, 0}, distance, hit, normal));
    EXPECT_FLOAT_EQ(distance, 2);
    ExpectVec(normal, 0, -1, 0);
}

TEST(Mesh, ListQueriesAndTheirBadIndices)
{
    TMeshData m;
    m.BuildPlane(0.5f);
    EXPECT_EQ(m.GetVertexNeighbours(0), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(m.GetVertexNeighbours(2), (std::vector<int32_t>{1, 3}));
    EXPECT_TRUE(m.GetVertexNeighbours(4).empty());
    EXPECT_TRUE(m.GetVertexNeighbours(-1).empty());
    EXPECT_EQ(m.GetFaceVertices(0), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_TRUE(m.GetFaceVertices(1).empty());
    EXPECT_EQ(m.GetEdgeVertices(3), (std::vector<int32_t>{2, 3}));
    EXPECT_TRUE(m.GetEdgeVertices(4).empty());
    EXPECT_TRUE(m.GetEdgeVertices(-1).empty());

    m.AddTriangle(3, 0, 2, 0);
    EXPECT_EQ(m.GetFaceVertices(1), (std::vector<int32_t>{3, 0, 2}));
    m.Edges.push_back({0, 1});  // a stale duplicate still lists the neighbour once
    EXPECT_EQ(m.GetVertexNeighbours(1), (std::vector<int32_t>{0, 2}));
}

TEST(Mesh, EditingCopiesVertexUVsAndCloneKeepsEdgesAsTheyAre)
{
    TMeshData m;
    EXPECT_EQ(m.AddVertex(At(0, 0, 0, {0.1f, 0.2f})), 0);
    EXPECT_EQ(m.AddVertex(At(1, 0, 0, {0.3f, 0.4f})), 1);
    EXPECT_EQ(m.AddVertex(At(1, 1, 0, {0.5f, 0.6f})), 2);
    EXPECT_EQ(m.AddTriangle(2, 0, 1, 7), 0);
    const TMeshFace& f = m.Faces[0];
    EXPECT_EQ(f.Indices, (std::array<int32_t, 4>{2, 0, 1, -1}));
    EXPECT_EQ(f.UVs[0], (TVec2{0.5f, 0.6f}));
    EXPECT_EQ(f.UVs[2], (TVec2{0.3f, 0.4f}));
    EXPECT_EQ(f.UVs[3], (TVec2{0, 0}));
    EXPECT_EQ(f.Count, 3);
    EXPECT_EQ(f.TexId, 7);
    EXPECT_EQ(m.AddQuad(0, 1, 2, 5, 1), 1);  // a bad corner reads no UV
    EXPECT_EQ(m.Faces[1].UVs[3], (TVec2{0, 0}));
    EXPECT_EQ(m.Faces[1].Count, 4);

    m.Edges = {{5, 9}};  // stale on purpose
    const std::unique_ptr<TMeshData> copy = m.Clone();
    EXPECT_EQ(copy->Vertices, m.Vertices);
    EXPECT_EQ(copy->Faces, m.Faces);
    EXPECT_EQ(copy->Edges, m.Edges);
    copy->Vertices[0].Position.X = 42;
    EXPECT_EQ(m.Vertices[0].Position.X, 0);

    m.Clear();
    EXPECT_TRUE(m.Vertices.empty() && m.Faces.empty() && m.Edges.empty());
}

TEST(Mesh, AppendMeshTransformedShiftsIndicesAndKeepsTriangleMarker)
{
    TMeshData dest;
    for (int i = 0; i < 10; ++i)
        dest.AddVertex(At(0, 0, float(i)));
    dest.Edges = {{0, 1}};

    TMeshData src;
    TMeshVertex v = At(1, 2, 3, {0.25f, 0.75f});
    v.Normal = {1, 1, 0};
    v.Color = {0.5f, 0.25f, 1};
    src.AddVertex(v);
    src.AddVertex(At(0, 0, 0));
    src.AddVertex(At(0, 0, 0));
    src.AddVertex(At(0, 0, 0));
    src.AddTriangle(0, 1, 2, 3);
    src.AddQuad(0, 1, 2, 3, 0);

    TMatrix4 m;
    MatCompose({10, 0, 0}, {0, 0, 0}, {2, 1, 1}, m);
    AppendMeshTransformed(&src, &dest, m);
    ASSERT_EQ(dest.Vertices.size(), 14u);
    ASSERT_EQ(dest.Faces.size(), 2u);
    EXPECT_EQ(dest.Faces[0].Indices, (std::array<int32_t, 4>{10, 11, 12, -1}));
    EXPECT_EQ(dest.Faces[0].TexId, 3);
    EXPECT_EQ(dest.Faces[0].UVs[0], (TVec2{0.25f, 0.75f}));
    EXPECT_EQ(dest.Faces[1].Indices, (std::array<int32_t, 4>{10, 11, 12, 13}));
    ExpectVec(dest.Vertices[10].Position, 12, 2, 3);
    // The plain 3x3 part, then normalised: (1,1,0) scaled by (2,1,1).
    ExpectVec(dest.Vertices[10].Normal, 2 / std::sqrt(5.0f), 1 / std::sqrt(5.0f), 0);
    EXPECT_EQ(dest.Vertices[10].Color, v.Color);
    EXPECT_EQ(dest.Edges, (std::vector<TMeshEdge>{{0, 1}}));  // left for the caller

    AppendMesh(&src, nullptr);
    AppendMesh(nullptr, &dest);
    EXPECT_EQ(dest.Vertices.size(), 14u);

    AppendMesh(&src, &src);  // appending a mesh to itself copies it once
    ASSERT_EQ(src.Vertices.size(), 8u);
    ASSERT_EQ(src.Faces.size(), 4u);
    EXPECT_EQ(src.Faces[2].Indices, (std::array<int32_t, 4>{4, 5, 6, -1}));
    EXPECT_EQ(src.Vertices[4].Position, v.Position);
}

TEST(Mesh, EstimateCopiesMultipliesInSixtyFourBits)
{
    TMeshData cube;
    cube.BuildCube();
    TMeshCopyCounts counts{1, 1, 1};
    EstimateCopies(&cube, 0, counts);
    EXPECT_EQ(counts, (TMeshCopyCounts{0, 0, 0}));
    counts = {1, 1, 1};
    EstimateCopies(nullptr, 5, counts);
    EXPECT_EQ(counts, (TMeshCopyCounts{0, 0, 0}));
    EstimateCopies(&cube, -3, counts);
    EXPECT_EQ(counts, (TMeshCopyCounts{0, 0, 0}));

    EstimateCopies(&cube, 3, counts);
    EXPECT_EQ(counts, (TMeshCopyCounts{72, 18, 72}));
    // Past the 32-bit range: 24 * 2^31 would wrap to 0 in 32 bits.
    EstimateCopies(&cube, int64_t{1} << 31, counts);
    EXPECT_EQ(counts.Vertices, int64_t{24} << 31);
    EXPECT_EQ(counts.Faces, int64_t{6} << 31);
    EstimateCopies(&cube, std::numeric_limits<int64_t>::max(), counts);
    EXPECT_EQ(counts.Vertices, std::numeric_limits<int64_t>::max());
}

TEST(Mesh, ElementKindCodes)
{
    const std::pair<int32_t, int32_t> known[] = {{5, 0}, {6, 1}, {7, 2}};
    for (auto [code, kind] : known) {
        int32_t got = -1;
        EXPECT_TRUE(TryGetMeshElementKind(code, got)) << code;
        EXPECT_EQ(got, kind);
    }
    for (int32_t code : {0, 1, 4, 8, -5}) {
        int32_t got = -1;
        EXPECT_FALSE(TryGetMeshElementKind(code, got)) << code;
    }
}
