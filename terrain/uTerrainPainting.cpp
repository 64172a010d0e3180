#include "terrain/uTerrainPainting.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

int BrushKernelSizeFor(int Resolution, float BrushSize)
{
    const float Wanted = static_cast<float>(Resolution) * BrushSize;
    int Size =
        std::isfinite(Wanted) ? static_cast<int>(std::lround(std::clamp(Wanted, 0.0f, 1e6f))) : 3;
    Size = std::min(std::max(Size, 3), Resolution);
    if (Size % 2 == 0)
        ++Size;
    return Size;
}

void StrokeDabCells(TGridCell From, TGridCell To, int KernelRadius, std::vector<TGridCell>& Cells)
{
    const int dx = To.X - From.X, dy = To.Y - From.Y;
    int Steps = std::max({std::abs(dx), std::abs(dy), 1});
    const int Spacing = KernelRadius > 3 ? KernelRadius / 4 : 1;
    Steps = std::max(Steps / Spacing, 1);
    for (int i = 0; i <= Steps; ++i) {
        const double t = static_cast<double>(i) / Steps;
        Cells.push_back({static_cast<int>(std::lround(From.X + dx * t)),
                         static_cast<int>(std::lround(From.Y + dy * t))});
    }
}

TGridRect DabCells(TGridCell Cell, int KernelRadius, int Resolution)
{
    return TGridRect{Cell.X - KernelRadius, Cell.Y - KernelRadius, Cell.X + KernelRadius,
                     Cell.Y + KernelRadius}
        .ClippedTo(Resolution);
}

TPreviewSquare PreviewSquareFor(int Width, int Height)
{
    TPreviewSquare S;
    S.Side = std::max(256, std::min(Width, Height));
    S.Left = (Width - S.Side) / 2;
    S.Top = (Height - S.Side) / 2;
    return S;
}

TGridCell PreviewToCell(int X, int Y, int Width, int Height, int Resolution)
{
    const TPreviewSquare S = PreviewSquareFor(Width, Height);
    const double Scale = static_cast<double>(Resolution - 1) / S.Side;
    const auto Cell = [&](int Offset) {
        return std::clamp(static_cast<int>(std::lround(Offset * Scale)), 0, Resolution - 1);
    };
    return {Cell(X - S.Left), Cell(Y - S.Top)};
}

uint32_t HeightToColor(bool Contours, float H)
{
    // A NaN height shows as the lowest ground.
    H = std::isnan(H) ? 0.0f : std::clamp(H, 0.0f, 1.0f);
    if (Contours) {
        const float Tenths = H * 10.0f;
        if (Tenths - std::floor(Tenths) < 0.04f)
            return 0xFF000000u;
    }
    float R, G, B;
    if (H >= 0.5f) {
        const float t = (H - 0.5f) * 2.0f;
        R = 90.0f + 165.0f * t;
        G = 200.0f - 40.0f * t;
        B = 60.0f + 195.0f * t;
    } else {
        const float t = 2.0f * H;
        R = 40.0f * (1.0f - t) + 90.0f * t;
        G = 80.0f + 120.0f * t;
        B = 160.0f * (1.0f - t) + 60.0f * t;
    }
    const auto Byte = [](float v) { return static_cast<uint32_t>(std::lround(v)) & 0xFFu; };
    return 0xFF000000u | Byte(R) << 16 | Byte(G) << 8 | Byte(B);
}

void RenderHeightPreview(const THeightmap& Map, bool Contours, const TGridRect& Cells,
                         uint32_t* Pixels, int BytesPerLine)
{
    const int n = Map.GetResolution();
    const TGridRect R = Cells.ClippedTo(n);
    if (R.Empty() || !Pixels)
        return;
    // Pixel p shows sample (n - 1) * p div 511 on both axes; the samples only grow with p.
    std::array<int, PreviewPixels> Sample{};
    for (int p = 0; p < PreviewPixels; ++p)
        Sample[p] = (n - 1) * p / (PreviewPixels - 1);
    const auto First = [&](int Cell) {
        return static_cast<int>(std::lower_bound(Sample.begin(), Sample.end(), Cell) -
                                Sample.begin());
    };
    const auto End = [&](int Cell) {
        return static_cast<int>(std::upper_bound(Sample.begin(), Sample.end(), Cell) -
                                Sample.begin());
    };
    const int Px0 = First(R.X0), Px1 = End(R.X1);
    const int Py0 = First(R.Y0), Py1 = End(R.Y1);
    const float* H = Map.Data();
    for (int py = Py0; py < Py1; ++py) {
        auto* Line = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(Pixels) +
                                                 static_cast<size_t>(py) * BytesPerLine);
        const float* Row = H + static_cast<size_t>(Sample[py]) * n;
        for (int px = Px0; px < Px1; ++px)
            Line[px] = HeightToColor(Contours, Row[Sample[px]]);
    }
}
