#pragma once

// The base mesh of a terrain object: one vertex per heightmap sample on a
// square XZ grid centred on the origin, heights along +Y, one quad per cell
// and smooth, area-weighted vertex normals.

#include "base/uMesh.h"
#include "terrain/uHeightmap.h"

// Replaces Mesh with the grid of Map, Size wide along X and Z, heights scaled
// by HeightScale. Does nothing when either is missing.
void BuildTerrainMesh(TMeshData* Mesh, const THeightmap* Map, float Size, float HeightScale);
