#include "modifiers/uModifierInflate.h"
#include "tests/modifiers/uModifierTestKit.h"

using namespace modtest;

TEST(InflateModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("inflate", "Inflate", "Deform");
    TInflateModifier m;
    EXPECT_EQ(Saved(m), (std::vector<std::string>{"Width=0.05000000075"}));
}

TEST(InflateModifier, MovesAlongTheStoredNormal)
{
    struct Case {
        TVec3 In, Normal, Out;
    };
    const Case cases[] = {
        {{1, 1, 1}, {0, 1, 0}, {1, 0.95f, 1}},
        {{1, 1, 1}, {0, 0, 0}, {1, 1, 1}},
        {{0, 0, 0}, {2, 0, 0}, {-0.1f, 0, 0}},
        {{0, 0, 0}, {0, 0, -1}, {0, 0, 0.05f}},
    };
    TMeshData source;
    for (const Case& c : cases)
        source.AddVertex(Vertex(c.In.X, c.In.Y, c.In.Z, c.Normal));
    TInflateModifier m;
    m.SetWidth(-0.05f);
    TMeshData out;
    m.Apply(source, out);
    for (size_t i = 0; i < std::size(cases); ++i) {
        ExpectNear3(out.Vertices[i].Position, cases[i].Out, 1e-6f, std::to_string(i));
        EXPECT_EQ(out.Vertices[i].Normal, cases[i].Normal);
    }
}

TEST(InflateModifier, ParametersRoundTripAndEstimate)
{
    TInflateModifier m;
    m.SetWidth(-0.125f);
    TInflateModifier fresh;
    ExpectRoundTrip(m, fresh);
    TInflateModifier bad;
    Load(bad, {"Width=not a number"});
    EXPECT_FLOAT_EQ(bad.GetWidth(), 0.05f);
    ExpectEstimateMatches(m, ClosedCube());
}
