#pragma once
// The Perspective camera and the four views' geometry: camera vectors, view rectangles,
// projections and eyes. Matrices are computed here in double precision (column-major, as
// GL takes them), so that projection and un-projection work without a GL context.
#include "base/uMath.h"

#include <array>
#include <bitset>
#include <cstdint>

using TGLMatrix = std::array<double, 16>;  // column-major, as glLoadMatrixd takes it

struct TViewRect {
    int X = 0, Y = 0, W = 0, H = 0;  // GL viewport: origin at the lower left
    friend bool operator==(const TViewRect&, const TViewRect&) = default;
};

enum TViewKind { vkPerspective = 0, vkTop = 1, vkFront = 2, vkLeft = 3 };

// The fly/orbit camera of the Perspective view.
class TCamera {
public:
    TVec3 Position{-4.0f, 3.5f, 5.0f};
    float Yaw = 45.0f;     // degrees
    float Pitch = -22.0f;  // degrees
    float FlySpeed = 7.0f;
    TVec3 OrbitPivot{};
    float OrbitDistance = 0.0f;
    std::bitset<256> HeldKeys;
    int DragMode = 0;  // 0 none, 1 orbit, 2 pan, 3 dolly, 4 fly forward

    TCamera() { ResetToDefaults(); }
    // Position (-4, 3.5, 5), yaw 45, pitch -22, fly speed 7; the orbit distance is the
    // distance to the origin and the pivot lies that far ahead.
    void ResetToDefaults();

    TVec3 CameraForward() const;
    TVec3 CameraRight() const;
    TVec3 CameraUp() const;
    bool KeyHeld(int Key) const { return Key >= 0 && Key < 256 && HeldKeys.test(size_t(Key)); }
};

// The shared centre and zoom (pixels per world unit) of the three orthographic views.
struct TOrthoViews {
    TVec3 Centre{};
    float Zoom = 20.0f;
};

// Viewport rectangle of each view in a GL view of W x H pixels.
TViewRect ViewRectOf(int View, int W, int H);
// Which view holds the window point (x from the left, y from the top); -1 outside.
int ViewAtPoint(int x, int yFromTop, int W, int H);

struct TViewSetup {
    bool Perspective = false;
    TVec3 Eye{}, Target{}, Up{};
    int AxisA = 0, AxisB = 1;  // tripod axes: 0 X, 1 Y, 2 Z
    const char* Name = "";
};
TViewSetup ViewSetupOf(int View, const TCamera& Camera, const TOrthoViews& Ortho);

TGLMatrix PerspectiveMatrix(double FovYDegrees, double Aspect, double Near, double Far);
TGLMatrix OrthoMatrix(double Left, double Right, double Bottom, double Top, double Near,
                      double Far);
TGLMatrix LookAtMatrix(const TVec3& Eye, const TVec3& Target, const TVec3& Up);
TGLMatrix MultiplyGL(const TGLMatrix& A, const TGLMatrix& B);  // A * B

// Projection and model-view of one view of w x h pixels (zoom in pixels per unit).
void ViewMatrices(int View, int w, int h, const TCamera& Camera, const TOrthoViews& Ortho,
                  TGLMatrix& Projection, TGLMatrix& ModelView);

// World point to window pixels (x right, y up from the viewport's GL origin), as
// gluProject does. False when the point is behind the eye (w <= 0).
bool ProjectPoint(const TVec3& P, const TGLMatrix& ModelView, const TGLMatrix& Projection,
                  const TViewRect& Viewport, double& WinX, double& WinY, double& WinZ);

// The lattice of the orthographic dot grid: points (i0 + i, j0 + j) * g, i, j = 0..N.
// Skip is set when the dots would be closer than MinDotSpacingPx or more than MaxDots.
struct TDotGridLattice {
    int64_t I0 = 0, J0 = 0, N = 0;
    bool Skip = false;
};
constexpr double MinDotSpacingPx = 3.0;
constexpr int64_t MaxDots = 250000;
TDotGridLattice ComputeOrthoDotGrid(int w, int h, float Zoom, float GridSize, const TVec3& Centre,
                                    int AxisA, int AxisB);
TVec3 AxisVector(int Axis);  // 0 X, 1 Y, otherwise Z

// Camera placement that frames an object: d := max(radius x largest scale x 4, 3).
float FramingDistance(float BoundingRadius, float MaxScale);
