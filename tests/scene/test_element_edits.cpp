#include "base/uMesh.h"
#include "scene/uElementEdits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>

namespace {

// Selected vertices, then their neighbours by the mesh's own (slow) query, each once.
std::vector<int32_t> ReferenceVertexSet(const TMeshData& Mesh, const std::vector<int32_t>& Sel)
{
    std::vector<int32_t> out;
    std::set<int32_t> seen;
    auto take = [&](int32_t v) {
        if (v >= 0 && v < int32_t(Mesh.Vertices.size()) && seen.insert(v).second)
            out.push_back(v);
    };
    for (int32_t v : Sel)
        take(v);
    for (int32_t v : Sel)
        for (int32_t n : Mesh.GetVertexNeighbours(v))
            take(n);
    return out;
}

}  // namespace

TEST(ElementEdits, VertexSelectionReachesItsNeighboursOnce)
{
    TMeshData cube;
    cube.BuildCube();
    TMeshData sphere;
    sphere.BuildSphere(12, 8);
    std::vector<int32_t> every(sphere.Vertices.size());
    for (size_t i = 0; i < every.size(); ++i)
        every[i] = int32_t(i);
    const struct {
        const TMeshData* Mesh;
        std::vector<int32_t> Selected;
    } cases[] = {
        {&cube, {0}},           {&cube, {0, 1}},  // adjacent: each written once
        {&cube, {-1, 5, 9999}},                   // outside the mesh: skipped
        {&sphere, every},       {&sphere, {}},
    };
    for (const auto& c : cases) {
        const std::vector<int32_t> got = VerticesToColour(*c.Mesh, MeshElementVertices, c.Selected);
        EXPECT_EQ(got, ReferenceVertexSet(*c.Mesh, c.Selected));
        EXPECT_EQ(std::set<int32_t>(got.begin(), got.end()).size(), got.size());
    }
}

TEST(ElementEdits, EdgesAndFacesGiveTheirEndsAndCorners)
{
    TMeshData cube;
    cube.BuildCube();
    const TMeshEdge e = cube.Edges[3];
    EXPECT_EQ(VerticesToColour(cube, MeshElementEdges, {3, 3, -2}),
              (std::vector<int32_t>{e.V0, e.V1}));
    const TMeshFace& f = cube.Faces[1];
    std::vector<int32_t> corners(f.Indices.begin(), f.Indices.begin() + f.Count);
    EXPECT_EQ(VerticesToColour(cube, MeshElementFaces, {1, 400}), corners);

    ColourVertices(cube, {0, -1, 100000}, {0.25f, 0.5f, 1});
    EXPECT_EQ(cube.Vertices[0].Color.Y, 0.5f);
    SetFacesTexId(cube, {0, 2, 77}, 4);
    EXPECT_EQ(cube.Faces[0].TexId, 4);
    EXPECT_EQ(cube.Faces[1].TexId, 0);
    EXPECT_EQ(cube.Faces[2].TexId, 4);
}

TEST(ElementEdits, TextureIdFromTheListText)
{
    const struct {
        const char* Text;
        bool Found;
        int32_t Id;
    } cases[] = {
        {"0 = none", true, 0}, {"3: brick.png", true, 3}, {"12", true, 12},
        {"", false, -7},  // an emptied list after a multi-face refresh keeps the ids
        {"none", false, -7},   {" 3", false, -7},         {"99999999999999999999", true, INT32_MAX},
    };
    for (const auto& c : cases) {
        int32_t id = -7;
        EXPECT_EQ(LeadingTexId(c.Text, id), c.Found) << c.Text;
        EXPECT_EQ(id, c.Id) << c.Text;
    }
}

TEST(ElementEdits, ColourChannelsClampAndDefaultToOne)
{
    EXPECT_EQ(ColourChannel(true, 1.5f), 1.0f);
    EXPECT_EQ(ColourChannel(true, -2.0f), 0.0f);
    EXPECT_EQ(ColourChannel(false, 0.2f), 1.0f);
    EXPECT_EQ(ColourChannel(true, 0.25f), 0.25f);
}
