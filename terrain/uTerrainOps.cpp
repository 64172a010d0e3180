#include "terrain/uTerrainOps.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/uErrors.h"

namespace {

constexpr int MaxSmoothRadius = 6;
constexpr float RaiseStep = 0.08f;
constexpr float SmoothFactor = 0.5f;
constexpr float ErodeFactor = 0.6f;

size_t Index(int x, int y, int n)
{
    return static_cast<size_t>(x) + static_cast<size_t>(y) * n;
}

void BoxBlurPass(const float* Src, float* Dst, int n, int Radius, bool AlongColumns)
{
    const float Count = static_cast<float>(2 * Radius + 1);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            float Sum = 0.0f;
            for (int k = -Radius; k <= Radius; ++k) {
                const int sx = AlongColumns ? x : std::clamp(x + k, 0, n - 1);
                const int sy = AlongColumns ? std::clamp(y + k, 0, n - 1) : y;
                Sum += Src[Index(sx, sy, n)];
            }
            Dst[Index(x, y, n)] = Sum / Count;
        }
    }
}

// The 3 x 3 heights around a cell, row by row, edges clamped as THeightmap::Get does.
struct TNeighbourhood {
    float Values[9];
    TNeighbourhood(const float* H, int x, int y, int n)
    {
        const int Cols[3] = {std::max(x - 1, 0), x, std::min(x + 1, n - 1)};
        const int Rows[3] = {std::max(y - 1, 0), y, std::min(y + 1, n - 1)};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                Values[r * 3 + c] = H[Index(Cols[c], Rows[r], n)];
    }
};

}  // namespace

TBrushKernel::TBrushKernel(int Size, float Hardness)
{
    if (!std::isfinite(Hardness))
        throw EArgumentError("Brush hardness must be a finite number");
    if (Size < 3)
        Size = 3;
    if (Size > 256)
        Size = 256;
    if (Size % 2 == 0)
        ++Size;
    this->Size = Size;
    Radius = Size / 2;
    Hardness = std::clamp(Hardness, 0.0f, 1.0f);
    const float k = (1.0f - Hardness) * 8.0f + 1e-6f;
    Weights.assign(static_cast<size_t>(Size) * Size, 0.0f);
    for (int r = 0; r < Size; ++r) {
        for (int c = 0; c < Size; ++c) {
            const int dx = c - Radius, dy = r - Radius;
            const float d =
                std::sqrt(static_cast<float>(dx * dx + dy * dy)) / static_cast<float>(Radius);
            if (d >= 1.0f)
                continue;
            const float t = 1.0f - d;
            Weights[static_cast<size_t>(r) * Size + c] = std::min(t / (t + (1.0f - t) * k), 1.0f);
        }
    }
}

void RaiseTerrain(THeightmap* Map, float Amount)
{
    if (Map && std::isfinite(Amount))
        Map->Offset(Amount);
}

void LowerTerrain(THeightmap* Map, float Amount)
{
    if (Map && std::isfinite(Amount))
        Map->Offset(-Amount);
}

void SmoothTerrain(THeightmap* Map, int Radius)
{
    if (!Map || Radius <= 0)
        return;
    Radius = std::min(Radius, MaxSmoothRadius);
    const int n = Map->GetResolution();
    std::vector<float> Scratch(static_cast<size_t>(Map->CellCount()));
    BoxBlurPass(Map->Data(), Scratch.data(), n, Radius, false);
    BoxBlurPass(Scratch.data(), Map->Data(), n, Radius, true);
}

void ApplyWholeMapEdit(THeightmap* Map, TWholeMapEdit Edit)
{
    if (!Map)
        return;
    switch (Edit) {
    case TWholeMapEdit::Raise:
        RaiseTerrain(Map, 0.05f);
        break;
    case TWholeMapEdit::Lower:
        LowerTerrain(Map, 0.05f);
        break;
    case TWholeMapEdit::Smooth:
        SmoothTerrain(Map, 1);
        break;
    case TWholeMapEdit::RoundEdges:
        ApplyEdgeShape(Map, 0.2f);
        break;
    }
    Map->Clamp(0.0f, 1.0f);
}

void ApplyEdgeShape(THeightmap* Map, float Falloff)
{
    if (!Map || std::isnan(Falloff))
        return;
    Falloff = std::clamp(Falloff, 0.01f, 1.0f);
    Map->Normalize(0.0f, 1.0f);
    const int n = Map->GetResolution();
    const float Last = static_cast<float>(n - 1);
    const float Inner = 1.0f - Falloff;
    float* H = Map->Data();
    for (int y = 0; y < n; ++y) {
        const float v = static_cast<float>(y) / Last * 2.0f - 1.0f;
        for (int x = 0; x < n; ++x) {
            const float u = static_cast<float>(x) / Last * 2.0f - 1.0f;
            const float r = std::sqrt(u * u + v * v);
            float Mask;
            if (r < Inner)
                Mask = 1.0f;
            else if (r > 1.0f)
                Mask = 0.0f;
            else
                Mask = 1.0f - (r - Inner) / Falloff;
            H[Index(x, y, n)] *= Mask;
        }
    }
    Map->SetMinMax(0.0f, 1.0f);
}

void ApplyBrush(THeightmap* Map, int CellX, int CellY, bool Invert, float Strength, int Mode,
                const TBrushKernel* Kernel)
{
    if (Mode < bmRaise || Mode > bmErode)
        throw EArgumentError("Invalid brush mode " + std::to_string(Mode) +
                             " (must be 0 raise, 1 lower, 2 smooth or 3 erode)");
    if (!Map || !Kernel || !(Strength > 0.0f))
        return;
    Strength = std::min(Strength, 1.0f);
    const int n = Map->GetResolution();
    const int Size = Kernel->GetSize(), Radius = Kernel->GetRadius();
    float* H = Map->Data();
    for (int i = 0; i < Size; ++i) {
        const int y = CellY + i - Radius;
        if (y < 0 || y >= n)
            continue;
        for (int j = 0; j < Size; ++j) {
            const int x = CellX + j - Radius;
            const float w = Kernel->Weight(i, j);
            if (x < 0 || x >= n || !(w > 0.0f))
                continue;
            const float h = H[Index(x, y, n)];
            float Result = h;
            switch (Mode) {
            case bmRaise:
            case bmLower: {
                const float Step = Strength * RaiseStep * w;
                Result = ((Mode == bmRaise) != Invert) ? h + Step : h - Step;
                break;
            }
            case bmSmooth: {
                const TNeighbourhood Near(H, x, y, n);
                float Sum = 0.0f;
                for (const float v : Near.Values)
                    Sum += v;
                const float m = Sum / 9.0f;
                Result = h + (m - h) * Strength * w * SmoothFactor;
                break;
            }
            case bmErode: {
                const TNeighbourhood Near(H, x, y, n);
                float m = Near.Values[0];
                for (const float v : Near.Values)
                    m = std::min(m, v);
                Result = h + Strength * w * ErodeFactor * (m - h);
                break;
            }
            }
            H[Index(x, y, n)] = std::clamp(Result, 0.0f, 1.0f);
        }
    }
}

void GenerateNoiseTerrain(THeightmap* Map, const TNoiseParams& Params)
{
    if (!Map)
        return;
    const TNoiseGenerator Gen(Params.Seed);
    const float S = Params.Scale > 0.01f ? Params.Scale : 0.01f;
    const int n = Map->GetResolution();
    const float Last = static_cast<float>(n - 1);
    float* H = Map->Data();
    for (int y = 0; y < n; ++y) {
        const float ny = S * static_cast<float>(y) / Last;
        for (int x = 0; x < n; ++x) {
            const float nx = S * static_cast<float>(x) / Last;
            float h;
            if (Params.Algorithm == 0) {
                h = Params.Dimensions == 1
                        ? Gen.Fbm3D(nx, ny, 0.5f, Params.Octaves, Params.Lacunarity,
                                    Params.Persistence)
                        : Gen.Fbm2D(nx, ny, Params.Octaves, Params.Lacunarity, Params.Persistence);
            } else if (Params.Algorithm == 1) {
                h = Gen.Ridged2D(nx, ny, Params.Octaves, Params.Lacunarity, Params.Persistence,
                                 1.0f);
            } else {
                h = Gen.Multifractal2D(nx, ny, Params.Octaves, Params.Lacunarity,
                                       Params.Persistence, 0.5f);
            }
            if (Params.Shape == 1)
                h = 0.5f * h + (h > 0.5f ? 0.5f : 0.0f);
            else if (Params.Shape == 2)
                h = h * h * (3.0f - 2.0f * h);
            H[Index(x, y, n)] = h;
        }
    }
    Map->Normalize(0.0f, 1.0f);
}
