#include "editor/uViewportInput.h"

#include "base/uCommandHistory.h"
#include "editor/uMainForm.h"
#include "editor/uPicking.h"
#include "editor/uStatusBar.h"
#include "render/uGLView.h"
#include "render/uSceneDraw.h"
#include "scene/uAnimationCommands.h"
#include "scene/uAnimationRecorder.h"
#include "scene/uHierarchyCommands.h"
#include "scene/uProjectTime.h"
#include "scene/uSceneObject.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

void CameraDragStep(TCamera& Camera, int DragMode, int dx, int dy)
{
    switch (DragMode) {
    case 1:  // orbit
        Camera.Yaw += 0.25f * float(dx);
        Camera.Pitch = std::clamp(Camera.Pitch - 0.25f * float(dy), -89.0f, 89.0f);
        Camera.Position =
            Vec3Sub(Camera.OrbitPivot, Vec3Scale(Camera.CameraForward(), Camera.OrbitDistance));
        break;
    case 2: {  // pan
        const float s = std::max(1.0f, Camera.OrbitDistance) * 0.0025f;
        const TVec3 move = Vec3Add(Vec3Scale(Camera.CameraRight(), -float(dx) * s),
                                   Vec3Scale(Camera.CameraUp(), float(dy) * s));
        Camera.Position = Vec3Add(Camera.Position, move);
        Camera.OrbitPivot = Vec3Add(Camera.OrbitPivot, move);
        break;
    }
    case 3: {  // dolly: stops 0.1 before the pivot
        const float step = std::min(-0.05f * float(dy), Camera.OrbitDistance - 0.1f);
        Camera.Position = Vec3Add(Camera.Position, Vec3Scale(Camera.CameraForward(), step));
        Camera.OrbitDistance =
            std::max(Vec3Length(Vec3Sub(Camera.Position, Camera.OrbitPivot)), 0.1f);
        break;
    }
    case 4: {  // fly forward
        const TVec3 move = Vec3Scale(Camera.CameraForward(), -0.05f * float(dy));
        Camera.Position = Vec3Add(Camera.Position, move);
        Camera.OrbitPivot = Vec3Add(Camera.OrbitPivot, move);
        break;
    }
    default:
        break;
    }
}

void OrthoPanStep(TOrthoViews& Ortho, int View, int dx, int dy)
{
    const float s = 1.0f / Ortho.Zoom;
    const float ddx = -float(dx) * s, ddy = float(dy) * s;
    TVec3& c = Ortho.Centre;
    switch (View) {
    case vkTop:
        c.X += ddx;
        c.Z -= ddy;
        break;
    case vkFront:
        c.X += ddx;
        c.Y += ddy;
        break;
    case vkLeft:
        c.Z += ddx;
        c.Y += ddy;
        break;
    default:
        break;
    }
}

void SnapOrthoCentre(TOrthoViews& Ortho, float Grid)
{
    if (!(Grid > 0.0f))
        return;
    const auto snap = [Grid](float v) { return float(std::nearbyint(double(v) / Grid) * Grid); };
    Ortho.Centre = Vec3(snap(Ortho.Centre.X), snap(Ortho.Centre.Y), snap(Ortho.Centre.Z));
}

void WheelStep(TCamera& Camera, TOrthoViews& Ortho, int View, int WheelDelta)
{
    if (View == vkPerspective) {
        Camera.Position =
            Vec3Add(Camera.Position, Vec3Scale(Camera.CameraForward(), 0.02f * float(WheelDelta)));
        Camera.OrbitDistance = Vec3Length(Vec3Sub(Camera.Position, Camera.OrbitPivot));
    } else {
        Ortho.Zoom = std::max(Ortho.Zoom + 0.02f * float(WheelDelta), 1.0f);
    }
}

char TransformCharacterOf(int Key, Qt::KeyboardModifiers Modifiers)
{
    if (Key >= Qt::Key_0 && Key <= Qt::Key_9)
        return char('0' + (Key - Qt::Key_0));
    if (Key == Qt::Key_Minus)
        return '-';
    if (Key == Qt::Key_Period)
        return '.';
    if (Key == Qt::Key_Comma && (Modifiers & Qt::KeypadModifier))
        return '.';
    return 0;
}

// ---------------------------------------------------------------------------------------
// Mouse.

namespace {

bool IsOrthoView(int View)
{
    return View == vkTop || View == vkFront || View == vkLeft;
}

}  // namespace

void TMainForm::ClickSelect(int X, int Y)
{
    SelectObject(PickObjectAt(X, Y));
    UpdateStatusBar();
    if (GLView)
        GLView->update();
}

void TMainForm::GLMouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    Viewport->LastMouseX = X;
    Viewport->LastMouseY = Y;
    const int at = ViewAtPoint(X, Y, GLView->width(), GLView->height());
    const int view = at < 0 ? vkLeft : at;
    Viewport->PressView = view;
    const bool left = Button == Qt::LeftButton, right = Button == Qt::RightButton,
               middle = Button == Qt::MiddleButton;
    const bool shift = Shift & Qt::ShiftModifier, ctrl = Shift & Qt::ControlModifier,
               alt = Shift & Qt::AltModifier;
    const bool ortho = IsOrthoView(view);

    // 1. Camera drags of the Perspective view.
    if (view == vkPerspective && (middle || (left && (shift || ctrl || alt)))) {
        if (alt)
            if (TSceneObject* o = PickObjectAt(X, Y)) {
                Camera.OrbitPivot = Document().GetEvaluatedWorldPosition(o->GetId());
                Camera.OrbitDistance =
                    std::max(Vec3Length(Vec3Sub(Camera.OrbitPivot, Camera.Position)), 0.1f);
            }
        Camera.DragMode = shift && ctrl ? 4 : shift ? 2 : ctrl ? 3 : 1;
        Input.LastDragX = X;
        Input.LastDragY = Y;
        return;
    }
    // 2. Alt + left pans an orthographic view, as the middle button does.
    if (ortho && left && alt) {
        Input.OrthoPanActive = true;
        Input.AltPan = true;
        Input.LastDragX = X;
        Input.LastDragY = Y;
        return;
    }
    // 3. A right press only cancels a running transform.
    if (right && KeyTransformActive) {
        CancelModalTransform();
        return;
    }
    // 4. The menu of everything under the cursor.
    if (right && view == vkPerspective) {
        ShowPickMenu(X, Y);
        return;
    }
    // 5, 6. Orthographic pan.
    if (ortho && (right || middle)) {
        Input.OrthoPanActive = true;
        Input.LastDragX = X;
        Input.LastDragY = Y;
        return;
    }
    if (!left)
        return;
    // 7. A left press confirms a running transform.
    if (KeyTransformActive) {
        ConfirmModalTransform();
        return;
    }
    // 8. Modelling clicks belong to the modelling mode.
    if (view == vkPerspective && SelectionState.ModelingOn) {
        GLView->setFocus();
        GLView->update();
        return;
    }
    // 9, 10. Selection clicks.
    if (view == vkPerspective || !Scene().GetSelectedObject() || CurrentTool == gmSelect) {
        ClickSelect(X, Y);
        return;
    }
    // 11-14. A transform on the view's plane, or a rotation about the view's axis.
    if (CurrentTool == gmMove || CurrentTool == gmScale) {
        BeginModalTransform(view == vkTop ? -2 : view == vkFront ? -3 : -4);
    } else if (CurrentTool == gmRotate) {
        BeginModalTransform(view == vkTop ? 1 : view == vkFront ? 2 : 0);
    }
}

void TMainForm::GLMouseMove(Qt::KeyboardModifiers, int X, int Y)
{
    Viewport->LastMouseX = X;
    Viewport->LastMouseY = Y;
    const int at = ViewAtPoint(X, Y, GLView->width(), GLView->height());
    if (at >= 0)
        Viewport->HoverView = at;
    const int dx = X - Input.LastDragX, dy = Y - Input.LastDragY;

    if (Viewport->PressView == vkPerspective && Camera.DragMode != 0) {
        CameraDragStep(Camera, Camera.DragMode, dx, dy);
        Input.LastDragX = X;
        Input.LastDragY = Y;
        GLView->update();
        return;
    }
    if (Input.OrthoPanActive) {
        OrthoPanStep(Ortho, Viewport->PressView, dx, dy);
        Input.LastDragX = X;
        Input.LastDragY = Y;
        GLView->update();
        return;
    }
    if (KeyTransformActive) {
        ApplyModalTransform();
        return;
    }
    SelectionState.ClearHover();
    if (SelectionState.ModelingOn)
        HoveredGizmoAxis = -1;
    else
        HoveredGizmoAxis =
            CurrentTool != gmSelect && Scene().GetSelectedObject() ? HitTestGizmo(X, Y) : -1;
    ResetViewCursor();
    GLView->update();  // the crosshair follows the mouse
}

void TMainForm::EndOrthoPan()
{
    Input.OrthoPanActive = false;
    if (IsOrthoView(Viewport->PressView))
        SnapOrthoCentre(Ortho, GridSize);
}

void TMainForm::GLMouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int Y)
{
    Viewport->LastMouseX = X;
    Viewport->LastMouseY = Y;
    if (Button == Qt::LeftButton) {
        if (Camera.DragMode != 0 && Viewport->PressView == vkPerspective)
            Camera.DragMode = 0;
        if (Input.AltPan) {
            Camera.DragMode = 0;
            EndOrthoPan();
            Input.AltPan = false;
        }
        if (KeyTransformActive) {
            const bool plainClick = Viewport->PressView == vkPerspective &&
                                    std::abs(X - TransformStart.MouseX) < 3 &&
                                    std::abs(Y - TransformStart.MouseY) < 3;
            if (plainClick) {
                CancelModalTransform();
                ClickSelect(X, Y);
            } else {
                ConfirmModalTransform();
            }
        }
    } else if (Button == Qt::RightButton) {
        if (Input.OrthoPanActive)
            EndOrthoPan();
    } else if (Button == Qt::MiddleButton) {
        Camera.DragMode = 0;
        if (Input.OrthoPanActive)
            EndOrthoPan();
    }
    GLView->update();
}

void TMainForm::GLMouseWheel(int WheelDelta)
{
    WheelStep(Camera, Ortho, Viewport->HoverView, WheelDelta);
    GLView->update();
}

void TMainForm::ReleaseHeldInput()
{
    Camera.HeldKeys.reset();
    Camera.DragMode = 0;
    Input.SpaceLatch = false;
    Input.OrthoPanActive = false;
    Input.AltPan = false;
}

// ---------------------------------------------------------------------------------------
// Keys.

void TMainForm::TogglePlayback()
{
    TProjectTime& time = Document().GetProjectTime();
    if (Document().GetRecorder().Count() > 0)
        Document().RestoreRecordedValues();
    time.Playing = !time.Playing;
    if (time.Playing) {
        if (time.GetCurrentFrame() >= time.GetEndFrame())
            time.SetCurrentFrame(time.GetStartFrame());
        FrameLoop->SetPlaybackAccumulator(double(time.GetCurrentFrame()));
        FrameLoop->Start();
    }
    emit EditorEvents->FrameChanged();
}

void TMainForm::KeyTouchedProperties()
{
    TAnimationRecorder& recorder = Document().GetRecorder();
    if (recorder.Count() > 0) {
        Run(std::make_unique<TInsertOrUpdateTouchedKeysCommand>(
            Document().AnimationCommandTarget(), Document().GetProjectTime().GetCurrentFrame(),
            &recorder));
        recorder.Clear();
    } else if (StatusPanels) {
        StatusPanels->SetPanelText(TStatusBar::spMode, "No changed animatable properties to key");
    }
}

bool TMainForm::FormKeyDown(int Key, Qt::KeyboardModifiers Shift)
{
    const bool ctrlOnly =
        (Shift & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier)) ==
        Qt::ControlModifier;
    const bool undoKey = ctrlOnly && (Key == Qt::Key_Z || Key == Qt::Key_Y);
    const bool functionKey = Key >= Qt::Key_F1 && Key <= Qt::Key_F6;
    // A text field keeps every key but the function keys and the menu short-cuts.
    const bool textFocus = TextEntryHasFocus();
    if (textFocus && !functionKey && !undoKey)
        return false;
    // Ctrl+Z is undo, not a held Z: the camera does not sink while it is held.
    if (Key >= 0 && Key < 256 && !undoKey)
        Camera.HeldKeys.set(size_t(Key));

    switch (Key) {
    case Qt::Key_F1:
        SetTool(gmSelect);
        return true;
    case Qt::Key_F2:
        SetTool(gmMove);
        return true;
    case Qt::Key_F3:
        SetTool(gmScale);
        return true;
    case Qt::Key_F4:
        SetTool(gmRotate);
        return true;
    case Qt::Key_F5:
        // Modelling mode arrives with its own tools; until then F5 only ends a transform.
        CancelModalTransform();
        GLView->setFocus();
        return true;
    case Qt::Key_F6:
        if (PushCamera)
            PushCamera();
        return true;
    default:
        break;
    }
    if (undoKey) {
        if (Key == Qt::Key_Z)
            EditUndo();
        else
            EditRedo();
        return true;
    }
    if (SelectionState.ModelingOn) {
        if (Key == Qt::Key_Escape) {
            if (KeyTransformActive)
                CancelModalTransform();
            else {
                SelectionState.ClearElements();
            }
            GLView->setFocus();
            GLView->update();
            return false;
        }
    }

    if (KeyTransformActive) {
        if (!Scene().GetSelectedObject()) {
            CancelModalTransform();
            return false;
        }
        if (Key == Qt::Key_X || Key == Qt::Key_Y || Key == Qt::Key_Z) {
            SwitchTransformAxis(Key - Qt::Key_X);
        } else if (Key == Qt::Key_Return || Key == Qt::Key_Enter || Key == Qt::Key_Execute) {
            ConfirmModalTransform();
        } else if (Key == Qt::Key_Escape) {
            CancelModalTransform();
        } else if (Key == Qt::Key_Backspace) {
            if (!KeyTransformText.empty())
                KeyTransformText.pop_back();
            ApplyModalTransform();
            UpdateStatusBar();
        } else if (const char c = TransformCharacterOf(Key, Shift)) {
            if (AppendTypedCharacter(KeyTransformText, c)) {
                ApplyModalTransform();
                UpdateStatusBar();
            }
        }
        return false;
    }

    if (Key == Qt::Key_Escape) {
        SelectObject(nullptr);
        UpdateStatusBar();
        GLView->update();
        return true;
    }
    const bool dragging = Camera.DragMode != 0;
    TSceneObject* selected = Scene().GetSelectedObject();
    if (Key == Qt::Key_F && !dragging) {
        FocusSelected();
        return false;
    }
    if ((Key == Qt::Key_X || Key == Qt::Key_Y || Key == Qt::Key_Z) && !dragging && selected &&
        CurrentTool != gmSelect) {
        BeginModalTransform(Key - Qt::Key_X);
        return false;
    }
    if (Key >= Qt::Key_0 && Key <= Qt::Key_9 && !(Shift & Qt::KeypadModifier) && !dragging &&
        selected && CurrentTool == gmScale) {
        BeginModalTransform(-1);
        KeyTransformText = std::string(1, char('0' + (Key - Qt::Key_0)));
        ApplyModalTransform();
        UpdateStatusBar();
        return false;
    }
    if (Key == Qt::Key_Space) {
        if (!Input.SpaceLatch) {
            Input.SpaceLatch = true;
            if (Document().GetRecorder().Count() > 0)
                KeyTouchedProperties();
            else
                TogglePlayback();
        }
        return true;
    }
    if (Key == Qt::Key_H && selected && !dragging) {
        selected->SetVisible(!selected->GetVisible());
        emit EditorEvents->DocumentEdited();
        return false;
    }
    if (Key == Qt::Key_D && selected && !dragging) {
        Run(std::make_unique<TDuplicateSubtreeCommand>(Scene(), selected));
        return false;
    }
    return false;
}

void TMainForm::FormKeyUp(int Key)
{
    if (Key >= 0 && Key < 256)
        Camera.HeldKeys.reset(size_t(Key));
    if (Key == Qt::Key_Space)
        Input.SpaceLatch = false;
}
