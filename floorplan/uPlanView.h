#pragma once
// The plan canvas's view of the ground plane, without any drawing: where a plan point shows
// for a centre and a zoom, where a pixel lands on the plan, the grid snap, picking a point,
// the grid lines, zoom and pan; and the number text of the builder's edits. Plan Z grows
// upward on the screen.
#include "floorplan/uFloorPlan.h"

#include <string>
#include <string_view>
#include <vector>

struct TPlanPixel {
    int X = 0, Y = 0;
    friend bool operator==(const TPlanPixel&, const TPlanPixel&) = default;
};

class TPlanView {
public:
    static constexpr float kMinPixelsPerUnit = 5;
    static constexpr float kMaxPixelsPerUnit = 300;
    static constexpr float kZoomStep = 1.15f;
    static constexpr double kPickRadius = 14;
    // Pixels far outside any canvas are held here, so that a huge coordinate neither
    // overflows an int nor reaches the painter.
    static constexpr double kPixelLimit = 1e7;

    float CenterX = 0, CenterZ = 0;  // the plan point at the canvas centre
    float PixelsPerUnit = 35;
    float GridStep = 0.25f;
    int Width = 0, Height = 0;  // of the canvas, in pixels

    // Rounded to the nearest pixel (halves to even), held within +-kPixelLimit.
    TPlanPixel PlanToScreen(float X, float Z) const;
    TPlanPixel PlanToScreen(const TFloorPlanPoint& p) const { return PlanToScreen(p.X, p.Z); }
    // Not rounded.
    TFloorPlanPoint ScreenToPlan(double x, double y) const;
    // The nearest multiple of GridStep (halves to even) when the step is above 1e-4.
    float SnapToGrid(float v) const;
    // Snapped plan position of a pixel; false when it is not a finite single.
    bool SnappedPlanPoint(double x, double y, TFloorPlanPoint& Point) const;
    // Index of the open point of Plan nearest to (x, y) within kPickRadius pixels, -1 when
    // none is that close; ties keep the lower index.
    int PickPoint(const TFloorPlan& Plan, double x, double y) const;

    // Spacing of the grid lines in pixels (at least 4) and their positions on the canvas.
    int GridSpacing() const;
    void GridLines(std::vector<int>& Xs, std::vector<int>& Ys) const;

    // A wheel step: in for a positive delta, out for a negative one, nothing for 0.
    void Zoom(int Delta);
    // The view follows a drag of (dx, dy) pixels.
    void Pan(int dx, int dy);

    // "Center 0.00, 0.00  Grid 0.25"
    std::string Caption() const;
};

// Number text of the builder's edits: shown as "0.###" with "." as the decimal point, read
// back the same way. Reading refuses anything but one finite single (blanks around it are
// allowed), so "nan", "inf" and "1e39" never reach a plan.
std::string FormatPlanNumber(float Value);
bool TryParsePlanNumber(std::string_view Text, float& Value);

// Every stored point of Points moved by (DX, DZ); false, with Points unchanged, when a
// moved point would leave the single range.
bool TranslatePlanPoints(TFloorPlanPointArray& Points, float DX, float DZ);
