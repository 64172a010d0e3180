#pragma once

// Whole-map terrain operations and the sculpting brush. Callers push an undo
// snapshot (THeightmap::BeginEdit) before calling any of them.

#include <vector>

#include "terrain/uHeightmap.h"
#include "terrain/uNoise.h"
#include "terrain/uTerrainErosion.h"

// Brush modes of ApplyBrush.
enum TBrushMode : int { bmRaise = 0, bmLower = 1, bmSmooth = 2, bmErode = 3 };

// Radial brush weights, precomputed once per size and hardness.
class TBrushKernel {
public:
    // Size is forced into 3..257 and made odd; Hardness is clamped to 0..1
    // (1 gives a nearly flat disc, 0 a soft peak). A non-finite hardness is an
    // EArgumentError.
    TBrushKernel(int Size, float Hardness);

    int GetSize() const { return Size; }
    int GetRadius() const { return Radius; }
    float Weight(int Row, int Col) const { return Weights[static_cast<size_t>(Row) * Size + Col]; }
    const std::vector<float>& GetWeights() const { return Weights; }

private:
    int Size = 0;
    int Radius = 0;
    std::vector<float> Weights;
};

void RaiseTerrain(THeightmap* Map, float Amount);
void LowerTerrain(THeightmap* Map, float Amount);
// Separable box blur with clamped edges; Radius is capped at 6.
void SmoothTerrain(THeightmap* Map, int Radius);
// Normalises to 0..1, then fades the heights out towards a circular coast.
void ApplyEdgeShape(THeightmap* Map, float Falloff);
// The terrain window's whole-map buttons: raise or lower by 0.05, smooth with radius 1,
// round the edges with falloff 0.2; the heights are then clamped to 0..1.
enum class TWholeMapEdit { Raise, Lower, Smooth, RoundEdges };
void ApplyWholeMapEdit(THeightmap* Map, TWholeMapEdit Edit);
// One dab centred on a cell. Mode is a TBrushMode; any other value is an EArgumentError.
void ApplyBrush(THeightmap* Map, int CellX, int CellY, bool Invert, float Strength, int Mode,
                const TBrushKernel* Kernel);
// Fills the map from seeded noise and normalises it to 0..1.
void GenerateNoiseTerrain(THeightmap* Map, const TNoiseParams& Params);
