#pragma once
// The look of the cinematic view (lens, post effects, fog, time of day, rim light,
// celestial tint) and the contact-lighting settings. The scene file stores every field in
// this order; the cinematic renderer, the environment window and the contact lighting
// read it. Also the sky and celestial lighting computed from the time of day.
#include <cstdint>

#include "base/uMath.h"

// Value clamped to Min..Max. A not-a-number value passes through unchanged, so the
// setters below test for it first.
float ClampSingle(float Value, float Min, float Max);

class TCinematicEnvironment {
public:
    TCinematicEnvironment();
    virtual ~TCinematicEnvironment() = default;

    void SetDefaults();
    // Copies every field; nothing for a null pointer.
    void Assign(const TCinematicEnvironment* Other);

    // Each setter clamps into its range. A not-a-number value leaves the field as it is,
    // and an infinity clamps to the nearer end of the range.
    void SetFieldOfView(float Value);
    void SetExposure(float Value);
    void SetVignetteStrength(float Value);
    void SetAberrationStrength(float Value);
    void SetFogDensity(float Value);
    // Wrapped into 0 (inclusive) .. 24 (exclusive); non-finite values are ignored.
    void SetTimeOfDay(float Hours);
    void SetRimPower(float Value);
    void SetRimStrength(float Value);
    void SetRimLightWrap(float Value);
    void SetTintStrength(float Value);
    void SetContactRadius(float Value);
    void SetContactStrength(float Value);
    void SetSunShadow(float Value);
    void SetColorBleed(float Value);
    void SetMinimumShade(float Value);
    void SetContactRayCount(int32_t Value);

    float FieldOfView;
    float Exposure;
    bool VignetteOn;
    float VignetteStrength;
    float VignetteRadius;
    float VignetteSoftness;
    bool AberrationOn;
    float AberrationStrength;
    bool FogOn;
    float FogDensity;
    bool UseAtmosphericFogColor;
    TVec3 FogColor;
    float TimeOfDay;
    bool SkyOn;
    bool SunOn;
    bool MoonOn;
    bool RimLightOn;
    float RimPower;
    float RimStrength;
    float RimLightWrap;
    bool CelestialTintOn;
    float TintStrength;
    bool ContactLightingOn;
    float ContactRadius;
    float ContactStrength;
    float SunShadow;
    float ColorBleed;
    float MinimumShade;
    int32_t ContactRayCount;
};

struct TCelestialLighting {
    TVec3 ZenithColor;
    TVec3 HorizonColor;
    TVec3 GroundColor;
    TVec3 AtmosphereColor;
    TVec3 SunDirection;
    TVec3 SunColor;
    float SunFactor = 0;
    TVec3 MoonDirection;
    TVec3 MoonColor;
    float MoonIntensity = 0;
    TVec3 AmbientColor;
    float AmbientLevel = 0;
};

// Sky colours of the hour, blended between the nine keys of the day.
void GetSkyColorsForTime(float Hour, TVec3& Zenith, TVec3& Horizon, TVec3& Ground,
                         TVec3& Atmosphere);

// Sun, moon, ambient light and sky colours for the environment's time of day. The
// Sky/Sun/Moon switches are left to the renderer.
void ComputeCelestialLighting(const TCinematicEnvironment& Environment,
                              TCelestialLighting& Lighting);
