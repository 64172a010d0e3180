#include "editor/modes/uObjectTransformMode.h"

#include "document/uProjectDocument.h"
#include "editor/api/uEditorContext.h"
#include "editor/uStatusBar.h"
#include "editor/uViewportInput.h"
#include "render/uSceneDraw.h"
#include "scene/uAnimationRecorder.h"
#include "scene/uHierarchyCommands.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <cmath>
#include <cstdlib>

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

// ---------------------------------------------------------------------------------------
// Events.

bool TObjectTransformMode::MouseDown(const TViewportMouse& Mouse)
{
    if (Active) {
        // A right press only cancels; a left press confirms.
        if (Mouse.Button == Qt::RightButton) {
            CancelModalTransform();
            return true;
        }
        if (Mouse.Button == Qt::LeftButton) {
            ConfirmModalTransform();
            return true;
        }
        return false;
    }
    if (Mouse.Button != Qt::LeftButton)
        return false;
    TScene& scene = Host.ModeContext().Document().GetScene();
    const int view = Mouse.View;
    if (view == vkPerspective || !scene.GetSelectedObject() || CurrentTool == gmSelect) {
        ClickSelect(Mouse.X, Mouse.Y);
        return true;
    }
    // A transform on the view's plane, or a rotation about the view's axis.
    if (CurrentTool == gmMove || CurrentTool == gmScale)
        BeginModalTransform(view == vkTop ? -2 : view == vkFront ? -3 : -4);
    else if (CurrentTool == gmRotate)
        BeginModalTransform(view == vkTop ? 1 : view == vkFront ? 2 : 0);
    return true;
}

bool TObjectTransformMode::MouseMove(const TViewportMouse& Mouse)
{
    if (Active) {
        ApplyModalTransform();
        return true;
    }
    TEditorContext& context = Host.ModeContext();
    context.Selection().ClearHover();
    HoveredGizmoAxis = CurrentTool != gmSelect && context.Document().GetScene().GetSelectedObject()
                           ? HitTestGizmo(Mouse.X, Mouse.Y)
                           : -1;
    return true;
}

bool TObjectTransformMode::MouseUp(const TViewportMouse& Mouse)
{
    if (Mouse.Button != Qt::LeftButton || !Active)
        return false;
    const bool plainClick = Mouse.View == vkPerspective && std::abs(Mouse.X - Start.MouseX) < 3 &&
                            std::abs(Mouse.Y - Start.MouseY) < 3;
    if (plainClick) {
        CancelModalTransform();
        ClickSelect(Mouse.X, Mouse.Y);
    } else {
        ConfirmModalTransform();
    }
    return true;
}

TModeKey TObjectTransformMode::KeyDown(int Key, Qt::KeyboardModifiers Modifiers)
{
    TEditorContext& context = Host.ModeContext();
    TScene& scene = context.Document().GetScene();
    if (Active) {
        if (!scene.GetSelectedObject()) {
            CancelModalTransform();
            return TModeKey::Handled;
        }
        if (Key == Qt::Key_X || Key == Qt::Key_Y || Key == Qt::Key_Z) {
            SwitchTransformAxis(Key - Qt::Key_X);
        } else if (Key == Qt::Key_Return || Key == Qt::Key_Enter || Key == Qt::Key_Execute) {
            ConfirmModalTransform();
        } else if (Key == Qt::Key_Escape) {
            CancelModalTransform();
        } else if (Key == Qt::Key_Backspace) {
            std::string t = Text;
            if (!t.empty())
                t.pop_back();
            SetTypedText(t);
        } else if (const char c = TransformCharacterOf(Key, Modifiers)) {
            std::string t = Text;
            if (AppendTypedCharacter(t, c))
                SetTypedText(t);
        }
        return TModeKey::Handled;  // any other key does nothing while a transform runs
    }

    if (Key == Qt::Key_Escape) {
        Host.SelectObject(nullptr);
        Host.UpdateStatusBar();
        Host.RepaintView();
        return TModeKey::Consumed;
    }
    const bool dragging = Host.CameraDragging();
    TSceneObject* selected = scene.GetSelectedObject();
    if (Key == Qt::Key_F && !dragging) {
        context.FocusSelected();
        return TModeKey::Handled;
    }
    if ((Key == Qt::Key_X || Key == Qt::Key_Y || Key == Qt::Key_Z) && !dragging && selected &&
        CurrentTool != gmSelect) {
        BeginModalTransform(Key - Qt::Key_X);
        return TModeKey::Handled;
    }
    if (Key >= Qt::Key_0 && Key <= Qt::Key_9 && !(Modifiers & Qt::KeypadModifier) && !dragging &&
        selected && CurrentTool == gmScale) {
        BeginModalTransform(-1);
        SetTypedText(std::string(1, char('0' + (Key - Qt::Key_0))));
        return TModeKey::Handled;
    }
    if (Key == Qt::Key_H && selected && !dragging) {
        selected->SetVisible(!selected->GetVisible());
        emit context.Events().DocumentEdited();
        return TModeKey::Handled;
    }
    if (Key == Qt::Key_D && selected && !dragging) {
        context.Run(std::make_unique<TDuplicateSubtreeCommand>(scene, selected));
        return TModeKey::Handled;
    }
    return TModeKey::NotMine;
}

void TObjectTransformMode::DrawOverlay()
{
    TProjectDocument& document = Host.ModeContext().Document();
    TSceneObject* o = document.GetScene().GetSelectedObject();
    if (!o || CurrentTool == gmSelect)
        return;
    // Where the object is drawn: its place at the current frame.
    DrawTransformGizmoAt(document.GetEvaluatedWorldPosition(o->GetId()),
                         NodeMaxScale(*o) * 1.2f + 0.6f, CurrentTool, HoveredGizmoAxis);
}

void TObjectTransformMode::FillStatus(TStatusInputs& In) const
{
    In.Tool = CurrentTool;
    In.TransformActive = Active;
    In.AxisCode = AxisCode;
    In.TypedText = Text;
}

void TObjectTransformMode::SetTool(TGizmoMode NewTool)
{
    CancelModalTransform();
    CurrentTool = NewTool;
    HoveredGizmoAxis = -1;
}

void TObjectTransformMode::ClickSelect(int X, int Y)
{
    Host.SelectObject(Host.PickObjectAt(X, Y));
    Host.UpdateStatusBar();
    Host.RepaintView();
}

void TObjectTransformMode::SetTypedText(std::string NewText)
{
    Text = std::move(NewText);
    ApplyModalTransform();
    Host.UpdateStatusBar();
}

// ---------------------------------------------------------------------------------------
// The transform. It belongs to the node it started on; when that node is gone, it ends.

TSceneObject* TObjectTransformMode::TransformObject()
{
    if (!Active)
        return nullptr;
    return dynamic_cast<TSceneObject*>(
        Host.ModeContext().Document().GetScene().FindNodeById(Start.NodeId));
}

int TObjectTransformMode::HitTestGizmo(int X, int Y)
{
    TProjectDocument& document = Host.ModeContext().Document();
    TSceneObject* o = document.GetScene().GetSelectedObject();
    if (!o)
        return -1;
    const float L = NodeMaxScale(*o) * 1.2f + 0.6f;
    const TVec3 p = document.GetEvaluatedWorldPosition(o->GetId());
    float best = 24.0f;
    int result = -1;
    for (int a = 0; a < 3; ++a) {
        float x = 0, y = 0;
        if (!Host.ProjectToScreen(Vec3Add(p, Vec3Scale(AxisVector(a), L)), x, y))
            continue;
        const float d = std::hypot(float(X) - x, float(Y) - y);
        if (d < best) {
            best = d;
            result = a;
        }
    }
    return result;
}

void TObjectTransformMode::CaptureTransformStart(TSceneObject& Object)
{
    const TProjectDocument& document = Host.ModeContext().Document();
    const uint32_t id = Object.GetId();
    Start.NodeId = id;
    Start.Position = document.GetEvaluatedWorldPosition(id);
    Start.Rotation = NodePropertyTriple(document, id, kNodePropertyRotationX);
    Start.Scale = NodePropertyTriple(document, id, kNodePropertyScaleX);
    Start.AuthoredPosition = Object.GetPosition();
    Start.AuthoredRotation = Object.GetRotation();
    Start.AuthoredScale = Object.GetScale();
    Start.MouseX = Host.LastMouseX();
    Start.MouseY = Host.LastMouseY();
    Start.PressView = Host.PressView();
}

void TObjectTransformMode::BeginModalTransform(int NewAxisCode)
{
    TProjectDocument& document = Host.ModeContext().Document();
    TSceneObject* o = document.GetScene().GetSelectedObject();
    if (!o)
        return;
    if (Active)
        CancelModalTransform();
    CaptureTransformStart(*o);
    document.CaptureTransformProperties(o->GetId());
    Active = true;
    AxisCode = NewAxisCode;
    Text.clear();
    InitTransformReference(NewAxisCode);
    Host.UpdateStatusBar();
}

void TObjectTransformMode::InitTransformReference(int Code)
{
    TProjectDocument& document = Host.ModeContext().Document();
    TVec3 p = Start.Position;
    if (!Active)
        if (TSceneObject* o = document.GetScene().GetSelectedObject())
            p = document.GetEvaluatedWorldPosition(o->GetId());
    float L = 1.8f;
    if (TSceneNode* n = document.GetScene().FindNodeById(Start.NodeId))
        L = NodeMaxScale(*n) * 1.2f + 0.6f;
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    Host.ProjectToScreen(p, x0, y0);
    const int axis = Code == 0 ? 0 : Code == 1 ? 1 : 2;
    Host.ProjectToScreen(Vec3Add(p, Vec3Scale(AxisVector(axis), L)), x1, y1);
    ScreenAxisFrom(x0, y0, x1, y1, Start.ScreenAxis, Start.ScreenAxisLength);
}

void TObjectTransformMode::SwitchTransformAxis(int NewAxis)
{
    TSceneObject* o = TransformObject();
    if (!o) {
        EndModalTransform();
        return;
    }
    // What was reached so far becomes the new start.
    CaptureTransformStart(*o);
    AxisCode = NewAxis;
    InitTransformReference(NewAxis);
    Text.clear();
    ApplyModalTransform();
    Host.UpdateStatusBar();
}

void TObjectTransformMode::ApplyModalTransform()
{
    TSceneObject* o = TransformObject();
    if (!o) {
        if (Active)
            EndModalTransform();
        return;
    }
    TTransformInput in;
    in.Tool = CurrentTool;
    in.Axis = AxisCode;
    in.Text = Text;
    in.Start = Start;
    in.MouseX = Host.LastMouseX();
    in.MouseY = Host.LastMouseY();
    in.ViewWidth = Host.ViewWidth();
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
    // A step that would leave a world matrix non-finite refuses the whole transform: the
    // object goes back to where it started and the message says why.
    try {
        o->CheckWorldFinite("Unable to apply the transform");
    } catch (...) {
        CancelModalTransform();
        throw;
    }
    Host.RepaintView();
}

void TObjectTransformMode::EndModalTransform()
{
    Active = false;
    Text.clear();
    Start.NodeId = 0;
    Host.UpdateStatusBar();
    Host.RepaintView();
}

void TObjectTransformMode::ConfirmModalTransform()
{
    if (Active)
        EndModalTransform();
}

void TObjectTransformMode::CancelModalTransform()
{
    if (!Active)
        return;
    if (TSceneObject* o = TransformObject()) {
        o->SetPosition(Start.AuthoredPosition);
        o->SetRotationX(Start.AuthoredRotation.X);
        o->SetRotationY(Start.AuthoredRotation.Y);
        o->SetRotationZ(Start.AuthoredRotation.Z);
        o->SetScaleX(Start.AuthoredScale.X);
        o->SetScaleY(Start.AuthoredScale.Y);
        o->SetScaleZ(Start.AuthoredScale.Z);
    }
    Host.ModeContext().Document().GetRecorder().ForgetUnchanged(
        Host.ModeContext().Document().GetScene(), Start.NodeId);
    EndModalTransform();
}

float TObjectTransformMode::SnapToGrid(float Value) const
{
    return SnapValueToGrid(Value, GridSize);
}
