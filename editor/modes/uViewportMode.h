#pragma once
// A viewport mode: what the views do with the mouse and keys that the view itself does not
// keep (camera drags, orthographic pans, the wheel, the function keys, undo and redo, held
// camera keys, Space). The object transform mode is always there; modelling and paint
// picking join it while they are on. Each mode holds its own state and reaches the window
// only through the host.
#include "base/uMath.h"
#include "scene/uMeshElementPick.h"

#include <Qt>

class TEditorContext;
class TPaintPage;
class TSceneNode;
class TSceneObject;
struct TStatusInputs;

// One mouse event of the GL view (logical pixels, y down). View is the press view for a
// press or a release and the view under the cursor for a move.
struct TViewportMouse {
    Qt::MouseButton Button = Qt::NoButton;
    Qt::MouseButtons Held;
    Qt::KeyboardModifiers Modifiers;
    int X = 0, Y = 0;
    int View = 0;
};

// What a mode made of a key: not its key (the next one may take it), taken, or taken and
// kept from the focused control.
enum class TModeKey { NotMine, Handled, Consumed };

// What the modes may ask of the views and the window.
class TViewportModeHost {
public:
    virtual ~TViewportModeHost() = default;
    virtual TEditorContext& ModeContext() = 0;
    // World point to view pixels with the Perspective view's last matrices.
    virtual bool ProjectToScreen(const TVec3& Point, float& x, float& y) const = 0;
    // The same chain as a projector, with Model applied first (row-major).
    virtual TScreenProjector PerspectiveProjector(const TMatrix4& Model) const = 0;
    // The ray of a pixel of the Perspective view; False before the first paint.
    virtual bool PerspectiveRay(int X, int Y, TVec3& Origin, TVec3& Direction) const = 0;
    // The nearest object under a pixel of the press view.
    virtual TSceneObject* PickObjectAt(int X, int Y) = 0;
    virtual void SelectObject(TSceneNode* Node) = 0;
    virtual void UpdateStatusBar() = 0;
    virtual void FocusView() = 0;
    virtual void RepaintView() = 0;
    virtual void ResetViewCursor() = 0;
    virtual int ViewWidth() const = 0;
    virtual int LastMouseX() const = 0;
    virtual int LastMouseY() const = 0;
    virtual int PressView() const = 0;
    virtual bool CameraDragging() const = 0;
    // The paint page, and whether it is the side panel's page on show.
    virtual TPaintPage* PaintPage() = 0;
    virtual bool PaintPageActive() const = 0;
};

class TViewportMode {
public:
    explicit TViewportMode(TViewportModeHost& Host) : Host(Host) {}
    virtual ~TViewportMode() = default;
    TViewportMode(const TViewportMode&) = delete;
    TViewportMode& operator=(const TViewportMode&) = delete;

    // True when the mode took the event; the view then passes it to no other mode.
    virtual bool MouseDown(const TViewportMouse&) { return false; }
    virtual bool MouseMove(const TViewportMouse&) { return false; }
    virtual bool MouseUp(const TViewportMouse&) { return false; }
    virtual TModeKey KeyDown(int, Qt::KeyboardModifiers) { return TModeKey::NotMine; }
    // Drawn in the Perspective view after the scene, with its matrices loaded.
    virtual void DrawOverlay() {}
    // Ends whatever the mode has running, putting back what it changed.
    virtual void Cancel() {}
    // Adds the mode's part to the status bar's texts.
    virtual void FillStatus(TStatusInputs&) const {}

protected:
    TViewportModeHost& Host;
};
