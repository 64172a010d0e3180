#pragma once

// Seeded gradient noise (improved noise with the quintic fade) and fractal
// sums over it. Everything is computed in 32-bit floats so that a saved seed
// regenerates bit-identical terrain.

#include <array>
#include <cstdint>

#include "base/uMath.h"

struct TNoiseParams {
    int32_t Algorithm = 0;   // 0 fBm, 1 ridged, anything else multifractal
    int32_t Shape = 0;       // 0 none, 1 step, 2 smoothstep
    int32_t Dimensions = 0;  // 0 2D, 1 3D (fBm only)
    float Scale = 1.0f;      // noise coordinates across the whole map
    int32_t Seed = 12345;
    int32_t Octaves = 4;
    float Lacunarity = 2.0f;   // frequency factor per octave
    float Persistence = 0.5f;  // amplitude factor per octave
};

void InitDefaultNoiseParams(TNoiseParams& Params);

class TNoiseGenerator {
public:
    explicit TNoiseGenerator(int32_t S);

    void Seed(int32_t S);
    int32_t GetSeed() const { return SeedValue; }
    const std::array<uint8_t, 512>& GetPerm() const { return Perm; }

    // About -1..1, 0 on every integer lattice point; 0 for non-finite input.
    float Perlin2D(float X, float Y) const;
    float Perlin3D(float X, float Y, float Z) const;

    // Fractal sums in 0..1; octaves are clamped to 1..12.
    float Fbm2D(float X, float Y, int Octaves, float Lacunarity, float Persistence) const;
    float Fbm3D(float X, float Y, float Z, int Octaves, float Lacunarity, float Persistence) const;
    float Ridged2D(float X, float Y, int Octaves, float Lacunarity, float Persistence,
                   float Offset) const;
    float Multifractal2D(float X, float Y, int Octaves, float Lacunarity, float Persistence,
                         float Offset) const;

private:
    std::array<uint8_t, 512> Perm{};
    std::array<TVec2, 8> Gradients{};
    int32_t SeedValue = 0;
};
