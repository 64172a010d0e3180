#include "render/uCinematicMath.h"

#include <algorithm>
#include <cmath>

TVec3 CinematicForwardVector(float Yaw, float Pitch)
{
    const float y = DegToRad(Yaw), p = DegToRad(Pitch);
    return Vec3(std::sin(y) * std::cos(p), std::sin(p), -std::cos(y) * std::cos(p));
}

TVec3 SkyRowColor(const TCelestialLighting& L, int y, int H)
{
    const float fy = float(y), fh = float(H);
    if (fy < 0.4f * fh) {
        const float t = fy / (0.4f * fh);
        return Vec3Add(L.ZenithColor, Vec3Scale(Vec3Sub(L.HorizonColor, L.ZenithColor), t));
    }
    if (fy < 0.55f * fh)
        return L.HorizonColor;
    const float t = (fy - 0.55f * fh) / (0.45f * fh);
    return Vec3Add(L.HorizonColor, Vec3Scale(Vec3Sub(L.GroundColor, L.HorizonColor), t));
}

float CinematicSmoothStep(float Edge0, float Edge1, float x)
{
    if (!(std::fabs(Edge1 - Edge0) >= 1e-6f)) {
        // The limit of the step as the edges meet.
        if (x > Edge0)
            return 1.0f;
        if (x < Edge0)
            return 0.0f;
        return 0.5f;
    }
    float t = float((x - Edge0) / (Edge1 - Edge0));
    if (std::isnan(t))
        t = 0;
    t = std::clamp(t, 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

TContactLightRig CinematicLightRig(const TCelestialLighting& Light,
                                   const TCinematicEnvironment* Environment)
{
    TContactLightRig rig;
    DefaultContactLightRig(rig);
    rig.AmbientColor = Light.AmbientColor;
    rig.AmbientIntensity = Light.AmbientLevel;
    rig.KeyDirection = Light.SunDirection;
    rig.KeyColor = Light.SunColor;
    rig.KeyIntensity = Environment && Environment->SunOn ? Light.SunFactor : 0.0f;
    rig.FillDirection = Light.MoonDirection;
    rig.FillColor = Light.MoonColor;
    rig.FillIntensity = Environment && Environment->MoonOn ? Light.MoonIntensity : 0.0f;
    return rig;
}

TVec3 CinematicSceneLightDirection(const TCelestialLighting& Light,
                                   const TCinematicEnvironment& Environment, const TVec3& Current)
{
    if (Environment.SunOn && Light.SunFactor > 0.01f)
        return Light.SunDirection;
    if (Environment.MoonOn && Light.MoonIntensity > 0.01f)
        return Light.MoonDirection;
    return Current;
}

TCelestialTint CelestialTintFor(const TCelestialLighting& Light, float TintStrength)
{
    TCelestialTint t;
    if (Light.SunFactor > Light.MoonIntensity) {
        t.Color = Vec3(1.0f, 0.6f, 0.25f);
        t.Strength = Light.SunFactor * TintStrength;
        t.Direction = Light.SunDirection;
    } else {
        t.Color = Vec3(0.12f, 0.3f, 0.75f);
        t.Strength = Light.MoonIntensity * TintStrength;
        t.Direction = Light.MoonDirection;
    }
    return t;
}

TVec3 TintVertexColor(const TVec3& Color, const TVec3& Tint, const TVec3& Normal,
                      const TVec3& ObjectDirection, float Strength)
{
    const float w = Strength * std::max(0.0f, Vec3Dot(Normal, ObjectDirection));
    return Vec3Add(Color, Vec3Scale(Vec3Sub(Tint, Color), w));
}

TVec3 RimColor(float SunDirectionY)
{
    const float t = std::clamp((SunDirectionY + 0.1f) / 0.2f, 0.0f, 1.0f);
    const TVec3 cool = Vec3(0.12f, 0.3f, 0.85f), warm = Vec3(1.0f, 0.35f, 0.1f);
    return Vec3Add(cool, Vec3Scale(Vec3Sub(warm, cool), t));
}

float RimAlpha(const TVec3& N, const TVec3& SunEye, float Wrap, float Power, float Strength)
{
    const float rim = std::max(1.0f - N.Z, 0.001f);
    return CinematicSmoothStep(-Wrap, Wrap, Vec3Dot(N, SunEye)) * std::pow(rim, Power) * Strength;
}

float SunFlareFade(float SunX, float SunY, int W, int H)
{
    const float cx = float(W / 2), cy = float(H / 2);
    const float d = std::hypot(SunX - cx, SunY - cy);
    const float dMax = std::sqrt(cx * cx + cy * cy);
    if (!(dMax > 0))
        return 0;
    const float f = std::max(0.0f, 1.0f - d / dMax);
    return f * f;
}

const std::array<TFlareElement, 8> SunFlareElements = {{
    {0.0f, 5, {1.0f, 1.0f, 0.8f}, 1.0f},
    {0.1f, 11, {1.0f, 0.6f, 0.2f}, 0.9f},
    {0.28f, 30, {1.0f, 0.9f, 0.3f}, 0.8f},
    {0.48f, 7, {0.4f, 0.5f, 1.0f}, 0.6f},
    {0.7f, 18, {1.0f, 0.55f, 0.2f}, 0.5f},
    {0.88f, 4, {1.0f, 1.0f, 1.0f}, 0.35f},
    {1.06f, 34, {1.0f, 0.3f, 0.1f}, 0.25f},
    {1.22f, 46, {1.0f, 0.45f, 0.15f}, 0.12f},
}};

float VignetteAlpha(float x, float y, int W, int H, float Radius, float Softness, float Strength)
{
    const float cx = float(W) / 2, cy = float(H) / 2;
    const float D = std::sqrt(cx * cx + cy * cy);
    if (!(D > 0))
        return 0;
    const float u = std::hypot(x - cx, y - cy) / D;
    float a;
    if (u < Radius)
        a = 0;
    else if (u > Radius + Softness)
        a = 1;
    else
        a = (u - Radius) / std::max(Softness, 0.001f);
    return std::clamp(a * Strength, 0.0f, 1.0f);
}

bool CelestialInFront(const TVec3& Direction, const TVec3& Forward)
{
    return Vec3Dot(Direction, Forward) > 0;
}
