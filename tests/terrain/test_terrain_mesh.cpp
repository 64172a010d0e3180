#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "terrain/uTerrainMesh.h"

namespace {

void ExpectVec(const TVec3& Actual, float X, float Y, float Z, const std::string& What)
{
    EXPECT_NEAR(Actual.X, X, 1e-6f) << What;
    EXPECT_NEAR(Actual.Y, Y, 1e-6f) << What;
    EXPECT_NEAR(Actual.Z, Z, 1e-6f) << What;
}

}  // namespace

TEST(TerrainMesh, TwoByTwoMapIsOneQuad)
{
    THeightmap Map(2);
    Map.Put(0, 0, 0.25f);
    Map.Put(1, 0, 0.5f);
    Map.Put(0, 1, 0.75f);
    Map.Put(1, 1, 1.0f);
    TMeshData Mesh;
    Mesh.BuildCube();  // replaced, not appended to
    BuildTerrainMesh(&Mesh, &Map, 3.0f, 2.0f);
    ASSERT_EQ(Mesh.Vertices.size(), 4u);
    ASSERT_EQ(Mesh.Faces.size(), 1u);
    ExpectVec(Mesh.Vertices[0].Position, -1.5f, 0.5f, -1.5f, "v0");
    ExpectVec(Mesh.Vertices[1].Position, 1.5f, 1.0f, -1.5f, "v1 (map x runs along +X)");
    ExpectVec(Mesh.Vertices[2].Position, -1.5f, 1.5f, 1.5f, "v2 (map y runs along +Z)");
    ExpectVec(Mesh.Vertices[3].Position, 1.5f, 2.0f, 1.5f, "v3");
    EXPECT_EQ(Mesh.Vertices[1].UV, (TVec2{1.0f, 0.0f}));
    EXPECT_EQ(Mesh.Vertices[2].UV, (TVec2{0.0f, 1.0f}));
    EXPECT_EQ(Mesh.Vertices[3].Color, Vec3(0.0f, 0.0f, 0.0f));

    const TMeshFace& Face = Mesh.Faces[0];
    EXPECT_EQ(Face.Indices, (std::array<int32_t, 4>{0, 2, 3, 1}));
    EXPECT_EQ(Face.Count, 4);
    EXPECT_EQ(Face.TexId, 0);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(Face.UVs[k], Mesh.Vertices[Face.Indices[k]].UV);
    EXPECT_EQ(Mesh.Edges.size(), 4u);
    EXPECT_EQ(Mesh.Edges[0], (TMeshEdge{0, 1}));

    // The one face normal, Cross(P2 - P0, P1 - P0) = Cross((0,1,3), (3,0.5,0)), normalised.
    const float Len = std::sqrt(1.5f * 1.5f + 9.0f * 9.0f + 3.0f * 3.0f);
    for (const TMeshVertex& V : Mesh.Vertices)
        ExpectVec(V.Normal, -1.5f / Len, 9.0f / Len, -3.0f / Len, "face normal");
    std::string Message;
    EXPECT_TRUE(Mesh.Validate(Message)) << Message;
}

TEST(TerrainMesh, FlatMapWithDefaultSizes)
{
    THeightmap Map(128);
    Map.Flatten();
    TMeshData Mesh;
    BuildTerrainMesh(&Mesh, &Map, 4.0f, 0.6f);
    ASSERT_EQ(Mesh.Vertices.size(), 16384u);
    ASSERT_EQ(Mesh.Faces.size(), 16129u);
    EXPECT_EQ(Mesh.Edges.size(), 2u * 128u * 127u);
    const TMeshVertex& First = Mesh.Vertices.front();
    const TMeshVertex& Last = Mesh.Vertices.back();
    ExpectVec(First.Position, -2.0f, 0.3f, -2.0f, "first");
    ExpectVec(Last.Position, 2.0f, 0.3f, 2.0f, "last");
    EXPECT_EQ(First.UV, (TVec2{0.0f, 0.0f}));
    EXPECT_EQ(Last.UV, (TVec2{1.0f, 1.0f}));
    for (const TMeshVertex& V : Mesh.Vertices) {
        ASSERT_EQ(V.Position.Y, 0.6f * 0.5f);
        ASSERT_EQ(V.Normal, Vec3(0.0f, 1.0f, 0.0f));
    }
    const TMeshFace& Face = Mesh.Faces[128];  // row 1, column 1
    EXPECT_EQ(Face.Indices, (std::array<int32_t, 4>{129, 257, 258, 130}));
}

TEST(TerrainMesh, NormalsAreAreaWeighted)
{
    // A 4 x 4 map, flat except its last column, which is one unit higher: the
    // cells of column 2 slope, the others are flat. Spacing and scale are 1.
    THeightmap Map(4);
    for (int y = 0; y < 4; ++y)
        Map.Put(3, y, 1.0f);
    TMeshData Mesh;
    BuildTerrainMesh(&Mesh, &Map, 3.0f, 1.0f);
    // Flat cells add (0, 1, 0), sloped ones (-1, 1, 0): vertex (2, 1) has two of
    // each, (-2, 4, 0) in sum. Averaging unit face normals would tilt it less.
    ExpectVec(Mesh.Vertices[1 * 4 + 2].Normal, -2.0f / std::sqrt(20.0f), 4.0f / std::sqrt(20.0f),
              0.0f, "vertex (2,1)");
    ExpectVec(Mesh.Vertices[1 * 4 + 1].Normal, 0.0f, 1.0f, 0.0f, "vertex (1,1)");
    ExpectVec(Mesh.Vertices[2 * 4 + 3].Normal, -1.0f / std::sqrt(2.0f), 1.0f / std::sqrt(2.0f),
              0.0f, "vertex (3,2)");
}

TEST(TerrainMesh, ZeroSizeAndMissingInputs)
{
    THeightmap Map(4);
    Map.Put(1, 1, 1.0f);
    TMeshData Mesh;
    BuildTerrainMesh(&Mesh, &Map, 0.0f, 1.0f);
    ASSERT_EQ(Mesh.Vertices.size(), 16u);
    // Every cell is degenerate, so each face falls back to straight up.
    for (const TMeshVertex& V : Mesh.Vertices)
        EXPECT_EQ(V.Normal, Vec3(0.0f, 1.0f, 0.0f));

    BuildTerrainMesh(&Mesh, nullptr, 4.0f, 1.0f);
    EXPECT_EQ(Mesh.Vertices.size(), 16u);  // left as it was
    BuildTerrainMesh(nullptr, &Map, 4.0f, 1.0f);
}
