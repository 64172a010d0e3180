#include "render/uCinematicRender.h"

#include "scene/uCinematicEnvironment.h"
#include "scene/uScene.h"
#include "scene/uSceneNode.h"
#include "scene/uSceneObject.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <functional>

namespace {

// What a frame changes outside its own drawing, put back on every path: the objects'
// Visible flags, the scene's light rig, every GL attribute and both matrix stacks.
class TCinematicFrameGuard {
public:
    explicit TCinematicFrameGuard(TScene& scene) : Scene(scene)
    {
        Scene.GetContactLightRig(Rig);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &ModelViewDepth);
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &ProjectionDepth);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
    }
    ~TCinematicFrameGuard()
    {
        for (auto& [node, visible] : Visible)
            node->SetVisible(visible);
        Scene.SetContactLightRig(Rig);
        PopTo(GL_PROJECTION, GL_PROJECTION_STACK_DEPTH, ProjectionDepth);
        PopTo(GL_MODELVIEW, GL_MODELVIEW_STACK_DEPTH, ModelViewDepth);
        glPopAttrib();
        glMatrixMode(GL_MODELVIEW);
    }
    // Every object shows in the cinematic view, hidden ones too.
    void ShowEveryObject()
    {
        for (TSceneNode* n : Scene.GetNodes())
            if (dynamic_cast<TSceneObject*>(n)) {
                Visible.emplace_back(n, n->GetVisible());
                n->SetVisible(true);
            }
    }
    void RestoreRig() { Scene.SetContactLightRig(Rig); }

private:
    static void PopTo(GLenum Mode, GLenum DepthName, GLint Depth)
    {
        glMatrixMode(Mode);
        GLint d = 0;
        glGetIntegerv(DepthName, &d);
        for (; d > Depth; --d)
            glPopMatrix();
    }
    TScene& Scene;
    TContactLightRig Rig;
    std::vector<std::pair<TSceneNode*, bool>> Visible;
    GLint ModelViewDepth = 1, ProjectionDepth = 1;
};

void DrawDisc(float cx, float cy, float r, int Segments, const TVec3& c, float Alpha)
{
    glColor4f(c.X, c.Y, c.Z, Alpha);
    glBegin(GL_TRIANGLE_FAN);
    glVertex2f(cx, cy);
    for (int i = 0; i <= Segments; ++i) {
        const float a = 2.0f * float(M_PI) * float(i) / float(Segments);
        glVertex2f(cx + r * std::cos(a), cy + r * std::sin(a));
    }
    glEnd();
}

void FullScreenQuad(int W, int H)
{
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(float(W), 0);
    glVertex2f(float(W), float(H));
    glVertex2f(0, float(H));
    glEnd();
}

TVec3 Mat3Apply(const double* GL, const TVec3& v)
{
    // Column-major GL matrix, its 3 x 3 part.
    return Vec3(float(GL[0] * v.X + GL[4] * v.Y + GL[8] * v.Z),
                float(GL[1] * v.X + GL[5] * v.Y + GL[9] * v.Z),
                float(GL[2] * v.X + GL[6] * v.Y + GL[10] * v.Z));
}

}  // namespace

TCinematicRenderer::TCinematicRenderer()
{
    Scene.Draw.DisplayMode = dmCinematic;
    Scene.BaseColors = [this](const TSceneObject& o,
                              const TMeshData& m) -> const std::vector<TVec3>* {
        const auto it = Tinted.find(&o);
        return it != Tinted.end() && it->second.size() == m.Vertices.size() ? &it->second : nullptr;
    };
}

void TCinematicRenderer::SetTextureBinder(std::function<void(int32_t)> Bind)
{
    Scene.Draw.BindTexture = std::move(Bind);
}

void TCinematicRenderer::RenderFrame(TScene& scene, const TCinematicEnvironment* Environment,
                                     const TPropertyEvaluationContext& Context, int Width,
                                     int Height)
{
    if (Width < 1 || Height < 1)
        return;
    W = Width;
    H = Height;
    Env = Environment;
    Objects.clear();
    Tinted.clear();
    struct TFrameEnd {
        TCinematicRenderer& R;
        ~TFrameEnd()
        {
            R.Objects.clear();
            R.Tinted.clear();
            R.Env = nullptr;
        }
    } frameEnd{*this};
    TCinematicFrameGuard guard(scene);
    if (scene.NodeCount() > 0)
        guard.ShowEveryObject();
    Light = TCelestialLighting{};
    if (Env)
        ComputeCelestialLighting(*Env, Light);

    glViewport(0, 0, W, H);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    DrawSkyGradient();

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(Env ? Env->FieldOfView : 55.0, double(W) / double(std::max(H, 1)), 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const TVec3 eye = Camera.Position;
    const TVec3 at = Vec3Add(eye, CinematicForwardVector(Camera.Yaw, Camera.Pitch));
    gluLookAt(eye.X, eye.Y, eye.Z, at.X, at.Y, at.Z, 0, 1, 0);
    glGetDoublev(GL_MODELVIEW_MATRIX, ModelView);
    glGetDoublev(GL_PROJECTION_MATRIX, Projection);
    glGetIntegerv(GL_VIEWPORT, Viewport);

    DrawSunAndMoon();
    SetLightsAndFog();

    // The frame's evaluation first, so the tint works on the meshes that are drawn.
    TSceneRenderer::SetEvaluationContextAll(scene, Context);
    CollectFrameObjects(scene, Context);
    ApplyCelestialTint();

    scene.SetContactLightRig(CinematicLightRig(Light, Env));
    Scene.Draw.LightDirection =
        Env ? CinematicSceneLightDirection(Light, *Env, DefaultSceneLightDirection)
            : DefaultSceneLightDirection;
    Scene.BeginPaint();
    Scene.Render(scene, Context);
    guard.RestoreRig();
    Tinted.clear();

    glDisable(GL_FOG);
    glDisable(GL_LIGHT1);
    glDisable(GL_LIGHTING);
    ApplyChromaticAberration();
    ApplyExposure();
    DrawRimLight();
    DrawSunFlare();
    DrawVignette();
}

void TCinematicRenderer::CollectFrameObjects(TScene& scene,
                                             const TPropertyEvaluationContext& Context)
{
    // The objects the scene drawing shows, with the matrices it draws them with.
    WalkSubtreePreOrder(scene.GetRoot(), MatIdentity(),
                        [&](TSceneNode& n, const TMatrix4& parent, TMatrix4& world) {
                            if (!n.GetVisible())
                                return false;
                            TMatrix4 local;
                            ComputeEvaluatedLocalMatrix(n, Context, local);
                            MatMultiply(parent, local, world);
                            if (auto* o = dynamic_cast<TSceneObject*>(&n);
                                o && o->PrimType != ptSkybox)
                                if (const TMeshData* mesh = o->GetEvaluatedMesh())
                                    Objects.push_back({o, mesh, world});
                            return true;
                        });
}

void TCinematicRenderer::BeginScreenPass() const
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, W, H, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
}

void TCinematicRenderer::EndScreenPass() const
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
}

void TCinematicRenderer::DrawSkyGradient()
{
    if (!Env || !Env->SkyOn || W < 2 || H < 2)
        return;
    BeginScreenPass();
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBegin(GL_QUADS);
    for (int y = 0; y < H; ++y) {
        const TVec3 c = SkyRowColor(Light, y, H);
        glColor3f(c.X, c.Y, c.Z);
        glVertex2f(0, float(y));
        glVertex2f(float(W), float(y));
        glVertex2f(float(W), float(y + 1));
        glVertex2f(0, float(y + 1));
    }
    glEnd();
    EndScreenPass();
}

bool TCinematicRenderer::ProjectCelestialPoint(const TVec3& Direction, float& X, float& Y) const
{
    // A point behind the eye also projects; it must not be drawn mirrored into the view.
    if (!CelestialInFront(Direction, CinematicForwardVector(Camera.Yaw, Camera.Pitch)))
        return false;
    const TVec3 p = Vec3Add(Camera.Position, Vec3Scale(Direction, 100.0f));
    double wx = 0, wy = 0, wz = 0;
    if (gluProject(p.X, p.Y, p.Z, ModelView, Projection, Viewport, &wx, &wy, &wz) != GL_TRUE)
        return false;
    if (!(wz >= 0.0 && wz <= 1.0))
        return false;
    X = float(wx);
    Y = float(H - wy);
    return true;
}

void TCinematicRenderer::DrawSunAndMoon()
{
    if (!Env || !Env->SkyOn || W < 2 || H < 2)
        return;
    float sx = 0, sy = 0, mx = 0, my = 0;
    const bool sun = Env->SunOn && Light.SunDirection.Y > -0.05f &&
                     ProjectCelestialPoint(Light.SunDirection, sx, sy);
    const bool moon = Env->MoonOn && Light.MoonDirection.Y > -0.05f &&
                      Light.MoonIntensity > 0.01f &&
                      ProjectCelestialPoint(Light.MoonDirection, mx, my);
    if (!sun && !moon)
        return;
    BeginScreenPass();
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    if (sun) {
        const TVec3& c = Light.SunColor;
        const TVec3 glow = Vec3(0.5f * c.X, 0.4f * c.Y, 0.2f * c.Z);
        for (int k = 3; k >= 0; --k)
            DrawDisc(sx, sy, 32.0f + 18.0f * float(k), 32, glow,
                     0.12f * Light.SunFactor / float(k + 1));
        DrawDisc(sx, sy, 28, 32, Vec3Scale(c, Light.SunFactor), Light.SunFactor);
    }
    if (moon)
        DrawDisc(mx, my, 18, 32, Vec3(0.4f, 0.5f, 1.0f), 0.6f * Light.MoonIntensity);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    EndScreenPass();
}

void TCinematicRenderer::SetLightsAndFog()
{
    if (Env && Env->SkyOn) {
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        if ((Env->SunOn && Light.SunFactor > 0) || (Env->MoonOn && Light.MoonIntensity > 0)) {
            const GLfloat ambient[4] = {Light.AmbientColor.X, Light.AmbientColor.Y,
                                        Light.AmbientColor.Z, Light.AmbientLevel};
            glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
        }
        if (Env->SunOn && Light.SunFactor > 0.01f) {
            const TVec3& d = Light.SunDirection;
            const GLfloat pos[4] = {d.X, d.Y, d.Z, 0};
            const GLfloat diffuse[4] = {Light.SunColor.X, Light.SunColor.Y, Light.SunColor.Z,
                                        Light.SunFactor};
            glLightfv(GL_LIGHT0, GL_POSITION, pos);
            glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
        }
        if (Env->MoonOn && Light.MoonIntensity > 0.01f) {
            glEnable(GL_LIGHT1);
            const TVec3& d = Light.MoonDirection;
            const GLfloat pos[4] = {d.X, d.Y, d.Z, 0};
            const GLfloat diffuse[4] = {Light.MoonColor.X, Light.MoonColor.Y, Light.MoonColor.Z,
                                        Light.MoonIntensity};
            glLightfv(GL_LIGHT1, GL_POSITION, pos);
            glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
        }
    }
    if (Env && Env->FogOn && Env->FogDensity > 0.001f) {
        const TVec3 c = Env->UseAtmosphericFogColor ? Light.AtmosphereColor : Env->FogColor;
        const GLfloat color[4] = {c.X, c.Y, c.Z, 1};
        glEnable(GL_FOG);
        glFogi(GL_FOG_MODE, GL_EXP2);
        glFogf(GL_FOG_DENSITY, Env->FogDensity);
        glFogfv(GL_FOG_COLOR, color);
    }
}

void TCinematicRenderer::ApplyCelestialTint()
{
    if (!Env || !Env->CelestialTintOn || !(Env->TintStrength > 0))
        return;
    const TCelestialTint tint = CelestialTintFor(Light, Env->TintStrength);
    if (tint.Strength < 0.001f)
        return;
    for (const TFrameObject& f : Objects) {
        TMatrix4 inverse;
        if (!MatInverse(f.World, inverse))
            continue;
        const TVec3 d = Vec3Normalize(MatTransformVector(tint.Direction, inverse));
        std::vector<TVec3>& colors = Tinted[f.Object];
        colors.resize(f.Mesh->Vertices.size());
        for (size_t i = 0; i < colors.size(); ++i) {
            const TMeshVertex& v = f.Mesh->Vertices[i];
            colors[i] = TintVertexColor(v.Color, tint.Color, v.Normal, d, tint.Strength);
        }
    }
}

void TCinematicRenderer::EnsurePostTexture(int Width, int Height)
{
    if (PostTexture != 0 && PostWidth == Width && PostHeight == Height)
        return;
    if (PostTexture != 0)
        glDeleteTextures(1, &PostTexture);
    PostTexture = 0;
    glGenTextures(1, &PostTexture);
    glBindTexture(GL_TEXTURE_2D, PostTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, Width, Height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    PostWidth = Width;
    PostHeight = Height;
}

void TCinematicRenderer::ReleasePostTexture()
{
    if (PostTexture != 0)
        glDeleteTextures(1, &PostTexture);
    PostTexture = 0;
    PostWidth = PostHeight = 0;
    if (VignetteTexture != 0)
        glDeleteTextures(1, &VignetteTexture);
    VignetteTexture = 0;
    VignetteMade = TVignetteKey{};
}

void TCinematicRenderer::ApplyChromaticAberration()
{
    if (!Env || !Env->AberrationOn || !(Env->AberrationStrength > 0.0001f) || W < 2 || H < 2)
        return;
    EnsurePostTexture(W, H);
    glBindTexture(GL_TEXTURE_2D, PostTexture);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, W, H);
    BeginScreenPass();
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
    const float o = float(W) * Env->AberrationStrength;
    const float ds = o / float(W), dt = o / float(H);
    auto pass = [&](GLboolean r, GLboolean g, GLboolean b, float shiftS, float shiftT) {
        glColorMask(r, g, b, GL_TRUE);
        glBegin(GL_QUADS);
        glTexCoord2f(0 + shiftS, 1 + shiftT);
        glVertex2f(0, 0);
        glTexCoord2f(1 + shiftS, 1 + shiftT);
        glVertex2f(float(W), 0);
        glTexCoord2f(1 + shiftS, 0 + shiftT);
        glVertex2f(float(W), float(H));
        glTexCoord2f(0 + shiftS, 0 + shiftT);
        glVertex2f(0, float(H));
        glEnd();
    };
    pass(GL_FALSE, GL_TRUE, GL_FALSE, 0, 0);
    pass(GL_TRUE, GL_FALSE, GL_FALSE, -ds, -dt);
    pass(GL_FALSE, GL_FALSE, GL_TRUE, ds, dt);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    EndScreenPass();
}

void TCinematicRenderer::ApplyExposure()
{
    if (!Env || !(std::fabs(Env->Exposure) > 0.001f) || W < 2 || H < 2)
        return;
    const float e = Env->Exposure;
    BeginScreenPass();
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    if (e > 0) {
        glBlendFunc(GL_ONE, GL_ONE);
        glColor4f(0.5f * e, 0.5f * e, 0.5f * e, 1);
    } else {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glColor4f(0, 0, 0, std::min(-0.5f * e, 1.0f));
    }
    FullScreenQuad(W, H);
    glDisable(GL_BLEND);
    EndScreenPass();
}

void TCinematicRenderer::DrawRimLight()
{
    if (!Env || !Env->RimLightOn || !(Env->RimStrength > 0) || Objects.empty())
        return;
    const TVec3 color = RimColor(Light.SunDirection.Y);
    const TVec3 sunEye = Vec3Normalize(Mat3Apply(ModelView, Light.SunDirection));
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1, -1);
    glMatrixMode(GL_MODELVIEW);
    // A corner's rim depends on its vertex alone: one colour per vertex, and the faces as
    // the fans' triangles from vertex arrays.
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    struct TClientState {
        ~TClientState()
        {
            glDisableClientState(GL_COLOR_ARRAY);
            glDisableClientState(GL_VERTEX_ARRAY);
        }
    } clientState;
    for (const TFrameObject& f : Objects) {
        glLoadMatrixd(ModelView);
        TMatrix4 t;
        MatTranspose(f.World, t);
        glMultMatrixf(t.data());
        double m[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, m);
        const auto& vs = f.Mesh->Vertices;
        if (vs.empty())
            continue;
        RimColors.resize(vs.size() * 4);
        for (size_t i = 0; i < vs.size(); ++i) {
            const TVec3 n = Vec3Normalize(Mat3Apply(m, vs[i].Normal));
            float* c = RimColors.data() + i * 4;
            c[0] = color.X;
            c[1] = color.Y;
            c[2] = color.Z;
            c[3] = RimAlpha(n, sunEye, Env->RimLightWrap, Env->RimPower, Env->RimStrength);
        }
        RimIndices.clear();
        for (const TMeshFace& face : f.Mesh->Faces) {
            if (face.Count < 3 || face.Count > 4)
                continue;
            bool ok = true;
            for (int k = 0; k < face.Count; ++k)
                ok = ok && face.Indices[size_t(k)] >= 0 &&
                     size_t(face.Indices[size_t(k)]) < vs.size();
            if (!ok)
                continue;
            for (int k = 1; k + 1 < face.Count; ++k)
                RimIndices.insert(RimIndices.end(),
                                  {uint32_t(face.Indices[0]), uint32_t(face.Indices[size_t(k)]),
                                   uint32_t(face.Indices[size_t(k + 1)])});
        }
        if (RimIndices.empty())
            continue;
        glVertexPointer(3, GL_FLOAT, GLsizei(sizeof(TMeshVertex)), &vs[0].Position);
        glColorPointer(4, GL_FLOAT, 0, RimColors.data());
        glDrawElements(GL_TRIANGLES, GLsizei(RimIndices.size()), GL_UNSIGNED_INT,
                       RimIndices.data());
    }
    glLoadMatrixd(ModelView);
    glPolygonOffset(0, 0);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
}

void TCinematicRenderer::DrawSunFlare()
{
    if (!Env || !Env->SkyOn || !Env->SunOn || Light.SunFactor < 0.05f || W < 2 || H < 2)
        return;
    float sx = 0, sy = 0;
    if (!ProjectCelestialPoint(Light.SunDirection, sx, sy))
        return;
    const float f = SunFlareFade(sx, sy, W, H);
    if (f < 0.001f)
        return;
    const float cx = float(W / 2), cy = float(H / 2);
    BeginScreenPass();
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    for (const TFlareElement& e : SunFlareElements)
        DrawDisc(cx + (sx - cx) * e.Position, cy + (sy - cy) * e.Position, e.Radius, 24, e.Color,
                 f * e.AlphaFactor * Light.SunFactor * 0.8f);
    glDisable(GL_BLEND);
    EndScreenPass();
}

void TCinematicRenderer::DrawVignette()
{
    if (!Env || !Env->VignetteOn || !(Env->VignetteStrength > 0) || W < 2 || H < 2)
        return;
    // The darkening of every pixel, as a mask of the view's size, one texel a pixel.
    const TVignetteKey key{W, H, Env->VignetteRadius, Env->VignetteSoftness, Env->VignetteStrength};
    if (VignetteTexture == 0 || !(key == VignetteMade)) {
        VignetteMask.resize(size_t(W) * size_t(H));
        for (int row = 0; row < H; ++row) {
            const float y = float(H - 1 - row) + 0.5f;  // texture rows run upwards
            unsigned char* out = VignetteMask.data() + size_t(row) * size_t(W);
            for (int x = 0; x < W; ++x) {
                const float a =
                    VignetteAlpha(float(x) + 0.5f, y, W, H, key.Radius, key.Softness, key.Strength);
                out[x] = (unsigned char)std::lround(a * 255.0f);
            }
        }
        if (VignetteTexture == 0)
            glGenTextures(1, &VignetteTexture);
        glBindTexture(GL_TEXTURE_2D, VignetteTexture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, W, H, 0, GL_ALPHA, GL_UNSIGNED_BYTE,
                     VignetteMask.data());
        VignetteMade = key;
    }
    BeginScreenPass();
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, VignetteTexture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    glVertex2f(0, 0);
    glTexCoord2f(1, 1);
    glVertex2f(float(W), 0);
    glTexCoord2f(1, 0);
    glVertex2f(float(W), float(H));
    glTexCoord2f(0, 0);
    glVertex2f(0, float(H));
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    EndScreenPass();
}
