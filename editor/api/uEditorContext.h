#pragma once
// What every page, panel, tool window and viewport mode of the editor works through. The
// main window implements it; a piece receives it at construction, keeps ids (never
// pointers) to nodes and modifiers, looks them up at each event, and refreshes from
// Events() rather than being refreshed by whoever made a change.
#include "editor/api/uEditorDialogs.h"
#include "editor/api/uEditorEvents.h"
#include "editor/api/uEditorSelection.h"
#include "editor/api/uToolWindowGlue.h"
#include "editor/api/uToolWindowHost.h"
#include "scene/uSceneObject.h"

#include <cstdint>
#include <memory>
#include <string>

class QWidget;
class TEditorCommand;
class TSceneObject;
class TProjectDocument;
class TTextureManager;

class TEditorContext {
public:
    virtual ~TEditorContext() = default;

    // The project and what it owns (scene, environment, animation, floor plans, history).
    virtual TProjectDocument& Document() = 0;
    virtual TTextureManager& Textures() = 0;
    virtual TEditorEvents& Events() = 0;
    virtual TEditorDialogs& Dialogs() = 0;
    virtual TEditorSelection& Selection() = 0;
    virtual TToolWindowHost& ToolWindows() = 0;
    // The parent of dialogs and tool windows.
    virtual QWidget* ParentWindow() = 0;

    // The selected object's id, 0 when none is selected (a selected group counts as none:
    // the pages and the timeline work on objects).
    virtual uint32_t SelectedNodeId() const = 0;
    // The selected node of either kind, a group or an object, 0 when none is selected.
    virtual uint32_t SelectedHierarchyNodeId() const = 0;
    // Exactly this node is selected afterwards (0 deselects); SelectionChanged follows.
    virtual void SelectNode(uint32_t NodeId) = 0;
    // Frames the selected object in the Perspective view.
    virtual void FocusSelected() = 0;
    // A new primitive as Create makes it, selected (no undo); none when it failed or the
    // context makes no objects.
    virtual TSceneObject* AddPrimitiveObject(TPrimitiveType /*Type*/) { return nullptr; }
    // Ends the modelling mode (the tree's "Scene" item does); nothing when it is off.
    virtual void LeaveModelingMode() = 0;

    // Executes Command through the history. An error is shown in the error box and the
    // result is False; HistoryChanged follows either way.
    virtual bool Run(std::unique_ptr<TEditorCommand> Command) = 0;
    virtual void Undo() = 0;
    virtual void Redo() = 0;

    // Asks the views to draw again.
    virtual void Repaint() = 0;
    // The status bar's first panel.
    virtual void SetStatusText(const std::string& Text) = 0;
    // The project's file name; empty until the first save or open.
    virtual std::string ProjectFileName() const = 0;
    // The frame the playback clock counts on from (after a jump of the current frame).
    virtual void SetPlaybackAccumulator(double Frame) = 0;

    // The Perspective camera, as the camera and cinematic windows read and set it.
    virtual void ReadCameraSettings(TCameraPlacement& Placement) const = 0;
    virtual void ApplyCameraSettings(const TCameraPlacement& Placement) = 0;

    // The glue routines the tool windows call after their edits.
    virtual void RefreshTextureCombo() = 0;  // TexturesChanged
    virtual void TerrainEdited() = 0;        // DocumentEdited
    virtual void FloorPlanChanged() = 0;     // DocumentEdited
    virtual void InvalidateContactLighting() = 0;
    // Before a view that shows contact lighting: with Force the lighting is recomputed;
    // when it must be and the user declines, it stays off. True when it is on.
    virtual bool ConfirmContactAORecalc(bool Force) = 0;

    // Texture objects live in the views' GL context: imports and deletes of the texture
    // registry run between these two.
    virtual void MakeTextureContextCurrent() {}
    virtual void DoneTextureContext() {}
};

// Makes the texture context current for the lifetime of the scope.
class TTextureContextScope {
public:
    explicit TTextureContextScope(TEditorContext& Context) : Context(Context)
    {
        Context.MakeTextureContextCurrent();
    }
    ~TTextureContextScope() { Context.DoneTextureContext(); }
    TTextureContextScope(const TTextureContextScope&) = delete;
    TTextureContextScope& operator=(const TTextureContextScope&) = delete;

private:
    TEditorContext& Context;
};
