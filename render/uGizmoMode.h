#pragma once
// The editor's current tool.
enum TGizmoMode { gmSelect = 0, gmMove = 1, gmScale = 2, gmRotate = 3 };

// "Select", "Move", "Scale" or "Rotate": the status bar and the Mode menu name tools so.
inline const char* GizmoModeName(TGizmoMode Mode)
{
    switch (Mode) {
    case gmSelect:
        return "Select";
    case gmMove:
        return "Move";
    case gmScale:
        return "Scale";
    default:
        return "Rotate";
    }
}
