#include "modifiers/uModifierStretch.h"
#include "tests/modifiers/uModifierTestKit.h"

using namespace modtest;

namespace {

// A diamond in the XY plane centred on the origin: tips on Y at +-1, sides on X at +-1,
// and one point outside at (1, 1, 0).
TMeshData Diamond()
{
    TMeshData m;
    m.AddVertex(Vertex(0, -1, 0, {0, -1, 0}));
    m.AddVertex(Vertex(1, 0, 0, {1, 0, 0}));
    m.AddVertex(Vertex(0, 1, 0, {0, 1, 0}));
    m.AddVertex(Vertex(-1, 0, 0, {-1, 0, 0}));
    m.AddVertex(Vertex(1, 1, 0, {1, 0, 0}));
    return m;
}

}  // namespace

TEST(StretchModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("stretch", "Stretch", "Deform");
    TStretchModifier m;
    EXPECT_EQ(Saved(m),
              (std::vector<std::string>{"Amount=1", "Amplify=0", "Axis=1", "LimitsEnabled=0",
                                        "LowerLimit=0", "UpperLimit=1"}));
}

TEST(StretchModifier, ScalesAlongTheAxisAndInverselyAcross)
{
    const float b = 1 / std::sqrt(2.0f);
    struct Case {
        const char* What;
        float Amount, Amplify;
        bool Limits;
        float Lower, Upper;
        TVec3 Side, Tip, Corner;  // vertices 1, 2 and 4 afterwards
    };
    const Case cases[] = {
        {"doubled", 1, 0, false, 0, 1, {b, 0, 0}, {0, 2, 0}, {b, 2, 0}},
        {"floored", -1, 0, false, 0, 1, {10, 0, 0}, {0, 0.01f, 0}, {10, 0.01f, 0}},
        {"bulging", 1, 1, false, 0, 1, {2 * b, 0, 0}, {0, 2, 0}, {b, 2, 0}},
        // Range -1 .. 0 (mid -0.5, half 0.5); the tip is beyond the upper end by 1.
        {"lower half", 1, 0, true, 0, 0.5f, {b, 0.5f, 0}, {0, 1.5f, 0}, {b, 1.5f, 0}},
    };
    for (const Case& c : cases) {
        TStretchModifier m;
        m.SetAmount(c.Amount);
        m.SetAmplify(c.Amplify);
        m.SetLimitsEnabled(c.Limits);
        m.SetUpperLimit(c.Upper);
        m.SetLowerLimit(c.Lower);
        TMeshData out;
        m.Apply(Diamond(), out);
        ExpectNear3(out.Vertices[1].Position, c.Side, 1e-5f, std::string(c.What) + " side");
        ExpectNear3(out.Vertices[2].Position, c.Tip, 1e-5f, std::string(c.What) + " tip");
        ExpectNear3(out.Vertices[4].Position, c.Corner, 1e-5f, std::string(c.What) + " corner");
    }
}

TEST(StretchModifier, NormalsFollowTheInverseScaleInsideTheRangeOnly)
{
    TStretchModifier m;
    TMeshData out;
    TMeshData source = Diamond();
    source.Vertices[1].Normal = Vec3Normalize({1, 1, 0});
    m.Apply(source, out);
    // (n.A / s, n.U / c) with s = 2, c = 1/sqrt 2: proportional to (sqrt 2, 0.5).
    ExpectNear3(out.Vertices[1].Normal, Vec3Normalize({std::sqrt(2.0f), 0.5f, 0}), 1e-5f);

    m.SetLimitsEnabled(true);
    m.SetUpperLimit(0.5f);
    source.Vertices[2].Normal = Vec3Normalize({1, 1, 0});
    m.Apply(source, out);
    EXPECT_EQ(out.Vertices[2].Normal, source.Vertices[2].Normal);
}

TEST(StretchModifier, ZeroAmountsGiveAnExactCopy)
{
    const TMeshData cube = ClosedCube();
    TStretchModifier m;
    m.SetAmount(0);
    TMeshData out;
    m.Apply(cube, out);
    EXPECT_EQ(out.Vertices, cube.Vertices);
    // Amplify alone still bulges the middle.
    m.SetAmplify(0.5f);
    m.Apply(Diamond(), out);
    ExpectNear3(out.Vertices[1].Position, {1.5f, 0, 0}, 1e-6f);
}

TEST(StretchModifier, SettersLoaderRoundTripAndEstimate)
{
    TStretchModifier m;
    m.SetAmount(-20);
    EXPECT_EQ(m.GetAmount(), -10);
    m.SetAmplify(11);
    EXPECT_EQ(m.GetAmplify(), 10);
    m.SetAxis(0);
    m.SetLimitsEnabled(true);
    m.SetLowerLimit(0.125f);
    TStretchModifier fresh;
    ExpectRoundTrip(m, fresh);

    TStretchModifier loaded;
    Load(loaded, {"Amount=30", "Amplify=-30", "Axis=3", "UpperLimit=0", "LowerLimit=0"});
    EXPECT_EQ(loaded.GetAmount(), 10);
    EXPECT_EQ(loaded.GetAmplify(), -10);
    EXPECT_EQ(loaded.GetAxis(), 2);
    EXPECT_FLOAT_EQ(loaded.GetUpperLimit(), 0.001f);
    ExpectEstimateMatches(m, ClosedCube());
}
