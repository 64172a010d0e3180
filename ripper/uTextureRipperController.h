#pragma once
// Turns pointer and key input over the source view into edits of the ripper session
// and keeps the view state (zoom, pan, drag, selected corner, preview throttle). It
// knows no toolkit: the window passes sizes, pixel positions, wheel deltas and
// modifier flags, and asks where to draw.
#include "ripper/uTextureRipperModel.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

enum class TRipperDragMode : std::int32_t { None = 0, Corner = 1, Edge = 2, Quad = 3, Pan = 4 };
enum class TRipperHitKind : std::int32_t { None = 0, Corner = 1, Edge = 2, Inside = 3 };

struct TRipperScreenPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
};

struct TRipperScreenRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
};

struct TRipperHit {
    TRipperHitKind Kind = TRipperHitKind::None;
    std::int32_t Index = -1;
};

// Milliseconds of a monotonic clock.
using TMillisecondClock = std::function<std::int64_t()>;

class TTextureRipperController {
public:
    static constexpr double FitMargin = 24.0;  // in total, 12 per side
    static constexpr double ZoomStep = 1.25;
    static constexpr double MinWheelZoom = 0.05;
    static constexpr double MaxWheelZoom = 64.0;
    static constexpr double MinZoom = 0.01;
    static constexpr double CornerGrabRadius = 9.0;
    static constexpr double EdgeGrabDistance = 8.0;
    static constexpr double PrecisionFactor = 0.2;
    static constexpr std::int64_t PreviewIntervalMs = 60;

    // Without a clock, std::chrono::steady_clock.
    explicit TTextureRipperController(TMillisecondClock Clock = {});

    TTextureRipperSession& Session() { return *FSession; }
    const TTextureRipperSession& Session() const { return *FSession; }

    void SetViewSize(std::int32_t Width, std::int32_t Height);
    void FitToView();
    // Actual pixels.
    void ResetView();
    // Keeps the source point under (X, Y) in place.
    void ZoomAt(std::int32_t X, std::int32_t Y, std::int32_t WheelDelta);

    double ImageOriginX() const;
    double ImageOriginY() const;
    TRipperScreenPoint ImageToScreen(const TRipperPoint& Point) const;
    TRipperPoint ScreenToImage(double X, double Y) const;
    std::array<TRipperScreenPoint, 4> GetScreenQuad() const;
    TRipperScreenRect GetImageScreenRect() const;

    // Corners first, then edges, then the inside of the quad.
    bool HitTest(std::int32_t X, std::int32_t Y, TRipperHit& Hit) const;

    void MouseDown(std::int32_t X, std::int32_t Y);
    void BeginPan(std::int32_t X, std::int32_t Y);
    // AxisLock keeps only the larger component; Precision slows the movement down.
    void MouseMove(std::int32_t X, std::int32_t Y, bool AxisLock, bool Precision);
    void MouseUp();
    // Moves the selected corner by source pixels; nothing without one.
    void NudgeSelectedPoint(double dx, double dy);

    // With Force, due whenever the preview is dirty; otherwise at most every 60 ms.
    bool PreviewDue(bool Force) const;
    void PreviewDone();
    void MarkPreviewDirty() { FPreviewDirty = true; }

    std::int32_t ViewWidth() const { return FViewWidth; }
    std::int32_t ViewHeight() const { return FViewHeight; }
    double Zoom() const { return FZoom; }
    double PanX() const { return FPanX; }
    double PanY() const { return FPanY; }
    TRipperDragMode DragMode() const { return FDragMode; }
    std::int32_t DragIndex() const { return FDragIndex; }
    std::int32_t SelectedCorner() const { return FSelectedCorner; }
    bool PreviewDirty() const { return FPreviewDirty; }

private:
    double EffectiveZoom() const;
    std::int64_t Now() const;

    std::unique_ptr<TTextureRipperSession> FSession;
    TMillisecondClock FClock;
    std::int32_t FViewWidth = 1;
    std::int32_t FViewHeight = 1;
    double FZoom = 1.0;
    double FPanX = 0.0;
    double FPanY = 0.0;
    TRipperDragMode FDragMode = TRipperDragMode::None;
    std::int32_t FDragIndex = -1;
    std::int32_t FLastMouseX = 0;
    std::int32_t FLastMouseY = 0;
    std::int32_t FSelectedCorner = -1;
    bool FPreviewDirty = false;
    std::int64_t FLastPreviewTick = 0;
};
