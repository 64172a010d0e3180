#pragma once
// How a subsystem's windows join the main window: main() calls each subsystem's Install
// routine in a fixed order, and the routine hands the shell what its menu items and tool
// buttons do. The menu bar and the tool bar keep their layout; an item or button whose
// action nobody installed stays hidden.
#include <functional>
#include <string>

class TEditorContext;

// The View and Tools menu items that open tool windows, by their Tag.
enum TToolWindowItem : int {
    twiCinematicWindow = 4,
    twiTextures = 5,
    twiEnvironment = 6,
    twiTerrainEditor = 7,
    twiCamera = 8,
    twiTextureRipper = 9,
    twiFloorPlanBuilder = 10,
};

class TEditorShell {
public:
    virtual ~TEditorShell() = default;
    virtual TEditorContext& Context() = 0;
    // What the View or Tools menu item with this Tag opens; the item is shown from now on.
    virtual void InstallToolWindowItem(TToolWindowItem Tag, std::function<void()> Open) = 0;
    // What a tool-bar button does ("Push Cam", "Floor Plan"); the button is shown.
    virtual void InstallToolButton(const std::string& Caption, std::function<void()> Click) = 0;
    // What F6 and "Push Cam" do: hand the Perspective camera to the cinematic window.
    virtual void InstallPushCamera(std::function<void()> Push) = 0;
    // Opens the terrain editor on an object (Create > Terrain, the tree's popup).
    virtual void InstallTerrainEditor(std::function<void(uint32_t NodeId)> Open) = 0;
};
