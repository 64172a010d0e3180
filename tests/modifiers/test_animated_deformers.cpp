// Animated noise, animated wave, pulse scale and spin.
#include "base/uDocumentIds.h"
#include "modifiers/uModifierAdvanced.h"
#include "modifiers/uModifierWave.h"
#include "scene/uSceneObject.h"
#include "tests/modifiers/uModelingTestKit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

using namespace kit;

namespace {

// The shared cube moved so that its bounding-box centre is (5, 0, 0).
TMeshData OffsetCube()
{
    TMeshData m = SharedCube();
    for (TMeshVertex& v : m.Vertices)
        v.Position.X += 5;
    return m;
}

TMeshData AtTime(TAnimatedModifier& Modifier, const TMeshData& Source, double Time)
{
    TMeshData out;
    Modifier.ApplyAtTime(Source, out, Time);
    return out;
}

std::vector<TVec3> Positions(const TMeshData& m)
{
    std::vector<TVec3> p;
    for (const TMeshVertex& v : m.Vertices)
        p.push_back(v.Position);
    return p;
}

}  // namespace

TEST(AnimatedDeformers, ApplyIsTimeZeroAndTheContextTimeDrivesThem)
{
    const TMeshData cube = OffsetCube();
    std::vector<std::unique_ptr<TAnimatedModifier>> all;
    all.push_back(std::make_unique<TAnimatedNoiseModifier>());
    all.push_back(std::make_unique<TAnimatedWaveModifier>());
    all.push_back(std::make_unique<TPulseScaleModifier>());
    all.push_back(std::make_unique<TSpinModifier>());
    for (auto& m : all) {
        const std::string name = m->GetTypeId();
        const TMeshData zero = AtTime(*m, cube, 0);
        EXPECT_EQ(Positions(Apply(*m, cube)), Positions(zero)) << name;
        EXPECT_EQ(Positions(AtTime(*m, cube, std::nan(""))), Positions(zero)) << name;
        EXPECT_EQ(Positions(AtTime(*m, cube, -std::numeric_limits<double>::infinity())),
                  Positions(zero))
            << name;
        // The same time always gives the same mesh, whatever was evaluated in between.
        const TMeshData later = AtTime(*m, cube, 0.37);
        EXPECT_NE(Positions(later), Positions(zero)) << name;
        AtTime(*m, cube, 5);
        EXPECT_EQ(Positions(AtTime(*m, cube, 0.37)), Positions(later)) << name;

        TModifierEvaluationResult result = Evaluate(m->Clone(), cube, 0.37);
        ASSERT_TRUE(result.Success) << name << result.Message;
        EXPECT_EQ(Positions(*result.Mesh), Positions(later)) << name;
    }
}

TEST(AnimatedDeformers, AnObjectsMeshFollowsTheProjectFrame)
{
    TSceneObject object;
    object.SetBaseMesh(std::make_unique<TMeshData>(OffsetCube()));
    object.AddModifier(std::make_unique<TSpinModifier>());
    auto showFrame = [&](int32_t frame) {
        TModifierEvalContext context;
        context.Frame = frame;
        context.FPS = 30;
        context.Time = frame / 30.0;
        object.SetEvaluationContext(context);
        return object.GetEvaluatedMesh()->Vertices[6].Position;
    };
    ExpectNear(showFrame(30), {5.5f, 0.5f, -0.5f});  // one second: a quarter turn
    ExpectNear(showFrame(60), {4.5f, 0.5f, -0.5f});
    ExpectNear(showFrame(0), {5.5f, 0.5f, 0.5f});
}

TEST(AnimatedNoiseModifier, DisplacesBySinesOfTheSourcePositionIndexAndTime)
{
    TAnimatedNoiseModifier noise;
    noise.SetStrength(0.2f);
    noise.SetScale(0.5f);
    noise.SetSpeed(2);
    const TMeshData cube = SharedCube();
    for (double t : {0.0, 1.5}) {
        const TMeshData out = AtTime(noise, cube, t);
        const double T = t * 2;
        for (size_t i : {size_t{0}, size_t{6}}) {
            const TVec3 p = cube.Vertices[i].Position;
            const double k = 5;
            ExpectNear(out.Vertices[i].Position,
                       {static_cast<float>(p.X + 0.1 * std::sin(k * p.Y + 0.7 * i + T)),
                        static_cast<float>(p.Y + 0.06 * std::cos(k * p.X + 1.3 * i + 1.13 * T)),
                        static_cast<float>(p.Z + 0.1 * std::sin(k * p.Z + 0.9 * i + 0.87 * T))});
        }
        EXPECT_NEAR(Vec3Length(out.Vertices[0].Normal), 1, 1e-5f);  // recomputed
    }
    EXPECT_EQ(FlagsOf(noise, cube), 37);

    noise.SetStrength(5e-7f);
    EXPECT_EQ(AtTime(noise, cube, 3).Vertices, cube.Vertices);  // normals untouched too
}

TEST(AnimatedWaveModifier, IsTheWaveWithItsPhaseAdvancedByTime)
{
    const TMeshData grid = Grid(4, 4);
    TAnimatedWaveModifier animated;
    animated.SetAmplitude(0.3f);
    animated.SetAxis(0);
    for (const auto& [t, phase] :
         {std::pair{6.0, 180.0f}, std::pair{1.0, 30.0f}, std::pair{7.0, -150.0f}}) {
        TWaveModifier wave;
        wave.SetAmplitude(0.3f);
        wave.SetAxis(0);
        wave.SetPhaseDeg(phase);
        const TMeshData expected = Apply(wave, grid);
        const TMeshData out = AtTime(animated, grid, t);
        EXPECT_EQ(out.Vertices, expected.Vertices) << t;
    }
    EXPECT_EQ(FlagsOf(animated, grid), 37);
}

TEST(AnimatedWaveModifier, PlaybackSpendsNoModifierIdPerFrame)
{
    const TMeshData grid = Grid(2, 2);
    TAnimatedWaveModifier animated;
    AtTime(animated, grid, 0);
    const uint32_t before = AllocateModifierId();
    for (int frame = 1; frame <= 30; ++frame)
        AtTime(animated, grid, frame / 30.0);
    EXPECT_EQ(AllocateModifierId(), before + 1);
}

TEST(PulseScaleModifier, ScalesAboutTheBoundingBoxCentre)
{
    const TMeshData cube = OffsetCube();
    TPulseScaleModifier pulse;
    EXPECT_EQ(Positions(AtTime(pulse, cube, 0)), Positions(cube));
    // A quarter period: sin = 1.
    TMeshData out = AtTime(pulse, cube, 0.25);
    ExpectNear(out.Vertices[6].Position, {5 + 0.5f * 1.25f, 0.625f, 0.625f});
    EXPECT_EQ(out.Vertices[6].Normal, cube.Vertices[6].Normal);
    pulse.SetPhaseDeg(90);
    out = AtTime(pulse, cube, 0);
    ExpectNear(out.Vertices[0].Position, {5 - 0.625f, -0.625f, -0.625f});
    EXPECT_EQ(FlagsOf(pulse, cube), 33);
}

TEST(SpinModifier, TurnsAboutTheBoundingBoxCentre)
{
    const TMeshData cube = OffsetCube();
    TSpinModifier spin;
    // 90 degrees per second about Y: a quarter turn after one second, a half after two.
    ExpectNear(AtTime(spin, cube, 1).Vertices[6].Position, {5.5f, 0.5f, -0.5f});
    ExpectNear(AtTime(spin, cube, 2).Vertices[6].Position, {4.5f, 0.5f, -0.5f});
    spin.SetAxis(2);
    spin.SetPhaseDeg(90);
    const TMeshData out = AtTime(spin, cube, 0);
    ExpectNear(out.Vertices[6].Position, {4.5f, 0.5f, 0.5f});
    ExpectNear(out.Vertices[6].Normal, {-1, 0, 0});
    // A long playback still turns by whole turns exactly.
    spin.SetPhaseDeg(0);
    spin.SetSpeedDegPerSecond(360);
    ExpectNear(AtTime(spin, cube, 1e6).Vertices[6].Position, cube.Vertices[6].Position, 1e-4f);
    EXPECT_EQ(FlagsOf(spin, cube), 37);
}

TEST(AnimatedDeformers, WrapDegrees)
{
    struct Case {
        float in, out;
    };
    for (const Case& c : {Case{180, 180}, Case{-180, -180}, Case{190, -170}, Case{540, 180},
                          Case{-540, -180}, Case{-190, 170}, Case{360, 0}, Case{45, 45}})
        EXPECT_FLOAT_EQ(WrapDegrees(c.in), c.out) << c.in;
    for (float big : {1e12f, -3e38f, 3.4e38f}) {
        const float w = WrapDegrees(big);
        EXPECT_GE(w, -180);
        EXPECT_LE(w, 180);
    }
    EXPECT_EQ(WrapDegrees(std::nanf("")), 0);
    EXPECT_EQ(WrapDegrees(std::numeric_limits<float>::infinity()), 0);
}

TEST(AnimatedDeformers, SettersClampAndReplace)
{
    TPulseScaleModifier pulse;
    pulse.SetAmplitude(1.5f);
    EXPECT_FLOAT_EQ(pulse.GetAmplitude(), 0.99f);
    pulse.SetFrequency(std::nanf(""));
    EXPECT_EQ(pulse.GetFrequency(), 1);
    pulse.SetPhaseDeg(450);
    EXPECT_EQ(pulse.GetPhaseDeg(), 90);

    TAnimatedNoiseModifier noise;
    noise.SetScale(-20000);
    EXPECT_EQ(noise.GetScale(), 10000);
    noise.SetStrength(std::numeric_limits<float>::infinity());
    EXPECT_FLOAT_EQ(noise.GetStrength(), 0.1f);

    TAnimatedWaveModifier wave;
    wave.SetWavelength(-0.00001f);
    EXPECT_FLOAT_EQ(wave.GetWavelength(), 0.0001f);
    wave.SetAxis(5);
    EXPECT_EQ(wave.GetAxis(), 1);
    wave.SetSpeedDegPerSecond(std::nanf(""));
    EXPECT_EQ(wave.GetSpeedDegPerSecond(), 30);

    TSpinModifier spin;
    const int64_t revision = spin.GetRevision();
    spin.SetSpeedDegPerSecond(90.0000005f);  // within the tolerance
    spin.SetAxis(-1);                        // becomes Y, which it is
    EXPECT_EQ(spin.GetRevision(), revision);
}

TEST(AnimatedDeformers, ParameterLines)
{
    struct Case {
        std::unique_ptr<TModifier> fresh, edited;
        std::vector<std::string> defaults;
    };
    auto noise = std::make_unique<TAnimatedNoiseModifier>();
    noise->SetStrength(-3);
    noise->SetScale(0.125f);
    noise->SetSpeed(7);
    auto wave = std::make_unique<TAnimatedWaveModifier>();
    wave->SetAmplitude(2);
    wave->SetWavelength(3);
    wave->SetPhaseDeg(-45);
    wave->SetDecay(0.5f);
    wave->SetAxis(2);
    wave->SetDirectionDeg(30);
    wave->SetSpeedDegPerSecond(-90);
    auto pulse = std::make_unique<TPulseScaleModifier>();
    pulse->SetAmplitude(0.5f);
    pulse->SetFrequency(3);
    pulse->SetPhaseDeg(10);
    auto spin = std::make_unique<TSpinModifier>();
    spin->SetSpeedDegPerSecond(-12.5f);
    spin->SetPhaseDeg(33);
    spin->SetAxis(0);
    Case cases[] = {
        {std::make_unique<TAnimatedNoiseModifier>(),
         std::move(noise),
         {"Strength=0.1000000015", "Scale=1", "Speed=1"}},
        {std::make_unique<TAnimatedWaveModifier>(),
         std::move(wave),
         {"Amplitude=0.1000000015", "Wavelength=1", "PhaseDeg=0", "Decay=0", "Axis=1",
          "DirectionDeg=0", "SpeedDegPerSecond=30"}},
        {std::make_unique<TPulseScaleModifier>(),
         std::move(pulse),
         {"Amplitude=0.25", "Frequency=1", "PhaseDeg=0"}},
        {std::make_unique<TSpinModifier>(),
         std::move(spin),
         {"SpeedDegPerSecond=90", "PhaseDeg=0", "Axis=1"}},
    };
    for (Case& c : cases) {
        const std::string name = c.fresh->GetTypeId();
        EXPECT_EQ(Saved(*c.fresh), c.defaults) << name;
        std::unique_ptr<TModifier> loaded = c.fresh->Clone();
        Load(*loaded, Saved(*c.edited));
        EXPECT_EQ(Saved(*loaded), Saved(*c.edited)) << name;
        EXPECT_GT(loaded->GetRevision(), 1) << name;  // loaded through the setters
        // Text that does not convert keeps the current value.
        std::vector<std::string> junk;
        for (const std::string& line : c.defaults)
            junk.push_back(line.substr(0, line.find('=') + 1) + "junk");
        Load(*loaded, junk);
        EXPECT_EQ(Saved(*loaded), Saved(*c.edited)) << name;
    }
}
