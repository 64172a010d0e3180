#pragma once

// The base mesh of a terrain object: one vertex per heightmap sample on a
// square XZ grid centred on the origin, heights along +Y, one quad per cell
// and smooth, area-weighted vertex normals.

#include "base/uMesh.h"
#include "terrain/uHeightmap.h"

// An inclusive rectangle of grid cells; empty while X0 > X1.
struct TGridRect {
    int X0 = 0, Y0 = 0, X1 = -1, Y1 = -1;

    bool Empty() const { return X0 > X1 || Y0 > Y1; }
    // Grows to cover Other as well.
    void Include(const TGridRect& Other);
    // The part inside an n x n grid.
    TGridRect ClippedTo(int n) const;
};

// The size and height scale a new terrain object is built with.
constexpr float kDefaultTerrainSize = 4.0f;
constexpr float kDefaultTerrainHeight = 0.6f;

// The builder's X (or Z) of grid column x of n on a grid Size wide.
float TerrainGridCoordinate(int x, int n, float Size);

// Undoes the builder's HeightScale * height: a height the builder turns into exactly Y,
// bit for bit. False when there is none (Y was not made at this scale).
bool TerrainHeightFromY(float Y, float HeightScale, float& Height);

// Replaces Mesh with the grid of Map, Size wide along X and Z, heights scaled
// by HeightScale. Does nothing when either is missing.
void BuildTerrainMesh(TMeshData* Mesh, const THeightmap* Map, float Size, float HeightScale);

// Brings a mesh that BuildTerrainMesh made from Map (same resolution, Size and
// topology) up to date after the heights inside Cells changed: the heights of
// those vertices and the normals around them, equal bit for bit to a full
// rebuild's. Colours, UVs, faces and edges are untouched. False, with nothing
// changed, when Mesh is not such a grid.
bool UpdateTerrainMeshRegion(TMeshData& Mesh, const THeightmap& Map, float Size, float HeightScale,
                             const TGridRect& Cells);
