// The four views and the mesh drawing, rendered off screen with Mesa and read back: the
// grid, the axis tripods and a cube land where the camera puts them; the vertex-array
// drawing gives the same picture as immediate drawing and never changes the mesh.
#include "gl_test_support.h"
#include "render/uCamera.h"
#include "render/uMeshDraw.h"
#include "render/uMeshDrawCache.h"
#include "render/uSceneDraw.h"
#include "render/uViewport.h"
#include "scene/uSceneNode.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

struct TRgb {
    int R = 0, G = 0, B = 0;
};

// A current compatibility context drawing into a W x H framebuffer object.
class GLViewTest : public ::testing::Test {
protected:
    void Open(int w, int h)
    {
        W = w;
        H = h;
        QSurfaceFormat format;
        format.setProfile(QSurfaceFormat::CompatibilityProfile);
        format.setVersion(2, 1);
        format.setDepthBufferSize(24);
        Surface = std::make_unique<QOffscreenSurface>();
        Surface->setFormat(format);
        Surface->create();
        Context = std::make_unique<QOpenGLContext>();
        Context->setFormat(format);
        ASSERT_TRUE(Context->create());
        ASSERT_TRUE(Context->makeCurrent(Surface.get()));
        PinLoadedLibraries();
        Fbo = std::make_unique<QOpenGLFramebufferObject>(W, H, QOpenGLFramebufferObject::Depth);
        ASSERT_TRUE(Fbo->bind());
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    void TearDown() override
    {
        TextureBindHook = nullptr;
        if (Fbo)
            Fbo->release();
        Fbo.reset();
        if (Context)
            Context->doneCurrent();
    }
    std::vector<unsigned char> ReadAll()
    {
        glFinish();
        std::vector<unsigned char> px(size_t(W) * size_t(H) * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        return px;
    }
    static TRgb At(const std::vector<unsigned char>& px, int W, int x, int y)
    {
        const size_t i = (size_t(y) * size_t(W) + size_t(x)) * 4;
        return {px[i], px[i + 1], px[i + 2]};
    }
    // Pixels in the box around (x, y) whose colour is within Tol of C.
    static int CountNear(const std::vector<unsigned char>& px, int W, int H, int x, int y, int r,
                         TRgb C, int Tol = 12)
    {
        int n = 0;
        for (int yy = std::max(0, y - r); yy <= std::min(H - 1, y + r); ++yy)
            for (int xx = std::max(0, x - r); xx <= std::min(W - 1, x + r); ++xx) {
                const TRgb p = At(px, W, xx, yy);
                if (std::abs(p.R - C.R) <= Tol && std::abs(p.G - C.G) <= Tol &&
                    std::abs(p.B - C.B) <= Tol)
                    ++n;
            }
        return n;
    }
    static TRgb Rgb(const TVec3& c)
    {
        return {int(std::lround(c.X * 255)), int(std::lround(c.Y * 255)),
                int(std::lround(c.Z * 255))};
    }

    int W = 0, H = 0;
    std::unique_ptr<QOffscreenSurface> Surface;
    std::unique_ptr<QOpenGLContext> Context;
    std::unique_ptr<QOpenGLFramebufferObject> Fbo;
};

// A mesh of quads and triangles with varied colours, one broken face and some textures.
TMeshData MixedMesh()
{
    TMeshData m;
    m.BuildSphere(12, 8, 0.9f);
    for (size_t i = 0; i < m.Vertices.size(); ++i)
        m.Vertices[i].Color = Vec3(float(i % 7) / 7.0f, float(i % 5) / 5.0f, float(i % 3) / 3.0f);
    m.Faces[3].TexId = 2;
    m.Faces[4].TexId = 2;
    m.Faces[9].TexId = 1;
    m.Faces[11].Indices[1] = 100000;  // never drawn, still counts as a texture change
    return m;
}

void LoadPerspective(int W, int H)
{
    glViewport(0, 0, W, H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(55.0, double(W) / H, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(1.2, 1.5, 2.5, 0, 0, 0, 0, 1, 0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
}

}  // namespace

TEST_F(GLViewTest, VertexArrayDrawingMatchesImmediateDrawingInEveryPolygonMode)
{
    Open(160, 120);
    const TMeshData mesh = MixedMesh();
    for (GLenum mode : {GL_FILL, GL_LINE}) {
        std::vector<int32_t> immediateBinds, arrayBinds;
        glPolygonMode(GL_FRONT_AND_BACK, mode);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        LoadPerspective(W, H);
        TextureBindHook = [&](int32_t id) { immediateBinds.push_back(id); };
        DrawMeshFaces(mesh);
        const auto expected = ReadAll();

        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        TextureBindHook = [&](int32_t id) { arrayBinds.push_back(id); };
        TMeshDrawCache cache;
        cache.BeginPaint();
        cache.DrawFaces(mesh);
        const auto actual = ReadAll();
        EXPECT_EQ(actual, expected) << "polygon mode " << mode;
        EXPECT_EQ(arrayBinds, immediateBinds);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

TEST_F(GLViewTest, ColourOverrideDrawsLikeRecolouredVerticesAndLeavesTheMeshAlone)
{
    Open(160, 120);
    const TMeshData mesh = MixedMesh();
    const TVec3 display = Vec3(0.2f, 0.6f, 0.9f);

    TMeshData recoloured = mesh;
    for (auto& v : recoloured.Vertices)
        v.Color = display;
    for (auto& f : recoloured.Faces)
        f.TexId = 0;
    LoadPerspective(W, H);
    DrawMeshFaces(recoloured);
    const auto expected = ReadAll();

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TMeshDrawCache cache;
    cache.BeginPaint();
    TMeshDrawOptions o;
    o.OverrideTexId = true;
    o.TexId = 0;
    o.UniformColor = true;
    o.Color = display;
    const TMeshData before = mesh;
    cache.DrawFaces(mesh, o);
    EXPECT_EQ(ReadAll(), expected);
    EXPECT_EQ(mesh.Vertices, before.Vertices);
    EXPECT_EQ(mesh.Faces, before.Faces);

    // Per-vertex colours (contact lighting) likewise.
    std::vector<TVec3> lit(mesh.Vertices.size(), Vec3(0.5f, 0.25f, 0.125f));
    for (auto& v : recoloured.Vertices)
        v.Color = Vec3(0.5f, 0.25f, 0.125f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawMeshFaces(recoloured);
    const auto expectedLit = ReadAll();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TMeshDrawOptions litOptions;
    litOptions.OverrideTexId = true;
    litOptions.VertexColors = &lit;
    cache.DrawFaces(mesh, litOptions);
    EXPECT_EQ(ReadAll(), expectedLit);
}

TEST_F(GLViewTest, PerPaintTriangleListsFollowTheMesh)
{
    Open(64, 64);
    TMeshDrawCache cache;
    TMeshData a;
    a.BuildCube();
    cache.BeginPaint();
    cache.DrawFaces(a);
    EXPECT_EQ(cache.EntryCount(), 1u);
    // A mesh drawn no more is forgotten at the next paint but one.
    cache.BeginPaint();
    cache.BeginPaint();
    EXPECT_EQ(cache.EntryCount(), 0u);
    // A mesh that grows in the same paint gets a new list (no stale indices).
    cache.DrawFaces(a);
    a.BuildSphere();
    LoadPerspective(W, H);
    cache.DrawFaces(a);
    const auto arrays = ReadAll();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawMeshFaces(a);
    EXPECT_EQ(ReadAll(), arrays);
}

// The gizmo of an object scaled (3, 1, 1) reaches 1.2 x 3 + 0.6 = 4.2 units along each
// axis (its cone 0.22 further); hovering an axis paints it yellow.
TEST_F(GLViewTest, GizmoArmsScaleWithTheObjectAndShowTheHoveredAxis)
{
    Open(240, 240);
    TSceneGroup node;
    node.SetScaleX(3.0f);
    const TRgb red = Rgb(AxisColors[0]), yellow{255, 255, 0};
    for (TGizmoMode tool : {gmMove, gmRotate}) {
        for (int hovered : {-1, 0}) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glViewport(0, 0, W, H);
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            glOrtho(-6, 6, -6, 6, -100, 100);  // 20 pixels per unit, looking down -Z
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            DrawTransformGizmo(&node, tool, hovered);
            const auto px = ReadAll();
            const TRgb x = hovered == 0 ? yellow : red;
            if (tool == gmMove) {
                EXPECT_GT(CountNear(px, W, H, 120 + 80, 120, 1, x, 3), 0) << "X arm";
                EXPECT_EQ(CountNear(px, W, H, 120 + 92, 120, 3, x, 40), 0) << "past the cone";
                EXPECT_GT(CountNear(px, W, H, 120 + 86, 120, 1, x, 60), 0) << "cone";
            } else {
                // The X ring lies in the YZ plane: seen down Z it is a line on the Y axis
                // from -4.2 to 4.2.
                EXPECT_GT(CountNear(px, W, H, 120, 120 + 80, 1, x, 3), 0) << "X ring";
                EXPECT_EQ(CountNear(px, W, H, 120, 120 + 92, 3, x, 3), 0) << "X ring end";
            }
        }
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    // Nothing for the select tool or no object.
    glClear(GL_COLOR_BUFFER_BIT);
    DrawTransformGizmo(&node, gmSelect, -1);
    DrawTransformGizmo(nullptr, gmMove, -1);
    const auto empty = ReadAll();
    EXPECT_EQ(CountNear(empty, W, H, 120, 120, 120, TRgb{0, 0, 0}, 0), W * H);
}

// The ground grid drawn point by point as the lattice is defined, against the kept and
// culled array: the same pixels from every camera, near and far.
TEST_F(GLViewTest, GroundGridMatchesPointByPointDrawing)
{
    Open(200, 150);
    struct {
        double ex, ey, ez;
        bool ortho;
    } cams[] = {
        {-2.3, 1.8, 2.3, false}, {0.0, 0.3, 0.0, false}, {30, 0.2, 30, false},
        {0, 100, 0.01, true},    {0, 5, 40, false},
    };
    for (const auto& c : cams) {
        auto setup = [&] {
            glViewport(0, 0, W, H);
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            if (c.ortho)
                glOrtho(-30, 30, -22.5, 22.5, 0.1, 5000);
            else
                gluPerspective(55.0, double(W) / H, 0.1, 1000.0);
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            gluLookAt(c.ex, c.ey, c.ez, 0, 0, 0, 0, 1, 0);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        };
        setup();
        glPointSize(2.0f);
        glColor3f(0.3f, 0.3f, 0.32f);
        glBegin(GL_POINTS);
        for (float x = -25.0f; x <= 25.0001f; x += 0.5f)
            for (float z = -25.0f; z <= 25.0001f; z += 0.5f)
                glVertex3f(x, 0.0f, z);
        glEnd();
        const auto expected = ReadAll();
        setup();
        DrawGridPoints(1000.0f, 0.25f);  // the step is raised to 0.5
        EXPECT_EQ(ReadAll(), expected) << c.ex << " " << c.ey << " " << c.ez;
    }
}

TEST(ViewGeometry, ViewRectanglesSplitTheViewAndOddSizesGoToTheLeftView)
{
    EXPECT_EQ(ViewRectOf(vkPerspective, 1001, 601), (TViewRect{0, 300, 500, 300}));
    EXPECT_EQ(ViewRectOf(vkTop, 1001, 601), (TViewRect{500, 300, 500, 300}));
    EXPECT_EQ(ViewRectOf(vkFront, 1001, 601), (TViewRect{0, 0, 500, 300}));
    EXPECT_EQ(ViewRectOf(vkLeft, 1001, 601), (TViewRect{500, 0, 501, 300}));
    EXPECT_EQ(ViewAtPoint(10, 10, 1000, 600), vkPerspective);
    EXPECT_EQ(ViewAtPoint(990, 10, 1000, 600), vkTop);
    EXPECT_EQ(ViewAtPoint(10, 590, 1000, 600), vkFront);
    EXPECT_EQ(ViewAtPoint(990, 590, 1000, 600), vkLeft);
    EXPECT_EQ(ViewAtPoint(1000, 10, 1000, 600), -1);
}

TEST(ViewGeometry, CameraVectorsAreOrthonormalAtEveryPitch)
{
    for (float pitch : {-89.0f, -22.0f, 0.0f, 45.0f, 89.0f}) {
        TCamera c;
        c.Pitch = pitch;
        c.Yaw = 123.0f;
        const TVec3 f = c.CameraForward(), r = c.CameraRight(), u = c.CameraUp();
        EXPECT_NEAR(Vec3Length(f), 1.0f, 1e-5);
        EXPECT_NEAR(Vec3Length(u), 1.0f, 1e-5);
        EXPECT_NEAR(Vec3Dot(f, r), 0.0f, 1e-5);
        EXPECT_NEAR(Vec3Dot(f, u), 0.0f, 1e-5);
        EXPECT_NEAR(Vec3Dot(r, u), 0.0f, 1e-5);
    }
    TCamera c;
    EXPECT_NEAR(c.OrbitDistance, std::sqrt(16.0f + 12.25f + 25.0f), 1e-5);
    EXPECT_FLOAT_EQ(FramingDistance(0.2f, 1.0f), 3.0f);
    EXPECT_FLOAT_EQ(FramingDistance(0.87f, 2.0f), 6.96f);
}

TEST_F(GLViewTest, OwnMatricesEqualWhatGLUBuilds)
{
    Open(8, 8);
    TCamera cam;
    cam.Pitch = 89.0f;
    TOrthoViews ortho;
    ortho.Centre = Vec3(1, 2, 3);
    for (int v = 0; v < 4; ++v) {
        TGLMatrix p, mv;
        ViewMatrices(v, 400, 300, cam, ortho, p, mv);
        const TViewSetup s = ViewSetupOf(v, cam, ortho);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        if (s.Perspective)
            gluPerspective(55.0, 400.0 / 300.0, 0.1, 1000.0);
        else
            glOrtho(-10, 10, -7.5, 7.5, 0.1, 5000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(s.Eye.X, s.Eye.Y, s.Eye.Z, s.Target.X, s.Target.Y, s.Target.Z, s.Up.X, s.Up.Y,
                  s.Up.Z);
        TGLMatrix gp, gmv;
        glGetDoublev(GL_PROJECTION_MATRIX, gp.data());
        glGetDoublev(GL_MODELVIEW_MATRIX, gmv.data());
        for (int i = 0; i < 16; ++i) {
            EXPECT_NEAR(p[size_t(i)], gp[size_t(i)], 1e-5) << "view " << v << " projection " << i;
            EXPECT_NEAR(mv[size_t(i)], gmv[size_t(i)], 1e-4) << "view " << v << " model-view " << i;
        }
    }
}

TEST(ViewGeometry, DotGridLatticeAndItsCap)
{
    // Grid 10 in a 500-pixel view at zoom 20 around the origin: 7 x 7 dots from -30 to 30.
    TDotGridLattice L = ComputeOrthoDotGrid(500, 500, 20.0f, 10.0f, Vec3(0, 0, 0), 0, 2);
    EXPECT_FALSE(L.Skip);
    EXPECT_EQ(L.I0, -3);
    EXPECT_EQ(L.J0, -3);
    EXPECT_EQ(L.N, 6);
    // The default: grid 0.25 at zoom 20 in a 400 x 300 view is 84 x 84 dots.
    L = ComputeOrthoDotGrid(400, 300, 20.0f, 0.25f, Vec3(0, 0, 0), 0, 1);
    EXPECT_FALSE(L.Skip);
    EXPECT_EQ(L.N + 1, 84);
    struct {
        int w, h;
        float zoom, grid;
    } capped[] = {
        {400, 300, 1.0f, 0.1f},    // dots 0.1 px apart: would be 16 million points
        {400, 300, 20.0f, 0.1f},   // 2 px apart
        {4000, 4000, 3.0f, 1.0f},  // 3 px apart but over 250,000 dots
        {400, 300, 20.0f, 0.0f},  {400, 300, 20.0f, std::nanf("")}, {400, 300, 20.0f, INFINITY},
    };
    for (const auto& c : capped)
        EXPECT_TRUE(ComputeOrthoDotGrid(c.w, c.h, c.zoom, c.grid, Vec3(0, 0, 0), 0, 1).Skip)
            << c.zoom << " " << c.grid;
    // Far from the origin the lattice still sits on grid multiples.
    L = ComputeOrthoDotGrid(100, 100, 20.0f, 0.5f, Vec3(1e6f, 0, 0), 0, 1);
    EXPECT_FALSE(L.Skip);
    EXPECT_LE(double(L.I0) * 0.5, 1e6 - 2.5);
}

TEST(ViewGeometry, StrokeFontHasTheViewNames)
{
    for (const char* name : {"PERSPECTIVE", "TOP", "FRONT", "LEFT", "XYZ"})
        for (const char* p = name; *p; ++p)
            EXPECT_FALSE(StrokeGlyph(*p).empty()) << *p;
    for (char c : std::string("DGHJKMQUa1 "))
        EXPECT_TRUE(StrokeGlyph(c).empty()) << c;
    EXPECT_EQ(StrokeGlyph('R').size(), 5u);
}

// The four views with a cube at (0, 0.5, 0): each view shows the cube where its camera
// puts it, the orthographic views their dot grid, every view its frame and tripod.
TEST_F(GLViewTest, FourViewsShowGridTripodsAndTheCubeWhereTheCameraPutsThem)
{
    Open(800, 500);
    TCamera camera;
    TOrthoViews ortho;
    TViewport viewport(camera, ortho);
    TMeshData cube;
    cube.BuildCube();
    for (auto& v : cube.Vertices)
        v.Color = Vec3(0.85f, 0.55f, 0.3f);
    const TVec3 cubeCentre = Vec3(0, 0.5f, 0);
    // Frame the cube as the window does at start.
    const float d = FramingDistance(0.87f, 1.0f);
    camera.Position = Vec3Sub(cubeCentre, Vec3Scale(camera.CameraForward(), d));

    TMeshDrawCache cache;
    viewport.DrawScene = [&](int) {
        glPushMatrix();
        glTranslatef(cubeCentre.X, cubeCentre.Y, cubeCentre.Z);
        cache.DrawFaces(cube);
        glPopMatrix();
    };
    viewport.GridSize = [] { return 0.25f; };
    cache.BeginPaint();
    viewport.PaintViewport(W, H, 1.0);
    const auto px = ReadAll();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    if (qEnvironmentVariableIsSet("QUILL_DUMP_VIEWS"))
        Fbo->toImage().save(qEnvironmentVariable("QUILL_DUMP_VIEWS"));

    const TRgb cubeColour = Rgb(Vec3(0.85f, 0.55f, 0.3f));
    for (int v = 0; v < 4; ++v) {
        const TViewRect r = ViewRectOf(v, W, H);
        TGLMatrix p, mv;
        ViewMatrices(v, r.W, r.H, camera, ortho, p, mv);
        double x, y, z;
        ASSERT_TRUE(ProjectPoint(cubeCentre, mv, p, r, x, y, z));
        EXPECT_GT(CountNear(px, W, H, int(x), int(y), 3, cubeColour), 40) << "cube in view " << v;
        // The frame line one pixel inside the view's lower left corner.
        EXPECT_GT(CountNear(px, W, H, r.X + 1 + 60, r.Y + 1, 1, Rgb(Vec3(0.3f, 0.32f, 0.35f)), 3),
                  0)
            << "frame " << v;
        // The tripod's first axis runs right from (x + 24, y + 24).
        const TViewSetup s = ViewSetupOf(v, camera, ortho);
        EXPECT_EQ(CountNear(px, W, H, r.X + 24 + 12, r.Y + 24, 1, Rgb(AxisColors[size_t(s.AxisA)]),
                            3) > 0,
                  true)
            << "tripod " << v;
        if (v != vkPerspective) {
            // A grid dot at a world grid multiple away from the cube: 2 units right of it.
            TVec3 dot = Vec3Add(ortho.Centre, Vec3Scale(AxisVector(s.AxisA), 5.0f));
            ASSERT_TRUE(ProjectPoint(dot, mv, p, r, x, y, z));
            EXPECT_GT(CountNear(px, W, H, int(std::lround(x)), int(std::lround(y)), 1,
                                Rgb(Vec3(0.28f, 0.28f, 0.3f)), 3),
                      0)
                << "grid " << v;
        }
    }
    // Picking keeps the Perspective view's matrices.
    const TViewRect pr = ViewRectOf(vkPerspective, W, H);
    EXPECT_EQ(viewport.SavedViewport[0], pr.X);
    EXPECT_EQ(viewport.SavedViewport[1], pr.Y);
    EXPECT_EQ(viewport.SavedViewport[2], pr.W);
    EXPECT_EQ(viewport.SavedViewport[3], pr.H);
    EXPECT_NE(viewport.SavedProjection[0], 0.0);
}

// ---------------------------------------------------------------------------------------
// The main window's views of its default cube in each display mode.

#include "base/uErrors.h"
#include "editor/uInstallSubsystems.h"
#include "editor/uMainForm.h"
#include "render/uErrorBox.h"
#include "render/uGLView.h"
#include "scene/uContactLighting.h"
#include "scene/uSceneObject.h"

#include <QCursor>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {

struct TShot {
    QImage Image;
    int W = 0, H = 0;
    TRgb At(int x, int glY) const
    {
        const QRgb p = Image.pixel(x, H - 1 - glY);
        return {qRed(p), qGreen(p), qBlue(p)};
    }
    // Pixels inside the rectangle that satisfy Pred.
    template <class P>
    int Count(int x0, int y0, int x1, int y1, P Pred) const
    {
        int n = 0;
        for (int y = std::max(0, y0); y <= std::min(H - 1, y1); ++y)
            for (int x = std::max(0, x0); x <= std::min(W - 1, x1); ++x)
                n += Pred(At(x, y)) ? 1 : 0;
        return n;
    }
};

bool Near(TRgb a, TRgb b, int tol = 6)
{
    return std::abs(a.R - b.R) <= tol && std::abs(a.G - b.G) <= tol && std::abs(a.B - b.B) <= tol;
}

TRgb ToRgb(const TVec3& c)
{
    return {int(std::lround(c.X * 255)), int(std::lround(c.Y * 255)), int(std::lround(c.Z * 255))};
}

class MainWindowViewsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetErrorBoxHandler([this](QWidget*, const std::string& m) { Errors.push_back(m); });
        TMainFormOptions o;
        o.Clock = [] { return uint64_t(1000); };
        o.ProgramFolder = "/nonexistent-folder-for-tests";
        Form = std::make_unique<TMainForm>(o);
        InstallSubsystemWindows(*Form);
        Form->FrameTimer()->stop();
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        Form->GLView()->grabFramebuffer();  // the driver is loaded by now
        PinLoadedLibraries();
    }
    void TearDown() override
    {
        Form.reset();
        SetErrorBoxHandler(nullptr);
        EXPECT_TRUE(Errors.empty()) << Errors.front();
    }
    TShot Shoot()
    {
        TShot s;
        s.Image = Form->GLView()->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        s.W = s.Image.width();
        s.H = s.Image.height();
        return s;
    }
    // The window rectangle (GL coordinates) that a world box covers in a view.
    // The orthographic zoom in device pixels per unit.
    TOrthoViews DeviceOrtho() const
    {
        TOrthoViews o = Form->Ortho();
        o.Zoom = float(o.Zoom * Form->GLView()->devicePixelRatioF());
        return o;
    }
    bool BoxInView(int View, const TShot& S, const TVec3& Lo, const TVec3& Hi, int& x0, int& y0,
                   int& x1, int& y1)
    {
        const TViewRect r = ViewRectOf(View, S.W, S.H);
        TGLMatrix p, mv;
        ViewMatrices(View, r.W, r.H, Form->Camera(), DeviceOrtho(), p, mv);
        double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
        for (int i = 0; i < 8; ++i) {
            const TVec3 c = Vec3(i & 1 ? Hi.X : Lo.X, i & 2 ? Hi.Y : Lo.Y, i & 4 ? Hi.Z : Lo.Z);
            double x, y, z;
            if (!ProjectPoint(c, mv, p, r, x, y, z))
                return false;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
        x0 = int(minX);
        y0 = int(minY);
        x1 = int(maxX);
        y1 = int(maxY);
        return true;
    }
    bool PointInView(int View, const TShot& S, const TVec3& P, int& x, int& y)
    {
        const TViewRect r = ViewRectOf(View, S.W, S.H);
        TGLMatrix p, mv;
        ViewMatrices(View, r.W, r.H, Form->Camera(), DeviceOrtho(), p, mv);
        double fx, fy, fz;
        if (!ProjectPoint(P, mv, p, r, fx, fy, fz))
            return false;
        x = int(std::lround(fx));
        y = int(std::lround(fy));
        return true;
    }
    TSceneObject* Cube() { return Form->Scene().GetSelectedObject(); }

    std::vector<std::string> Errors;
    std::unique_ptr<TMainForm> Form;
};

}  // namespace

TEST_F(MainWindowViewsTest, EveryViewShowsGridAxesAndTheCubeInEveryDisplayMode)
{
    TSceneObject* cube = Cube();
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(cube->Name.rfind("Cube ", 0), 0u);
    // New objects take a random display colour from one generator for the whole process;
    // a fixed one keeps the shading thresholds below independent of the tests run before.
    cube->DisplayColor = Vec3(0.8f, 0.2f, 0.9f);
    const TRgb orange = ToRgb(Vec3(0.85f, 0.55f, 0.3f));
    const TRgb display = ToRgb(cube->DisplayColor);
    const TRgb dot = ToRgb(Vec3(0.28f, 0.28f, 0.3f));
    const TRgb groundDot = ToRgb(Vec3(0.3f, 0.3f, 0.32f));
    const TRgb xAxis = ToRgb(Vec3(0.8f, 0.2f, 0.2f));
    const TVec3 lo = Vec3(-0.5f, 0.0f, -0.5f), hi = Vec3(0.5f, 1.0f, 0.5f);
    const std::vector<TMeshVertex> coloursBefore = cube->GetBaseMesh()->Vertices;

    for (int32_t mode : {dmShaded, dmWireframe, dmSolid, dmCinematic}) {
        DisplayMode = mode;
        const TShot s = Shoot();
        ASSERT_GT(s.W, 100);
        if (qEnvironmentVariableIsSet("QUILL_DUMP_VIEWS"))
            s.Image.save(qEnvironmentVariable("QUILL_DUMP_VIEWS") + QString::number(mode) + ".png");
        for (int v = 0; v < 4; ++v) {
            int x0, y0, x1, y1;
            ASSERT_TRUE(BoxInView(v, s, lo, hi, x0, y0, x1, y1));
            const int area = (x1 - x0 + 1) * (y1 - y0 + 1);
            int hits = 0;
            switch (mode) {
            case dmShaded:
                hits = s.Count(x0, y0, x1, y1, [&](TRgb p) { return Near(p, orange); });
                break;
            case dmWireframe:
                hits = s.Count(x0, y0, x1, y1, [&](TRgb p) { return Near(p, display, 2); });
                break;
            case dmSolid:
                // The display colour, shaded and tinted by the contact lighting.
                hits = s.Count(x0, y0, x1, y1, [&](TRgb p) {
                    return p.R <= display.R + 10 && p.G <= display.G + 10 &&
                           p.B <= display.B + 10 && p.R + p.G + p.B > 40 && !Near(p, dot, 3);
                });
                if (v == vkFront)  // the sides are darkened near the ground
                    EXPECT_GT(s.Count(x0, y0, x1, y1,
                                      [&](TRgb p) {
                                          return p.R + p.G + p.B + 15 <
                                                     display.R + display.G + display.B &&
                                                 p.R + p.G + p.B > 30 && !Near(p, dot, 3);
                                      }),
                              0)
                        << "contact shade";
                break;
            default:
                hits = s.Count(x0, y0, x1, y1, [](TRgb p) { return p.R > p.B + 40 && p.R > 60; });
                break;
            }
            if (mode == dmWireframe)
                EXPECT_GT(hits, (x1 - x0) / 2) << "wire cube, view " << v;
            else
                EXPECT_GT(hits, area / 3) << "filled cube, mode " << mode << ", view " << v;

            const TViewSetup setup = ViewSetupOf(v, Form->Camera(), Form->Ortho());
            int x, y;
            if (v != vkPerspective) {
                // Dot grid on grid multiples, 3.25 units (off the ground grid) along the view's
                // first axis.
                ASSERT_TRUE(PointInView(v, s, Vec3Scale(AxisVector(setup.AxisA), 3.25f), x, y));
                EXPECT_GT(
                    s.Count(x - 1, y - 1, x + 1, y + 1, [&](TRgb p) { return Near(p, dot, 3); }), 0)
                    << "ortho grid, mode " << mode << ", view " << v;
            }
            // The world axes and the ground grid belong to the Shaded mode only.
            if (v != vkLeft) {
                ASSERT_TRUE(PointInView(v, s, Vec3(1.5f, 0, 0), x, y));
                const int red =
                    s.Count(x - 2, y - 2, x + 2, y + 2, [&](TRgb p) { return Near(p, xAxis, 3); });
                if (mode == dmShaded)
                    EXPECT_GT(red, 0) << "X axis, view " << v;
                else
                    EXPECT_EQ(red, 0) << "X axis, mode " << mode << ", view " << v;
            }
            if (v == vkPerspective) {
                ASSERT_TRUE(PointInView(v, s, Vec3(-1.5f, 0, -2.5f), x, y));
                const int g = s.Count(x - 1, y - 1, x + 1, y + 1,
                                      [&](TRgb p) { return Near(p, groundDot, 3); });
                if (mode == dmShaded)
                    EXPECT_GT(g, 0) << "ground grid";
                else
                    EXPECT_EQ(g, 0) << "ground grid, mode " << mode;
            }
        }
    }
    // Solid built the contact lighting once, and kept it.
    EXPECT_TRUE(Form->ContactCache().IsBuilt());
    // The drawing never rewrote the mesh's colours.
    EXPECT_EQ(cube->GetBaseMesh()->Vertices, coloursBefore);
    DisplayMode = dmWireframe;
}

TEST_F(MainWindowViewsTest, TheWindowStartsInWireframeWithTheCubeFramedAndSelected)
{
    EXPECT_EQ(DisplayMode, dmWireframe);
    EXPECT_FLOAT_EQ(GridSize, 0.25f);
    TSceneObject* cube = Cube();
    ASSERT_NE(cube, nullptr);
    EXPECT_TRUE(cube->Selected);
    EXPECT_EQ(Form->Scene().NodeCount(), 1);
    // Framed: 0.87 x 1 x 4 units back along the view direction from (0, 0.5, 0).
    const TVec3 toCube = Vec3Sub(Vec3(0, 0.5f, 0), Form->Camera().Position);
    EXPECT_NEAR(Vec3Length(toCube), 3.48f, 1e-4);
    EXPECT_NEAR(Vec3Dot(Vec3Normalize(toCube), Form->Camera().CameraForward()), 1.0f, 1e-5);
    EXPECT_NEAR(Form->Camera().OrbitDistance, 3.48f, 1e-5);
}

// An error inside a paint reaches the error box once per paint; the GL state the scene
// drawing changed (matrix stack, polygon mode, scissor) is put back, so the next paint
// draws normally.
TEST_F(MainWindowViewsTest, AFailedPaintReportsOnceAndTheNextPaintDrawsNormally)
{
    int calls = 0;
    Form->SceneRenderer().ContactColors =
        [&](TSceneObject&, const TMeshData&, const TMeshDrawOptions&, std::vector<TVec3>&) -> bool {
        ++calls;
        throw EGeneralError("contact lighting failed");
    };
    DisplayMode = dmSolid;
    for (int i = 0; i < 3; ++i)
        Shoot();
    EXPECT_EQ(calls, 3);  // the first object of the first view, each paint
    ASSERT_EQ(Errors.size(), 3u);
    EXPECT_EQ(Errors[0], "contact lighting failed");
    Errors.clear();

    Form->GLView()->makeCurrent();
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    GLint polygon[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, polygon);
    EXPECT_EQ(polygon[0], GL_FILL);
    Form->GLView()->doneCurrent();

    Form->SceneRenderer().ContactColors = nullptr;
    DisplayMode = dmShaded;
    const TShot s = Shoot();
    int x0, y0, x1, y1;
    ASSERT_TRUE(BoxInView(vkTop, s, Vec3(-0.5f, 0, -0.5f), Vec3(0.5f, 1, 0.5f), x0, y0, x1, y1));
    const TRgb orange = ToRgb(Vec3(0.85f, 0.55f, 0.3f));
    EXPECT_GT(s.Count(x0, y0, x1, y1, [&](TRgb p) { return Near(p, orange); }),
              (x1 - x0) * (y1 - y0) / 2);
    DisplayMode = dmWireframe;
}

// The view names are drawn once, by the stroke font: the labels of the names lie beneath
// the GL view, which covers them, so the screen shows the same whether they are there or
// not.
TEST_F(MainWindowViewsTest, TheViewNameLabelsLieBeneathTheGLView)
{
    QWidget* gl = Form->GLView();
    QWidget* parent = gl->parentWidget();
    const QObjectList& siblings = parent->children();
    for (QLabel* l : Form->ViewNameLabels()) {
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->parentWidget(), parent) << l->text().toStdString();
        EXPECT_LT(siblings.indexOf(l), siblings.indexOf(gl)) << l->text().toStdString();
        EXPECT_TRUE(l->isVisible()) << l->text().toStdString();
        EXPECT_TRUE(gl->geometry().contains(l->geometry())) << l->text().toStdString();
    }

    // They follow the view when it moves: with the tree hidden it starts at the left edge.
    const auto expectAtCorners = [&] {
        const int hw = gl->width() / 2, hh = gl->height() / 2;
        const QPoint at[4] = {{6, 4}, {hw + 6, 4}, {6, hh + 4}, {hw + 6, hh + 4}};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Form->ViewNameLabels()[size_t(i)]->pos(), gl->pos() + at[i]) << i;
    };
    expectAtCorners();
    Form->ToggleTreeClick();
    QTRY_COMPARE(gl->x(), 0);
    expectAtCorners();
    Form->ToggleTreeClick();
    QTRY_COMPARE(gl->x(), 200);
    expectAtCorners();

    // The screen read back over the view, with the labels and without them; the view's
    // corner on the screen, however large the window is.
    Form->move(Form->pos() - gl->mapToGlobal(QPoint(0, 0)) + QPoint(8, 8));
    QTRY_COMPARE(gl->mapToGlobal(QPoint(0, 0)), QPoint(8, 8));
    QCursor::setPos(Form->screen()->geometry().bottomRight());  // no crosshair
    const auto onScreen = [&] {
        gl->update();
        QTest::qWait(200);
        const QPoint at = gl->mapToGlobal(QPoint(0, 0));
        return Form->screen()
            ->grabWindow(0, at.x(), at.y(), gl->width(), gl->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    const QImage with = onScreen();
    const double dpr = gl->devicePixelRatioF();
    ASSERT_GE(with.width(), 110 * dpr);
    for (QLabel* l : Form->ViewNameLabels())
        l->hide();
    const QImage without = onScreen();
    for (QLabel* l : Form->ViewNameLabels())
        l->show();
    ASSERT_EQ(with.size(), without.size());
    int differing = 0;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            differing += with.pixel(x, y) != without.pixel(x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0);
    // The stroke-font name is there: "PERSPECTIVE" in its grey near the top-left corner.
    const TRgb name = ToRgb(Vec3(0.6f, 0.62f, 0.66f));
    int strokes = 0;
    for (int y = 0; y < 24 * dpr; ++y)
        for (int x = 0; x < 110 * dpr; ++x) {
            const QRgb p = with.pixel(x, y);
            strokes += Near({qRed(p), qGreen(p), qBlue(p)}, name, 40) ? 1 : 0;
        }
    EXPECT_GT(strokes, 20);
}
