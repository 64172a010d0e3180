#pragma once
// Mouse and keyboard input of the main window's views: camera orbit, pan, dolly and fly
// in the Perspective view, pan and zoom of the orthographic views, selection clicks, the
// start, typing, confirmation and cancellation of transforms, and the tool and edit keys.
// The camera arithmetic is here as free functions; the window's handlers
// (TMainForm::GLMouseDown, ..., FormKeyDown) are in uViewportInput.cpp.
#include "render/uCamera.h"

#include <Qt>

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
