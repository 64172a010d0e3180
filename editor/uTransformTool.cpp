#include "editor/uTransformTool.h"

#include "document/uProjectDocument.h"
#include "editor/uMainForm.h"
#include "render/uGLView.h"
#include "render/uSceneDraw.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <algorithm>
#include <charconv>
#include <cmath>

float SnapValueToGrid(float Value, float Grid)
{
    if (!(Grid > 0.001f))
        return Value;
    // nearbyint rounds halves to even in the default rounding mode.
    return float(std::nearbyint(double(Value) / Grid) * Grid);
}

bool AppendTypedCharacter(std::string& Text, char Character)
{
    if (Character >= '0' && Character <= '9') {
        Text += Character;
        return true;
    }
    if (Character == '-') {
        if (!Text.empty())
            return false;
        Text += Character;
        return true;
    }
    if (Character == '.') {
        if (Text.find('.') != std::string::npos)
            return false;
        Text += Character;
        return true;
    }
    return false;
}

float TypedTransformValue(const std::string& Text)
{
    float v = 0;
    const char* first = Text.data();
    const char* last = first + Text.size();
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last || !std::isfinite(v))
        return 0.0f;
    return v;
}

void ScreenAxisFrom(float x0, float y0, float x1, float y1, TVec3& Direction, float& Length)
{
    const float dx = x1 - x0, dy = y1 - y0;
    Length = std::sqrt(dx * dx + dy * dy);
    if (Length > 0.001f)
        Direction = Vec3(dx / Length, dy / Length, 0);
    else
        Direction = Vec3(1, 0, 0);
    if (!std::isfinite(Length))
        Length = 0;
}

TTransformOutput ComputeModalTransform(const TTransformInput& In)
{
    TTransformOutput out;
    const TTransformStart& S = In.Start;
    const bool typed = !In.Text.empty();
    const float dx = float(In.MouseX - S.MouseX), dy = float(In.MouseY - S.MouseY);
    const float along = S.ScreenAxis.X * dx + S.ScreenAxis.Y * dy;
    const float width = float(std::max(In.ViewWidth, 1));
    float v = 0;
    if (typed)
        v = TypedTransformValue(In.Text);
    else if (In.Tool == gmMove)
        v = along / std::max(S.ScreenAxisLength, 0.001f);
    else if (In.Tool == gmScale)
        v = along / std::max(2.0f * S.ScreenAxisLength, 0.001f);
    else if (In.Tool == gmRotate)
        v = (S.PressView == 1 || S.PressView == 2) ? -0.5f * dx : 0.5f * dx;

    const auto snap = [&](float x) { return SnapValueToGrid(x, In.Grid); };
    const TVec3 P = S.Position;
    switch (In.Tool) {
    case gmMove: {
        const float s = 20.0f / width;
        switch (In.Axis) {
        case -2:
            out.WorldPosition = Vec3(snap(P.X + s * dx), P.Y, snap(P.Z + s * dy));
            break;
        case -3:
            out.WorldPosition = Vec3(snap(P.X + s * dx), snap(P.Y - s * dy), P.Z);
            break;
        case -4:
        case -1:
            out.WorldPosition = Vec3(P.X, snap(P.Y - s * dy), snap(P.Z + s * dx));
            break;
        case 0:
            out.WorldPosition = Vec3(snap(P.X + v), P.Y, P.Z);
            break;
        case 1:
            out.WorldPosition = Vec3(P.X, snap(P.Y + v), P.Z);
            break;
        default:
            out.WorldPosition = Vec3(P.X, P.Y, snap(P.Z + v));
            break;
        }
        break;
    }
    case gmRotate: {
        const int a = In.Axis == 0 ? 0 : In.Axis == 1 ? 1 : 2;
        const float start[3] = {S.Rotation.X, S.Rotation.Y, S.Rotation.Z};
        out.Rotation[size_t(a)] = start[a] + v;
        break;
    }
    case gmScale: {
        const float start[3] = {S.Scale.X, S.Scale.Y, S.Scale.Z};
        const auto set = [&](int a, float f) {
            out.Scale[size_t(a)] = start[a] * std::max(f, 0.05f);
        };
        if (typed || In.Axis >= 0) {
            const float f = typed ? v : 1.0f + v;
            if (In.Axis == -1) {
                for (int a = 0; a < 3; ++a)
                    set(a, f);
            } else {
                set(In.Axis == 0 ? 0 : In.Axis == 1 ? 1 : 2, f);
            }
        } else if (In.Axis == -1) {
            const float f = 1.0f + 3.0f * dx / width;
            for (int a = 0; a < 3; ++a)
                set(a, f);
        } else {
            const float s = 3.0f / width;
            switch (In.Axis) {
            case -2:
                set(0, 1.0f + s * dx);
                set(2, 1.0f - s * dy);
                break;
            case -3:
                set(0, 1.0f + s * dx);
                set(1, 1.0f - s * dy);
                break;
            default:
                set(2, 1.0f + s * dx);
                set(1, 1.0f - s * dy);
                break;
            }
        }
        break;
    }
    default:
        break;
    }
    return out;
}

// ---------------------------------------------------------------------------------------
// The window's transform routines. A running transform belongs to the node it started
// on; when that node is gone, the transform ends.

namespace {

TVec3 NodePropertyTriple(const TProjectDocument& Document, uint32_t Id, int32_t First)
{
    float v[3];
    for (int i = 0; i < 3; ++i) {
        TPropertyValue value;
        Document.GetEvaluatedPropertyValue(Id, First + i, value);
        v[i] = value.Float;
    }
    return Vec3(v[0], v[1], v[2]);
}

// World position into the parent's space; false when the parent's world matrix has no
// inverse (the position is then left as it is).
bool ToParentSpace(TSceneNode& Node, const TVec3& World, TVec3& Local)
{
    TSceneNode* parent = Node.GetParent();
    if (!parent) {
        Local = World;
        return true;
    }
    TMatrix4 inverse;
    if (!MatInverse(parent->GetWorldMatrix(), inverse))
        return false;
    Local = MatTransformPoint(World, inverse);
    return true;
}

}  // namespace

TSceneObject* TMainForm::TransformObject()
{
    if (!KeyTransformActive || !ProjectDocument)
        return nullptr;
    return dynamic_cast<TSceneObject*>(Scene().FindNodeById(TransformStart.NodeId));
}

int TMainForm::HitTestGizmo(int X, int Y)
{
    TSceneObject* o = Scene().GetSelectedObject();
    if (!o)
        return -1;
    const float L = NodeMaxScale(*o) * 1.2f + 0.6f;
    const TVec3 p = Document().GetEvaluatedWorldPosition(o->GetId());
    float best = 24.0f;
    int result = -1;
    for (int a = 0; a < 3; ++a) {
        float x = 0, y = 0;
        if (!ProjectToScreen(Vec3Add(p, Vec3Scale(AxisVector(a), L)), x, y))
            continue;
        const float d = std::hypot(float(X) - x, float(Y) - y);
        if (d < best) {
            best = d;
            result = a;
        }
    }
    return result;
}

void TMainForm::CaptureTransformStart(TSceneObject& Object)
{
    const uint32_t id = Object.GetId();
    TransformStart.NodeId = id;
    TransformStart.Position = Document().GetEvaluatedWorldPosition(id);
    TransformStart.Rotation = NodePropertyTriple(Document(), id, kNodePropertyRotationX);
    TransformStart.Scale = NodePropertyTriple(Document(), id, kNodePropertyScaleX);
    TransformStart.AuthoredPosition = Object.GetPosition();
    TransformStart.AuthoredRotation = Object.GetRotation();
    TransformStart.AuthoredScale = Object.GetScale();
    TransformStart.MouseX = Viewport ? Viewport->LastMouseX : 0;
    TransformStart.MouseY = Viewport ? Viewport->LastMouseY : 0;
    TransformStart.PressView = Viewport ? Viewport->PressView : 0;
}

void TMainForm::BeginModalTransform(int AxisCode)
{
    TSceneObject* o = Scene().GetSelectedObject();
    if (!o)
        return;
    if (KeyTransformActive)
        CancelModalTransform();
    CaptureTransformStart(*o);
    Document().CaptureTransformProperties(o->GetId());
    KeyTransformActive = true;
    KeyTransformAxis = AxisCode;
    KeyTransformText.clear();
    InitTransformReference(AxisCode);
    UpdateStatusBar();
}

void TMainForm::InitTransformReference(int AxisCode)
{
    TVec3 p = TransformStart.Position;
    if (!KeyTransformActive)
        if (TSceneObject* o = Scene().GetSelectedObject())
            p = Document().GetEvaluatedWorldPosition(o->GetId());
    float L = 1.8f;
    if (TSceneNode* n = Scene().FindNodeById(TransformStart.NodeId))
        L = NodeMaxScale(*n) * 1.2f + 0.6f;
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    ProjectToScreen(p, x0, y0);
    ProjectToScreen(Vec3Add(p, Vec3Scale(AxisVector(AxisCode == 0   ? 0
                                                    : AxisCode == 1 ? 1
                                                                    : 2),
                                         L)),
                    x1, y1);
    ScreenAxisFrom(x0, y0, x1, y1, TransformStart.ScreenAxis, TransformStart.ScreenAxisLength);
}

void TMainForm::SwitchTransformAxis(int Axis)
{
    TSceneObject* o = TransformObject();
    if (!o) {
        EndModalTransform();
        return;
    }
    // What was reached so far becomes the new start.
    CaptureTransformStart(*o);
    KeyTransformAxis = Axis;
    InitTransformReference(Axis);
    KeyTransformText.clear();
    ApplyModalTransform();
    UpdateStatusBar();
}

void TMainForm::ApplyModalTransform()
{
    TSceneObject* o = TransformObject();
    if (!o) {
        if (KeyTransformActive)
            EndModalTransform();
        return;
    }
    TTransformInput in;
    in.Tool = CurrentTool;
    in.Axis = KeyTransformAxis;
    in.Text = KeyTransformText;
    in.Start = TransformStart;
    in.MouseX = Viewport ? Viewport->LastMouseX : 0;
    in.MouseY = Viewport ? Viewport->LastMouseY : 0;
    in.ViewWidth = GLView ? GLView->width() : 1;
    in.Grid = GridSize;
    const TTransformOutput out = ComputeModalTransform(in);
    TVec3 local;
    if (out.WorldPosition && ToParentSpace(*o, *out.WorldPosition, local))
        o->SetPosition(local);
    if (out.Rotation[0])
        o->SetRotationX(*out.Rotation[0]);
    if (out.Rotation[1])
        o->SetRotationY(*out.Rotation[1]);
    if (out.Rotation[2])
        o->SetRotationZ(*out.Rotation[2]);
    if (out.Scale[0])
        o->SetScaleX(*out.Scale[0]);
    if (out.Scale[1])
        o->SetScaleY(*out.Scale[1]);
    if (out.Scale[2])
        o->SetScaleZ(*out.Scale[2]);
    if (GLView)
        GLView->update();
}

void TMainForm::EndModalTransform()
{
    KeyTransformActive = false;
    KeyTransformText.clear();
    TransformStart.NodeId = 0;
    UpdateStatusBar();
    if (GLView)
        GLView->update();
}

void TMainForm::ConfirmModalTransform()
{
    if (!KeyTransformActive)
        return;
    EndModalTransform();
}

void TMainForm::CancelModalTransform()
{
    if (!KeyTransformActive)
        return;
    if (TSceneObject* o = TransformObject()) {
        const TTransformStart& s = TransformStart;
        o->SetPosition(s.AuthoredPosition);
        o->SetRotationX(s.AuthoredRotation.X);
        o->SetRotationY(s.AuthoredRotation.Y);
        o->SetRotationZ(s.AuthoredRotation.Z);
        o->SetScaleX(s.AuthoredScale.X);
        o->SetScaleY(s.AuthoredScale.Y);
        o->SetScaleZ(s.AuthoredScale.Z);
    }
    Document().GetRecorder().ForgetUnchanged(Scene(), TransformStart.NodeId);
    EndModalTransform();
}

float TMainForm::SnapToGrid(float Value) const
{
    return SnapValueToGrid(Value, GridSize);
}
