#include "render/uSceneDraw.h"

#include "render/uViewport.h"
#include "scene/uCinematicEnvironment.h"
#include "scene/uContactLighting.h"
#include "scene/uScene.h"
#include "scene/uSceneNode.h"
#include "scene/uSceneObject.h"
#include "scene/uSceneStatistics.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

int32_t DisplayMode = dmWireframe;
float GridSize = 0.25f;
TVec3 SelectionColor{0.4f, 0.7f, 1.0f};
TVec3 SceneLightDirection = DefaultSceneLightDirection;

namespace {

GLUquadric* GizmoQuadric()
{
    // One quadric for the program's lifetime, made with the first gizmo.
    static GLUquadric* q = [] {
        GLUquadric* r = gluNewQuadric();
        if (r)
            gluQuadricNormals(r, GLU_SMOOTH);
        return r;
    }();
    return q;
}

}  // namespace

void EnableSceneLighting(const TVec3& LightDirection)
{
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat pos[4] = {LightDirection.X, LightDirection.Y, LightDirection.Z, 0.0f};
    const GLfloat ambient[4] = {0.35f, 0.35f, 0.4f, 1.0f};
    const GLfloat diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, pos);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
}

void DisableSceneLighting()
{
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
}

void DrawGridPoints(float Extent, float Step)
{
    const float half = std::min(Extent / 2.0f, 25.0f);
    const float s = std::max(Step, 0.5f);  // also replaces a not-a-number step
    if (!(half >= 0.0f) || !std::isfinite(half))
        return;
    // The lattice is the same every frame; it is kept, and only the points that can reach
    // a pixel of the view are handed to GL: outside the clip volume (with a margin wider
    // than a point) GL would discard them anyway.
    static std::vector<float> points, visible;
    static float lastHalf = -1.0f, lastStep = -1.0f;
    if (half != lastHalf || s != lastStep) {
        points.clear();
        for (float x = -half; x <= half + 0.0001f; x += s)
            for (float z = -half; z <= half + 0.0001f; z += s)
                points.insert(points.end(), {x, 0.0f, z});
        lastHalf = half;
        lastStep = s;
    }
    double mv[16], pr[16];
    GLint vp[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, pr);
    glGetIntegerv(GL_VIEWPORT, vp);
    double m[16];  // projection x model-view, column-major
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += pr[k * 4 + r] * mv[c * 4 + k];
            m[c * 4 + r] = sum;
        }
    const double mx = 1.0 + 8.0 / std::max(vp[2], 1), my = 1.0 + 8.0 / std::max(vp[3], 1);
    visible.clear();
    for (size_t i = 0; i < points.size(); i += 3) {
        const double x = points[i], z = points[i + 2];  // y is 0
        const double cx = m[0] * x + m[8] * z + m[12], cy = m[1] * x + m[9] * z + m[13];
        const double cz = m[2] * x + m[10] * z + m[14], cw = m[3] * x + m[11] * z + m[15];
        if (!(cw > 0.0))
            continue;
        if (std::fabs(cx) > mx * cw || std::fabs(cy) > my * cw || std::fabs(cz) > 1.001 * cw)
            continue;
        visible.insert(visible.end(), {points[i], 0.0f, points[i + 2]});
    }
    glPointSize(2.0f);
    glColor3f(0.3f, 0.3f, 0.32f);
    if (visible.empty())
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, visible.data());
    glDrawArrays(GL_POINTS, 0, GLsizei(visible.size() / 3));
    glDisableClientState(GL_VERTEX_ARRAY);
}

void DrawWorldAxes()
{
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    glColor3f(0.8f, 0.2f, 0.2f);
    glVertex3f(0, 0, 0);
    glVertex3f(2, 0, 0);
    glColor3f(0.2f, 0.8f, 0.2f);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 2, 0);
    glColor3f(0.2f, 0.4f, 1.0f);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 0, 2);
    glEnd();
}

float NodeMaxScale(const TSceneNode& Node)
{
    const TVec3& s = Node.GetScale();
    return std::max(s.X, std::max(s.Y, s.Z));
}

void DrawGizmoRing(int Axis, int Segments, float Radius)
{
    glBegin(GL_LINE_LOOP);
    for (int i = 0; i < Segments; ++i) {
        const float t = float(i) / float(Segments) * 2.0f * float(M_PI);
        const float a = Radius * std::sin(t), b = Radius * std::cos(t);
        if (Axis == 0)
            glVertex3f(0, a, b);
        else if (Axis == 1)
            glVertex3f(a, 0, b);
        else
            glVertex3f(a, b, 0);
    }
    glEnd();
}

void DrawTransformGizmo(TSceneNode* Object, TGizmoMode Tool, int HoveredAxis)
{
    if (!Object || Tool == gmSelect)
        return;
    DrawTransformGizmoAt(MatTransformPoint(Vec3(0, 0, 0), Object->GetWorldMatrix()),
                         NodeMaxScale(*Object) * 1.2f + 0.6f, Tool, HoveredAxis);
}

void DrawTransformGizmoAt(const TVec3& p, float L, TGizmoMode Tool, int HoveredAxis)
{
    if (Tool == gmSelect)
        return;
    GLUquadric* quadric = GizmoQuadric();
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(p.X, p.Y, p.Z);
    for (int axis = 0; axis < 3; ++axis) {
        const bool hovered = axis == HoveredAxis;
        const TVec3 c = hovered ? Vec3(1, 1, 0) : AxisColors[size_t(axis)];
        glColor3f(c.X, c.Y, c.Z);
        if (Tool == gmRotate) {
            glLineWidth(hovered ? 4.0f : 2.0f);
            DrawGizmoRing(axis, 48, L);
            continue;
        }
        glLineWidth(hovered ? 5.0f : 3.0f);
        const TVec3 d = AxisVector(axis);
        glBegin(GL_LINES);
        glVertex3f(0, 0, 0);
        glVertex3f(d.X * L, d.Y * L, d.Z * L);
        glEnd();
        if (!quadric)
            continue;
        glPushMatrix();
        glTranslatef(d.X * L, d.Y * L, d.Z * L);
        if (axis == 0)
            glRotatef(90.0f, 0, 1, 0);
        if (axis == 1)
            glRotatef(-90.0f, 1, 0, 0);
        gluCylinder(quadric, 0.07, 0.0, 0.22, 12, 1);
        glPopMatrix();
    }
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
}

// ---------------------------------------------------------------------------------------
// The scene walk.

namespace {

// Restores the GL state the scene drawing changes, also when a draw routine raises.
struct TRenderStateGuard {
    bool Wireframe;
    explicit TRenderStateGuard(bool wireframe) : Wireframe(wireframe)
    {
        if (Wireframe)
            glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    }
    ~TRenderStateGuard()
    {
        DisableSceneLighting();
        if (Wireframe)
            glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glEnable(GL_DEPTH_TEST);
    }
};

struct TMatrixGuard {
    explicit TMatrixGuard(const TMatrix4& World)
    {
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        TMatrix4 t;
        MatTranspose(World, t);  // row-major with translation in 3, 7, 11 -> GL's columns
        glMultMatrixf(t.data());
    }
    ~TMatrixGuard()
    {
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
    }
};

TMatrix4 WorldOf(const TSceneNode& Node, const TMatrix4& Parent,
                 const TPropertyEvaluationContext& Context)
{
    TMatrix4 local, world;
    ComputeEvaluatedLocalMatrix(Node, Context, local);
    MatMultiply(Parent, local, world);
    return world;
}

void DrawSelectionBox(float r, const TSceneDrawContext& Draw)
{
    const GLboolean lit = glIsEnabled(GL_LIGHTING);
    DisableSceneLighting();
    glLineWidth(1.8f);
    const TVec3& c = Draw.SelectionColor;
    glColor3f(c.X, c.Y, c.Z);
    for (float x : {-r, r}) {
        glBegin(GL_LINE_LOOP);
        glVertex3f(x, -r, -r);
        glVertex3f(x, -r, r);
        glVertex3f(x, r, r);
        glVertex3f(x, r, -r);
        glEnd();
    }
    glBegin(GL_LINES);
    for (float y : {-r, r})
        for (float z : {-r, r}) {
            glVertex3f(-r, y, z);
            glVertex3f(r, y, z);
        }
    glEnd();
    if (lit)
        EnableSceneLighting(Draw.LightDirection);
    glLineWidth(1.0f);
}

}  // namespace

void TSceneRenderer::SetEvaluationContextAll(TScene& Scene,
                                             const TPropertyEvaluationContext& Context)
{
    // Every object of a deep tree may take a new context: each tells its ancestors once.
    TSceneNoticeBatch batch;
    WalkSubtreePreOrder(Scene.GetRoot(), 0, [&](TSceneNode& n, int, int&) {
        if (auto* o = dynamic_cast<TSceneObject*>(&n)) {
            TModifierEvalContext c;
            c.Frame = Context.Frame;
            c.FPS = Context.FPS;
            c.Time = Context.Time;
            c.MaxVertices = 1000000;
            c.MaxFaces = 1000000;
            c.Weight = 1.0f;
            c.Owner = o;
            o->SetEvaluationContext(c);
        }
        return true;
    });
}

void TSceneRenderer::Render(TScene& Scene, const TPropertyEvaluationContext& Context)
{
    SetEvaluationContextAll(Scene, Context);
    const int32_t DisplayMode = Draw.DisplayMode;
    if (DisplayMode == dmSolid || DisplayMode == dmCinematic)
        Scene.RefreshContactLighting();
    // Only for this render: the scene may be gone by the next call.
    struct TContactCacheScope {
        const TContactLightingCache*& Slot;
        ~TContactCacheScope() { Slot = nullptr; }
    } scope{ContactCache};
    ContactCache = &Scene.GetContactCache();
    TRenderStateGuard guard(DisplayMode == dmWireframe);
    const TMatrix4 identity = MatIdentity();
    RenderSkyboxPass(Scene.GetRoot(), identity, Context);
    if (DisplayMode == dmShaded || DisplayMode == dmCinematic) {
        DisableSceneLighting();
        if (DisplayMode == dmShaded) {
            DrawGridPoints(1000.0f, Draw.GridSize);
            DrawWorldAxes();
        } else {
            EnableSceneLighting(Draw.LightDirection);
        }
    }
    RenderObjectPass(Scene.GetRoot(), identity, Context);
}

void TSceneRenderer::RenderDefault(TScene& Scene)
{
    Render(Scene, TPropertyEvaluationContext{});
}

void TSceneRenderer::RenderSkyboxPass(TSceneNode* Root, const TMatrix4& Parent,
                                      const TPropertyEvaluationContext& Context)
{
    // Most scenes have no skybox: that is found out without working out every node's
    // world matrix, which a large tree pays for in each view.
    bool found = false;
    WalkSubtreePreOrder(Root, 0, [&](TSceneNode& n, int, int&) {
        const auto* o = dynamic_cast<const TSceneObject*>(&n);
        found = found || (n.GetVisible() && o != nullptr && o->PrimType == ptSkybox);
        return !found && n.GetVisible();
    });
    if (!found)
        return;
    WalkSubtreePreOrder(Root, Parent, [&](TSceneNode& n, const TMatrix4& parent, TMatrix4& world) {
        if (!n.GetVisible())
            return false;  // a hidden node hides its subtree
        world = WorldOf(n, parent, Context);
        if (auto* o = dynamic_cast<TSceneObject*>(&n); o && o->PrimType == ptSkybox) {
            TMatrixGuard m(world);
            DrawObjectMesh(*o, false);
            glClear(GL_DEPTH_BUFFER_BIT);  // a skybox never hides what follows
        }
        return true;
    });
}

void TSceneRenderer::RenderObjectPass(TSceneNode* Root, const TMatrix4& Parent,
                                      const TPropertyEvaluationContext& Context)
{
    const bool contact = Draw.DisplayMode == dmSolid || Draw.DisplayMode == dmCinematic;
    WalkSubtreePreOrder(Root, Parent, [&](TSceneNode& n, const TMatrix4& parent, TMatrix4& world) {
        if (!n.GetVisible())
            return false;
        world = WorldOf(n, parent, Context);
        if (auto* o = dynamic_cast<TSceneObject*>(&n); o && o->PrimType != ptSkybox) {
            TMatrixGuard m(world);
            DrawObjectMesh(*o, contact);
        }
        return true;
    });
}

void TSceneRenderer::DrawObjectMesh(TSceneObject& Object, bool UseContactCache)
{
    const TMeshData* mesh = Object.GetEvaluatedMesh();
    if (!mesh)
        return;
    const int32_t DisplayMode = Draw.DisplayMode;
    TMeshDrawOptions o;
    o.BindTexture = &Draw.BindTexture;
    if (Object.PrimType == ptSkybox) {
        glDisable(GL_DEPTH_TEST);
        DisableSceneLighting();
        if (Object.TexId > 0) {
            o.OverrideTexId = true;
            o.TexId = Object.TexId;
        }
        Cache.DrawFaces(*mesh, o);
        EnableSceneLighting(Draw.LightDirection);
        glEnable(GL_DEPTH_TEST);
        return;
    }
    // Wireframe and Solid show every vertex in the object's display colour; the colours
    // are handed to the drawing, the mesh keeps its own.
    if (DisplayMode == dmWireframe || DisplayMode == dmSolid) {
        o.UniformColor = true;
        o.Color = Object.DisplayColor;
    }
    if (DisplayMode == dmWireframe || Object.Blend == vcbVertexOnly) {
        o.OverrideTexId = true;
        o.TexId = 0;
    } else if (Object.Blend == vcbTextureOnly) {
        o.UniformColor = true;
        o.Color = Vec3(1, 1, 1);
    } else if (Object.TexId > 0) {
        o.OverrideTexId = true;
        o.TexId = Object.TexId;
    }
    if (!o.UniformColor && BaseColors) {
        const std::vector<TVec3>* base = BaseColors(Object, *mesh);
        if (base && base->size() == mesh->Vertices.size())
            o.VertexColors = base;
    }
    std::vector<TVec3> contact;
    const bool lit =
        UseContactCache && (ContactColors ? ContactColors(Object, *mesh, o, contact)
                                          : ContactCache && ContactLitColors(*ContactCache, Object,
                                                                             *mesh, o, contact));
    if (lit) {
        o.UniformColor = false;
        o.VertexColors = &contact;
    }
    Cache.DrawFaces(*mesh, o);
    if (Object.Selected && DisplayMode < dmCinematic)
        DrawSelectionBox(Object.GetBoundingRadius(), Draw);
}

bool ContactLitColors(const TContactLightingCache& Cache, const TSceneObject& Object,
                      const TMeshData& Mesh, const TMeshDrawOptions& Options,
                      std::vector<TVec3>& Colors)
{
    if (!Cache.IsEnabled() || !Cache.IsBuilt())
        return false;
    const uint32_t id = Object.GetId();
    const uint64_t serial = Object.GetMeshSerial();
    if (!Cache.FindResults(id, serial))
        return false;
    const size_t n = Mesh.Vertices.size();
    Colors.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const TVec3 base = Options.UniformColor ? Options.Color
                           : Options.VertexColors && Options.VertexColors->size() >= n
                               ? (*Options.VertexColors)[i]
                               : Mesh.Vertices[i].Color;
        Colors[i] = Cache.GetVertexLight(id, serial, int32_t(i), base);
    }
    return true;
}
