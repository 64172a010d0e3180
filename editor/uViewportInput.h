#pragma once
// Mouse and keyboard input of the main window's views: camera orbit, pan, dolly and fly
// in the Perspective view, pan and zoom of the orthographic views, selection clicks, the
// start, typing, confirmation and cancellation of transforms, and the tool and edit keys.
// The camera arithmetic is here as free functions. TViewportInput holds the handlers
// (GLMouseDown, ..., FormKeyDown): it keeps the camera, pan, wheel and global keys and
// hands everything else to the viewport modes.
#include "editor/modes/uViewportMode.h"
#include "render/uCamera.h"

#include <Qt>

#include <array>
#include <memory>

class TMainForm;
class TModelingMode;
class TObjectTransformMode;
class TPaintPickMode;

// Drag and latch state of the views between events.
struct TViewportInputState {
    int LastDragX = 0, LastDragY = 0;
    bool OrthoPanActive = false;
    bool AltPan = false;      // the pan was started by Alt + left
    bool SpaceLatch = false;  // Space acts once per press
};

// Camera drags of the Perspective view by (dx, dy) pixels for drag modes 1 orbit, 2 pan,
// 3 dolly and 4 fly forward.
void CameraDragStep(TCamera& Camera, int DragMode, int dx, int dy);
// Orthographic pan by (dx, dy) pixels in the given view: the content follows the mouse.
void OrthoPanStep(TOrthoViews& Ortho, int View, int dx, int dy);
// Each component of the orthographic centre onto the grid (halves to even).
void SnapOrthoCentre(TOrthoViews& Ortho, float Grid);
// The wheel: the Perspective camera moves along forward (distance follows, no floor);
// the orthographic views zoom, at least 1 pixel per unit.
void WheelStep(TCamera& Camera, TOrthoViews& Ortho, int View, int WheelDelta);

// The character a key types into a running transform ('0'..'9', '-', '.'), or 0. The
// keypad's decimal key counts as a point whatever the layout sends.
char TransformCharacterOf(int Key, Qt::KeyboardModifiers Modifiers);

class TViewportInput : public TViewportModeHost {
public:
    explicit TViewportInput(TMainForm& Form);
    ~TViewportInput() override;

    void GLMouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void GLMouseMove(Qt::MouseButtons Held, Qt::KeyboardModifiers Shift, int X, int Y);
    void GLMouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void GLMouseWheel(int WheelDelta);
    // True when the key is consumed (kept from the focused control).
    bool FormKeyDown(int Key, Qt::KeyboardModifiers Shift);
    void FormKeyUp(int Key);
    // Held keys, the Space latch and drags end when the window loses the keyboard.
    void ReleaseHeldInput();
    // The cursor left the view, or the window lost the focus: nothing is hovered, and the
    // views are drawn again, as the crosshair they draw follows the system cursor.
    void ForgetHover();

    // F5 and the "Edit" button: ends a running transform, then leaves or enters modelling.
    void ToggleModeling();
    // Every mode's overlay, in the Perspective view after the scene.
    void DrawOverlays();

    TObjectTransformMode& Transform() { return *TransformMode; }
    TModelingMode& Modeling() { return *ModelingMode; }
    TPaintPickMode& PaintPick() { return *PaintMode; }
    const TViewportInputState& State() const { return Input; }

    // The host the modes work through.
    TEditorContext& ModeContext() override;
    bool ProjectToScreen(const TVec3& Point, float& x, float& y) const override;
    TScreenProjector PerspectiveProjector(const TMatrix4& Model) const override;
    bool PerspectiveRay(int X, int Y, TVec3& Origin, TVec3& Direction) const override;
    TSceneObject* PickObjectAt(int X, int Y) override;
    void SelectObject(TSceneNode* Node) override;
    void UpdateStatusBar() override;
    void FocusView() override;
    void RepaintView() override;
    void ResetViewCursor() override;
    int ViewWidth() const override;
    int LastMouseX() const override;
    int LastMouseY() const override;
    int PressView() const override;
    bool CameraDragging() const override;
    TPaintPage* PaintPage() override;
    bool PaintPageActive() const override;

private:
    // The modes in the order they are asked.
    std::array<TViewportMode*, 3> ModeOrder() const;
    void EndOrthoPan();

    TMainForm& Form;
    TViewportInputState Input;
    std::unique_ptr<TObjectTransformMode> TransformMode;
    std::unique_ptr<TModelingMode> ModelingMode;
    std::unique_ptr<TPaintPickMode> PaintMode;
};
