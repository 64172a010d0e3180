#include "modifiers/uModifierPush.h"
#include "tests/modifiers/uModifierTestKit.h"

#include <limits>

using namespace modtest;

TEST(PushModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("push", "Push", "Deform");
    TPushModifier m;
    EXPECT_EQ(Saved(m), (std::vector<std::string>{"Amount=0.1000000015"}));
}

TEST(PushModifier, MovesAlongTheStoredNormals)
{
    struct Case {
        TVec3 In, Normal, Out;
    };
    const Case cases[] = {
        {{0, 0, 0}, {0, 1, 0}, {0, 0.5f, 0}},
        {{0, 0, 0}, {0, 2, 0}, {0, 1, 0}},
        {{1, 1, 1}, {0, 0, 0}, {1, 1, 1}},
        // Hard edge: one corner, two normals; the two copies move apart.
        {{1, 0, 0}, {1, 0, 0}, {1.5f, 0, 0}},
        {{1, 0, 0}, {0, 0, -1}, {1, 0, -0.5f}},
    };
    TMeshData source;
    for (const Case& c : cases)
        source.AddVertex(Vertex(c.In.X, c.In.Y, c.In.Z, c.Normal));
    TPushModifier m;
    m.SetAmount(0.5f);
    TMeshData out;
    m.Apply(source, out);
    for (size_t i = 0; i < std::size(cases); ++i) {
        ExpectNear3(out.Vertices[i].Position, cases[i].Out, 1e-6f, std::to_string(i));
        EXPECT_EQ(out.Vertices[i].Normal, cases[i].Normal);
    }
}

TEST(PushModifier, TinyAmountGivesAnExactCopy)
{
    const TMeshData cube = ClosedCube();
    TPushModifier m;
    m.SetAmount(0.0000009f);
    TMeshData out;
    m.Apply(cube, out);
    EXPECT_EQ(out.Vertices, cube.Vertices);
    EXPECT_EQ(out.Edges, cube.Edges);
}

TEST(PushModifier, AmountIsClampedFromFilesAndSetters)
{
    for (const char* line : {"Amount=250", "Amount=-250"}) {
        TPushModifier m;
        Load(m, {line});
        EXPECT_EQ(std::fabs(m.GetAmount()), 100) << line;
    }
    TPushModifier m;
    m.SetAmount(250);
    EXPECT_EQ(m.GetAmount(), 100);
    m.SetAmount(-250);
    EXPECT_EQ(m.GetAmount(), -100);
    m.SetAmount(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(m.GetAmount(), 0);
    TPushModifier junk;
    Load(junk, {"Amount=lots"});
    EXPECT_FLOAT_EQ(junk.GetAmount(), 0.1f);
}

TEST(PushModifier, ParametersRoundTripAndEstimate)
{
    TPushModifier m;
    m.SetAmount(-0.75f);
    TPushModifier fresh;
    ExpectRoundTrip(m, fresh);
    ExpectEstimateMatches(m, ClosedCube());
}
