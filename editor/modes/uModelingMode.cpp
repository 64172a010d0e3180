#include "editor/modes/uModelingMode.h"

#include "document/uProjectDocument.h"
#include "editor/api/uEditorContext.h"
#include "editor/modes/uObjectTransformMode.h"
#include "editor/uPaintPage.h"
#include "editor/uStatusBar.h"
#include "render/uCamera.h"
#include "render/uMeshDraw.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <GL/gl.h>

#include <algorithm>

namespace {

constexpr float kPickVertexPixels = 80, kPickEdgePixels = 60;
constexpr float kHoverVertexPixels = 15, kHoverEdgePixels = 12;

bool ValidVertex(const TMeshData& Mesh, int32_t V)
{
    return V >= 0 && size_t(V) < Mesh.Vertices.size();
}

void GLVertex(const TVec3& p)
{
    glVertex3f(p.X, p.Y, p.Z);
}

}  // namespace

TModelingMode::TModelingMode(TViewportModeHost& Host, TObjectTransformMode& Transform)
    : TViewportMode(Host), Transform(Transform)
{
}

TEditorSelection& TModelingMode::Selection() const
{
    return Host.ModeContext().Selection();
}

bool TModelingMode::On() const
{
    return Selection().ModelingOn;
}

TSceneObject* TModelingMode::ModelingObject() const
{
    TSceneObject* o = Host.ModeContext().Document().GetScene().GetSelectedObject();
    return o && o->GetBaseMesh() ? o : nullptr;
}

void TModelingMode::SelectionEdited()
{
    emit Host.ModeContext().Events().SelectionChanged();
}

// ---------------------------------------------------------------------------------------
// Events.

bool TModelingMode::MouseDown(const TViewportMouse& Mouse)
{
    if (!On() || Mouse.Button != Qt::LeftButton || Mouse.View != vkPerspective)
        return false;
    PickModelingElement(Mouse.X, Mouse.Y);
    SelectionEdited();
    Host.FocusView();
    Host.RepaintView();
    return true;
}

bool TModelingMode::MouseMove(const TViewportMouse& Mouse)
{
    if (!On())
        return false;
    Transform.ClearHoveredAxis();
    const int32_t hoveredFace = Selection().HoveredFace;
    if (Mouse.View == vkPerspective)
        UpdateModelingHover(Mouse.X, Mouse.Y);
    else
        Selection().ClearHover();
    // The gradient's usable colour slots follow the corner count of the face under the
    // cursor.
    if (Selection().PaintMode == kPaintModeGradient && Selection().HoveredFace != hoveredFace)
        if (TPaintPage* page = Host.PaintPage())
            page->UpdatePaintPanel();
    return true;
}

TModeKey TModelingMode::KeyDown(int Key, Qt::KeyboardModifiers)
{
    if (!On())
        return TModeKey::NotMine;
    if (Key == Qt::Key_A) {
        ModelingSelectAll();
    } else if (Key == Qt::Key_Escape) {
        if (Transform.Running())
            Transform.CancelModalTransform();
        else
            ClearModelingSelection();
    } else {
        return TModeKey::NotMine;
    }
    SelectionEdited();
    Host.FocusView();
    Host.RepaintView();
    return TModeKey::Handled;
}

void TModelingMode::FillStatus(TStatusInputs& In) const
{
    In.ModelingOn = On();
    In.SubMode = Selection().ModelingSubMode;
}

// ---------------------------------------------------------------------------------------
// Entering, leaving and the selection lists.

void TModelingMode::EnterModelingMode()
{
    TEditorContext& context = Host.ModeContext();
    TSceneObject* o = context.Document().GetScene().GetSelectedObject();
    if (!o) {
        context.SetStatusText("Select an object first, then press Tab");
        return;
    }
    if (!o->GetBaseMesh())
        return;
    TEditorSelection& s = Selection();
    s.ModelingOn = true;
    s.ModelingSubMode = msFaces;
    s.ClearHover();
    s.ClearElements();
    Host.UpdateStatusBar();
    SelectionEdited();
    Host.ResetViewCursor();
    Host.RepaintView();
}

void TModelingMode::LeaveModelingMode()
{
    TEditorSelection& s = Selection();
    s.ModelingOn = false;
    s.ClearHover();
    s.ClearElements();
    Host.UpdateStatusBar();
    SelectionEdited();
    Host.ResetViewCursor();
    Host.RepaintView();
}

void TModelingMode::SetSubMode(int32_t Kind)
{
    TEditorSelection& s = Selection();
    if (!s.ModelingOn)
        return;
    s.ModelingSubMode = std::clamp(Kind, 0, 2);
    s.ClearElements();
    s.ClearHover();
    Host.UpdateStatusBar();
    SelectionEdited();
    Host.FocusView();
    Host.RepaintView();
}

void TModelingMode::ClearModelingSelection()
{
    Selection().ClearElements();
}

void TModelingMode::AddSelectedVertex(int32_t Index)
{
    Selection().SelectedVertices.push_back(Index);
}

void TModelingMode::AddSelectedEdge(int32_t Index)
{
    Selection().SelectedEdges.push_back(Index);
}

void TModelingMode::AddSelectedFace(int32_t Index)
{
    Selection().SelectedFaces.push_back(Index);
}

void TModelingMode::ModelingSelectAll()
{
    TSceneObject* o = ModelingObject();
    if (!o)
        return;
    const TMeshData& mesh = *o->GetBaseMesh();
    ClearModelingSelection();
    TEditorSelection& s = Selection();
    switch (s.ModelingSubMode) {
    case msVertices:
        for (size_t i = 0; i < mesh.Vertices.size(); ++i)
            AddSelectedVertex(int32_t(i));
        break;
    case msEdges:
        for (size_t i = 0; i < mesh.Edges.size(); ++i)
            AddSelectedEdge(int32_t(i));
        break;
    default:
        for (size_t i = 0; i < mesh.Faces.size(); ++i)
            AddSelectedFace(int32_t(i));
        break;
    }
}

// ---------------------------------------------------------------------------------------
// Picking and hover.

int32_t TModelingMode::FindElement(int X, int Y, float VertexThreshold, float EdgeThreshold)
{
    TSceneObject* o = ModelingObject();
    if (!o)
        return -1;
    const TMeshData& mesh = *o->GetBaseMesh();
    const TMatrix4& model = o->GetLocalMatrix();  // the node's own transform only
    switch (Selection().ModelingSubMode) {
    case msVertices:
        return NearestProjectedVertex(mesh, Host.PerspectiveProjector(model), float(X), float(Y),
                                      VertexThreshold);
    case msEdges:
        return NearestProjectedEdge(mesh, Host.PerspectiveProjector(model), float(X), float(Y),
                                    EdgeThreshold);
    default: {
        TVec3 origin, direction;
        TMatrix4 inverse;
        if (!Host.PerspectiveRay(X, Y, origin, direction) || !MatInverse(model, inverse))
            return -1;
        // Not normalised: the ray parameter stays that of the world ray.
        return NearestFaceAlongRay(mesh, MatTransformPoint(origin, inverse),
                                   MatTransformVector(direction, inverse));
    }
    }
}

void TModelingMode::PickModelingElement(int X, int Y)
{
    const int32_t found = FindElement(X, Y, kPickVertexPixels, kPickEdgePixels);
    if (found < 0)
        return;  // a click on nothing keeps the selection
    ClearModelingSelection();
    switch (Selection().ModelingSubMode) {
    case msVertices:
        AddSelectedVertex(found);
        break;
    case msEdges:
        AddSelectedEdge(found);
        break;
    default:
        AddSelectedFace(found);
        break;
    }
}

void TModelingMode::UpdateModelingHover(int X, int Y)
{
    TEditorSelection& s = Selection();
    s.ClearHover();
    const int32_t found = FindElement(X, Y, kHoverVertexPixels, kHoverEdgePixels);
    switch (s.ModelingSubMode) {
    case msVertices:
        s.HoveredVertex = found;
        break;
    case msEdges:
        s.HoveredEdge = found;
        break;
    default:
        s.HoveredFace = found;
        break;
    }
}

// ---------------------------------------------------------------------------------------
// The overlay.

void TModelingMode::DrawOverlay()
{
    if (On())
        DrawModelingOverlay();
}

void TModelingMode::DrawModelingOverlay()
{
    TSceneObject* o = ModelingObject();
    if (!o)
        return;
    const TMeshData& mesh = *o->GetBaseMesh();
    if (mesh.Vertices.empty() || mesh.Faces.empty())
        return;
    const TEditorSelection& s = Selection();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    struct TRestore {
        ~TRestore()
        {
            glMatrixMode(GL_MODELVIEW);
            glPopMatrix();
            glEnable(GL_DEPTH_TEST);
            glEnable(GL_LIGHTING);
            glPointSize(1);
            glLineWidth(1);
        }
    } restore;
    // The node's local matrix, row-major with the translation in 3, 7, 11.
    const TMatrix4& m = o->GetLocalMatrix();
    float columnMajor[16];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            columnMajor[c * 4 + r] = m[size_t(r * 4 + c)];
    glMultMatrixf(columnMajor);

    glColor3f(0.3f, 0.3f, 0.35f);
    DrawMeshEdges(mesh);
    switch (s.ModelingSubMode) {
    case msVertices:
        glColor3f(1, 1, 1);
        DrawMeshVertices(mesh);
        glPointSize(10);
        glColor3f(1, 0.9f, 0.2f);
        glBegin(GL_POINTS);
        for (int32_t v : s.SelectedVertices)
            if (ValidVertex(mesh, v))
                GLVertex(mesh.Vertices[size_t(v)].Position);
        glEnd();
        glPointSize(1);
        break;
    case msEdges:
        glLineWidth(4);
        glColor3f(1, 0.9f, 0.2f);
        glBegin(GL_LINES);
        for (int32_t e : s.SelectedEdges) {
            if (e < 0 || size_t(e) >= mesh.Edges.size())
                continue;
            const TMeshEdge& edge = mesh.Edges[size_t(e)];
            if (!ValidVertex(mesh, edge.V0) || !ValidVertex(mesh, edge.V1))
                continue;
            GLVertex(mesh.Vertices[size_t(edge.V0)].Position);
            GLVertex(mesh.Vertices[size_t(edge.V1)].Position);
        }
        glEnd();
        glLineWidth(1);
        break;
    default: {
        glPointSize(5);
        glColor3f(0.3f, 0.5f, 1);
        glBegin(GL_POINTS);
        for (const TMeshFace& f : mesh.Faces) {
            const int32_t n = std::clamp(f.Count, 0, 4);
            if (n == 0)
                continue;
            TVec3 sum = Vec3(0, 0, 0);
            for (int32_t k = 0; k < n; ++k)
                if (ValidVertex(mesh, f.Indices[size_t(k)]))
                    sum = Vec3Add(sum, mesh.Vertices[size_t(f.Indices[size_t(k)])].Position);
            GLVertex(Vec3Scale(sum, 1.0f / float(n)));
        }
        glEnd();
        glPointSize(1);
        glLineWidth(3);
        glColor3f(1, 0.9f, 0.2f);
        for (int32_t fi : s.SelectedFaces) {
            if (fi < 0 || size_t(fi) >= mesh.Faces.size())
                continue;
            const TMeshFace& f = mesh.Faces[size_t(fi)];
            glBegin(GL_LINE_LOOP);
            for (int32_t k = 0; k < std::clamp(f.Count, 0, 4); ++k)
                if (ValidVertex(mesh, f.Indices[size_t(k)]))
                    GLVertex(mesh.Vertices[size_t(f.Indices[size_t(k)])].Position);
            glEnd();
        }
        glLineWidth(1);
        break;
    }
    }
}
