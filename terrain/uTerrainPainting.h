#pragma once

// What the terrain window computes without a window: the brush kernel size for
// a map, the cells a brush stroke dabs, where the preview square sits and
// which cell a point of it shows, and the preview's colours.

#include <cstdint>
#include <vector>

#include "terrain/uHeightmap.h"
#include "terrain/uTerrainMesh.h"

struct TGridCell {
    int X = 0, Y = 0;
    friend bool operator==(const TGridCell&, const TGridCell&) = default;
};

// Kernel side for a brush BrushSize (a fraction of the resolution) wide: at
// least 3, at most n, odd.
int BrushKernelSizeFor(int Resolution, float BrushSize);

// The dab centres of a stroke segment from From to To, both ends included, a
// quarter of the kernel radius apart for radii above 3. Appends to Cells.
void StrokeDabCells(TGridCell From, TGridCell To, int KernelRadius, std::vector<TGridCell>& Cells);

// The cells a dab of this radius at Cell can change, clipped to an n x n grid.
TGridRect DabCells(TGridCell Cell, int KernelRadius, int Resolution);

// The preview square, centred in a Width x Height box, never smaller than 256.
struct TPreviewSquare {
    int Left = 0, Top = 0, Side = 256;
};
TPreviewSquare PreviewSquareFor(int Width, int Height);
// The grid cell shown under the point (X, Y) of the box, clamped into the grid.
TGridCell PreviewToCell(int X, int Y, int Width, int Height, int Resolution);

// The preview bitmap: a fixed 512 x 512 whatever the resolution.
constexpr int PreviewPixels = 512;

// The colour of a height, 0xFFRRGGBB: blue low ground, green middle, pale violet
// top; black contour lines every tenth when Contours is set.
uint32_t HeightToColor(bool Contours, float H);

// Colours the preview pixels that show the cells of Cells (all of them when Cells
// covers the grid). Pixels is PreviewPixels rows of BytesPerLine bytes.
void RenderHeightPreview(const THeightmap& Map, bool Contours, const TGridRect& Cells,
                         uint32_t* Pixels, int BytesPerLine);
