#include "modifiers/uModifierTopologyUtils.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

TMeshVertex At(float x, float y, float z)
{
    TMeshVertex v;
    v.Position = {x, y, z};
    return v;
}

TMeshData Grid(std::initializer_list<TVec3> points)
{
    TMeshData m;
    for (const TVec3& p : points)
        m.AddVertex(At(p.X, p.Y, p.Z));
    return m;
}

// Six quads over eight shared corners, wound as the built cube.
TMeshData SharedCube()
{
    TMeshData m = Grid({{-1, -1, -1},
                        {1, -1, -1},
                        {1, -1, 1},
                        {-1, -1, 1},
                        {-1, 1, -1},
                        {1, 1, -1},
                        {1, 1, 1},
                        {-1, 1, 1}});
    m.AddQuad(0, 3, 2, 1);
    m.AddQuad(4, 5, 6, 7);
    m.AddQuad(1, 2, 6, 5);
    m.AddQuad(3, 0, 4, 7);
    m.AddQuad(2, 3, 7, 6);
    m.AddQuad(0, 1, 5, 4);
    return m;
}

// Signed area of a triangle of vertex indices, projected on XY.
float AreaXY(const TMeshData& m, int32_t a, int32_t b, int32_t c)
{
    TVec2 pa{m.Vertices[a].Position.X, m.Vertices[a].Position.Y};
    TVec2 pb{m.Vertices[b].Position.X, m.Vertices[b].Position.Y};
    TVec2 pc{m.Vertices[c].Position.X, m.Vertices[c].Position.Y};
    return 0.5f * Cross2D(pa, pb, pc);
}

}  // namespace

TEST(TopologyUtils, KeysAreDecimalText)
{
    EXPECT_EQ(EdgeKey(12, 3), "3:12");
    EXPECT_EQ(EdgeKey(-1, 0), "-1:0");
    EXPECT_EQ(CellKey(-4, 0, 9000000000LL), "-4:0:9000000000");
}

TEST(TopologyUtils, EdgeListOfASingleQuadIsAllBoundaryInWindingOrder)
{
    TMeshData m = Grid({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    m.AddQuad(0, 3, 2, 1, 4);
    TTopologyEdgeArray edges;
    ASSERT_TRUE(BuildEdgeList(m, edges));
    const TTopologyEdgeArray expected{{0, 3, 0, 0, -1, -1, 1},
                                      {2, 3, 0, 1, -1, -1, 1},
                                      {1, 2, 0, 2, -1, -1, 1},
                                      {0, 1, 0, 3, -1, -1, 1}};
    EXPECT_EQ(edges, expected);
    EXPECT_EQ(FindEdgeIndex(edges, 2, 1), 2);
    EXPECT_EQ(FindEdgeIndex(edges, 0, 2), -1);

    TBoundaryEdgeArray boundary;
    ASSERT_TRUE(FindBoundaryEdges(m, boundary));
    const TBoundaryEdgeArray expectedBoundary{
        {0, 3, 0, 0, 4}, {3, 2, 0, 1, 4}, {2, 1, 0, 2, 4}, {1, 0, 0, 3, 4}};
    EXPECT_EQ(boundary, expectedBoundary);

    TIntegerArrayList loops;
    ASSERT_TRUE(FindBoundaryLoops(m, loops));
    EXPECT_EQ(loops, (TIntegerArrayList{{0, 3, 2, 1}}));
}

TEST(TopologyUtils, SharedSideRecordsBothFacesAndSkipsBadSides)
{
    TMeshData m = Grid({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    m.AddTriangle(0, 1, 2);
    m.AddTriangle(0, 2, 3);
    m.AddTriangle(2, 0, 2);   // third use of 0-2; the 2-2 side is skipped
    m.AddTriangle(1, 9, -1);  // sides with out-of-range ends are skipped
    TTopologyEdgeArray edges;
    ASSERT_TRUE(BuildEdgeList(m, edges));
    ASSERT_EQ(edges.size(), 5u);
    const TTopologyEdge& diagonal = edges[FindEdgeIndex(edges, 0, 2)];
    EXPECT_EQ(diagonal.FaceA, 0);
    EXPECT_EQ(diagonal.CornerA, 2);
    EXPECT_EQ(diagonal.FaceB, 1);
    EXPECT_EQ(diagonal.CornerB, 0);
    EXPECT_EQ(diagonal.FaceCount, 4);  // 0, 1 and both sides of face 2

    m.Faces.pop_back();
    m.Faces.pop_back();
    TIntegerArrayList loops;
    ASSERT_TRUE(FindBoundaryLoops(m, loops));
    EXPECT_EQ(loops, (TIntegerArrayList{{0, 1, 2, 3}}));
}

TEST(TopologyUtils, ClosedCubeHasNoBoundary)
{
    const TMeshData m = SharedCube();
    TTopologyEdgeArray edges;
    ASSERT_TRUE(BuildEdgeList(m, edges));
    ASSERT_EQ(edges.size(), 12u);
    for (const TTopologyEdge& e : edges) {
        EXPECT_EQ(e.FaceCount, 2);
        EXPECT_GE(e.FaceB, 0);
    }
    TBoundaryEdgeArray boundary{{1, 2, 3, 4, 5}};
    ASSERT_TRUE(FindBoundaryEdges(m, boundary));
    EXPECT_TRUE(boundary.empty());
    TIntegerArrayList loops{{1}};
    ASSERT_TRUE(FindBoundaryLoops(m, loops));
    EXPECT_TRUE(loops.empty());
}

TEST(TopologyUtils, FaceWithBadCountStopsTheEdgeRoutines)
{
    TMeshData m = Grid({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    m.AddTriangle(0, 1, 2);
    m.AddTriangle(0, 2, 3);
    m.Faces[1].Count = 5;
    TTopologyEdgeArray edges;
    EXPECT_FALSE(BuildEdgeList(m, edges));
    EXPECT_EQ(edges.size(), 3u);  // what the first face gave stays
    TBoundaryEdgeArray boundary;
    EXPECT_FALSE(FindBoundaryEdges(m, boundary));
    EXPECT_TRUE(boundary.empty());
    TIntegerArrayList loops;
    EXPECT_FALSE(FindBoundaryLoops(m, loops));
    EXPECT_TRUE(loops.empty());
}

TEST(TopologyUtils, BoundaryLoopsOfTwoHolesAndAnOpenChain)
{
    // A square ring of four quads around a hole: an outer and an inner loop.
    TMeshData ring = Grid(
        {{0, 0, 0}, {3, 0, 0}, {3, 3, 0}, {0, 3, 0}, {1, 1, 0}, {2, 1, 0}, {2, 2, 0}, {1, 2, 0}});
    ring.AddQuad(0, 1, 5, 4);
    ring.AddQuad(1, 2, 6, 5);
    ring.AddQuad(2, 3, 7, 6);
    ring.AddQuad(3, 0, 4, 7);
    TIntegerArrayList loops;
    ASSERT_TRUE(FindBoundaryLoops(ring, loops));
    EXPECT_EQ(loops, (TIntegerArrayList{{0, 1, 2, 3}, {5, 4, 7, 6}}));

    // Two triangles meeting at one vertex give two loops through it.
    TMeshData bow = Grid({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {2, 0, 0}, {2, 1, 0}});
    bow.AddTriangle(0, 1, 2);
    bow.AddTriangle(1, 3, 4);
    ASSERT_TRUE(FindBoundaryLoops(bow, loops));
    EXPECT_EQ(loops, (TIntegerArrayList{{0, 1, 2}, {1, 3, 4}}));

    // A fin on the shared diagonal: at vertex 2 the chain takes the lowest unmarked edge
    // (to 3) and closes; the fin's two edges then lead nowhere and are dropped.
    TMeshData fin = Grid({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5f, 0.5f, 1}});
    fin.AddTriangle(0, 1, 2);
    fin.AddTriangle(0, 2, 3);
    fin.AddTriangle(0, 4, 2);
    ASSERT_TRUE(FindBoundaryLoops(fin, loops));
    EXPECT_EQ(loops, (TIntegerArrayList{{0, 1, 2, 3}}));
}

TEST(TopologyUtils, VertexInterpolation)
{
    TMeshVertex a = At(0, 0, 0), b = At(2, 4, -2);
    a.Normal = {1, 0, 0};
    b.Normal = {-1, 0, 0};
    a.Color = {0, 0.5f, 1};
    b.Color = {1, 0.5f, 0};
    a.UV = {0, 0};
    b.UV = {1, 0.5f};
    TMeshVertex v;
    MidpointVertex(a, b, v);
    EXPECT_EQ(v.Position, (TVec3{1, 2, -1}));
    EXPECT_EQ(v.Color, (TVec3{0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(v.Normal, (TVec3{0, 0, 0}));  // opposite normals cancel
    EXPECT_EQ(v.UV, (TVec2{0.5f, 0.25f}));

    b.Normal = {0, 1, 0};
    LerpVertex(a, b, v, 0.25f);
    EXPECT_EQ(v.Position, (TVec3{0.5f, 1, -0.5f}));
    EXPECT_EQ(v.Color, (TVec3{0.25f, 0.5f, 0.75f}));
    EXPECT_NEAR(v.Normal.X, 0.75f / std::sqrt(0.625f), 1e-6f);
    EXPECT_NEAR(v.Normal.Y, 0.25f / std::sqrt(0.625f), 1e-6f);
    EXPECT_EQ(v.UV, (TVec2{0.25f, 0.125f}));
}

TEST(TopologyUtils, ReverseFaceWindingMovesUVsWithTheirCorners)
{
    TMeshFace quad;
    quad.Indices = {0, 1, 2, 3};
    quad.UVs = {TVec2{0, 0}, TVec2{1, 0}, TVec2{1, 1}, TVec2{0, 1}};
    quad.Count = 4;
    ReverseFaceWinding(quad);
    EXPECT_EQ(quad.Indices, (std::array<int32_t, 4>{3, 2, 1, 0}));
    EXPECT_EQ(quad.UVs[0], (TVec2{0, 1}));
    EXPECT_EQ(quad.UVs[3], (TVec2{0, 0}));

    TMeshFace tri;
    tri.Indices = {5, 6, 7, -1};
    tri.UVs = {TVec2{0, 0}, TVec2{1, 0}, TVec2{1, 1}, TVec2{}};
    ReverseFaceWinding(tri);
    EXPECT_EQ(tri.Indices, (std::array<int32_t, 4>{7, 6, 5, -1}));
    EXPECT_EQ(tri.UVs[0], (TVec2{1, 1}));
    EXPECT_EQ(tri.UVs[1], (TVec2{1, 0}));

    TMeshFace bad = tri;
    bad.Count = 9;  // never swaps past the four stored corners
    ReverseFaceWinding(bad);
    EXPECT_EQ(bad.Indices, (std::array<int32_t, 4>{-1, 5, 6, 7}));
}

TEST(TopologyUtils, RecomputeVertexNormalsWeightsByAreaAndKeepsLooseVertices)
{
    // A big triangle facing +Z and a small one facing +X share vertex 0.
    TMeshData m =
        Grid({{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {0, 1, 0}, {0, 0, 1}, {9, 9, 9}, {8, 8, 8}});
    m.AddTriangle(0, 1, 2);
    m.AddTriangle(0, 3, 4);
    m.AddTriangle(0, 1, 42);  // an invalid corner adds nothing
    m.Vertices[5].Normal = {0, 0, 3};
    m.Vertices[6].Normal = {0, 0, 0};
    RecomputeVertexNormals(m);
    const TVec3 shared = Vec3Normalize({1, 0, 16});
    EXPECT_NEAR(m.Vertices[0].Normal.X, shared.X, 1e-6f);
    EXPECT_NEAR(m.Vertices[0].Normal.Z, shared.Z, 1e-6f);
    EXPECT_EQ(m.Vertices[1].Normal, (TVec3{0, 0, 1}));
    EXPECT_EQ(m.Vertices[3].Normal, (TVec3{1, 0, 0}));
    EXPECT_EQ(m.Vertices[5].Normal, (TVec3{0, 0, 1}));
    EXPECT_EQ(m.Vertices[6].Normal, (TVec3{0, 1, 0}));

    // Reversing every face's winding turns the normals outward. Vertex 6 is corner 0 of
    // the +Z quad after reversal, so both of its fan triangles count there.
    TMeshData cube = SharedCube();
    for (TMeshFace& f : cube.Faces)
        ReverseFaceWinding(f);
    RecomputeVertexNormals(cube);
    const float c = 1 / std::sqrt(6.0f);
    EXPECT_NEAR(cube.Vertices[6].Normal.X, c, 1e-6f);
    EXPECT_NEAR(cube.Vertices[6].Normal.Y, c, 1e-6f);
    EXPECT_NEAR(cube.Vertices[6].Normal.Z, 2 * c, 1e-6f);
    EXPECT_NEAR(cube.Vertices[0].Normal.X, -2 * c, 1e-6f);  // corner 2 of the -X quad
    EXPECT_NEAR(cube.Vertices[0].Normal.Y, -c, 1e-6f);
}

TEST(TopologyUtils, VertexNeighboursAndBoundaryMarks)
{
    TMeshData m = Grid({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {5, 5, 5}});
    m.AddTriangle(0, 1, 2);
    m.AddTriangle(0, 2, 3);
    m.AddTriangle(3, 3, 0);  // a repeated corner adds no self-neighbour
    TIntegerArrayList neighbours;
    std::vector<bool> boundary(4, true);  // shorter than the vertex list on purpose
    BuildVertexNeighbours(m, neighbours, boundary);
    ASSERT_EQ(neighbours.size(), 5u);
    EXPECT_EQ(neighbours[0], (TIntegerArray{1, 2, 3}));
    EXPECT_EQ(neighbours[2], (TIntegerArray{1, 0, 3}));
    EXPECT_EQ(neighbours[3], (TIntegerArray{2, 0}));
    EXPECT_TRUE(neighbours[4].empty());
    // 0-1, 1-2 and 2-3 are used once; the diagonal twice and 0-3 three times.
    EXPECT_EQ(boundary, (std::vector<bool>{true, true, true, true}));
    m.Faces.pop_back();
    m.AddQuad(3, 2, 1, 0);  // closes the two triangles from below
    BuildVertexNeighbours(m, neighbours, boundary);
    EXPECT_EQ(boundary, (std::vector<bool>{false, false, false, false}));
}

TEST(TopologyUtils, PlaneHelpers)
{
    TVec2 q;
    ProjectToPlane({1, 2, 3}, 0, q);
    EXPECT_EQ(q, (TVec2{2, 3}));
    ProjectToPlane({1, 2, 3}, 1, q);
    EXPECT_EQ(q, (TVec2{1, 3}));
    ProjectToPlane({1, 2, 3}, 7, q);
    EXPECT_EQ(q, (TVec2{1, 2}));

    const std::vector<TVec2> square{{0, 0}, {2, 0}, {2, 2}, {0, 2}};
    EXPECT_FLOAT_EQ(PolygonArea2D(square, 3), 4);
    EXPECT_FLOAT_EQ(PolygonArea2D({{0, 0}, {0, 2}, {2, 2}, {2, 0}}, 3), -4);
    EXPECT_FLOAT_EQ(PolygonArea2D(square, 2), 2);  // the first three points only
    EXPECT_FLOAT_EQ(PolygonArea2D(square, 40), 4);

    const TVec2 a{0, 0}, b{2, 0}, c{0, 2};
    EXPECT_TRUE(PointInTriangle2D({0.5f, 0.5f}, a, b, c));
    EXPECT_TRUE(PointInTriangle2D({1, 0}, a, b, c));        // on an edge
    EXPECT_TRUE(PointInTriangle2D(c, a, b, c));             // at a corner
    EXPECT_TRUE(PointInTriangle2D({0.5f, 0.5f}, a, c, b));  // either winding
    EXPECT_FALSE(PointInTriangle2D({2, 2}, a, b, c));
    EXPECT_FALSE(PointInTriangle2D({-0.1f, 1}, a, b, c));
}

TEST(TopologyUtils, TriangulateLoopClipsCounterClockwiseEarsInsideThePolygon)
{
    // An L-shaped hexagon on XY, given clockwise.
    TMeshData l = Grid({{0, 0, 0}, {0, 2, 0}, {1, 2, 0}, {1, 1, 0}, {2, 1, 0}, {2, 0, 0}});
    TIntegerArray triangles;
    ASSERT_TRUE(TriangulateLoop(l, {0, 1, 2, 3, 4, 5}, triangles));
    ASSERT_EQ(triangles.size(), 12u);
    float total = 0;
    for (size_t t = 0; t < triangles.size(); t += 3) {
        const float area = AreaXY(l, triangles[t], triangles[t + 1], triangles[t + 2]);
        EXPECT_GT(area, 0) << t;
        total += area;
        // No triangle covers the missing corner square's centre.
        TVec2 p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = {l.Vertices[triangles[t + k]].Position.X,
                    l.Vertices[triangles[t + k]].Position.Y};
        EXPECT_FALSE(PointInTriangle2D({1.5f, 1.5f}, p[0], p[1], p[2])) << t;
    }
    EXPECT_FLOAT_EQ(total, 3);

    // A convex quad on the XZ plane (dominant axis Y).
    TMeshData quad = Grid({{0, 5, 0}, {1, 5, 0}, {1, 5, 1}, {0, 5, 1}});
    ASSERT_TRUE(TriangulateLoop(quad, {0, 1, 2, 3}, triangles));
    EXPECT_EQ(triangles, (TIntegerArray{3, 0, 1, 1, 2, 3}));
}

TEST(TopologyUtils, TriangulateLoopRefusesBadLoops)
{
    TMeshData m = Grid({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}});
    TIntegerArray triangles{7, 7, 7};
    EXPECT_FALSE(TriangulateLoop(m, {0, 1, 2}, triangles));  // collinear
    EXPECT_TRUE(triangles.empty());
    EXPECT_FALSE(TriangulateLoop(m, {0, 1}, triangles));
    EXPECT_FALSE(TriangulateLoop(m, {0, 1, 9}, triangles));
    EXPECT_FALSE(TriangulateLoop(m, {0, -1, 3}, triangles));
    ASSERT_TRUE(TriangulateLoop(m, {0, 1, 3}, triangles));
    EXPECT_EQ(triangles, (TIntegerArray{0, 1, 3}));
}

TEST(TopologyUtils, UnionFindJoinsByRank)
{
    std::vector<int32_t> parent{0, 1, 2, 3, 4};
    std::vector<int32_t> rank(5, 0);
    UnionFindUnion(parent, rank, 1, 2);  // equal ranks: 2 goes under 1
    EXPECT_EQ(parent[2], 1);
    EXPECT_EQ(rank[1], 1);
    UnionFindUnion(parent, rank, 3, 2);  // lower rank 3 goes under 1
    EXPECT_EQ(parent[3], 1);
    EXPECT_EQ(rank[1], 1);
    UnionFindUnion(parent, rank, 2, 3);  // already together
    EXPECT_EQ(rank[1], 1);
    parent = {0, 0, 1, 2, 3};  // a chain: the walk halves it
    EXPECT_EQ(UnionFindRoot(parent, 4), 0);
    EXPECT_EQ(parent[4], 2);
    EXPECT_EQ(parent[2], 0);
}

TEST(TopologyUtils, WeldMergesAcrossCellsAndDropsDegenerateFaces)
{
    // Vertices 1 and 4 are 0.02 apart on either side of x = 0.4, a multiple of any
    // cell size a grid over 0.1 might use.
    TMeshData m =
        Grid({{0, 0, 0}, {0.39f, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0.41f, 0, 0}, {0.4f, 0, 0.5f}});
    m.Vertices[1].Color = {1, 0, 0};
    m.Vertices[4].Color = {0, 0, 1};
    m.Vertices[1].UV = {0, 1};
    m.Vertices[4].UV = {1, 1};
    m.Vertices[1].Normal = {1, 0, 0};
    m.Vertices[4].Normal = {0, 1, 0};
    m.AddTriangle(0, 1, 2, 3);
    m.AddQuad(1, 3, 2, 4, 5);  // 1 and 4 merge: a triangle remains
    m.AddTriangle(1, 4, 3);    // two corners merge: gone
    m.Faces[1].UVs = {TVec2{0.1f, 0}, TVec2{0.2f, 0}, TVec2{0.3f, 0}, TVec2{0.4f, 0}};

    TMeshData plain = m;
    WeldVertices(m, 0.1f, true, true, true);
    ASSERT_EQ(m.Vertices.size(), 5u);
    EXPECT_NEAR(m.Vertices[1].Position.X, 0.4f, 1e-6f);
    EXPECT_EQ(m.Vertices[1].Color, (TVec3{0.5f, 0, 0.5f}));
    EXPECT_EQ(m.Vertices[1].UV, (TVec2{0.5f, 1}));
    EXPECT_NEAR(m.Vertices[1].Normal.X, std::sqrt(0.5f), 1e-6f);
    EXPECT_EQ(m.Vertices[4].Position, (TVec3{0.4f, 0, 0.5f}));  // too far to join
    ASSERT_EQ(m.Faces.size(), 2u);
    EXPECT_EQ(m.Faces[0].Indices, (std::array<int32_t, 4>{0, 1, 2, -1}));
    EXPECT_EQ(m.Faces[0].TexId, 3);
    EXPECT_EQ(m.Faces[1].Indices, (std::array<int32_t, 4>{1, 3, 2, -1}));
    EXPECT_EQ(m.Faces[1].Count, 3);
    EXPECT_EQ(m.Faces[1].UVs[2], (TVec2{0.3f, 0}));
    EXPECT_EQ(m.Faces[1].TexId, 5);
    EXPECT_FALSE(m.Edges.empty());

    // Without averaging the lowest index's position and normal stay; faces keep their
    // corners.
    WeldVertices(plain, 0.1f, false, false, false);
    ASSERT_EQ(plain.Vertices.size(), 5u);
    EXPECT_EQ(plain.Vertices[1].Position, (TVec3{0.39f, 0, 0}));
    EXPECT_EQ(plain.Vertices[1].Normal, (TVec3{1, 0, 0}));
    EXPECT_EQ(plain.Vertices[1].Color, (TVec3{0.5f, 0, 0.5f}));
    ASSERT_EQ(plain.Faces.size(), 3u);
    EXPECT_EQ(plain.Faces[1].Indices, (std::array<int32_t, 4>{1, 3, 2, 1}));
    EXPECT_EQ(plain.Faces[2].Indices, (std::array<int32_t, 4>{1, 1, 3, -1}));
}

TEST(TopologyUtils, WeldIgnoresBadThresholdsAndSurvivesExtremePositions)
{
    TMeshData m = Grid({{0, 0, 0}, {0, 0, 0}});
    m.AddTriangle(0, 1, 1);
    const TMeshData before = m;
    for (float t : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(),
                    std::numeric_limits<float>::infinity()}) {
        WeldVertices(m, t, true, true, true);
        EXPECT_EQ(m.Vertices, before.Vertices) << t;
        EXPECT_EQ(m.Faces, before.Faces) << t;
    }

    // Coordinates far past the 64-bit cell range and non-finite ones are not UB; only
    // the exact distance decides.
    const float inf = std::numeric_limits<float>::infinity();
    TMeshData far = Grid({{3e38f, 0, 0},
                          {3e38f, 0, 0},
                          {-3e38f, 0, 0},
                          {inf, 0, 0},
                          {inf, 0, 0},
                          {std::numeric_limits<float>::quiet_NaN(), 0, 0},
                          {0, 0, 0}});
    far.AddTriangle(0, 2, 6);
    far.AddTriangle(1, 3, 6);
    far.AddTriangle(5, 4, 6);
    WeldVertices(far, 1e-6f, false, false, false);
    EXPECT_EQ(far.Vertices.size(), 6u);  // only 0 and 1 merge
    EXPECT_EQ(far.Faces[1].Indices[0], 0);
    EXPECT_EQ(far.Faces[1].Indices[1], 2);
}

TEST(TopologyUtils, WeldClustersMatchAllPairsComparison)
{
    // Dense random points: clusters grow by chains of close pairs across many cells.
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-1, 1);
    const float threshold = 0.09f;
    TMeshData m;
    for (int i = 0; i < 600; ++i) {
        m.AddVertex(At(coordinate(random), coordinate(random), coordinate(random) * 0.05f));
        m.AddTriangle(i, i, i);  // records where each vertex went
    }
    const TMeshData original = m;

    const int n = static_cast<int>(original.Vertices.size());
    std::vector<int32_t> parent(n), rank(n, 0);
    for (int i = 0; i < n; ++i)
        parent[i] = i;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < i; ++j) {
            const TVec3 d = Vec3Sub(original.Vertices[i].Position, original.Vertices[j].Position);
            if (Vec3Dot(d, d) <= threshold * threshold)
                UnionFindUnion(parent, rank, i, j);
        }
    std::vector<int32_t> newIndex(n, -1), expected(n);
    std::vector<TVec3> representatives;
    for (int i = 0; i < n; ++i) {
        int32_t& k = newIndex[UnionFindRoot(parent, i)];
        if (k < 0) {
            k = static_cast<int32_t>(representatives.size());
            representatives.push_back(original.Vertices[i].Position);
        }
        expected[i] = k;
    }
    ASSERT_GT(representatives.size(), 20u);
    ASSERT_LT(representatives.size(), 400u);

    WeldVertices(m, threshold, false, false, false);
    ASSERT_EQ(m.Vertices.size(), representatives.size());
    for (size_t k = 0; k < representatives.size(); ++k)
        ASSERT_EQ(m.Vertices[k].Position, representatives[k]) << k;
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(m.Faces[i].Indices[0], expected[i]) << i;
}
