#pragma once

// Global thermal erosion of a heightmap.

#include "terrain/uHeightmap.h"

// Thermal erosion, in place and in scan order; normalised before and after.
// Every cell in turn moves material down to the neighbour within Radius with
// the greatest drop (the first in scan order on ties), and later cells see
// the move at once. Amount is capped at 1, Radius clamped to 1..6 and at most
// 4000 iterations run; nothing happens without a map, iterations or amount.
void ErodeTerrain(THeightmap* Map, int Iterations, int Radius, float Amount);
