#include "ripper/uTextureRipperController.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace {

std::int32_t RoundToScreen(double v)
{
    if (std::isnan(v))
        return 0;
    v = RoundHalfEven(v);
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(v, lo, hi));
}

// Whether (px, py) lies within Limit of the segment a-b, decided exactly: every input
// is a whole pixel, so the squared distances compare as integers and a point exactly
// Limit away is inside whatever the segment's slope.
bool WithinSegmentDistance(std::int64_t px, std::int64_t py, const TRipperScreenPoint& a,
                           const TRipperScreenPoint& b, std::int64_t Limit)
{
    using Wide = __int128;
    const Wide abx = Wide(b.X) - a.X, aby = Wide(b.Y) - a.Y;
    const Wide apx = Wide(px) - a.X, apy = Wide(py) - a.Y;
    const Wide limit2 = Wide(Limit) * Limit;
    const Wide len2 = abx * abx + aby * aby;
    const Wide dot = apx * abx + apy * aby;
    if (len2 == 0 || dot <= 0)
        return apx * apx + apy * apy <= limit2;
    if (dot >= len2) {
        const Wide bpx = Wide(px) - b.X, bpy = Wide(py) - b.Y;
        return bpx * bpx + bpy * bpy <= limit2;
    }
    // The perpendicular distance is |cross| / |ab|.
    const Wide cross = apx * aby - apy * abx;
    return cross * cross <= limit2 * len2;
}

}  // namespace

TTextureRipperController::TTextureRipperController(TMillisecondClock Clock)
    : FSession(std::make_unique<TTextureRipperSession>()), FClock(std::move(Clock))
{
}

std::int64_t TTextureRipperController::Now() const
{
    if (FClock)
        return FClock();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

double TTextureRipperController::EffectiveZoom() const
{
    return std::max(FZoom, MinZoom);
}

void TTextureRipperController::SetViewSize(std::int32_t Width, std::int32_t Height)
{
    FViewWidth = std::max(Width, 1);
    FViewHeight = std::max(Height, 1);
    if (FSession->HasSourceImage() && !(FZoom > 0.0))
        FitToView();
}

void TTextureRipperController::FitToView()
{
    FPanX = 0.0;
    FPanY = 0.0;
    if (!FSession->HasSourceImage()) {
        FZoom = 1.0;
        return;
    }
    const TRgbaImage& image = *FSession->Source();
    FZoom = std::min((FViewWidth - FitMargin) / image.Width(),
                     (FViewHeight - FitMargin) / image.Height());
    if (FZoom < MinZoom)
        FZoom = MinZoom;
}

void TTextureRipperController::ResetView()
{
    FZoom = 1.0;
    FPanX = 0.0;
    FPanY = 0.0;
}

void TTextureRipperController::ZoomAt(std::int32_t X, std::int32_t Y, std::int32_t WheelDelta)
{
    if (!FSession->HasSourceImage())
        return;
    const TRgbaImage& image = *FSession->Source();
    const double old = EffectiveZoom();
    const double originX = ImageOriginX(), originY = ImageOriginY();
    const double wanted = WheelDelta > 0 ? old * ZoomStep : old / ZoomStep;
    // The zoom is kept in single precision, as the wheel always produced it.
    const float clamped = std::clamp(static_cast<float>(wanted), static_cast<float>(MinWheelZoom),
                                     static_cast<float>(MaxWheelZoom));
    const double zoom = clamped;
    FZoom = zoom;
    FPanX = X - ((X - originX) / old) * zoom - (FViewWidth - zoom * image.Width()) * 0.5;
    FPanY = Y - ((Y - originY) / old) * zoom - (FViewHeight - zoom * image.Height()) * 0.5;
}

double TTextureRipperController::ImageOriginX() const
{
    if (!FSession->HasSourceImage())
        return FPanX + FViewWidth * 0.5;
    return (FViewWidth - FSession->Source()->Width() * FZoom) * 0.5 + FPanX;
}

double TTextureRipperController::ImageOriginY() const
{
    if (!FSession->HasSourceImage())
        return FPanY + FViewHeight * 0.5;
    return (FViewHeight - FSession->Source()->Height() * FZoom) * 0.5 + FPanY;
}

TRipperScreenPoint TTextureRipperController::ImageToScreen(const TRipperPoint& Point) const
{
    return {RoundToScreen(ImageOriginX() + Point.X * FZoom),
            RoundToScreen(ImageOriginY() + Point.Y * FZoom)};
}

TRipperPoint TTextureRipperController::ScreenToImage(double X, double Y) const
{
    const double z = EffectiveZoom();
    return MakeRipperPoint((X - ImageOriginX()) / z, (Y - ImageOriginY()) / z);
}

std::array<TRipperScreenPoint, 4> TTextureRipperController::GetScreenQuad() const
{
    std::array<TRipperScreenPoint, 4> quad;
    for (std::size_t i = 0; i < 4; ++i)
        quad[i] = ImageToScreen(FSession->Points()[i]);
    return quad;
}

TRipperScreenRect TTextureRipperController::GetImageScreenRect() const
{
    if (!FSession->HasSourceImage())
        return {};
    const double ox = ImageOriginX(), oy = ImageOriginY();
    const TRgbaImage& image = *FSession->Source();
    return {RoundToScreen(ox), RoundToScreen(oy), RoundToScreen(ox + image.Width() * FZoom),
            RoundToScreen(oy + image.Height() * FZoom)};
}

bool TTextureRipperController::HitTest(std::int32_t X, std::int32_t Y, TRipperHit& Hit) const
{
    Hit = {};
    if (!FSession->HasSourceImage())
        return false;
    const std::array<TRipperScreenPoint, 4> quad = GetScreenQuad();
    for (std::int32_t i = 0; i < 4; ++i) {
        if (std::hypot(static_cast<double>(X) - quad[i].X, static_cast<double>(Y) - quad[i].Y) <=
            CornerGrabRadius) {
            Hit = {TRipperHitKind::Corner, i};
            return true;
        }
    }
    for (std::int32_t i = 0; i < 4; ++i) {
        if (WithinSegmentDistance(X, Y, quad[i], quad[(i + 1) % 4],
                                  static_cast<std::int64_t>(EdgeGrabDistance))) {
            Hit = {TRipperHitKind::Edge, i};
            return true;
        }
    }
    // Even-odd rule in source coordinates.
    const TRipperPoint p = ScreenToImage(X, Y);
    const TRipperQuad& q = FSession->Points();
    bool inside = false;
    for (std::size_t i = 0, j = 3; i < 4; j = i++) {
        if ((p.Y < q[i].Y) != (p.Y < q[j].Y)) {
            const double crossX = (q[j].X - q[i].X) * (p.Y - q[i].Y) / (q[j].Y - q[i].Y) + q[i].X;
            if (crossX > p.X)
                inside = !inside;
        }
    }
    if (inside) {
        Hit = {TRipperHitKind::Inside, -1};
        return true;
    }
    return false;
}

void TTextureRipperController::MouseDown(std::int32_t X, std::int32_t Y)
{
    FLastMouseX = X;
    FLastMouseY = Y;
    TRipperHit hit;
    HitTest(X, Y, hit);
    switch (hit.Kind) {
    case TRipperHitKind::Corner:
        FDragMode = TRipperDragMode::Corner;
        FDragIndex = hit.Index;
        FSelectedCorner = hit.Index;
        break;
    case TRipperHitKind::Edge:
        FDragMode = TRipperDragMode::Edge;
        FDragIndex = hit.Index;
        break;
    case TRipperHitKind::Inside:
        FDragMode = TRipperDragMode::Quad;
        FDragIndex = -1;
        break;
    case TRipperHitKind::None:
        FDragMode = TRipperDragMode::None;
        break;
    }
}

void TTextureRipperController::BeginPan(std::int32_t X, std::int32_t Y)
{
    FDragMode = TRipperDragMode::Pan;
    FLastMouseX = X;
    FLastMouseY = Y;
}

void TTextureRipperController::MouseMove(std::int32_t X, std::int32_t Y, bool AxisLock,
                                         bool Precision)
{
    if (FDragMode == TRipperDragMode::None)
        return;
    double dx = static_cast<double>(X) - FLastMouseX;
    double dy = static_cast<double>(Y) - FLastMouseY;
    FLastMouseX = X;
    FLastMouseY = Y;
    if (FDragMode == TRipperDragMode::Pan) {
        FPanX += dx;
        FPanY += dy;
        return;
    }
    const double z = EffectiveZoom();
    dx /= z;
    dy /= z;
    if (AxisLock) {
        if (std::fabs(dy) > std::fabs(dx))
            dx = 0.0;
        else
            dy = 0.0;
    }
    if (Precision) {
        dx *= PrecisionFactor;
        dy *= PrecisionFactor;
    }
    switch (FDragMode) {
    case TRipperDragMode::Corner:
        FSession->MovePoint(FDragIndex, dx, dy);
        break;
    case TRipperDragMode::Edge:
        FSession->MoveEdge(FDragIndex, dx, dy);
        break;
    case TRipperDragMode::Quad:
        FSession->MoveQuad(dx, dy);
        break;
    default:
        break;
    }
    FPreviewDirty = true;
}

void TTextureRipperController::MouseUp()
{
    FDragMode = TRipperDragMode::None;
    FDragIndex = -1;
}

void TTextureRipperController::NudgeSelectedPoint(double dx, double dy)
{
    if (FSelectedCorner < 0)
        return;
    FSession->MovePoint(FSelectedCorner, dx, dy);
    FPreviewDirty = true;
}

bool TTextureRipperController::PreviewDue(bool Force) const
{
    if (!FPreviewDirty)
        return false;
    if (Force)
        return true;
    return Now() - FLastPreviewTick >= PreviewIntervalMs;
}

void TTextureRipperController::PreviewDone()
{
    FPreviewDirty = false;
    FLastPreviewTick = Now();
}
