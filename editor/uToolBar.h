#pragma once
// The buttons of the main window's tool bar, placed on its 30-pixel panel.
struct TToolButtonSpec {
    const char* Caption;
    int Left;
    int Width;
    int Tag;
};

// Select, Move, Scale and Rotate: one group, exactly one down.
extern const TToolButtonSpec kToolButtons[4];
// Push Cam and Floor Plan, shown when their windows are installed.
extern const TToolButtonSpec kToolWindowButtons[2];
