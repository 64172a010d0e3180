#pragma once

// The thermal erosion as it was first written: every cell tests all of its
// neighbours in scan order. Slow, but plainly right; the tests and the
// benchmark hold the library's erosion against it.

#include <algorithm>
#include <cstddef>
#include <vector>

#include "terrain/uHeightmap.h"

namespace erode_reference {

inline size_t Index(int x, int y, int n)
{
    return static_cast<size_t>(x) + static_cast<size_t>(y) * n;
}

// One erosion step at a cell: finds the neighbour with the strictly greatest
// positive drop (first in scan order on ties) and moves material down to it.
template <bool Checked>
void ErodeCell(float* W, int x, int y, int n, int Radius, const std::vector<int>& Offsets,
               float Amount)
{
    const size_t Here = Index(x, y, n);
    const float c = W[Here];
    float Best = 0.0f;
    ptrdiff_t Target = -1;
    if constexpr (Checked) {
        for (int dy = -Radius; dy <= Radius; ++dy) {
            const int ny = y + dy;
            if (ny < 0 || ny >= n)
                continue;
            for (int dx = -Radius; dx <= Radius; ++dx) {
                const int nx = x + dx;
                if ((dx == 0 && dy == 0) || nx < 0 || nx >= n)
                    continue;
                const size_t Other = Index(nx, ny, n);
                const float d = c - W[Other];
                if (d > Best) {
                    Best = d;
                    Target = static_cast<ptrdiff_t>(Other);
                }
            }
        }
    } else {
        for (const int Off : Offsets) {
            const float d = c - W[Here + Off];
            if (d > Best) {
                Best = d;
                Target = static_cast<ptrdiff_t>(Here) + Off;
            }
        }
    }
    if (Target < 0)
        return;
    const float Move = std::min(Best * 0.5f * Amount, c * 0.5f);
    W[Here] -= Move;
    W[Target] += Move;
}

}  // namespace erode_reference

inline void ReferenceErodeTerrain(THeightmap* Map, int Iterations, int Radius, float Amount)
{
    if (!Map || Iterations <= 0 || !(Amount > 0.0f))
        return;
    Amount = std::min(Amount, 1.0f);
    Radius = std::clamp(Radius, 1, 6);
    Iterations = std::min(Iterations, 4000);
    Map->Normalize(0.0f, 1.0f);

    // The grid is worked on in place: every move is seen by the cells visited after it.
    const int n = Map->GetResolution();
    float* W = Map->Data();
    std::vector<int> Offsets;  // neighbour offsets in scan order, centre left out
    for (int dy = -Radius; dy <= Radius; ++dy)
        for (int dx = -Radius; dx <= Radius; ++dx)
            if (dx != 0 || dy != 0)
                Offsets.push_back(dy * n + dx);

    for (int it = 0; it < Iterations; ++it) {
        for (int y = 0; y < n; ++y) {
            const bool RowInside = y >= Radius && y < n - Radius;
            for (int x = 0; x < n; ++x) {
                if (RowInside && x >= Radius && x < n - Radius)
                    erode_reference::ErodeCell<false>(W, x, y, n, Radius, Offsets, Amount);
                else
                    erode_reference::ErodeCell<true>(W, x, y, n, Radius, Offsets, Amount);
            }
        }
    }
    Map->Normalize(0.0f, 1.0f);
}
