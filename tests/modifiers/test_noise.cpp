#include "modifiers/uModifierNoise.h"
#include "tests/modifiers/uModifierTestKit.h"

using namespace modtest;

TEST(NoiseModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("noise", "Noise", "Deform");
    TNoiseModifier m;
    EXPECT_EQ(Saved(m), (std::vector<std::string>{"Strength=0.1000000015", "Scale=1"}));
}

TEST(NoiseModifier, WobblesEachVertexFromItsIndexAndMovedCoordinates)
{
    // Vertex 0 at the origin: x by sin 0, then y by cos 0 x 0.1 x 0.3, z by sin 0.
    // Vertex 1 at the origin: x by 0.05 sin 0.7; y by 0.03 cos(10 x_new + 1.3) with the moved
    // x; z by 0.05 sin 0.9.
    struct Case {
        TVec3 In, Out;
    };
    const Case cases[] = {
        {{0, 0, 0}, {0, 0.03f, 0}},
        {{0, 0, 0}, {0.0322108844f, -0.0015387001f, 0.0391663455f}},
    };
    TMeshData source;
    for (const Case& c : cases)
        source.AddVertex(Vertex(c.In.X, c.In.Y, c.In.Z, {0, 0, 1}));
    TNoiseModifier m;
    TMeshData out;
    m.Apply(source, out);
    for (size_t i = 0; i < std::size(cases); ++i) {
        ExpectNear3(out.Vertices[i].Position, cases[i].Out, 1e-6f, std::to_string(i));
        EXPECT_EQ(out.Vertices[i].Normal, Vec3(0, 0, 1));
    }

    m.SetStrength(0);
    m.Apply(source, out);
    EXPECT_EQ(out.Vertices, source.Vertices);
}

TEST(NoiseModifier, ParametersRoundTrip)
{
    TNoiseModifier m;
    m.SetStrength(0.25f);
    m.SetScale(-3);
    TNoiseModifier fresh;
    ExpectRoundTrip(m, fresh);
    EXPECT_FLOAT_EQ(fresh.GetScale(), -3);

    TNoiseModifier bad;
    Load(bad, {"Strength=x", "Scale=", "ENDMOD", "Scale=7"});
    EXPECT_FLOAT_EQ(bad.GetStrength(), 0.1f);
    EXPECT_FLOAT_EQ(bad.GetScale(), 1);
}

TEST(NoiseModifier, EstimateMatchesOutput)
{
    TNoiseModifier m;
    ExpectEstimateMatches(m, ClosedCube());
}
