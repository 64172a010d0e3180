#pragma once
// The four views of the main GL view: Perspective (upper left), Top (upper right), Front
// (lower left) and Left (lower right). Paints the views with their frames, axis tripods,
// stroke-font names and the orthographic dot grid, draws the cursor crosshair and keeps
// the Perspective view's matrices for picking. What a view shows of the scene comes from
// the hooks.
#include "render/uCamera.h"
#include "render/uGizmoMode.h"

#include <array>
#include <functional>
#include <vector>

// Colour of the selection box, the crosshair and the gizmo highlight for the tool.
TVec3 SelectionColorFor(TGizmoMode Tool, bool ModelingOn);

// Axis colours: X (1, 0.2, 0.2), Y (0.2, 1, 0.2), Z (0.2, 0.5, 1).
extern const std::array<TVec3, 3> AxisColors;

// One character of the stroke font as GL lines in the current colour (10 x 10 box).
void DrawStrokeText(char Character, float x, float y);
// Segments (x0, y0, x1, y1) of a glyph; empty for characters outside the table.
struct TStrokeSegment {
    signed char X0, Y0, X1, Y1;
};
const std::vector<TStrokeSegment>& StrokeGlyph(char Character);

class TViewport {
public:
    TViewport(TCamera& Camera, TOrthoViews& Ortho);

    // Draws the scene of one view with its matrices loaded (View 0..3).
    std::function<void(int View)> DrawScene;
    // The Perspective view's extras after the scene: gizmo, modelling overlay.
    std::function<void()> DrawPerspectiveExtras;
    // Current selection colour (also handed to the object drawing by the caller).
    std::function<TVec3()> SelectionColor;
    // Grid spacing of the orthographic dot grid.
    std::function<float()> GridSize;
    // Cursor position in view pixels (logical, y down), when the cursor is over the view.
    std::function<bool(int& x, int& y)> CursorInView;

    // The paint sequence for a GL view of W x H device pixels at the given device pixel
    // ratio. The GL context must be current.
    void PaintViewport(int W, int H, double DevicePixelRatio);
    void RenderView(int View);
    void SetViewRect(const TViewRect& R);
    void DrawOrthoDotGrid(int w, int h, int AxisA, int AxisB);
    void DrawViewLabel(const TViewRect& R, const char* Text, int AxisA, int AxisB);
    void DrawCursorCrosshair();

    // Picking state, written by the Perspective view of every paint.
    std::array<double, 16> SavedModelView{};
    std::array<double, 16> SavedProjection{};
    std::array<int, 4> SavedViewport{};

    // Mouse state kept by the view's input handlers (logical pixels, y down).
    int HoverView = 0, PressView = 0;
    int LastMouseX = -1, LastMouseY = -1;

    // Size of the last paint, in device pixels, and its device pixel ratio.
    int Width = 0, Height = 0;
    double Dpr = 1.0;

private:
    TCamera& Camera;
    TOrthoViews& Ortho;
    std::vector<float> DotBuffer;
    bool ViewDepthClear = false;  // the view about to be drawn has clear depth
};
