#include "render/uCamera.h"

#include <algorithm>
#include <cmath>

void TCamera::ResetToDefaults()
{
    Position = Vec3(-4.0f, 3.5f, 5.0f);
    Yaw = 45.0f;
    Pitch = -22.0f;
    FlySpeed = 7.0f;
    OrbitDistance = Vec3Length(Position);
    OrbitPivot = Vec3Add(Position, Vec3Scale(CameraForward(), OrbitDistance));
    HeldKeys.reset();
    DragMode = 0;
}

TVec3 TCamera::CameraForward() const
{
    const float y = DegToRad(Yaw), p = DegToRad(Pitch);
    return Vec3(std::cos(p) * std::sin(y), std::sin(p), -std::cos(p) * std::cos(y));
}

TVec3 TCamera::CameraRight() const
{
    const float y = DegToRad(Yaw);
    return Vec3(std::cos(y), 0.0f, std::sin(y));
}

TVec3 TCamera::CameraUp() const
{
    const float y = DegToRad(Yaw), p = DegToRad(Pitch);
    return Vec3(-std::sin(p) * std::sin(y), std::cos(p), std::sin(p) * std::cos(y));
}

TViewRect ViewRectOf(int View, int W, int H)
{
    const int hw = W / 2, hh = H / 2;
    switch (View) {
    case vkPerspective:
        return {0, hh, hw, hh};
    case vkTop:
        return {hw, hh, hw, hh};
    case vkFront:
        return {0, 0, hw, hh};
    default:
        return {hw, 0, W - hw, hh};
    }
}

int ViewAtPoint(int x, int yFromTop, int W, int H)
{
    if (x < 0 || yFromTop < 0 || x >= W || yFromTop >= H)
        return -1;
    const int glY = H - 1 - yFromTop;
    for (int v = 0; v < 4; ++v) {
        const TViewRect r = ViewRectOf(v, W, H);
        if (x >= r.X && x < r.X + r.W && glY >= r.Y && glY < r.Y + r.H)
            return v;
    }
    return -1;
}

TViewSetup ViewSetupOf(int View, const TCamera& Camera, const TOrthoViews& Ortho)
{
    TViewSetup s;
    const TVec3 c = Ortho.Centre;
    switch (View) {
    case vkPerspective:
        s.Perspective = true;
        s.Eye = Camera.Position;
        s.Target = Vec3Add(Camera.Position, Camera.CameraForward());
        s.Up = Vec3(0, 1, 0);
        s.AxisA = 0;
        s.AxisB = 1;
        s.Name = "PERSPECTIVE";
        break;
    case vkTop:
        s.Eye = Vec3Add(c, Vec3(0, 100, 0));
        s.Target = c;
        s.Up = Vec3(0, 0, -1);
        s.AxisA = 0;
        s.AxisB = 2;
        s.Name = "TOP";
        break;
    case vkFront:
        s.Eye = Vec3Add(c, Vec3(0, 0, 100));
        s.Target = c;
        s.Up = Vec3(0, 1, 0);
        s.AxisA = 0;
        s.AxisB = 1;
        s.Name = "FRONT";
        break;
    default:
        s.Eye = Vec3Sub(c, Vec3(100, 0, 0));
        s.Target = c;
        s.Up = Vec3(0, 1, 0);
        s.AxisA = 2;
        s.AxisB = 1;
        s.Name = "LEFT";
        break;
    }
    return s;
}

TGLMatrix PerspectiveMatrix(double FovYDegrees, double Aspect, double Near, double Far)
{
    TGLMatrix m{};
    const double f = 1.0 / std::tan(FovYDegrees * M_PI / 360.0);
    m[0] = f / Aspect;
    m[5] = f;
    m[10] = (Far + Near) / (Near - Far);
    m[11] = -1.0;
    m[14] = 2.0 * Far * Near / (Near - Far);
    return m;
}

TGLMatrix OrthoMatrix(double l, double r, double b, double t, double n, double f)
{
    TGLMatrix m{};
    m[0] = 2.0 / (r - l);
    m[5] = 2.0 / (t - b);
    m[10] = -2.0 / (f - n);
    m[12] = -(r + l) / (r - l);
    m[13] = -(t + b) / (t - b);
    m[14] = -(f + n) / (f - n);
    m[15] = 1.0;
    return m;
}

TGLMatrix LookAtMatrix(const TVec3& Eye, const TVec3& Target, const TVec3& Up)
{
    // The same construction as gluLookAt, in double precision.
    double fx = double(Target.X) - Eye.X, fy = double(Target.Y) - Eye.Y,
           fz = double(Target.Z) - Eye.Z;
    double len = std::sqrt(fx * fx + fy * fy + fz * fz);
    if (len > 0) {
        fx /= len;
        fy /= len;
        fz /= len;
    }
    const double ux = Up.X, uy = Up.Y, uz = Up.Z;
    double sx = fy * uz - fz * uy, sy = fz * ux - fx * uz, sz = fx * uy - fy * ux;
    len = std::sqrt(sx * sx + sy * sy + sz * sz);
    if (len > 0) {
        sx /= len;
        sy /= len;
        sz /= len;
    }
    const double vx = sy * fz - sz * fy, vy = sz * fx - sx * fz, vz = sx * fy - sy * fx;
    TGLMatrix m{};
    m[0] = sx;
    m[4] = sy;
    m[8] = sz;
    m[1] = vx;
    m[5] = vy;
    m[9] = vz;
    m[2] = -fx;
    m[6] = -fy;
    m[10] = -fz;
    m[15] = 1.0;
    m[12] = -(m[0] * Eye.X + m[4] * Eye.Y + m[8] * Eye.Z);
    m[13] = -(m[1] * Eye.X + m[5] * Eye.Y + m[9] * Eye.Z);
    m[14] = -(m[2] * Eye.X + m[6] * Eye.Y + m[10] * Eye.Z);
    return m;
}

TGLMatrix MultiplyGL(const TGLMatrix& A, const TGLMatrix& B)
{
    TGLMatrix c{};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            double s = 0;
            for (int k = 0; k < 4; ++k)
                s += A[k * 4 + row] * B[col * 4 + k];
            c[col * 4 + row] = s;
        }
    return c;
}

void ViewMatrices(int View, int w, int h, const TCamera& Camera, const TOrthoViews& Ortho,
                  TGLMatrix& Projection, TGLMatrix& ModelView)
{
    const TViewSetup s = ViewSetupOf(View, Camera, Ortho);
    if (s.Perspective) {
        Projection = PerspectiveMatrix(55.0, double(w) / double(std::max(h, 1)), 0.1, 1000.0);
    } else {
        const double z = Ortho.Zoom;
        Projection = OrthoMatrix(-w / (2 * z), w / (2 * z), -h / (2 * z), h / (2 * z), 0.1, 5000.0);
    }
    ModelView = LookAtMatrix(s.Eye, s.Target, s.Up);
}

bool ProjectPoint(const TVec3& P, const TGLMatrix& ModelView, const TGLMatrix& Projection,
                  const TViewRect& Viewport, double& WinX, double& WinY, double& WinZ)
{
    const double in[4] = {P.X, P.Y, P.Z, 1.0};
    double eye[4], clip[4];
    for (int r = 0; r < 4; ++r) {
        eye[r] = 0;
        for (int k = 0; k < 4; ++k)
            eye[r] += ModelView[k * 4 + r] * in[k];
    }
    for (int r = 0; r < 4; ++r) {
        clip[r] = 0;
        for (int k = 0; k < 4; ++k)
            clip[r] += Projection[k * 4 + r] * eye[k];
    }
    if (clip[3] <= 0.0)
        return false;
    const double nx = clip[0] / clip[3], ny = clip[1] / clip[3], nz = clip[2] / clip[3];
    WinX = Viewport.X + (nx + 1.0) * 0.5 * Viewport.W;
    WinY = Viewport.Y + (ny + 1.0) * 0.5 * Viewport.H;
    WinZ = (nz + 1.0) * 0.5;
    return true;
}

TVec3 AxisVector(int Axis)
{
    if (Axis == 0)
        return Vec3(1, 0, 0);
    if (Axis == 1)
        return Vec3(0, 1, 0);
    return Vec3(0, 0, 1);
}

TDotGridLattice ComputeOrthoDotGrid(int w, int h, float Zoom, float GridSize, const TVec3& Centre,
                                    int AxisA, int AxisB)
{
    TDotGridLattice L;
    const double g = GridSize, z = Zoom;
    // Dots closer than a few pixels merge into a grey wash and, at small zoom, would run
    // to millions of points per view; such a grid is left out.
    if (!(g > 0.0) || !(z > 0.0) || !std::isfinite(g) || !std::isfinite(z) ||
        g * z < MinDotSpacingPx) {
        L.Skip = true;
        return L;
    }
    const double R = std::max(w, h) / (2.0 * z) + g;
    const double cA = Vec3Dot(Centre, AxisVector(AxisA));
    const double cB = Vec3Dot(Centre, AxisVector(AxisB));
    const double i0 = std::floor((cA - R) / g), j0 = std::floor((cB - R) / g);
    const double n = std::ceil(2.0 * R / g) + 1.0;
    if (!std::isfinite(i0) || !std::isfinite(j0) || !(n >= 0.0) ||
        (n + 1.0) * (n + 1.0) > double(MaxDots) || std::fabs(i0) > 4e18 || std::fabs(j0) > 4e18) {
        L.Skip = true;
        return L;
    }
    L.I0 = int64_t(i0);
    L.J0 = int64_t(j0);
    L.N = int64_t(n);
    return L;
}

float FramingDistance(float BoundingRadius, float MaxScale)
{
    const float d = BoundingRadius * MaxScale * 4.0f;
    return d >= 3.0f ? d : 3.0f;  // also catches not-a-number
}
