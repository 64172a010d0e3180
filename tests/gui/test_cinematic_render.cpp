// The cinematic frame: its arithmetic against the formulas it is built from, and frames
// drawn off screen with Mesa: what a frame changes is put back on every path, hidden
// objects show only in it, and the sun or moon behind the camera is not drawn.
#include "base/uErrors.h"
#include "gl_test_support.h"
#include "render/uCinematicMath.h"
#include "render/uCinematicRender.h"
#include "scene/uCinematicEnvironment.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

bool Near(const TVec3& a, const TVec3& b, float eps = 1e-5f)
{
    return std::fabs(a.X - b.X) <= eps && std::fabs(a.Y - b.Y) <= eps &&
           std::fabs(a.Z - b.Z) <= eps;
}

}  // namespace

TEST(CinematicMath, SkyRowsBlendZenithToHorizonThenHoldThenFadeToGround)
{
    TCelestialLighting L;
    L.ZenithColor = Vec3(0, 0, 1);
    L.HorizonColor = Vec3(1, 0, 0);
    L.GroundColor = Vec3(0, 1, 0);
    const int H = 200;
    struct {
        int Row;
        TVec3 Expected;
    } rows[] = {
        {0, Vec3(0, 0, 1)},   {40, Vec3(0.5f, 0, 0.5f)},  {79, Vec3(0.9875f, 0, 0.0125f)},
        {80, Vec3(1, 0, 0)},  {109, Vec3(1, 0, 0)},       {110, Vec3(1, 0, 0)},
        {200, Vec3(0, 1, 0)}, {155, Vec3(0.5f, 0.5f, 0)},
    };
    for (const auto& r : rows)
        EXPECT_TRUE(Near(SkyRowColor(L, r.Row, H), r.Expected, 1e-5f)) << "row " << r.Row;
}

TEST(CinematicMath, RimWithoutWrapIsTheStepNotADivisionByZero)
{
    EXPECT_EQ(CinematicSmoothStep(0, 0, 0.3f), 1.0f);
    EXPECT_EQ(CinematicSmoothStep(0, 0, -0.3f), 0.0f);
    EXPECT_EQ(CinematicSmoothStep(0, 0, 0.0f), 0.5f);
    EXPECT_FLOAT_EQ(CinematicSmoothStep(-0.25f, 0.25f, 0.0f), 0.5f);
    EXPECT_FLOAT_EQ(CinematicSmoothStep(-0.25f, 0.25f, 0.125f), 0.84375f);
    // A normal square to the sun with no wrap: finite, half the rim.
    const TVec3 n = Vec3(1, 0, 0), sun = Vec3(0, 1, 0);
    const float a = RimAlpha(n, sun, 0.0f, 3.0f, 0.5f);
    EXPECT_TRUE(std::isfinite(a));
    EXPECT_FLOAT_EQ(a, 0.5f * 1.0f * 0.5f);
    // Facing the viewer (n.z = 1): the rim is its floor 0.001 raised to the power.
    EXPECT_NEAR(RimAlpha(Vec3(0, 0, 1), Vec3(0, 0, 1), 0.25f, 1.0f, 1.0f), 0.001f, 1e-7f);
    EXPECT_TRUE(Near(RimColor(-1), Vec3(0.12f, 0.3f, 0.85f)));
    EXPECT_TRUE(Near(RimColor(1), Vec3(1.0f, 0.35f, 0.1f)));
    EXPECT_TRUE(Near(RimColor(0), Vec3(0.56f, 0.325f, 0.475f)));
}

TEST(CinematicMath, VignetteLeavesTheCentreAndReachesTheCorners)
{
    const int W = 640, H = 480;  // D = 400
    EXPECT_EQ(VignetteAlpha(320, 240, W, H, 0.75f, 0.35f, 1.0f), 0.0f);
    EXPECT_NEAR(VignetteAlpha(0, 0, W, H, 0.75f, 0.35f, 1.0f), 0.25f / 0.35f, 1e-5f);
    EXPECT_NEAR(VignetteAlpha(640, 480, W, H, 0.75f, 0.35f, 0.5f), 0.5f * 0.25f / 0.35f, 1e-5f);
    EXPECT_EQ(VignetteAlpha(0, 0, W, H, 0.5f, 0.2f, 0.8f), 0.8f);  // past radius + softness
    // No softness: a hard edge, no division by zero.
    EXPECT_EQ(VignetteAlpha(630, 240, W, H, 0.75f, 0.0f, 1.0f), 1.0f);
}

TEST(CinematicMath, FlareFadesWithDistanceFromTheCentre)
{
    EXPECT_FLOAT_EQ(SunFlareFade(320, 240, 640, 480), 1.0f);
    EXPECT_FLOAT_EQ(SunFlareFade(0, 0, 640, 480), 0.0f);
    EXPECT_FLOAT_EQ(SunFlareFade(160, 120, 640, 480), 0.25f);
    EXPECT_EQ(SunFlareElements.size(), 8u);
    EXPECT_FLOAT_EQ(SunFlareElements[7].Position, 1.22f);
}

TEST(CinematicMath, RigAndSceneLightFollowTheTimeOfDay)
{
    TCinematicEnvironment env;
    TCelestialLighting noon;
    ComputeCelestialLighting(env, noon);
    TContactLightRig rig = CinematicLightRig(noon, &env);
    EXPECT_TRUE(Near(rig.KeyDirection, noon.SunDirection));
    EXPECT_FLOAT_EQ(rig.KeyIntensity, 1.0f);
    EXPECT_FLOAT_EQ(rig.FillIntensity, 0.0f);
    EXPECT_FLOAT_EQ(rig.AmbientIntensity, 0.8f);
    EXPECT_TRUE(Near(CinematicSceneLightDirection(noon, env, Vec3(9, 9, 9)), Vec3(0, 1, 0)));

    env.SetTimeOfDay(0);
    TCelestialLighting night;
    ComputeCelestialLighting(env, night);
    EXPECT_TRUE(Near(CinematicSceneLightDirection(night, env, Vec3(9, 9, 9)), Vec3(0, 1, 0)));
    env.MoonOn = false;
    EXPECT_TRUE(Near(CinematicSceneLightDirection(night, env, Vec3(9, 9, 9)), Vec3(9, 9, 9)));
    EXPECT_FLOAT_EQ(CinematicLightRig(night, &env).FillIntensity, 0.0f);

    // Without an environment the key and fill lights are off.
    const TContactLightRig none = CinematicLightRig(TCelestialLighting{}, nullptr);
    EXPECT_EQ(none.KeyIntensity, 0.0f);
    EXPECT_EQ(none.FillIntensity, 0.0f);
}

TEST(CinematicMath, TintMovesColoursTowardsTheLitSide)
{
    TCelestialLighting L;
    L.SunFactor = 1;
    L.SunDirection = Vec3(0, 1, 0);
    const TCelestialTint t = CelestialTintFor(L, 0.5f);
    EXPECT_TRUE(Near(t.Color, Vec3(1.0f, 0.6f, 0.25f)));
    EXPECT_FLOAT_EQ(t.Strength, 0.5f);
    const TVec3 lit = TintVertexColor(Vec3(0, 0, 0), t.Color, Vec3(0, 1, 0), t.Direction, 0.5f);
    EXPECT_TRUE(Near(lit, Vec3(0.5f, 0.3f, 0.125f)));
    const TVec3 away =
        TintVertexColor(Vec3(0.2f, 0.2f, 0.2f), t.Color, Vec3(0, -1, 0), t.Direction, 0.5f);
    EXPECT_TRUE(Near(away, Vec3(0.2f, 0.2f, 0.2f)));
    L.MoonIntensity = 2;  // the moon wins
    EXPECT_TRUE(Near(CelestialTintFor(L, 1).Color, Vec3(0.12f, 0.3f, 0.75f)));
}

TEST(CinematicMath, ForwardVectorAndCelestialSide)
{
    EXPECT_TRUE(Near(CinematicForwardVector(0, 0), Vec3(0, 0, -1)));
    EXPECT_TRUE(Near(CinematicForwardVector(90, 0), Vec3(1, 0, 0), 1e-6f));
    EXPECT_TRUE(Near(CinematicForwardVector(0, 90), Vec3(0, 1, 0), 1e-6f));
    EXPECT_TRUE(CelestialInFront(Vec3(0, 0.5f, -1), Vec3(0, 0, -1)));
    EXPECT_FALSE(CelestialInFront(Vec3(0, 0.5f, 1), Vec3(0, 0, -1)));
}

namespace {

// A current compatibility context drawing into a framebuffer object.
class CinematicFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
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
        Resize(160, 120);
        Scene.Environment = &Env;
    }
    void TearDown() override
    {
        Renderer.ReleaseGLObjects();
        Fbo.reset();
        Scene.Environment = nullptr;
        if (Context)
            Context->doneCurrent();
    }
    void Resize(int w, int h)
    {
        W = w;
        H = h;
        Fbo = std::make_unique<QOpenGLFramebufferObject>(W, H, QOpenGLFramebufferObject::Depth);
        ASSERT_TRUE(Fbo->bind());
    }
    void Frame() { Renderer.RenderFrame(Scene, &Env, TPropertyEvaluationContext{}, W, H); }
    // Pixel (x, y) with rows from the top.
    std::array<int, 3> Pixel(int x, int y)
    {
        unsigned char p[4] = {};
        glReadPixels(x, H - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2]};
    }
    // Every switch on, so every pass runs.
    void EverythingOn()
    {
        Env.VignetteOn = Env.AberrationOn = Env.FogOn = Env.RimLightOn = true;
        Env.CelestialTintOn = true;
        Env.SetExposure(-0.5f);
        Env.SetTimeOfDay(9);
    }

    int W = 0, H = 0;
    std::unique_ptr<QOffscreenSurface> Surface;
    std::unique_ptr<QOpenGLContext> Context;
    std::unique_ptr<QOpenGLFramebufferObject> Fbo;
    TScene Scene;
    TCinematicEnvironment Env;
    TCinematicRenderer Renderer;
};

struct TGLStateSnapshot {
    std::vector<GLboolean> Enabled;
    GLint ModelViewDepth = 0, ProjectionDepth = 0, MatrixMode = 0, Polygon[2] = {};
    GLboolean DepthMask = 0, ColorMask[4] = {};
    GLint Texture = 0, BlendSrc = 0, BlendDst = 0;
    GLfloat Ambient[4] = {}, Offset[2] = {};
    static TGLStateSnapshot Take()
    {
        TGLStateSnapshot s;
        for (GLenum cap :
             {GL_LIGHTING, GL_LIGHT0, GL_LIGHT1, GL_FOG, GL_BLEND, GL_DEPTH_TEST, GL_TEXTURE_2D,
              GL_POLYGON_OFFSET_FILL, GL_COLOR_MATERIAL, GL_SCISSOR_TEST})
            s.Enabled.push_back(glIsEnabled(cap));
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.ModelViewDepth);
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &s.ProjectionDepth);
        glGetIntegerv(GL_MATRIX_MODE, &s.MatrixMode);
        glGetIntegerv(GL_POLYGON_MODE, s.Polygon);
        glGetBooleanv(GL_DEPTH_WRITEMASK, &s.DepthMask);
        glGetBooleanv(GL_COLOR_WRITEMASK, s.ColorMask);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.Texture);
        glGetIntegerv(GL_BLEND_SRC, &s.BlendSrc);
        glGetIntegerv(GL_BLEND_DST, &s.BlendDst);
        glGetFloatv(GL_LIGHT_MODEL_AMBIENT, s.Ambient);
        glGetFloatv(GL_POLYGON_OFFSET_FACTOR, &s.Offset[0]);
        glGetFloatv(GL_POLYGON_OFFSET_UNITS, &s.Offset[1]);
        return s;
    }
    bool operator==(const TGLStateSnapshot& o) const
    {
        return Enabled == o.Enabled && ModelViewDepth == o.ModelViewDepth &&
               ProjectionDepth == o.ProjectionDepth && MatrixMode == o.MatrixMode &&
               Polygon[0] == o.Polygon[0] && DepthMask == o.DepthMask &&
               std::equal(ColorMask, ColorMask + 4, o.ColorMask) && Texture == o.Texture &&
               BlendSrc == o.BlendSrc && BlendDst == o.BlendDst &&
               std::equal(Ambient, Ambient + 4, o.Ambient) && Offset[0] == o.Offset[0] &&
               Offset[1] == o.Offset[1];
    }
};

}  // namespace

TEST_F(CinematicFrameTest, AFramePutsBackEveryStateItChangesAlsoWhenTheSceneDrawingFails)
{
    TSceneObject* cube = Scene.AddPrimitive(ptCube);
    TSceneObject* hidden = Scene.AddPrimitive(ptSphere);
    hidden->SetVisible(false);
    Renderer.Camera = TCinematicCamera{Vec3(0, 1, 5), 0, -10};
    EverythingOn();
    TContactLightRig rig;
    rig.KeyIntensity = 0.123f;
    Scene.SetContactLightRig(rig);
    const std::vector<TMeshVertex> before = cube->GetEvaluatedMesh()->Vertices;

    const TGLStateSnapshot state = TGLStateSnapshot::Take();
    Frame();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_TRUE(TGLStateSnapshot::Take() == state);
    EXPECT_FALSE(hidden->GetVisible());
    TContactLightRig after;
    Scene.GetContactLightRig(after);
    EXPECT_FLOAT_EQ(after.KeyIntensity, 0.123f);
    EXPECT_EQ(cube->GetEvaluatedMesh()->Vertices, before);  // the tint never wrote the mesh

    // The scene drawing raises half way: the same is put back.
    Renderer.SceneRenderer().ContactColors =
        [](TSceneObject&, const TMeshData&, const TMeshDrawOptions&, std::vector<TVec3>&) -> bool {
        throw EGeneralError("drawing failed");
    };
    EXPECT_THROW(Frame(), EGeneralError);
    EXPECT_TRUE(TGLStateSnapshot::Take() == state);
    EXPECT_FALSE(hidden->GetVisible());
    Scene.GetContactLightRig(after);
    EXPECT_FLOAT_EQ(after.KeyIntensity, 0.123f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(CinematicFrameTest, AHiddenObjectShowsInTheFrameOnly)
{
    Env.SkyOn = false;  // black behind the object
    TSceneObject* cube = Scene.AddPrimitive(ptCube);
    cube->ApplyColorToVertices(Vec3(1, 1, 1));
    cube->SetVisible(false);
    Renderer.Camera = TCinematicCamera{Vec3(0, 0, 4), 0, 0};
    Frame();
    const auto p = Pixel(W / 2, H / 2);
    EXPECT_GT(p[0] + p[1] + p[2], 60);
    EXPECT_FALSE(cube->GetVisible());
}

TEST_F(CinematicFrameTest, TheSunBehindTheCameraIsNotDrawnAndInFrontItIs)
{
    // Noon: the sun straight up. Looking up it is in the middle of the view.
    Renderer.Camera = TCinematicCamera{Vec3(0, 0, 0), 0, 89};
    Frame();
    float x = 0, y = 0;
    ASSERT_TRUE(Renderer.ProjectCelestialPoint(Vec3(0, 1, 0), x, y));
    EXPECT_NEAR(x, W / 2.0f, 2.0f);
    EXPECT_NEAR(y, H / 2.0f, 2.0f);
    const auto sun = Pixel(W / 2, H / 2);
    EXPECT_GE(sun[0], 250);

    // Looking straight down the sun is behind the eye: gluProject would mirror it into the
    // middle of the view.
    Renderer.Camera = TCinematicCamera{Vec3(0, 0, 0), 0, -89};
    Frame();
    EXPECT_FALSE(Renderer.ProjectCelestialPoint(Vec3(0, 1, 0), x, y));
    TCelestialLighting L;
    ComputeCelestialLighting(Env, L);
    const TVec3 sky = SkyRowColor(L, H / 2, H);
    const auto middle = Pixel(W / 2, H / 2);
    EXPECT_NEAR(middle[0], sky.X * 255, 2);
    EXPECT_NEAR(middle[1], sky.Y * 255, 2);
    EXPECT_NEAR(middle[2], sky.Z * 255, 2);
}

TEST_F(CinematicFrameTest, ThePostTextureFollowsTheViewSizeAndATinyAberrationMakesNone)
{
    Env.AberrationOn = true;
    Env.SetAberrationStrength(0.0001f);
    Frame();
    EXPECT_EQ(Renderer.PostTextureWidth(), 0);
    Env.SetAberrationStrength(0.01f);
    Frame();
    EXPECT_EQ(Renderer.PostTextureWidth(), 160);
    EXPECT_EQ(Renderer.PostTextureHeight(), 120);
    Resize(200, 100);
    Frame();
    EXPECT_EQ(Renderer.PostTextureWidth(), 200);
    EXPECT_EQ(Renderer.PostTextureHeight(), 100);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(CinematicFrameTest, ExposureAtItsLowestTurnsThePictureBlack)
{
    Env.SetExposure(-2);
    Frame();
    for (auto [x, y] : {std::pair{0, 0}, {W / 2, H / 2}, {W - 1, H - 1}}) {
        const auto p = Pixel(x, y);
        EXPECT_EQ(p[0] + p[1] + p[2], 0) << x << "," << y;
    }
}

// An object whose animation moves it into view from far away: the rim light and the tint
// are drawn where the animation puts it, as the scene drawing draws it.
TEST_F(CinematicFrameTest, TintAndRimFollowTheAnimatedPlacement)
{
    Env.SkyOn = false;  // black around the object, no lights but the scene light
    Env.ContactLightingOn = false;
    TSceneObject* sphere = Scene.AddPrimitive(ptSphere);
    sphere->ApplyColorToVertices(Vec3(0.3f, 0.3f, 0.3f));
    sphere->SetPosition(Vec3(50, 0, 0));  // authored far out of view
    TAnimationEvaluation evaluation;
    evaluation.SetValue(MakeNodePropertyPath(sphere->GetId(), 1), MakeFloatPropertyValue(0));
    TPropertyEvaluationContext at;
    at.Frame = 7;
    at.FPS = 30;
    at.Time = 7.0 / 30.0;
    at.Evaluation = &evaluation;
    Renderer.Camera = TCinematicCamera{Vec3(0, 0, 3), 0, 0};
    const auto frame = [&] {
        Renderer.RenderFrame(Scene, &Env, at, W, H);
        std::vector<unsigned char> px(size_t(W) * size_t(H) * 4);
        glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        return px;
    };
    const auto plain = frame();
    // The sphere is drawn in the middle of the view at the animated place.
    const size_t centre = (size_t(H / 2) * size_t(W) + size_t(W / 2)) * 4;
    ASSERT_GT(plain[centre] + plain[centre + 1] + plain[centre + 2], 30);

    Env.CelestialTintOn = true;
    Env.SetTintStrength(1);
    const auto tinted = frame();
    EXPECT_NE(tinted[centre], plain[centre]);  // orange pulls red up, blue down
    EXPECT_GT(int(tinted[centre]) - int(tinted[centre + 2]),
              int(plain[centre]) - int(plain[centre + 2]));
    Env.CelestialTintOn = false;

    Env.RimLightOn = true;
    Env.SetRimStrength(1);
    Env.SetRimPower(1);
    Env.SetRimLightWrap(0.5f);
    const auto rim = frame();
    int brighter = 0;
    for (size_t i = 0; i < rim.size(); i += 4)
        brighter += rim[i] + rim[i + 1] + rim[i + 2] > plain[i] + plain[i + 1] + plain[i + 2] + 6;
    EXPECT_GT(brighter, 50);  // a ring around the sphere's outline
    // Nothing was drawn where the authored placement would put it (off to the right).
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Two views drawing one scene with their own draw contexts: each takes its mode, light
// and texture binding from its own context, never from the main window's settings.
TEST_F(CinematicFrameTest, EachRendererDrawsWithItsOwnDrawContext)
{
    TSceneObject* cube = Scene.AddPrimitive(ptCube);
    cube->ApplyColorToVertices(Vec3(1, 0, 0));
    cube->DisplayColor = Vec3(0, 0, 1);
    cube->TexId = 3;
    cube->Blend = vcbMultiply;
    const int32_t mainMode = DisplayMode;
    DisplayMode = dmWireframe;  // the main window's setting, which neither view reads
    std::vector<int32_t> shadedBinds, solidBinds;
    TSceneRenderer shaded, solid;
    shaded.Draw.DisplayMode = dmShaded;
    shaded.Draw.BindTexture = [&](int32_t id) { shadedBinds.push_back(id); };
    solid.Draw.DisplayMode = dmSolid;
    solid.Draw.BindTexture = [&](int32_t id) { solidBinds.push_back(id); };
    Scene.SetContactLightingEnabled(false);
    const auto draw = [&](TSceneRenderer& r) {
        glViewport(0, 0, W, H);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(50, double(W) / H, 0.1, 100);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(0, 0.5, 4, 0, 0.5, 0, 0, 1, 0);
        r.BeginPaint();
        r.RenderDefault(Scene);
        return Pixel(W / 2, H / 2);
    };
    const auto a = draw(shaded), b = draw(solid);
    EXPECT_GT(a[0], 200);  // the vertex colour
    EXPECT_LT(a[2], 50);
    EXPECT_GT(b[2], 200);  // the display colour
    EXPECT_LT(b[0], 50);
    EXPECT_EQ(shadedBinds, (std::vector<int32_t>{3, 0}));
    EXPECT_EQ(solidBinds, (std::vector<int32_t>{3, 0}));
    EXPECT_EQ(DisplayMode, dmWireframe);
    DisplayMode = mainMode;
}
