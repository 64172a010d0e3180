#include "render/uViewport.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

const std::array<TVec3, 3> AxisColors = {TVec3{1.0f, 0.2f, 0.2f}, TVec3{0.2f, 1.0f, 0.2f},
                                         TVec3{0.2f, 0.5f, 1.0f}};

TVec3 SelectionColorFor(TGizmoMode Tool, bool ModelingOn)
{
    if (ModelingOn)
        return Vec3(1.0f, 0.4f, 0.4f);
    switch (Tool) {
    case gmMove:
        return Vec3(0.4f, 0.7f, 1.0f);
    case gmScale:
        return Vec3(1.0f, 1.0f, 0.2f);
    case gmRotate:
        return Vec3(0.5f, 1.0f, 0.5f);
    default:
        return Vec3(1.0f, 1.0f, 1.0f);
    }
}

const std::vector<TStrokeSegment>& StrokeGlyph(char c)
{
    using G = std::vector<TStrokeSegment>;
    static const G none;
    static const G C{{5, 5, -5, 5}, {-5, 5, -5, -5}, {-5, -5, 5, -5}};
    static const G E{{-5, 5, 5, 5}, {-5, 5, -5, -5}, {-5, 0, 5, 0}, {-5, -5, 5, -5}};
    static const G F{{-5, 5, -5, 0}, {-5, 5, 5, 5}, {-5, 0, 0, 0}};
    static const G I{{0, 5, 0, -5}};
    static const G L{{-5, 5, -5, -5}, {-5, -5, 5, -5}};
    static const G N{{-5, 5, -5, -5}, {-5, 5, 5, -5}, {5, -5, 5, 5}};
    static const G O{{-5, 5, 5, 5}, {5, 5, 5, -5}, {5, -5, -5, -5}, {-5, -5, -5, 5}};
    static const G P{{-5, 5, -5, -5}, {-5, 5, 5, 5}, {5, 5, 5, 0}, {5, 0, -5, 0}};
    static const G R{{-5, 5, -5, -5}, {-5, 5, 5, 5}, {5, 5, 5, 0}, {5, 0, -5, 0}, {5, 0, 5, -5}};
    static const G S{{-5, 5, 5, 5}, {5, 5, 0, 0}, {0, 0, -5, 0}, {-5, 0, 5, -5}};
    static const G T{{-5, 5, 5, 5}, {0, 5, 0, -5}};
    static const G V{{-5, 5, 0, -5}, {0, -5, 5, 5}};
    static const G W{{-5, 5, -5, -5}, {-5, -5, 0, 0}, {0, 0, 5, -5}, {5, -5, 5, 5}};
    static const G X{{0, -5, 5, 5}, {5, -5, -5, 5}};
    static const G Y{{0, 5, 0, 0}, {0, 0, -5, -5}, {0, 0, 5, -5}};
    static const G Z{{-5, 5, 5, 5}, {5, 5, -5, -5}, {-5, -5, 5, -5}};
    switch (c) {
    case 'C':
        return C;
    case 'E':
        return E;
    case 'F':
        return F;
    case 'I':
        return I;
    case 'L':
        return L;
    case 'N':
        return N;
    case 'O':
        return O;
    case 'P':
        return P;
    case 'R':
        return R;
    case 'S':
        return S;
    case 'T':
        return T;
    case 'V':
        return V;
    case 'W':
        return W;
    case 'X':
        return X;
    case 'Y':
        return Y;
    case 'Z':
        return Z;
    default:
        return none;
    }
}

void DrawStrokeText(char Character, float x, float y)
{
    const auto& g = StrokeGlyph(Character);
    if (g.empty())
        return;
    glBegin(GL_LINES);
    for (const TStrokeSegment& s : g) {
        glVertex2f(x + s.X0, y + s.Y0);
        glVertex2f(x + s.X1, y + s.Y1);
    }
    glEnd();
}

TViewport::TViewport(TCamera& camera, TOrthoViews& ortho) : Camera(camera), Ortho(ortho) {}

void TViewport::SetViewRect(const TViewRect& R)
{
    glViewport(R.X, R.Y, R.W, R.H);
    glScissor(R.X, R.Y, R.W, R.H);
}

void TViewport::PaintViewport(int W, int H, double DevicePixelRatio)
{
    Width = W;
    Height = H;
    Dpr = DevicePixelRatio > 0 ? DevicePixelRatio : 1.0;
    if (W < 4 || H < 1)
        return;

    glViewport(0, 0, W, H);
    glScissor(0, 0, W, H);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);

    // Perspective first (its matrices are kept for picking), then Top, Front and Left.
    for (int v = vkPerspective; v <= vkLeft; ++v) {
        ViewDepthClear = true;
        struct TReset {
            bool& Flag;
            ~TReset() { Flag = false; }
        } reset{ViewDepthClear};
        RenderView(v);
        const TViewSetup s = ViewSetupOf(v, Camera, Ortho);
        DrawViewLabel(ViewRectOf(v, W, H), s.Name, s.AxisA, s.AxisB);
    }
    DrawCursorCrosshair();
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, W, H);
}

void TViewport::RenderView(int View)
{
    const TViewRect r = ViewRectOf(View, Width, Height);
    SetViewRect(r);
    // Within a paint the whole view's depth was cleared just before, and the views do
    // not overlap (viewport and scissor box), so the view's depth is still clear; a
    // scissored clear costs a full-screen fill in a software renderer.
    if (!ViewDepthClear)
        glClear(GL_DEPTH_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);

    // The orthographic zoom is in logical pixels per unit; GL works in device pixels.
    TOrthoViews ortho = Ortho;
    ortho.Zoom = float(Ortho.Zoom * Dpr);
    TGLMatrix projection, modelView;
    ViewMatrices(View, r.W, r.H, Camera, ortho, projection, modelView);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(projection.data());
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(modelView.data());

    const TViewSetup s = ViewSetupOf(View, Camera, Ortho);
    if (s.Perspective) {
        if (DrawScene)
            DrawScene(View);
        if (DrawPerspectiveExtras)
            DrawPerspectiveExtras();
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixd(modelView.data());
        glGetDoublev(GL_MODELVIEW_MATRIX, SavedModelView.data());
        glGetDoublev(GL_PROJECTION_MATRIX, SavedProjection.data());
        glGetIntegerv(GL_VIEWPORT, SavedViewport.data());
    } else {
        DrawOrthoDotGrid(r.W, r.H, s.AxisA, s.AxisB);
        if (DrawScene)
            DrawScene(View);
    }
}

void TViewport::DrawOrthoDotGrid(int w, int h, int a, int b)
{
    const float g = GridSize ? GridSize() : 0.25f;
    const TDotGridLattice L =
        ComputeOrthoDotGrid(w, h, float(Ortho.Zoom * Dpr), g, Ortho.Centre, a, b);
    if (L.Skip)
        return;
    const TVec3 A = AxisVector(a), B = AxisVector(b), C = Ortho.Centre;
    const double cA = Vec3Dot(C, A), cB = Vec3Dot(C, B);
    const size_t n = size_t(L.N) + 1;
    DotBuffer.resize(n * n * 3);
    float* p = DotBuffer.data();
    for (size_t i = 0; i < n; ++i) {
        const float da = float(double(L.I0 + int64_t(i)) * g - cA);
        for (size_t j = 0; j < n; ++j) {
            const float db = float(double(L.J0 + int64_t(j)) * g - cB);
            *p++ = C.X + A.X * da + B.X * db;
            *p++ = C.Y + A.Y * da + B.Y * db;
            *p++ = C.Z + A.Z * da + B.Z * db;
        }
    }
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glColor3f(0.28f, 0.28f, 0.3f);
    glPointSize(2.0f);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, DotBuffer.data());
    glDrawArrays(GL_POINTS, 0, GLsizei(n * n));
    glDisableClientState(GL_VERTEX_ARRAY);
    glEnable(GL_DEPTH_TEST);
}

void TViewport::DrawViewLabel(const TViewRect& R, const char* Text, int a, int b)
{
    // Window pixels in logical units, over the whole GL view.
    const double lw = Width / Dpr, lh = Height / Dpr;
    const float x = float(R.X / Dpr), y = float(R.Y / Dpr), w = float(R.W / Dpr),
                h = float(R.H / Dpr);
    glViewport(0, 0, Width, Height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, lw, 0, lh, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);

    glColor3f(0.3f, 0.32f, 0.35f);
    glLineWidth(1.0f);
    glBegin(GL_LINE_LOOP);
    glVertex2f(x + 1, y + 1);
    glVertex2f(x + w - 2, y + 1);
    glVertex2f(x + w - 2, y + h - 2);
    glVertex2f(x + 1, y + h - 2);
    glEnd();

    const float ox = x + 24, oy = y + 24, L = 22;
    static const char letters[3] = {'X', 'Y', 'Z'};
    glLineWidth(2.0f);
    const TVec3& ca = AxisColors[size_t(a)];
    glColor3f(ca.X, ca.Y, ca.Z);
    glBegin(GL_LINES);
    glVertex2f(ox, oy);
    glVertex2f(ox + L, oy);
    glVertex2f(ox + L, oy);
    glVertex2f(ox + L - 5, oy + 3);
    glVertex2f(ox + L, oy);
    glVertex2f(ox + L - 5, oy - 3);
    glEnd();
    DrawStrokeText(letters[a], ox + L + 5, oy);
    const TVec3& cb = AxisColors[size_t(b)];
    glColor3f(cb.X, cb.Y, cb.Z);
    glBegin(GL_LINES);
    glVertex2f(ox, oy);
    glVertex2f(ox, oy + L);
    glVertex2f(ox, oy + L);
    glVertex2f(ox - 3, oy + L - 5);
    glVertex2f(ox, oy + L);
    glVertex2f(ox + 3, oy + L - 5);
    glEnd();
    DrawStrokeText(letters[b], ox, oy + L + 7);

    glColor3f(0.6f, 0.62f, 0.66f);
    for (int i = 0; Text[i] != 0; ++i)
        DrawStrokeText(Text[i], x + 6 + float(i) * 9, y + h - 14);
    glEnable(GL_DEPTH_TEST);
}

void TViewport::DrawCursorCrosshair()
{
    int cx = 0, cy = 0;
    if (!CursorInView || !CursorInView(cx, cy))
        return;
    const int lw = int(Width / Dpr), lh = int(Height / Dpr);
    if (LastMouseX < 0 || LastMouseY < 0 || LastMouseX >= lw || LastMouseY >= lh)
        return;
    if (cx < 0 || cy < 0 || cx >= lw || cy >= lh)
        return;
    if (HoverView < 0 || HoverView > 3)
        return;
    const TViewRect dev = ViewRectOf(HoverView, Width, Height);
    // The last mouse position must lie in the hover view.
    const int mx = int(LastMouseX * Dpr), my = Height - 1 - int(LastMouseY * Dpr);
    if (mx < dev.X || mx >= dev.X + dev.W || my < dev.Y || my >= dev.Y + dev.H)
        return;

    glViewport(0, 0, Width, Height);
    glScissor(dev.X, dev.Y, dev.W, dev.H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, Width / Dpr, 0, Height / Dpr, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    const TVec3 c = SelectionColor ? SelectionColor() : Vec3(1, 1, 1);
    glColor3f(c.X, c.Y, c.Z);
    glLineWidth(1.0f);
    const float x = float(cx) + 0.5f, y = float(Height / Dpr - cy) - 0.5f;
    const float vx = float(dev.X / Dpr), vy = float(dev.Y / Dpr);
    const float vw = float(dev.W / Dpr), vh = float(dev.H / Dpr);
    glBegin(GL_LINES);
    glVertex2f(vx, y);
    glVertex2f(vx + vw, y);
    glVertex2f(x, vy);
    glVertex2f(x, vy + vh);
    glEnd();
    glBegin(GL_LINE_LOOP);
    glVertex2f(x - 4, y - 4);
    glVertex2f(x + 4, y - 4);
    glVertex2f(x + 4, y + 4);
    glVertex2f(x - 4, y + 4);
    glEnd();
    glEnable(GL_DEPTH_TEST);
}
