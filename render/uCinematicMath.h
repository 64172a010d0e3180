#pragma once
// The arithmetic of the cinematic frame, apart from GL so it can be checked on its own:
// sky rows, the light rig and scene light of the time of day, the celestial tint, rim
// light, sun flare and vignette.
#include "base/uMath.h"
#include "scene/uCinematicEnvironment.h"
#include "scene/uContactLighting.h"

#include <array>
#include <cstdint>

// The cinematic camera: position, yaw and pitch in degrees.
struct TCinematicCamera {
    TVec3 Position{4, 3, 5};
    float Yaw = -135;
    float Pitch = -22;
};

// View direction (sin(Yaw) cos(Pitch), sin(Pitch), -cos(Yaw) cos(Pitch)).
TVec3 CinematicForwardVector(float Yaw, float Pitch);

// Colour of sky row y (0 at the top) of a view H rows high.
TVec3 SkyRowColor(const TCelestialLighting& Light, int y, int H);

// t x t x (3 - 2 t) of t = (x - e0) / (e1 - e0) clamped to 0..1. With equal edges it is
// the step's limit: 0 below, 1 above, 0.5 at the edge (never a division by zero).
float CinematicSmoothStep(float Edge0, float Edge1, float x);

// The contact light rig of a cinematic frame: the default rig lit by the time of day.
// Without an environment the key and fill lights are off.
TContactLightRig CinematicLightRig(const TCelestialLighting& Light,
                                   const TCinematicEnvironment* Environment);

// The direction the scene light takes for the frame: the sun when it is up and switched
// on, else the moon, else Current.
TVec3 CinematicSceneLightDirection(const TCelestialLighting& Light,
                                   const TCinematicEnvironment& Environment, const TVec3& Current);

// The celestial tint of a frame: colour, strength s (weight x TintStrength) and the
// direction it comes from; s below 0.001 means no tint.
struct TCelestialTint {
    TVec3 Color;
    float Strength = 0;
    TVec3 Direction;
};
TCelestialTint CelestialTintFor(const TCelestialLighting& Light, float TintStrength);
// One vertex colour moved towards Tint by Strength x max(0, Normal . d), d in object space.
TVec3 TintVertexColor(const TVec3& Color, const TVec3& Tint, const TVec3& Normal,
                      const TVec3& ObjectDirection, float Strength);

// Rim colour of the sun height: cool (0.12, 0.3, 0.85) at night, warm (1, 0.35, 0.1) by day.
TVec3 RimColor(float SunDirectionY);
// Rim alpha of a corner whose eye-space normal is N (unit), with the sun's eye direction.
float RimAlpha(const TVec3& N, const TVec3& SunEye, float Wrap, float Power, float Strength);

// Fade f of the sun flare for the sun's window point (rows from the top).
float SunFlareFade(float SunX, float SunY, int W, int H);
struct TFlareElement {
    float Position, Radius;
    TVec3 Color;
    float AlphaFactor;
};
extern const std::array<TFlareElement, 8> SunFlareElements;

// Vignette alpha of a pixel at (x, y) (rows from the top; pixel centres at + 0.5).
float VignetteAlpha(float x, float y, int W, int H, float Radius, float Softness, float Strength);

// The sun or moon can be drawn: it lies in front of the camera.
bool CelestialInFront(const TVec3& Direction, const TVec3& Forward);
