#include "modifiers/uModifierRipple.h"
#include "tests/modifiers/uModifierTestKit.h"

#include <limits>

using namespace modtest;

TEST(RippleModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("ripple", "Ripple", "Deform");
    TRippleModifier m;
    EXPECT_EQ(Saved(m),
              (std::vector<std::string>{"Amplitude=0.1000000015", "Wavelength=1", "PhaseDeg=0",
                                        "Decay=0", "Axis=1", "CenterU=0", "CenterV=0"}));
}

TEST(RippleModifier, LiftsAlongTheAxisBySineOfTheDistance)
{
    struct Case {
        const char* What;
        int32_t Axis;
        float CenterU, CenterV, Decay;
        TVec3 In, Out;
    };
    const Case cases[] = {
        {"quarter out on X", 1, 0, 0, 0, {0.25f, 0, 0}, {0.25f, 0.1f, 0}},
        {"quarter out on Z", 1, 0, 0, 0, {0, 0, -0.25f}, {0, 0.1f, -0.25f}},
        {"three quarters", 1, 0, 0, 0, {0, 0, 0.75f}, {0, -0.1f, 0.75f}},
        {"at the centre", 1, 0, 0, 0, {0, 0, 0}, {0, 0, 0}},
        {"moved centre", 1, 1, 1, 0, {1, 0, -1}, {1, 0, -1}},
        {"moved centre, quarter", 1, 1, 1, 0, {1.25f, 0, -1}, {1.25f, 0.1f, -1}},
        {"height ignored", 1, 0, 0, 0, {0.25f, 5, 0}, {0.25f, 5.1f, 0}},
        {"decay", 1, 0, 0, 2, {0.25f, 0, 0}, {0.25f, 0.0606531f, 0}},
        {"axis X", 0, 0, 0, 0, {0, 0.25f, 0}, {0.1f, 0.25f, 0}},
        {"axis Z", 2, 0, 0, 0, {0, 0.25f, 0}, {0, 0.25f, 0.1f}},
    };
    for (const Case& c : cases) {
        TRippleModifier m;
        m.SetAxis(c.Axis);
        m.SetCenterU(c.CenterU);
        m.SetCenterV(c.CenterV);
        m.SetDecay(c.Decay);
        TMeshData source;
        source.AddVertex(Vertex(c.In.X, c.In.Y, c.In.Z));
        TMeshData out;
        m.Apply(source, out);
        ExpectNear3(out.Vertices[0].Position, c.Out, 1e-6f, c.What);
    }
}

TEST(RippleModifier, UpFacingNormalsTiltAgainstTheRadialSlope)
{
    // At half a wavelength the surface falls outwards at k x Amplitude = 0.2 pi.
    TMeshData source;
    source.AddVertex(Vertex(0.5f, 0, 0));
    source.AddVertex(Vertex(0, 0, 0));
    TRippleModifier m;
    TMeshData out;
    m.Apply(source, out);
    ExpectNear3(out.Vertices[0].Normal, {0.532018f, 0.846733f, 0}, 1e-5f);
    EXPECT_EQ(out.Vertices[1].Normal, Vec3(0, 1, 0));
}

TEST(RippleModifier, NormalsAcrossTheRadialDirectionKeepTheirLength)
{
    // Normals with a part across the radial direction, perpendicular to the axis: that part
    // is untouched by a radial slope, so it survives whole (it is neither lost nor merged
    // into the radial part).
    struct Case {
        TVec3 Position, Normal, Out;
    };
    const float r = std::sqrt(0.5f);
    const Case cases[] = {
        {{0, 0, 0.5f}, {1, 0, 0}, {1, 0, 0}},
        {{0, 0, 0.25f}, {1, 0, 0}, {1, 0, 0}},
        {{0, 0, 0.5f}, {r, 0, r}, {r, 0, r}},
        {{0.5f, 0, 0}, {0, 0, 1}, {0, 0, 1}},
    };
    TRippleModifier m;
    for (const Case& c : cases) {
        TMeshData source;
        source.AddVertex(Vertex(c.Position.X, c.Position.Y, c.Position.Z, c.Normal));
        TMeshData out;
        m.Apply(source, out);
        ExpectNear3(out.Vertices[0].Normal, c.Out, 1e-5f);
    }
}

TEST(RippleModifier, SettersLoaderRoundTripAndEstimate)
{
    TRippleModifier m;
    m.SetAxis(9);
    EXPECT_EQ(m.GetAxis(), 1);
    m.SetCenterU(std::numeric_limits<float>::infinity());
    EXPECT_EQ(m.GetCenterU(), 0);
    m.SetCenterU(-2.5f);
    m.SetCenterV(1e20f);
    m.SetAmplitude(3);
    m.SetWavelength(20000);
    EXPECT_EQ(m.GetWavelength(), 10000);
    m.SetPhaseDeg(-190);
    EXPECT_FLOAT_EQ(m.GetPhaseDeg(), 170);
    TRippleModifier fresh;
    ExpectRoundTrip(m, fresh);

    TRippleModifier loaded;
    Load(loaded, {"Axis=7", "Amplitude=-1000", "CenterV=oops", "Decay=-3"});
    EXPECT_EQ(loaded.GetAxis(), 2);
    EXPECT_EQ(loaded.GetAmplitude(), -100);
    EXPECT_EQ(loaded.GetCenterV(), 0);
    EXPECT_EQ(loaded.GetDecay(), 0);

    const TMeshData cube = ClosedCube();
    ExpectEstimateMatches(m, cube);
    TRippleModifier still;
    still.SetAmplitude(0.0000005f);
    TMeshData out;
    still.Apply(cube, out);
    EXPECT_EQ(out.Vertices, cube.Vertices);
}
