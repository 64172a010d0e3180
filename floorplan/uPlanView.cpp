#include "floorplan/uPlanView.h"

#include "base/uNumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

int ClampedPixel(double v)
{
    if (!(v == v))  // NaN
        return 0;
    v = std::clamp(v, -TPlanView::kPixelLimit, TPlanView::kPixelLimit);
    return static_cast<int>(std::nearbyint(v));
}

std::string Fixed(double v, int Digits)
{
    char buffer[400];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, Digits);
    return r.ec == std::errc() ? std::string(buffer, r.ptr) : std::string("0");
}

}  // namespace

TPlanPixel TPlanView::PlanToScreen(float X, float Z) const
{
    const double ppu = PixelsPerUnit;
    return {ClampedPixel((double(X) - CenterX) * ppu + Width / 2.0),
            ClampedPixel(Height / 2.0 - (double(Z) - CenterZ) * ppu)};
}

TFloorPlanPoint TPlanView::ScreenToPlan(double x, double y) const
{
    const double ppu = PixelsPerUnit;
    return MakeFloorPlanPoint(static_cast<float>((x - Width / 2.0) / ppu + CenterX),
                              static_cast<float>(CenterZ - (y - Height / 2.0) / ppu));
}

float TPlanView::SnapToGrid(float v) const
{
    if (!(GridStep > 1e-4f))
        return v;
    return static_cast<float>(std::nearbyint(double(v) / GridStep) * GridStep);
}

bool TPlanView::SnappedPlanPoint(double x, double y, TFloorPlanPoint& Point) const
{
    const TFloorPlanPoint p = ScreenToPlan(x, y);
    Point = MakeFloorPlanPoint(SnapToGrid(p.X), SnapToGrid(p.Z));
    return std::isfinite(Point.X) && std::isfinite(Point.Z);
}

int TPlanView::PickPoint(const TFloorPlan& Plan, double x, double y) const
{
    int best = -1;
    double bestDistance = kPickRadius;
    const int n = Plan.PointCount();
    for (int i = 0; i < n; ++i) {
        const TPlanPixel p = PlanToScreen(Plan.GetPoint(i));
        const double d = std::hypot(p.X - x, p.Y - y);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

int TPlanView::GridSpacing() const
{
    const double s = std::nearbyint(double(PixelsPerUnit) * GridStep);
    return s < 4 || !(s == s) ? 4 : static_cast<int>(std::min(s, kPixelLimit));
}

void TPlanView::GridLines(std::vector<int>& Xs, std::vector<int>& Ys) const
{
    Xs.clear();
    Ys.clear();
    const int64_t s = GridSpacing();
    const auto rounded = [](double v) {
        return static_cast<int64_t>(std::nearbyint(std::clamp(v, -1e15, 1e15)));
    };
    const int64_t cx = rounded(double(PixelsPerUnit) * CenterX);
    const int64_t cz = rounded(double(PixelsPerUnit) * CenterZ);
    // First line at or right of 0, then every s pixels across the canvas.
    const auto lines = [s](int64_t Origin, int Extent, std::vector<int>& Out) {
        int64_t first = Origin % s;
        if (first < 0)
            first += s;
        for (int64_t v = first; v < Extent; v += s)
            Out.push_back(static_cast<int>(v));
    };
    lines(Width / 2 - cx % s, Width, Xs);
    lines(Height / 2 + cz % s, Height, Ys);
}

void TPlanView::Zoom(int Delta)
{
    if (Delta > 0)
        PixelsPerUnit = std::min(PixelsPerUnit * kZoomStep, kMaxPixelsPerUnit);
    else if (Delta < 0)
        PixelsPerUnit = std::max(PixelsPerUnit / kZoomStep, kMinPixelsPerUnit);
}

void TPlanView::Pan(int dx, int dy)
{
    CenterX = static_cast<float>(CenterX - double(dx) / PixelsPerUnit);
    CenterZ = static_cast<float>(CenterZ + double(dy) / PixelsPerUnit);
}

std::string TPlanView::Caption() const
{
    return "Center " + Fixed(CenterX, 2) + ", " + Fixed(CenterZ, 2) + "  Grid " +
           Fixed(GridStep, 2);
}

std::string FormatPlanNumber(float Value)
{
    if (!std::isfinite(Value))
        return "0";
    std::string text = Fixed(Value, 3);
    text.erase(text.find_last_not_of('0') + 1);
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    if (text == "-0")
        text = "0";
    return text;
}

bool TryParsePlanNumber(std::string_view Text, float& Value)
{
    Text = TrimBlanks(Text);
    if (!Text.empty() && Text.front() == '+')
        Text.remove_prefix(1);
    float v = 0;
    if (!TryTextToFloat(Text, v) || !std::isfinite(v))
        return false;
    Value = v;
    return true;
}

bool TranslatePlanPoints(TFloorPlanPointArray& Points, float DX, float DZ)
{
    TFloorPlanPointArray moved = Points;
    for (TFloorPlanPoint& p : moved) {
        p.X += DX;
        p.Z += DZ;
        if (!std::isfinite(p.X) || !std::isfinite(p.Z))
            return false;
    }
    Points = std::move(moved);
    return true;
}
