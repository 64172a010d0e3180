#include "modifiers/uModifierSqueeze.h"
#include "tests/modifiers/uModifierTestKit.h"

using namespace modtest;

TEST(SqueezeModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("squeeze", "Squeeze", "Deform");
    TSqueezeModifier m;
    EXPECT_EQ(Saved(m),
              (std::vector<std::string>{"AxialAmount=1", "RadialAmount=1", "Axis=1",
                                        "LimitsEnabled=0", "LowerLimit=0", "UpperLimit=1"}));
}

TEST(SqueezeModifier, CompressesAndPinchesTheMiddle)
{
    // Vertices at x = 1 and heights -1 .. 1 (centre 0, range -1 .. 1) and one at the axis.
    struct Case {
        const char* What;
        float Axial, Radial;
        bool Limits;
        std::vector<TVec3> Out;  // for heights -1, -0.5, 0, 0.5, 1
    };
    const Case cases[] = {
        {"defaults",
         1,
         1,
         false,
         {{1, -0.05f, 0}, {0.25f, -0.025f, 0}, {0.05f, 0, 0}, {0.25f, 0.025f, 0}, {1, 0.05f, 0}}},
        {"axial only",
         0.5f,
         0,
         false,
         {{1, -0.5f, 0}, {1, -0.25f, 0}, {1, 0, 0}, {1, 0.25f, 0}, {1, 0.5f, 0}}},
        {"widening",
         0,
         -1,
         false,
         {{1, -1, 0}, {1.75f, -0.5f, 0}, {2, 0, 0}, {1.75f, 0.5f, 0}, {1, 1, 0}}},
        // Limits 0.25 .. 0.75: range -0.5 .. 0.5; the ends lie beyond it and stay.
        {"limited",
         1,
         1,
         true,
         {{1, -1, 0}, {1, -0.025f, 0}, {0.05f, 0, 0}, {1, 0.025f, 0}, {1, 1, 0}}},
    };
    TMeshData source;
    for (float y : {-1.0f, -0.5f, 0.0f, 0.5f, 1.0f})
        source.AddVertex(Vertex(1, y, 0, {1, 0, 0}));
    source.AddVertex(Vertex(-1, 0, 0, {-1, 0, 0}));  // centres the box on the axis
    for (const Case& c : cases) {
        TSqueezeModifier m;
        m.SetAxialAmount(c.Axial);
        m.SetRadialAmount(c.Radial);
        m.SetLimitsEnabled(c.Limits);
        m.SetUpperLimit(0.75f);
        m.SetLowerLimit(0.25f);
        TMeshData out;
        m.Apply(source, out);
        for (size_t i = 0; i < c.Out.size(); ++i)
            ExpectNear3(out.Vertices[i].Position, c.Out[i], 1e-6f,
                        std::string(c.What) + " " + std::to_string(i));
    }
}

TEST(SqueezeModifier, VerticesBeyondTheLimitsKeepTheirNormals)
{
    TMeshData source;
    for (float y : {-1.0f, 0.0f, 1.0f})
        source.AddVertex(Vertex(1, y, 0, Vec3Normalize({1, 1, 0})));
    source.AddVertex(Vertex(-1, 0, 0));
    TSqueezeModifier m;
    m.SetAxialAmount(0.5f);
    m.SetRadialAmount(0.5f);
    m.SetLimitsEnabled(true);
    m.SetUpperLimit(0.75f);
    m.SetLowerLimit(0.25f);
    TMeshData out;
    m.Apply(source, out);
    EXPECT_EQ(out.Vertices[0].Normal, source.Vertices[0].Normal);
    EXPECT_EQ(out.Vertices[2].Normal, source.Vertices[2].Normal);
    // Middle: a = 0.5, c = 0.5, so (n.A / a, n.U / c) keeps the direction.
    ExpectNear3(out.Vertices[1].Normal, Vec3Normalize({1, 1, 0}), 1e-6f);
}

TEST(SqueezeModifier, SettersLoaderRoundTripAndEstimate)
{
    TSqueezeModifier m;
    m.SetAxialAmount(12);
    EXPECT_EQ(m.GetAxialAmount(), 10);
    m.SetRadialAmount(0.25f);
    m.SetAxis(2);
    TSqueezeModifier fresh;
    ExpectRoundTrip(m, fresh);

    const TMeshData cube = ClosedCube();
    TSqueezeModifier zero;
    zero.SetAxialAmount(0);
    zero.SetRadialAmount(0.0000005f);
    TMeshData out;
    zero.Apply(cube, out);
    EXPECT_EQ(out.Vertices, cube.Vertices);

    TSqueezeModifier loaded;
    Load(loaded, {"RadialAmount=-99", "LimitsEnabled=1"});
    EXPECT_EQ(loaded.GetRadialAmount(), -10);
    EXPECT_TRUE(loaded.GetLimitsEnabled());
    ExpectEstimateMatches(m, cube);
}
