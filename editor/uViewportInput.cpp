#include "editor/uViewportInput.h"

#include "base/uCommandHistory.h"
#include "editor/modes/uModelingMode.h"
#include "editor/modes/uObjectTransformMode.h"
#include "editor/modes/uPaintPickMode.h"
#include "editor/uMainForm.h"
#include "editor/uPaintPage.h"
#include "editor/uPicking.h"
#include "editor/uStatusBar.h"
#include "editor/uTimelinePanel.h"
#include "render/uGLView.h"
#include "render/uSceneDraw.h"
#include "scene/uAnimationCommands.h"
#include "scene/uAnimationRecorder.h"
#include "scene/uProjectTime.h"
#include "scene/uSceneObject.h"

#include <QTabWidget>

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
// The view's input and the modes it hands events to.

namespace {

bool IsOrthoView(int View)
{
    return View == vkTop || View == vkFront || View == vkLeft;
}

}  // namespace

TViewportInput::TViewportInput(TMainForm& Form) : Form(Form)
{
    TransformMode = std::make_unique<TObjectTransformMode>(*this);
    ModelingMode = std::make_unique<TModelingMode>(*this, *TransformMode);
    PaintMode = std::make_unique<TPaintPickMode>(*this, *ModelingMode);
}

TViewportInput::~TViewportInput() = default;

std::array<TViewportMode*, 3> TViewportInput::ModeOrder() const
{
    return {PaintMode.get(), ModelingMode.get(), TransformMode.get()};
}

void TViewportInput::GLMouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    TViewport& viewport = *Form.Viewport();
    TCamera& camera = Form.Camera();
    viewport.LastMouseX = X;
    viewport.LastMouseY = Y;
    const int at = ViewAtPoint(X, Y, Form.GLView()->width(), Form.GLView()->height());
    const int view = at < 0 ? vkLeft : at;
    viewport.PressView = view;
    const bool left = Button == Qt::LeftButton, right = Button == Qt::RightButton,
               middle = Button == Qt::MiddleButton;
    const bool shift = Shift & Qt::ShiftModifier, ctrl = Shift & Qt::ControlModifier,
               alt = Shift & Qt::AltModifier;
    const bool ortho = IsOrthoView(view);

    // Camera drags of the Perspective view.
    if (view == vkPerspective && (middle || (left && (shift || ctrl || alt)))) {
        if (alt)
            if (TSceneObject* o = Form.PickObjectAt(X, Y)) {
                camera.OrbitPivot = Form.Document().GetEvaluatedWorldPosition(o->GetId());
                camera.OrbitDistance =
                    std::max(Vec3Length(Vec3Sub(camera.OrbitPivot, camera.Position)), 0.1f);
            }
        camera.DragMode = shift && ctrl ? 4 : shift ? 2 : ctrl ? 3 : 1;
        Input.LastDragX = X;
        Input.LastDragY = Y;
        return;
    }
    // Alt + left pans an orthographic view, as the middle button does.
    if (ortho && left && alt) {
        Input.OrthoPanActive = true;
        Input.AltPan = true;
        Input.LastDragX = X;
        Input.LastDragY = Y;
        return;
    }
    const TViewportMouse mouse{Button, Qt::MouseButtons(Button), Shift, X, Y, view};
    // A running transform takes the right press (cancel) and the left press (confirm).
    if (TransformMode->Running() && TransformMode->MouseDown(mouse))
        return;
    // The menu of everything under the cursor.
    if (right && view == vkPerspective) {
        Form.ShowPickMenu(X, Y);
        return;
    }
    // Orthographic pan.
    if (ortho && (right || middle)) {
        Input.OrthoPanActive = true;
        Input.LastDragX = X;
        Input.LastDragY = Y;
        return;
    }
    if (!left)
        return;
    for (TViewportMode* mode : ModeOrder())
        if (mode->MouseDown(mouse))
            return;
}

void TViewportInput::GLMouseMove(Qt::MouseButtons Held, Qt::KeyboardModifiers Shift, int X, int Y)
{
    TViewport& viewport = *Form.Viewport();
    TCamera& camera = Form.Camera();
    viewport.LastMouseX = X;
    viewport.LastMouseY = Y;
    const int at = ViewAtPoint(X, Y, Form.GLView()->width(), Form.GLView()->height());
    if (at >= 0)
        viewport.HoverView = at;
    const int dx = X - Input.LastDragX, dy = Y - Input.LastDragY;

    if (viewport.PressView == vkPerspective && camera.DragMode != 0) {
        CameraDragStep(camera, camera.DragMode, dx, dy);
        Input.LastDragX = X;
        Input.LastDragY = Y;
        RepaintView();
        return;
    }
    if (Input.OrthoPanActive) {
        OrthoPanStep(Form.Ortho(), viewport.PressView, dx, dy);
        Input.LastDragX = X;
        Input.LastDragY = Y;
        RepaintView();
        return;
    }
    const TViewportMouse mouse{Qt::NoButton, Held, Shift, X, Y, viewport.HoverView};
    if (TransformMode->Running()) {
        TransformMode->MouseMove(mouse);
        return;
    }
    if (!PaintMode->MouseMove(mouse)) {
        if (!ModelingMode->MouseMove(mouse))
            TransformMode->MouseMove(mouse);
        ResetViewCursor();
    }
    RepaintView();  // the crosshair follows the mouse
}

void TViewportInput::EndOrthoPan()
{
    Input.OrthoPanActive = false;
    if (IsOrthoView(Form.Viewport()->PressView))
        SnapOrthoCentre(Form.Ortho(), GridSize);
}

void TViewportInput::GLMouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    TViewport& viewport = *Form.Viewport();
    TCamera& camera = Form.Camera();
    viewport.LastMouseX = X;
    viewport.LastMouseY = Y;
    if (Button == Qt::LeftButton) {
        if (camera.DragMode != 0 && viewport.PressView == vkPerspective)
            camera.DragMode = 0;
        if (Input.AltPan) {
            camera.DragMode = 0;
            EndOrthoPan();
            Input.AltPan = false;
        }
        const TViewportMouse mouse{Button, Qt::NoButton, Shift, X, Y, viewport.PressView};
        for (TViewportMode* mode : ModeOrder())
            if (mode->MouseUp(mouse))
                break;
    } else if (Button == Qt::RightButton) {
        if (Input.OrthoPanActive)
            EndOrthoPan();
    } else if (Button == Qt::MiddleButton) {
        camera.DragMode = 0;
        if (Input.OrthoPanActive)
            EndOrthoPan();
    }
    RepaintView();
}

void TViewportInput::GLMouseWheel(int WheelDelta)
{
    WheelStep(Form.Camera(), Form.Ortho(), Form.Viewport()->HoverView, WheelDelta);
    RepaintView();
}

void TViewportInput::ReleaseHeldInput()
{
    Form.Camera().HeldKeys.reset();
    Form.Camera().DragMode = 0;
    Input.SpaceLatch = false;
    Input.OrthoPanActive = false;
    Input.AltPan = false;
    PaintMode->Cancel();
    ForgetHover();
}

void TViewportInput::ForgetHover()
{
    TEditorSelection& s = Form.Selection();
    const int32_t hoveredFace = s.HoveredFace;
    TransformMode->ClearHoveredAxis();
    s.ClearHover();
    // The gradient's usable colour slots follow the face under the cursor.
    if (s.PaintMode == kPaintModeGradient && hoveredFace != -1)
        if (TPaintPage* page = PaintPage())
            page->UpdatePaintPanel();
    RepaintView();
}

void TViewportInput::DrawOverlays()
{
    TransformMode->DrawOverlay();
    ModelingMode->DrawOverlay();
}

void TViewportInput::ToggleModeling()
{
    TransformMode->CancelModalTransform();
    if (ModelingMode->On())
        ModelingMode->LeaveModelingMode();
    else
        ModelingMode->EnterModelingMode();
}

// ---------------------------------------------------------------------------------------
// Keys.

bool TViewportInput::FormKeyDown(int Key, Qt::KeyboardModifiers Shift)
{
    const bool ctrlOnly =
        (Shift & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier)) ==
        Qt::ControlModifier;
    const bool undoKey = ctrlOnly && (Key == Qt::Key_Z || Key == Qt::Key_Y);
    const bool functionKey = Key >= Qt::Key_F1 && Key <= Qt::Key_F6;
    // A text field keeps every key but the function keys and the menu short-cuts.
    if (Form.TextEntryHasFocus() && !functionKey && !undoKey)
        return false;
    // Ctrl+Z is undo, not a held Z: the camera does not sink while it is held.
    if (Key >= 0 && Key < 256 && !undoKey)
        Form.Camera().HeldKeys.set(size_t(Key));

    switch (Key) {
    case Qt::Key_F1:
        Form.SetTool(gmSelect);
        return true;
    case Qt::Key_F2:
        Form.SetTool(gmMove);
        return true;
    case Qt::Key_F3:
        Form.SetTool(gmScale);
        return true;
    case Qt::Key_F4:
        Form.SetTool(gmRotate);
        return true;
    case Qt::Key_F5:
        ToggleModeling();
        FocusView();
        return true;
    case Qt::Key_F6:
        if (Form.PushCamera)
            Form.PushCamera();
        return true;
    default:
        break;
    }
    if (undoKey) {
        if (Key == Qt::Key_Z)
            Form.EditUndo();
        else
            Form.EditRedo();
        return true;
    }
    // The modelling keys go first, then the object keys.
    for (TViewportMode* mode : {static_cast<TViewportMode*>(ModelingMode.get()),
                                static_cast<TViewportMode*>(TransformMode.get())}) {
        const TModeKey result = mode->KeyDown(Key, Shift);
        if (result != TModeKey::NotMine)
            return result == TModeKey::Consumed;
    }
    if (Key == Qt::Key_Space) {
        if (!Input.SpaceLatch) {
            Input.SpaceLatch = true;
            // Space does what the timeline's Key and Play do.
            if (Form.Document().GetRecorder().Count() > 0)
                Form.TimelinePanel()->KeyTouchedProperties();
            else
                Form.TimelinePanel()->TogglePlayback();
        }
        return true;
    }
    return false;
}

void TViewportInput::FormKeyUp(int Key)
{
    if (Key >= 0 && Key < 256)
        Form.Camera().HeldKeys.reset(size_t(Key));
    if (Key == Qt::Key_Space)
        Input.SpaceLatch = false;
}

// ---------------------------------------------------------------------------------------
// The host.

TEditorContext& TViewportInput::ModeContext()
{
    return Form;
}

bool TViewportInput::ProjectToScreen(const TVec3& Point, float& x, float& y) const
{
    return Form.ProjectToScreen(Point, x, y);
}

TScreenProjector TViewportInput::PerspectiveProjector(const TMatrix4& Model) const
{
    TScreenProjector p;
    const TViewport& v = *Form.Viewport();
    p.Matrix =
        MultiplyColumnMajor(MultiplyGL(v.SavedProjection, v.SavedModelView), ColumnMajorOf(Model));
    p.Viewport = v.SavedViewport;
    p.DeviceHeight = Form.GLView() ? Form.GLView()->DeviceHeight() : 0;
    p.Dpr = v.Dpr > 0 ? v.Dpr : 1.0;
    return p;
}

bool TViewportInput::PerspectiveRay(int X, int Y, TVec3& Origin, TVec3& Direction) const
{
    const TViewport& v = *Form.Viewport();
    if (!Form.GLView())
        return false;
    const double dpr = v.Dpr > 0 ? v.Dpr : 1.0;
    const double wx = X * dpr, wy = Form.GLView()->DeviceHeight() - Y * dpr;
    TVec3 nearPoint, farPoint;
    if (!UnProjectPoint(wx, wy, 0.0, v.SavedModelView, v.SavedProjection, v.SavedViewport,
                        nearPoint) ||
        !UnProjectPoint(wx, wy, 1.0, v.SavedModelView, v.SavedProjection, v.SavedViewport,
                        farPoint))
        return false;
    Origin = nearPoint;
    Direction = Vec3Normalize(Vec3Sub(farPoint, nearPoint));
    return Vec3Length(Direction) > 0.5f;
}

TSceneObject* TViewportInput::PickObjectAt(int X, int Y)
{
    return Form.PickObjectAt(X, Y);
}

void TViewportInput::SelectObject(TSceneNode* Node)
{
    Form.SelectObject(Node);
}

void TViewportInput::UpdateStatusBar()
{
    Form.UpdateStatusBar();
}

void TViewportInput::FocusView()
{
    if (Form.GLView())
        Form.GLView()->setFocus();
}

void TViewportInput::RepaintView()
{
    if (Form.GLView())
        Form.GLView()->update();
}

void TViewportInput::ResetViewCursor()
{
    Form.ResetViewCursor();
}

int TViewportInput::ViewWidth() const
{
    return Form.GLView() ? Form.GLView()->width() : 1;
}

int TViewportInput::LastMouseX() const
{
    return Form.Viewport() ? Form.Viewport()->LastMouseX : 0;
}

int TViewportInput::LastMouseY() const
{
    return Form.Viewport() ? Form.Viewport()->LastMouseY : 0;
}

int TViewportInput::PressView() const
{
    return Form.Viewport() ? Form.Viewport()->PressView : 0;
}

bool TViewportInput::CameraDragging() const
{
    return Form.Camera().DragMode != 0;
}

TPaintPage* TViewportInput::PaintPage()
{
    return Form.PaintPagePtr;
}

bool TViewportInput::PaintPageActive() const
{
    return Form.PanelTabs() && Form.PaintPagePtr &&
           Form.PanelTabs()->currentWidget() == Form.PaintPagePtr;
}
