#include "modifiers/uModifierReverseNormals.h"
#include "tests/modifiers/uModifierTestKit.h"

using namespace modtest;

namespace {

TMeshData QuadAndTriangle()
{
    TMeshData m;
    const TVec2 uvs[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; ++i) {
        TMeshVertex v = Vertex(static_cast<float>(i), 0, 0, {0, 1, 0});
        v.UV = uvs[i];
        m.AddVertex(v);
    }
    m.AddQuad(0, 1, 2, 3, 5);
    m.AddTriangle(0, 1, 2);
    m.RebuildEdges();
    return m;
}

}  // namespace

TEST(ReverseNormalsModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("reverse_normals", "Reverse Normals", "Topology");
    TReverseNormalsModifier m;
    EXPECT_EQ(Saved(m), (std::vector<std::string>{"ReverseWinding=1", "ReverseNormals=1"}));
}

TEST(ReverseNormalsModifier, ReversesIndicesButLeavesUVsInTheirSlots)
{
    const TMeshData source = QuadAndTriangle();
    TReverseNormalsModifier m;
    TMeshData out;
    m.Apply(source, out);
    const TMeshFace& quad = out.Faces[0];
    EXPECT_EQ(quad.Indices, (std::array<int32_t, 4>{3, 2, 1, 0}));
    EXPECT_EQ(quad.UVs, source.Faces[0].UVs);
    EXPECT_EQ(quad.TexId, 5);
    EXPECT_EQ(out.Faces[1].Indices, (std::array<int32_t, 4>{2, 1, 0, -1}));
    EXPECT_EQ(out.Vertices[0].Normal, Vec3(0, -1, 0));

    TMeshData twice;
    m.Apply(out, twice);
    EXPECT_EQ(twice.Vertices, source.Vertices);
    EXPECT_EQ(twice.Faces, source.Faces);
}

TEST(ReverseNormalsModifier, EachOptionWorksAlone)
{
    const TMeshData source = QuadAndTriangle();
    TReverseNormalsModifier m;
    m.SetReverseWinding(false);
    TMeshData out;
    m.Apply(source, out);
    EXPECT_EQ(out.Faces, source.Faces);
    EXPECT_EQ(out.Vertices[2].Normal, Vec3(0, -1, 0));

    m.SetReverseWinding(true);
    m.SetReverseNormals(false);
    m.Apply(source, out);
    EXPECT_EQ(out.Vertices, source.Vertices);
    EXPECT_EQ(out.Faces[0].Indices[0], 3);

    m.SetReverseWinding(false);
    m.Apply(source, out);
    EXPECT_EQ(out.Vertices, source.Vertices);
    EXPECT_EQ(out.Faces, source.Faces);
    EXPECT_EQ(out.Edges, source.Edges);
}

TEST(ReverseNormalsModifier, ParametersRoundTripWithFirstCharacterBooleans)
{
    TReverseNormalsModifier m;
    m.SetReverseNormals(false);
    TReverseNormalsModifier fresh;
    ExpectRoundTrip(m, fresh);
    EXPECT_FALSE(fresh.GetReverseNormals());

    TReverseNormalsModifier loaded;
    Load(loaded, {"ReverseWinding=true", "ReverseNormals=10"});
    EXPECT_FALSE(loaded.GetReverseWinding());
    EXPECT_TRUE(loaded.GetReverseNormals());

    TChangeCounter changes;
    changes.Attach(m);
    m.SetReverseNormals(false);
    EXPECT_EQ(changes.Count, 0);
    m.SetReverseWinding(false);
    EXPECT_EQ(changes.Count, 1);
    ExpectEstimateMatches(m, ClosedCube());
}
