#include "scene/uCinematicEnvironment.h"

#include <algorithm>
#include <cmath>
#include <numbers>

float ClampSingle(float Value, float Min, float Max)
{
    if (Value < Min)
        return Min;
    if (Value > Max)
        return Max;
    return Value;
}

namespace {
// Clamps Value into the field; a not-a-number value keeps what the field holds.
void StoreClamped(float& Field, float Value, float Min, float Max)
{
    if (std::isnan(Value))
        return;
    Field = ClampSingle(Value, Min, Max);
}

float SmoothStep(float Edge0, float Edge1, float X)
{
    float t = static_cast<float>((X - Edge0) / (Edge1 - Edge0));
    if (std::isnan(t))
        t = 0;
    t = ClampSingle(t, 0, 1);
    return t * t * (3 - 2 * t);
}

TVec3 Lerp(const TVec3& a, const TVec3& b, float s)
{
    return {a.X + (b.X - a.X) * s, a.Y + (b.Y - a.Y) * s, a.Z + (b.Z - a.Z) * s};
}

struct TSkyKey {
    float Hour;
    TVec3 Zenith, Horizon, Ground, Atmosphere;
};

// Key 8 closes the day with the colours of midnight.
constexpr TSkyKey kSkyKeys[9] = {
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
    {6.0f, {0.15f, 0.25f, 0.55f}, {1.0f, 0.55f, 0.3f}, {0.35f, 0.3f, 0.4f}, {0.6f, 0.45f, 0.3f}},
    {8.0f, {0.2f, 0.45f, 0.85f}, {0.55f, 0.75f, 0.95f}, {0.5f, 0.6f, 0.75f}, {0.45f, 0.55f, 0.7f}},
    {12.0f, {0.18f, 0.5f, 0.9f}, {0.6f, 0.78f, 0.95f}, {0.55f, 0.7f, 0.85f}, {0.5f, 0.62f, 0.78f}},
    {17.0f, {0.18f, 0.42f, 0.78f}, {0.9f, 0.7f, 0.4f}, {0.55f, 0.45f, 0.5f}, {0.6f, 0.5f, 0.45f}},
    {18.5f, {0.1f, 0.22f, 0.55f}, {1.0f, 0.4f, 0.15f}, {0.3f, 0.18f, 0.3f}, {0.55f, 0.35f, 0.18f}},
    {20.0f,
     {0.04f, 0.06f, 0.22f},
     {0.25f, 0.1f, 0.3f},
     {0.08f, 0.04f, 0.16f},
     {0.12f, 0.07f, 0.2f}},
    {24.0f,
     {0.02f, 0.02f, 0.1f},
     {0.05f, 0.06f, 0.15f},
     {0.01f, 0.01f, 0.06f},
     {0.03f, 0.04f, 0.1f}},
};

TVec3 CelestialDirection(float Angle)
{
    const float c = std::cos(Angle);
    return Vec3Normalize({0.2f * c, std::sin(Angle), 0.6f * c});
}
}  // namespace

TCinematicEnvironment::TCinematicEnvironment()
{
    SetDefaults();
}

void TCinematicEnvironment::SetDefaults()
{
    FieldOfView = 60;
    Exposure = 0;
    VignetteOn = false;
    VignetteStrength = 0.25f;
    VignetteRadius = 0.75f;
    VignetteSoftness = 0.35f;
    AberrationOn = false;
    AberrationStrength = 0.0025f;
    FogOn = false;
    FogDensity = 0.01f;
    UseAtmosphericFogColor = true;
    FogColor = {0.5f, 0.55f, 0.6f};
    TimeOfDay = 12.0f;
    SkyOn = true;
    SunOn = true;
    MoonOn = true;
    RimLightOn = false;
    RimPower = 3.0f;
    RimStrength = 0.5f;
    RimLightWrap = 0.25f;
    CelestialTintOn = false;
    TintStrength = 0.25f;
    ContactLightingOn = true;
    ContactRadius = 0.65f;
    ContactStrength = 0.7f;
    SunShadow = 0.55f;
    ColorBleed = 0.1f;
    MinimumShade = 0.45f;
    ContactRayCount = 8;
}

void TCinematicEnvironment::Assign(const TCinematicEnvironment* Other)
{
    if (Other == nullptr || Other == this)
        return;
    *this = *Other;
}

void TCinematicEnvironment::SetFieldOfView(float Value)
{
    StoreClamped(FieldOfView, Value, 20, 120);
}
void TCinematicEnvironment::SetExposure(float Value)
{
    StoreClamped(Exposure, Value, -2, 2);
}
void TCinematicEnvironment::SetVignetteStrength(float Value)
{
    StoreClamped(VignetteStrength, Value, 0, 1);
}
void TCinematicEnvironment::SetAberrationStrength(float Value)
{
    StoreClamped(AberrationStrength, Value, 0, 0.02f);
}
void TCinematicEnvironment::SetFogDensity(float Value)
{
    StoreClamped(FogDensity, Value, 0, 1);
}
void TCinematicEnvironment::SetRimPower(float Value)
{
    StoreClamped(RimPower, Value, 1, 8);
}
void TCinematicEnvironment::SetRimStrength(float Value)
{
    StoreClamped(RimStrength, Value, 0, 1);
}
void TCinematicEnvironment::SetRimLightWrap(float Value)
{
    StoreClamped(RimLightWrap, Value, 0, 0.5f);
}
void TCinematicEnvironment::SetTintStrength(float Value)
{
    StoreClamped(TintStrength, Value, 0, 1);
}
void TCinematicEnvironment::SetContactRadius(float Value)
{
    StoreClamped(ContactRadius, Value, 0.05f, 5);
}
void TCinematicEnvironment::SetContactStrength(float Value)
{
    StoreClamped(ContactStrength, Value, 0, 1);
}
void TCinematicEnvironment::SetSunShadow(float Value)
{
    StoreClamped(SunShadow, Value, 0, 1);
}
void TCinematicEnvironment::SetColorBleed(float Value)
{
    StoreClamped(ColorBleed, Value, 0, 1);
}
void TCinematicEnvironment::SetMinimumShade(float Value)
{
    StoreClamped(MinimumShade, Value, 0.05f, 1);
}

void TCinematicEnvironment::SetContactRayCount(int32_t Value)
{
    ContactRayCount = Value < 4 ? 4 : (Value > 12 ? 12 : Value);
}

void TCinematicEnvironment::SetTimeOfDay(float Hours)
{
    if (!std::isfinite(Hours))
        return;
    // fmod is exact, so even huge hours land inside the day.
    double h = std::fmod(static_cast<double>(Hours), 24.0);
    if (h < 0)
        h += 24.0;
    float stored = static_cast<float>(h);
    // A value just below 24 (or just below 0 before the wrap) rounds to 24 in single.
    if (!(stored < 24.0f) || stored < 0)
        stored = 0;
    TimeOfDay = stored;
}

void GetSkyColorsForTime(float Hour, TVec3& Zenith, TVec3& Horizon, TVec3& Ground,
                         TVec3& Atmosphere)
{
    int key = -1;
    float t = 0;
    for (int i = 0; i <= 6; ++i) {
        if (kSkyKeys[i].Hour <= Hour && Hour < kSkyKeys[i + 1].Hour) {
            key = i;
            t = (Hour - kSkyKeys[i].Hour) / (kSkyKeys[i + 1].Hour - kSkyKeys[i].Hour);
            break;
        }
    }
    if (key < 0) {
        key = 7;
        t = (Hour - 20.0f) / (24.0f - 20.0f);
        t = std::isnan(t) ? 0 : ClampSingle(t, 0, 1);
    }
    const float s = SmoothStep(0, 1, t);
    const TSkyKey& a = kSkyKeys[key];
    const TSkyKey& b = kSkyKeys[key + 1];
    Zenith = Lerp(a.Zenith, b.Zenith, s);
    Horizon = Lerp(a.Horizon, b.Horizon, s);
    Ground = Lerp(a.Ground, b.Ground, s);
    Atmosphere = Lerp(a.Atmosphere, b.Atmosphere, s);
}

void ComputeCelestialLighting(const TCinematicEnvironment& Environment,
                              TCelestialLighting& Lighting)
{
    const float h = Environment.TimeOfDay;
    const float sunAngle = DegToRad((h - 6.0f) / 24.0f * 360.0f);
    const float moonAngle = sunAngle + std::numbers::pi_v<float>;
    Lighting.SunDirection = CelestialDirection(sunAngle);
    Lighting.MoonDirection = CelestialDirection(moonAngle);

    const float sunFactor = SmoothStep(0, 0.2f, std::max(Lighting.SunDirection.Y, 0.0f));
    Lighting.SunFactor = sunFactor;
    if (sunFactor > 0.8f)
        Lighting.SunColor = {1.0f, 0.95f, 0.82f};
    else if (sunFactor > 0.3f)
        Lighting.SunColor = {1.0f, 0.8f, 0.55f};
    else
        Lighting.SunColor = {1.0f, 0.5f, 0.2f};

    Lighting.MoonIntensity =
        SmoothStep(0, 0.2f, std::max(Lighting.MoonDirection.Y, 0.0f)) * (1 - sunFactor);
    Lighting.MoonColor = {0.55f, 0.6f, 1.0f};

    if (sunFactor > 0.7f)
        Lighting.AmbientColor = {0.3f, 0.35f, 0.5f};
    else if (sunFactor > 0.3f)
        Lighting.AmbientColor = {0.25f, 0.22f, 0.35f};
    else if (sunFactor > 0.05f)
        Lighting.AmbientColor = {0.4f, 0.2f, 0.25f};
    else
        Lighting.AmbientColor = {0.08f, 0.08f, 0.2f};
    Lighting.AmbientLevel = 0.5f * sunFactor + 0.3f + 0.2f * Lighting.MoonIntensity;

    GetSkyColorsForTime(h, Lighting.ZenithColor, Lighting.HorizonColor, Lighting.GroundColor,
                        Lighting.AtmosphereColor);
}
