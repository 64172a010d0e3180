#include "terrain/uNoise.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace {

struct TGradient3 {
    float X, Y, Z;
};

constexpr std::array<TGradient3, 16> Gradients3D{{
    {1, 1, 0},
    {-1, 1, 0},
    {1, -1, 0},
    {-1, -1, 0},
    {1, 0, 1},
    {-1, 0, 1},
    {1, 0, -1},
    {-1, 0, -1},
    {0, 1, 1},
    {0, -1, 1},
    {0, 1, -1},
    {0, -1, -1},
    {1, 1, 0},
    {0, -1, 1},
    {-1, 1, 0},
    {0, -1, -1},
}};

constexpr int MaxOctaves = 12;

int ClampOctaves(int Octaves)
{
    return std::clamp(Octaves, 1, MaxOctaves);
}

float Fade(float t)
{
    return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

float Lerp(float a, float b, float t)
{
    return a + t * (b - a);
}

// Splits a coordinate into its lattice cell (mod 256) and the offset inside
// it. From 2^31 on every float is a multiple of 256, so the cell is 0 and the
// offset 0; handling that here avoids an out-of-range integer conversion.
// Returns false for a non-finite coordinate.
inline bool Lattice(float X, int& Cell, float& Frac)
{
    const float Fl = std::floor(X);
    if (std::fabs(Fl) < 2147483648.0f) {
        Cell = static_cast<int>(static_cast<int64_t>(Fl) & 255);
        Frac = X - Fl;
        return true;
    }
    if (!std::isfinite(X))
        return false;
    Cell = 0;
    Frac = 0.0f;
    return true;
}

}  // namespace

void InitDefaultNoiseParams(TNoiseParams& Params)
{
    Params = TNoiseParams{};
}

TNoiseGenerator::TNoiseGenerator(int32_t S)
{
    Seed(S);
}

void TNoiseGenerator::Seed(int32_t S)
{
    SeedValue = S;
    std::array<uint8_t, 256> p;
    std::iota(p.begin(), p.end(), 0);
    // xorshift32 driving a Fisher-Yates shuffle; a zero state would stay zero.
    uint32_t State = S == 0 ? 0xDEADBEEFu : static_cast<uint32_t>(S);
    for (int i = 255; i >= 1; --i) {
        State ^= State << 13;
        State ^= State >> 17;
        State ^= State << 5;
        int32_t j = static_cast<int32_t>(State) % (i + 1);
        if (j < 0)
            j += i + 1;
        std::swap(p[i], p[j]);
    }
    for (int k = 0; k < 256; ++k)
        Perm[k] = Perm[k + 256] = p[k];
    Gradients = {{{1, 1}, {-1, 1}, {1, -1}, {-1, -1}, {1, 0}, {-1, 0}, {0, 1}, {0, -1}}};
}

float TNoiseGenerator::Perlin2D(float X, float Y) const
{
    int xi, yi;
    float xf, yf;
    if (!Lattice(X, xi, xf) || !Lattice(Y, yi, yf))
        return 0.0f;
    const int yi1 = (yi + 1) & 255;
    const int px0 = Perm[xi];
    const int px1 = Perm[(xi + 1) & 255];
    const TVec2& g00 = Gradients[Perm[px0 + yi] & 7];
    const TVec2& g10 = Gradients[Perm[px1 + yi] & 7];
    const TVec2& g01 = Gradients[Perm[px0 + yi1] & 7];
    const TVec2& g11 = Gradients[Perm[px1 + yi1] & 7];
    const float xm = xf - 1.0f, ym = yf - 1.0f;
    const float dot00 = g00.U * xf + g00.V * yf;
    const float dot10 = g10.U * xm + g10.V * yf;
    const float dot01 = g01.U * xf + g01.V * ym;
    const float dot11 = g11.U * xm + g11.V * ym;
    const float u = Fade(xf), v = Fade(yf);
    const float mix0 = Lerp(dot00, dot10, u);
    const float mix1 = Lerp(dot01, dot11, u);
    return Lerp(mix0, mix1, v);
}

float TNoiseGenerator::Perlin3D(float X, float Y, float Z) const
{
    int xi, yi, zi;
    float xf, yf, zf;
    if (!Lattice(X, xi, xf) || !Lattice(Y, yi, yf) || !Lattice(Z, zi, zf))
        return 0.0f;
    auto Corner = [&](int a, int b, int c) {
        const int h = Perm[Perm[Perm[(xi + a) & 255] + ((yi + b) & 255)] + ((zi + c) & 255)] & 15;
        const TGradient3& g = Gradients3D[h];
        return g.X * (xf - static_cast<float>(a)) + g.Y * (yf - static_cast<float>(b)) +
               g.Z * (zf - static_cast<float>(c));
    };
    const float u = Fade(xf), v = Fade(yf), w = Fade(zf);
    const float x00 = Lerp(Corner(0, 0, 0), Corner(1, 0, 0), u);
    const float x10 = Lerp(Corner(0, 1, 0), Corner(1, 1, 0), u);
    const float x01 = Lerp(Corner(0, 0, 1), Corner(1, 0, 1), u);
    const float x11 = Lerp(Corner(0, 1, 1), Corner(1, 1, 1), u);
    const float y0 = Lerp(x00, x10, v);
    const float y1 = Lerp(x01, x11, v);
    return Lerp(y0, y1, w);
}

float TNoiseGenerator::Fbm2D(float X, float Y, int Octaves, float Lacunarity,
                             float Persistence) const
{
    float Sum = 0.0f, AmpSum = 0.0f, Freq = 1.0f, Amp = 1.0f;
    for (int i = ClampOctaves(Octaves); i > 0; --i) {
        Sum += Amp * Perlin2D(X * Freq, Y * Freq);
        AmpSum += Amp;
        Freq *= Lacunarity;
        Amp *= Persistence;
    }
    if (AmpSum <= 1e-9)
        return 0.5f;
    return Sum / AmpSum * 0.5f + 0.5f;
}

float TNoiseGenerator::Fbm3D(float X, float Y, float Z, int Octaves, float Lacunarity,
                             float Persistence) const
{
    float Sum = 0.0f, AmpSum = 0.0f, Freq = 1.0f, Amp = 1.0f;
    for (int i = ClampOctaves(Octaves); i > 0; --i) {
        Sum += Amp * Perlin3D(X * Freq, Y * Freq, Z * Freq);
        AmpSum += Amp;
        Freq *= Lacunarity;
        Amp *= Persistence;
    }
    if (AmpSum <= 1e-9)
        return 0.5f;
    return Sum / AmpSum * 0.5f + 0.5f;
}

float TNoiseGenerator::Ridged2D(float X, float Y, int Octaves, float Lacunarity, float Persistence,
                                float Offset) const
{
    float Sum = 0.0f, AmpSum = 0.0f, Freq = 1.0f, Amp = 1.0f;
    for (int i = ClampOctaves(Octaves); i > 0; --i) {
        float r = Offset - std::fabs(Perlin2D(X * Freq, Y * Freq));
        if (r < 0.0f)
            r = 0.0f;
        Sum += Amp * (r * r);
        AmpSum += Amp;
        Freq *= Lacunarity;
        Amp *= Persistence;
    }
    if (AmpSum <= 1e-9)
        return 0.0f;
    return std::min(Sum / AmpSum, 1.0f);
}

float TNoiseGenerator::Multifractal2D(float X, float Y, int Octaves, float Lacunarity,
                                      float Persistence, float Offset) const
{
    float E = Perlin2D(X, Y) + Offset;
    if (E < 0.0f)
        E = 0.0f;
    float Freq = Lacunarity, Amp = Persistence;
    for (int i = ClampOctaves(Octaves) - 1; i > 0; --i) {
        float m = Offset + Perlin2D(X * Freq, Y * Freq) * Amp;
        if (m < 0.0f)
            m = 0.0f;
        E = E + m * E;
        Freq *= Lacunarity;
        Amp *= Persistence;
    }
    if (!(E > 1e-9))
        return 0.0f;
    if (std::isinf(E))
        return 1.0f;
    return std::clamp(E / (E + 1.0f), 0.0f, 1.0f);
}
