#include "modifiers/uModifierWave.h"
#include "tests/modifiers/uModifierTestKit.h"

#include <chrono>
#include <limits>

using namespace modtest;

namespace {

// Heights 0 .. 1 (centre 0.5) on the Y axis; the last vertex sits a quarter wavelength up.
TMeshData Heights()
{
    return Column({0, 1, 0.5f, 0.75f}, {1, 0, 0});
}

}  // namespace

TEST(WaveModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("wave", "Wave", "Deform");
    TWaveModifier m;
    EXPECT_EQ(Saved(m),
              (std::vector<std::string>{"Amplitude=0.1000000015", "Wavelength=1", "PhaseDeg=0",
                                        "Decay=0", "Axis=1", "DirectionDeg=0"}));
}

TEST(WaveModifier, PushesSidewaysBySineOfTheAxisCoordinate)
{
    struct Case {
        const char* What;
        float Phase, Decay, Direction;
        TVec3 Centre, Quarter;  // vertices 2 (a = 0) and 3 (a = 0.25)
    };
    const Case cases[] = {
        {"defaults", 0, 0, 0, {0, 0.5f, 0}, {0.1f, 0.75f, 0}},
        {"phase 90", 90, 0, 0, {0.1f, 0.5f, 0}, {0, 0.75f, 0}},
        {"decay 2", 0, 2, 0, {0, 0.5f, 0}, {0.0606531f, 0.75f, 0}},
        {"towards -Z", 0, 0, 90, {0, 0.5f, 0}, {0, 0.75f, -0.1f}},
    };
    for (const Case& c : cases) {
        TWaveModifier m;
        m.SetPhaseDeg(c.Phase);
        m.SetDecay(c.Decay);
        m.SetDirectionDeg(c.Direction);
        TMeshData out;
        m.Apply(Heights(), out);
        ExpectNear3(out.Vertices[2].Position, c.Centre, 1e-6f, std::string(c.What) + " centre");
        ExpectNear3(out.Vertices[3].Position, c.Quarter, 1e-6f, std::string(c.What) + " quarter");
    }
}

TEST(WaveModifier, NormalsTiltWithTheSlope)
{
    TWaveModifier m;
    TMeshData out;
    m.Apply(Heights(), out);
    // At the centre the slope is k x Amplitude = 0.2 pi: a side normal (1, 0, 0) tilts to
    // (1, -0.2 pi, 0) normalised; at the crest the slope is 0.
    ExpectNear3(out.Vertices[2].Normal, {0.846733f, -0.532018f, 0}, 1e-5f);
    ExpectNear3(out.Vertices[3].Normal, {1, 0, 0}, 1e-5f);
}

TEST(WaveModifier, TinyAmplitudeGivesAnExactCopy)
{
    const TMeshData cube = ClosedCube();
    TWaveModifier m;
    m.SetAmplitude(0);
    TMeshData out;
    m.Apply(cube, out);
    EXPECT_EQ(out.Vertices, cube.Vertices);
    EXPECT_EQ(out.Edges, cube.Edges);

    TMeshData facesOnly;
    facesOnly.Faces = cube.Faces;
    m.SetAmplitude(1);
    m.Apply(facesOnly, out);
    EXPECT_EQ(out.Faces, cube.Faces);
}

TEST(WaveModifier, SettersSanitiseClampAndWrap)
{
    TWaveModifier m;
    m.SetPhaseDeg(190);
    EXPECT_FLOAT_EQ(m.GetPhaseDeg(), -170);
    m.SetPhaseDeg(180);
    EXPECT_EQ(m.GetPhaseDeg(), 180);
    const auto start = std::chrono::steady_clock::now();
    m.SetPhaseDeg(1e12f);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_LE(std::fabs(m.GetPhaseDeg()), 180);
    m.SetWavelength(-5);
    EXPECT_FLOAT_EQ(m.GetWavelength(), 0.0001f);
    m.SetWavelength(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(m.GetWavelength(), 0.0001f);
    m.SetDecay(-1);
    EXPECT_EQ(m.GetDecay(), 0);
    m.SetAxis(7);
    EXPECT_EQ(m.GetAxis(), 1);

    TChangeCounter changes;
    changes.Attach(m);
    m.SetAmplitude(0.100005f);
    EXPECT_EQ(changes.Count, 0);
    m.SetAmplitude(0.2f);
    EXPECT_EQ(changes.Count, 1);
    m.SetAmplitude(500);
    EXPECT_EQ(m.GetAmplitude(), 100);
}

TEST(WaveModifier, LoaderSanitisesLikeTheSettersButClampsTheAxis)
{
    TWaveModifier m;
    Load(m, {"Axis=7", "Wavelength=0", "PhaseDeg=-540", "Decay=50", "DirectionDeg=190"});
    EXPECT_EQ(m.GetAxis(), 2);
    EXPECT_FLOAT_EQ(m.GetWavelength(), 0.0001f);
    EXPECT_EQ(m.GetPhaseDeg(), -180);
    EXPECT_EQ(m.GetDecay(), 10);
    EXPECT_FLOAT_EQ(m.GetDirectionDeg(), -170);

    TWaveModifier kept;
    kept.SetWavelength(3);
    Load(kept, {"Wavelength=three", "Axis=-1"});
    EXPECT_EQ(kept.GetWavelength(), 3);
    EXPECT_EQ(kept.GetAxis(), 0);
}

TEST(WaveModifier, ParametersRoundTripAndEstimate)
{
    TWaveModifier m;
    m.SetAmplitude(-0.5f);
    m.SetWavelength(2.5f);
    m.SetPhaseDeg(30);
    m.SetDecay(0.75f);
    m.SetAxis(0);
    m.SetDirectionDeg(-60);
    TWaveModifier fresh;
    ExpectRoundTrip(m, fresh);
    ExpectEstimateMatches(m, ClosedCube());
}
