#include "editor/uPicking.h"

#include "base/uMesh.h"
#include "document/uProjectDocument.h"
#include "editor/uMainForm.h"
#include "render/uErrorBox.h"
#include "render/uGLView.h"
#include "render/uSceneDraw.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <QAction>
#include <QMenu>

#include <cmath>
#include <utility>

namespace {

// Gauss-Jordan with partial pivoting on a column-major 4 x 4 matrix.
bool InvertGL(const TGLMatrix& M, TGLMatrix& Inv)
{
    double a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            a[r][c] = M[size_t(c * 4 + r)];
            a[r][c + 4] = r == c ? 1.0 : 0.0;
        }
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
                pivot = r;
        if (!(std::fabs(a[pivot][c]) > 1e-300))
            return false;
        if (pivot != c)
            std::swap(a[pivot], a[c]);
        const double d = a[c][c];
        for (double& v : a[c])
            v /= d;
        for (int r = 0; r < 4; ++r) {
            if (r == c)
                continue;
            const double f = a[r][c];
            if (f == 0.0)
                continue;
            for (int k = 0; k < 8; ++k)
                a[r][k] -= f * a[c][k];
        }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            Inv[size_t(c * 4 + r)] = a[r][c + 4];
    return true;
}

}  // namespace

bool UnProjectPoint(double WinX, double WinY, double WinZ, const TGLMatrix& ModelView,
                    const TGLMatrix& Projection, const std::array<int, 4>& FViewport, TVec3& World)
{
    if (FViewport[2] <= 0 || FViewport[3] <= 0)
        return false;
    TGLMatrix inv;
    if (!InvertGL(MultiplyGL(Projection, ModelView), inv))
        return false;
    const double in[4] = {2.0 * (WinX - FViewport[0]) / FViewport[2] - 1.0,
                          2.0 * (WinY - FViewport[1]) / FViewport[3] - 1.0, 2.0 * WinZ - 1.0, 1.0};
    double out[4];
    for (int r = 0; r < 4; ++r) {
        out[r] = 0;
        for (int k = 0; k < 4; ++k)
            out[r] += inv[size_t(k * 4 + r)] * in[k];
    }
    if (out[3] == 0.0 || !std::isfinite(out[3]))
        return false;
    World = Vec3(float(out[0] / out[3]), float(out[1] / out[3]), float(out[2] / out[3]));
    return std::isfinite(World.X) && std::isfinite(World.Y) && std::isfinite(World.Z);
}

void OrthoScreenRay(int View, int X, int Y, int W, int H, const TOrthoViews& FOrtho, TVec3& Origin,
                    TVec3& Direction)
{
    const double s = 1.0 / double(FOrtho.Zoom);
    const TVec3 C = FOrtho.Centre;
    double cx = 0, cy = 0;
    switch (View) {
    case vkTop:
        cx = 3.0 * W * 0.25;
        cy = 3.0 * H * 0.25;
        break;
    case vkFront:
        cx = W * 0.25;
        cy = H * 0.25;
        break;
    default:
        cx = 3.0 * W * 0.25;
        cy = H * 0.25;
        break;
    }
    const double gx = (X - cx) * s;
    const double gy = ((H - Y) - cy) * s;
    switch (View) {
    case vkTop:
        Origin = Vec3(float(C.X + gx), C.Y + 100.0f, float(C.Z - gy));
        Direction = Vec3(0, -1, 0);
        break;
    case vkFront:
        Origin = Vec3(float(C.X + gx), float(C.Y + gy), C.Z + 100.0f);
        Direction = Vec3(0, 0, -1);
        break;
    default:
        Origin = Vec3(C.X - 100.0f, float(C.Y + gy), float(C.Z + gx));
        Direction = Vec3(1, 0, 0);
        break;
    }
}

void SortPickHits(std::vector<TPickHit>& Hits)
{
    for (size_t i = 1; i < Hits.size(); ++i) {
        const TPickHit h = Hits[i];
        size_t j = i;
        for (; j > 0 && Hits[j - 1].Distance > h.Distance; --j)
            Hits[j] = Hits[j - 1];
        Hits[j] = h;
    }
}

namespace {
// The hit of the ray on Object (drawn with World), when there is one.
void AddPickHit(TSceneObject& Object, const TMatrix4& World, const TVec3& Origin,
                const TVec3& Direction, std::vector<TPickHit>& Hits)
{
    TMatrix4 inverse;
    if (!MatInverse(World, inverse))
        return;
    const TVec3 localOrigin = MatTransformPoint(Origin, inverse);
    const TVec3 localDirection = Vec3Normalize(MatTransformVector(Direction, inverse));
    float distance = 0;
    TVec3 hit, normal;
    const TMeshData* evaluated = Object.GetEvaluatedMesh();
    bool found =
        evaluated && evaluated->RayPick(localOrigin, localDirection, distance, hit, normal);
    const TMeshData* base = Object.GetBaseMesh();
    if (!found && base && base != evaluated)
        found = base->RayPick(localOrigin, localDirection, distance, hit, normal);
    if (!found)
        return;
    const TVec3 worldHit = MatTransformPoint(hit, World);
    Hits.push_back({Object.GetId(), Vec3Dot(Vec3Sub(worldHit, Origin), Direction)});
}
}  // namespace

std::vector<TPickHit> CollectPickHitsAlongRay(TProjectDocument& Document, const TVec3& Origin,
                                              const TVec3& Direction)
{
    std::vector<TPickHit> hits;
    TScene& scene = Document.GetScene();
    // The meshes tested are those the views draw at this frame.
    TAnimationEvaluation evaluation;
    Document.EvaluateAnimation(Document.GetProjectTime().GetCurrentFrame(), &evaluation);
    TPropertyEvaluationContext context = Document.CurrentContext(&evaluation);
    TSceneRenderer::SetEvaluationContextAll(scene, context);

    // Each world matrix from its parent's, as the views draw them: no walk to the root
    // per object.
    WalkSubtreePreOrder(scene.GetRoot(), MatIdentity(),
                        [&](TSceneNode& node, const TMatrix4& parent, TMatrix4& world) {
                            if (!node.GetVisible())
                                return false;  // hides the whole subtree
                            TMatrix4 local;
                            ComputeEvaluatedLocalMatrix(node, context, local);
                            MatMultiply(parent, local, world);
                            if (auto* object = dynamic_cast<TSceneObject*>(&node);
                                object && object->PrimType != ptSkybox)
                                AddPickHit(*object, world, Origin, Direction, hits);
                            return true;
                        });
    SortPickHits(hits);
    return hits;
}

void SetSelectedNode(TScene& Scene, const TSceneNode* Node)
{
    std::vector<TSceneNode*> stack{Scene.GetRoot()};
    while (!stack.empty()) {
        TSceneNode* n = stack.back();
        stack.pop_back();
        if (!n)
            continue;
        n->Selected = n == Node;
        for (TSceneNode* c : n->GetChildren())
            stack.push_back(c);
    }
}

// ---------------------------------------------------------------------------------------
// The window's picking routines. Mouse positions are logical pixels of the GL view; the
// saved Perspective matrices work in device pixels.

bool TMainForm::ProjectToScreen(const TVec3& Point, float& x, float& y) const
{
    x = 0;
    y = 0;
    if (!FViewport || !FGLView)
        return false;
    const std::array<int, 4>& v = FViewport->SavedViewport;
    double wx = 0, wy = 0, wz = 0;
    if (!ProjectPoint(Point, FViewport->SavedModelView, FViewport->SavedProjection,
                      {v[0], v[1], v[2], v[3]}, wx, wy, wz))
        return false;
    const double dpr = FViewport->Dpr > 0 ? FViewport->Dpr : 1.0;
    x = float(wx / dpr);
    y = float((FGLView->DeviceHeight() - wy) / dpr);
    return wz >= 0.0 && wz <= 1.0;
}

void TMainForm::ScreenRay(int X, int Y, TVec3& Origin, TVec3& Direction) const
{
    Origin = Vec3(0, 0, 0);
    Direction = Vec3(0, 0, 0);
    if (!FGLView || !FViewport)
        return;
    const int view = FViewport->PressView;
    if (view != vkPerspective) {
        OrthoScreenRay(view, X, Y, FGLView->width(), FGLView->height(), FOrtho, Origin, Direction);
        return;
    }
    const double dpr = FViewport->Dpr > 0 ? FViewport->Dpr : 1.0;
    const double wx = X * dpr, wy = FGLView->DeviceHeight() - Y * dpr;
    TVec3 nearPoint, farPoint;
    if (!UnProjectPoint(wx, wy, 0.0, FViewport->SavedModelView, FViewport->SavedProjection,
                        FViewport->SavedViewport, nearPoint) ||
        !UnProjectPoint(wx, wy, 1.0, FViewport->SavedModelView, FViewport->SavedProjection,
                        FViewport->SavedViewport, farPoint))
        return;  // a zero direction hits nothing
    Origin = nearPoint;
    Direction = Vec3Normalize(Vec3Sub(farPoint, nearPoint));
}

std::vector<TPickHit> TMainForm::CollectPickHits(int X, int Y)
{
    TVec3 origin, direction;
    ScreenRay(X, Y, origin, direction);
    if (Vec3Length(direction) < 0.5f)
        return {};
    return CollectPickHitsAlongRay(Document(), origin, direction);
}

TSceneObject* TMainForm::PickObjectAt(int X, int Y)
{
    const std::vector<TPickHit> hits = CollectPickHits(X, Y);
    if (hits.empty())
        return nullptr;
    return dynamic_cast<TSceneObject*>(Scene().FindNodeById(hits.front().NodeId));
}

void TMainForm::ShowPickMenu(int X, int Y)
{
    const std::vector<TPickHit> hits = CollectPickHits(X, Y);
    FPickMenu->clear();
    FPickMenuIds.assign(hits.size(), 0);
    for (size_t i = 0; i < hits.size(); ++i) {
        TSceneNode* node = Scene().FindNodeById(hits[i].NodeId);
        if (!node)
            continue;
        FPickMenuIds[i] = node->GetId();
        QAction* item = FPickMenu->addAction(QString::fromStdString(node->Name));
        item->setData(int(i));
        item->setCheckable(true);
        item->setChecked(node->Selected);
        const int index = int(i);
        connect(item, &QAction::triggered, this,
                [this, index] { RunGuarded(this, [&] { PickMenuClick(index); }); });
    }
    if (!FPickMenu->actions().isEmpty())
        FPickMenu->popup(FGLView->mapToGlobal(QPoint(X, Y)));
}

void TMainForm::PickMenuClick(int Index)
{
    if (Index < 0 || size_t(Index) >= FPickMenuIds.size())
        return;
    auto* object = dynamic_cast<TSceneObject*>(Scene().FindNodeById(FPickMenuIds[size_t(Index)]));
    if (!object)
        return;  // deleted since the menu opened
    SelectObject(object);
    UpdateStatusBar();
    FGLView->setFocus();
    FGLView->update();
}

void TMainForm::SelectObject(TSceneNode* Node)
{
    SetSelectedNode(Scene(), Node);
    SelectionState.ClearElements();
    emit EditorEvents->SelectionChanged();
}
