#include "modifiers/uModifierUpdateUVs.h"
#include "tests/modifiers/uModifierTestKit.h"

using namespace modtest;

namespace {

// One quad facing the given normal with corner UVs (1, 1).
TMeshData QuadFacing(TVec3 Normal)
{
    TMeshData m;
    for (int i = 0; i < 4; ++i) {
        TMeshVertex v = Vertex(static_cast<float>(i), 0, 0, Normal);
        v.UV = {1, 1};
        m.AddVertex(v);
    }
    m.AddQuad(0, 1, 2, 3);
    m.RebuildEdges();
    return m;
}

}  // namespace

TEST(UnscaleUVsModifier, RegistersAndWritesNoParameters)
{
    ExpectRegistered("unscale_uvs", "Un-scale UVs", "UV Edit");
    TUnscaleUVsModifier m;
    EXPECT_TRUE(Saved(m).empty());
    std::vector<std::string> lines{"Anything=1", "ENDMOD", "Later=2"};
    int32_t index = 0;
    m.LoadParams(lines, index);
    EXPECT_EQ(index, 2);
}

TEST(UnscaleUVsModifier, ScalesUVsByTheDominantPlaneOfEachFace)
{
    struct Case {
        TVec3 Normal;
        TVec3 Scale;
        TVec2 UV;
    };
    const Case cases[] = {
        {{0, 1, 0}, {2, 3, 4}, {2, 4}},        {{0, -1, 0}, {2, 3, 4}, {2, 4}},
        {{1, 0, 0}, {2, 3, 4}, {4, 3}},        {{0, 0, 1}, {2, 3, 4}, {2, 3}},
        {{1, 1, 0}, {2, 3, 4}, {2, 4}},        {{1, 0, 1}, {2, 3, 4}, {4, 3}},
        {{0, 0, 0}, {2, 3, 4}, {2, 4}},        {{0, 1, 0}, {0, 3, -4}, {1, 4}},
        {{0, 1, 0}, {0.00005f, 1, 1}, {1, 1}},
    };
    for (const Case& c : cases) {
        TUnscaleUVsModifier m;
        m.SetObjectScale(c.Scale.X, c.Scale.Y, c.Scale.Z);
        TMeshData out;
        m.Apply(QuadFacing(c.Normal), out);
        for (int j = 0; j < 4; ++j) {
            EXPECT_FLOAT_EQ(out.Faces[0].UVs[j].U, c.UV.U);
            EXPECT_FLOAT_EQ(out.Faces[0].UVs[j].V, c.UV.V);
        }
    }
}

TEST(UnscaleUVsModifier, ObjectScaleIsNoParameter)
{
    TUnscaleUVsModifier m;
    TChangeCounter changes;
    changes.Attach(m);
    m.SetObjectScale(2, 3, 4);
    EXPECT_EQ(changes.Count, 0);
    auto clone = m.Clone();
    auto* copy = dynamic_cast<TUnscaleUVsModifier*>(clone.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetScaleX(), 1);
    EXPECT_EQ(copy->GetScaleZ(), 1);
    ExpectEstimateMatches(m, ClosedCube());
}
