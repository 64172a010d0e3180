#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "scene/uCinematicEnvironment.h"

namespace {
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

void ExpectVec(const TVec3& v, float x, float y, float z, float tol = 1e-5f)
{
    EXPECT_NEAR(v.X, x, tol);
    EXPECT_NEAR(v.Y, y, tol);
    EXPECT_NEAR(v.Z, z, tol);
}

struct TClampCase {
    const char* Name;
    std::function<void(TCinematicEnvironment&, float)> Set;
    std::function<float(const TCinematicEnvironment&)> Get;
    float Min, Max;
};

std::vector<TClampCase> ClampCases()
{
    using E = TCinematicEnvironment;
    return {
        {"FieldOfView", &E::SetFieldOfView, [](const E& e) { return e.FieldOfView; }, 20, 120},
        {"Exposure", &E::SetExposure, [](const E& e) { return e.Exposure; }, -2, 2},
        {"VignetteStrength", &E::SetVignetteStrength, [](const E& e) { return e.VignetteStrength; },
         0, 1},
        {"AberrationStrength", &E::SetAberrationStrength,
         [](const E& e) { return e.AberrationStrength; }, 0, 0.02f},
        {"FogDensity", &E::SetFogDensity, [](const E& e) { return e.FogDensity; }, 0, 1},
        {"RimPower", &E::SetRimPower, [](const E& e) { return e.RimPower; }, 1, 8},
        {"RimStrength", &E::SetRimStrength, [](const E& e) { return e.RimStrength; }, 0, 1},
        {"RimLightWrap", &E::SetRimLightWrap, [](const E& e) { return e.RimLightWrap; }, 0, 0.5f},
        {"TintStrength", &E::SetTintStrength, [](const E& e) { return e.TintStrength; }, 0, 1},
        {"ContactRadius", &E::SetContactRadius, [](const E& e) { return e.ContactRadius; }, 0.05f,
         5},
        {"ContactStrength", &E::SetContactStrength, [](const E& e) { return e.ContactStrength; }, 0,
         1},
        {"SunShadow", &E::SetSunShadow, [](const E& e) { return e.SunShadow; }, 0, 1},
        {"ColorBleed", &E::SetColorBleed, [](const E& e) { return e.ColorBleed; }, 0, 1},
        {"MinimumShade", &E::SetMinimumShade, [](const E& e) { return e.MinimumShade; }, 0.05f, 1},
    };
}
}  // namespace

TEST(CinematicEnvironment, DefaultsMatchTheDocumentedLook)
{
    TCinematicEnvironment e;
    EXPECT_EQ(e.FieldOfView, 60);
    EXPECT_EQ(e.Exposure, 0);
    EXPECT_FALSE(e.VignetteOn);
    EXPECT_FALSE(e.AberrationOn);
    EXPECT_FALSE(e.FogOn);
    EXPECT_TRUE(e.UseAtmosphericFogColor);
    EXPECT_EQ(e.FogColor, (TVec3{0.5f, 0.55f, 0.6f}));
    EXPECT_EQ(e.TimeOfDay, 12.0f);
    EXPECT_TRUE(e.SkyOn && e.SunOn && e.MoonOn);
    EXPECT_FALSE(e.RimLightOn);
    EXPECT_FALSE(e.CelestialTintOn);
    EXPECT_TRUE(e.ContactLightingOn);
    EXPECT_FLOAT_EQ(e.ContactRadius, 0.65f);
    EXPECT_FLOAT_EQ(e.MinimumShade, 0.45f);
    EXPECT_EQ(e.ContactRayCount, 8);
}

TEST(CinematicEnvironment, SettersClampBothEndsAndKeepInRangeValues)
{
    for (const auto& c : ClampCases()) {
        SCOPED_TRACE(c.Name);
        TCinematicEnvironment e;
        c.Set(e, c.Min - 1000);
        EXPECT_EQ(c.Get(e), c.Min);
        c.Set(e, c.Max + 1000);
        EXPECT_EQ(c.Get(e), c.Max);
        const float mid = (c.Min + c.Max) / 2;
        c.Set(e, mid);
        EXPECT_EQ(c.Get(e), mid);
    }
}

TEST(CinematicEnvironment, SettersIgnoreNaNAndClampInfinities)
{
    for (const auto& c : ClampCases()) {
        SCOPED_TRACE(c.Name);
        TCinematicEnvironment e;
        const float before = c.Get(e);
        c.Set(e, kNaN);
        EXPECT_EQ(c.Get(e), before);
        c.Set(e, kInf);
        EXPECT_EQ(c.Get(e), c.Max);
        c.Set(e, -kInf);
        EXPECT_EQ(c.Get(e), c.Min);
    }
}

TEST(CinematicEnvironment, DocumentedClampExamples)
{
    TCinematicEnvironment e;
    e.SetFieldOfView(10);
    EXPECT_EQ(e.FieldOfView, 20);
    e.SetFieldOfView(150);
    EXPECT_EQ(e.FieldOfView, 120);
    e.SetExposure(-3);
    EXPECT_EQ(e.Exposure, -2);
    e.SetAberrationStrength(0.05f);
    EXPECT_FLOAT_EQ(e.AberrationStrength, 0.02f);
    e.SetContactRayCount(2);
    EXPECT_EQ(e.ContactRayCount, 4);
    e.SetContactRayCount(20);
    EXPECT_EQ(e.ContactRayCount, 12);
    e.SetContactRayCount(7);
    EXPECT_EQ(e.ContactRayCount, 7);
}

TEST(CinematicEnvironment, TimeOfDayWrapsIntoOneDay)
{
    const struct {
        float In, Out;
    } cases[] = {{24, 0},        {36, 12}, {-6, 18},
                 {25.5f, 1.5f},  {-1, 23}, {0, 0},
                 {23.5f, 23.5f}, {-48, 0}, {1e9f, std::fmod(1e9f, 24.0f)}};
    for (const auto& c : cases) {
        TCinematicEnvironment e;
        e.SetTimeOfDay(c.In);
        EXPECT_FLOAT_EQ(e.TimeOfDay, c.Out) << "hour " << c.In;
    }
}

TEST(CinematicEnvironment, TimeOfDayNeverStoresTwentyFourOrNonFinite)
{
    TCinematicEnvironment e;
    // -1e-7 wraps to 24 - 1e-7, which rounds to 24 in single precision.
    e.SetTimeOfDay(-1e-7f);
    EXPECT_EQ(e.TimeOfDay, 0);
    e.SetTimeOfDay(std::nextafter(24.0f, 0.0f));
    EXPECT_LT(e.TimeOfDay, 24.0f);
    e.SetTimeOfDay(7);
    e.SetTimeOfDay(kNaN);
    EXPECT_EQ(e.TimeOfDay, 7);
    e.SetTimeOfDay(kInf);
    EXPECT_EQ(e.TimeOfDay, 7);
    e.SetTimeOfDay(-kInf);
    EXPECT_EQ(e.TimeOfDay, 7);
}

TEST(CinematicEnvironment, AssignCopiesEveryFieldAndIgnoresNull)
{
    TCinematicEnvironment a;
    a.SetFieldOfView(33);
    a.VignetteOn = true;
    a.FogColor = {0.1f, 0.2f, 0.3f};
    a.SetTimeOfDay(5);
    a.SetContactRayCount(11);
    a.MoonOn = false;
    TCinematicEnvironment b;
    b.Assign(&a);
    EXPECT_EQ(b.FieldOfView, 33);
    EXPECT_TRUE(b.VignetteOn);
    EXPECT_EQ(b.FogColor, a.FogColor);
    EXPECT_EQ(b.TimeOfDay, 5);
    EXPECT_EQ(b.ContactRayCount, 11);
    EXPECT_FALSE(b.MoonOn);
    b.Assign(nullptr);
    EXPECT_EQ(b.FieldOfView, 33);
    b.SetDefaults();
    EXPECT_EQ(b.FieldOfView, 60);
    EXPECT_EQ(b.ContactRayCount, 8);
}

TEST(SkyColors, KeysAreHitExactlyAtTheirHours)
{
    const struct {
        float Hour;
        TVec3 Zenith, Horizon, Ground, Atmosphere;
    } keys[] = {
        {0.0f,
         {0.02f, 0.02f, 0.1f},
         {0.05f, 0.06f, 0.15f},
         {0.01f, 0.01f, 0.06f},
         {0.03f, 0.04f, 0.1f}},
        {4.5f,
         {0.04f, 0.05f, 0.18f},
         {0.15f, 0.08f, 0.25f},
         {0.06f, 0.04f, 0.15f},
         {0.08f, 0.06f, 0.18f}},
        {6.0f,
         {0.15f, 0.25f, 0.55f},
         {1.0f, 0.55f, 0.3f},
         {0.35f, 0.3f, 0.4f},
         {0.6f, 0.45f, 0.3f}},
        {8.0f,
         {0.2f, 0.45f, 0.85f},
         {0.55f, 0.75f, 0.95f},
         {0.5f, 0.6f, 0.75f},
         {0.45f, 0.55f, 0.7f}},
        {12.0f,
         {0.18f, 0.5f, 0.9f},
         {0.6f, 0.78f, 0.95f},
         {0.55f, 0.7f, 0.85f},
         {0.5f, 0.62f, 0.78f}},
        {17.0f,
         {0.18f, 0.42f, 0.78f},
         {0.9f, 0.7f, 0.4f},
         {0.55f, 0.45f, 0.5f},
         {0.6f, 0.5f, 0.45f}},
        {18.5f,
         {0.1f, 0.22f, 0.55f},
         {1.0f, 0.4f, 0.15f},
         {0.3f, 0.18f, 0.3f},
         {0.55f, 0.35f, 0.18f}},
        {20.0f,
         {0.04f, 0.06f, 0.22f},
         {0.25f, 0.1f, 0.3f},
         {0.08f, 0.04f, 0.16f},
         {0.12f, 0.07f, 0.2f}},
        // Past the last key the day closes on midnight again.
        {24.0f,
         {0.02f, 0.02f, 0.1f},
         {0.05f, 0.06f, 0.15f},
         {0.01f, 0.01f, 0.06f},
         {0.03f, 0.04f, 0.1f}},
    };
    for (const auto& k : keys) {
        SCOPED_TRACE(k.Hour);
        TVec3 z, h, g, a;
        GetSkyColorsForTime(k.Hour, z, h, g, a);
        ExpectVec(z, k.Zenith.X, k.Zenith.Y, k.Zenith.Z);
        ExpectVec(h, k.Horizon.X, k.Horizon.Y, k.Horizon.Z);
        ExpectVec(g, k.Ground.X, k.Ground.Y, k.Ground.Z);
        ExpectVec(a, k.Atmosphere.X, k.Atmosphere.Y, k.Atmosphere.Z);
    }
}

TEST(SkyColors, BlendUsesTheSmoothStep)
{
    TVec3 z, h, g, a;
    // 22 h is halfway from key 7 to key 8; smooth step of 0.5 is 0.5.
    GetSkyColorsForTime(22, z, h, g, a);
    ExpectVec(z, (0.04f + 0.02f) / 2, (0.06f + 0.02f) / 2, (0.22f + 0.1f) / 2);
    ExpectVec(a, (0.12f + 0.03f) / 2, (0.07f + 0.04f) / 2, (0.2f + 0.1f) / 2);
    // A quarter of the way from 8 h to 12 h: s = 0.25^2 * (3 - 0.5) = 0.15625.
    GetSkyColorsForTime(9, z, h, g, a);
    const float s = 0.15625f;
    ExpectVec(z, 0.2f + (0.18f - 0.2f) * s, 0.45f + (0.5f - 0.45f) * s, 0.85f + (0.9f - 0.85f) * s);
    // Below 0 h nothing matches a key: the 20 h key clamped to its start.
    GetSkyColorsForTime(-3, z, h, g, a);
    ExpectVec(z, 0.04f, 0.06f, 0.22f);
}

TEST(CelestialLighting, TimeOfDayTable)
{
    const struct {
        float Hour;
        TVec3 SunDirection;
        float SunFactor;
        TVec3 SunColor;
        float MoonIntensity;
        TVec3 AmbientColor;
        float AmbientLevel;
        TVec3 Zenith;
    } rows[] = {
        // Noon: sun straight up.
        {12, {0, 1, 0}, 1, {1.0f, 0.95f, 0.82f}, 0, {0.3f, 0.35f, 0.5f}, 0.8f, {0.18f, 0.5f, 0.9f}},
        // Sunrise: the sun on the horizon gives no daylight; the moon is just below.
        {6,
         {0.2f / std::sqrt(0.4f), 0, 0.6f / std::sqrt(0.4f)},
         0,
         {1.0f, 0.5f, 0.2f},
         0,
         {0.08f, 0.08f, 0.2f},
         0.3f,
         {0.15f, 0.25f, 0.55f}},
        // Midnight: sun straight down, moon straight up.
        {0, {0, -1, 0}, 0, {1.0f, 0.5f, 0.2f}, 1, {0.08f, 0.08f, 0.2f}, 0.5f, {0.02f, 0.02f, 0.1f}},
        // Sunset mirrors sunrise; the sky is 2/3 of the way from 17 h to 18.5 h (s = 20/27).
        {18,
         {-0.2f / std::sqrt(0.4f), 0, -0.6f / std::sqrt(0.4f)},
         0,
         {1.0f, 0.5f, 0.2f},
         0,
         {0.08f, 0.08f, 0.2f},
         0.3f,
         {0.120741f, 0.271852f, 0.609630f}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.Hour);
        TCinematicEnvironment e;
        e.SetTimeOfDay(r.Hour);
        TCelestialLighting l;
        ComputeCelestialLighting(e, l);
        ExpectVec(l.SunDirection, r.SunDirection.X, r.SunDirection.Y, r.SunDirection.Z);
        EXPECT_NEAR(l.SunFactor, r.SunFactor, 1e-5f);
        ExpectVec(l.SunColor, r.SunColor.X, r.SunColor.Y, r.SunColor.Z);
        EXPECT_NEAR(l.MoonIntensity, r.MoonIntensity, 1e-5f);
        ExpectVec(l.MoonColor, 0.55f, 0.6f, 1.0f);
        ExpectVec(l.AmbientColor, r.AmbientColor.X, r.AmbientColor.Y, r.AmbientColor.Z);
        EXPECT_NEAR(l.AmbientLevel, r.AmbientLevel, 1e-5f);
        ExpectVec(l.ZenithColor, r.Zenith.X, r.Zenith.Y, r.Zenith.Z, 1e-3f);
        EXPECT_NEAR(Vec3Length(l.MoonDirection), 1.0f, 1e-5f);
    }
}

TEST(CelestialLighting, ColourThresholdsAroundDawn)
{
    // Walk the morning: the sun colour turns from red through gold to white as the
    // sun factor passes 0.3 and 0.8, and the ambient through its four bands.
    TCinematicEnvironment e;
    TCelestialLighting l;
    int bands = 0;
    TVec3 lastAmbient{-1, -1, -1};
    for (float h = 5.0f; h <= 9.0f; h += 0.05f) {
        e.SetTimeOfDay(h);
        ComputeCelestialLighting(e, l);
        const float f = l.SunFactor;
        if (f > 0.8f)
            ExpectVec(l.SunColor, 1.0f, 0.95f, 0.82f);
        else if (f > 0.3f)
            ExpectVec(l.SunColor, 1.0f, 0.8f, 0.55f);
        else
            ExpectVec(l.SunColor, 1.0f, 0.5f, 0.2f);
        if (!(l.AmbientColor == lastAmbient)) {
            ++bands;
            lastAmbient = l.AmbientColor;
        }
        EXPECT_NEAR(l.AmbientLevel, 0.5f * f + 0.3f + 0.2f * l.MoonIntensity, 1e-6f);
    }
    EXPECT_EQ(bands, 4);
}
