#pragma once
// The undoable floor-plan edits: building a plan, building a building, editing a plan and
// editing a floor's settings. Commands hold the project document and ids, never pointers
// to sources, so they survive the sources being replaced. A failing build or rebuild
// raises EGeneralError with the message of the routine in uFloorPlanBuild.
//
// The build commands keep the generated tree, detached, while they are undone, together
// with the bindings it had; redo puts both back exactly, so a source that changed in
// between shows the tree as stale instead of as current.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/uCommandHistory.h"
#include "base/uDocumentIds.h"
#include "floorplan/uFloorPlan.h"
#include "floorplan/uFloorPlanDocument.h"
#include "scene/uScene.h"

class TFloorPlanTarget;

// What a generated tree carried while it was in the scene.
struct TKeptBinding {
    uint32_t RootNodeId = kNoId;
    uint32_t PlanId = kNoId;
    uint32_t FloorId = kNoId;
    uint32_t BuildingId = kNoId;
    uint64_t SourceHash = 0;
};

// Shared by the two build commands: where the tree goes, and the tree while undone.
class TFloorPlanBuildCommandBase : public TEditorCommand {
public:
    void Undo() override;
    void Redo() override { Execute(); }

    uint32_t GetRootNodeId() const { return RootNodeId; }
    int32_t GetSiblingIndex() const { return SiblingIndex; }
    bool IsAttached() const { return Attached; }
    // True while the command holds the generated tree.
    bool HoldsTree() const { return DetachedRoot != nullptr; }

protected:
    TFloorPlanBuildCommandBase(TFloorPlanTarget* Document, uint32_t ParentNodeId);
    // The node the build goes under: ParentNodeId when it exists, else the root.
    TSceneNode* BuildParent() const;
    // Puts the kept tree back where it was taken from and restores its bindings.
    void Reinsert();
    // Checks before a redo puts the tree back; raises to refuse.
    virtual void CheckRedo() const {}
    // Whether a redo puts the kept bindings back: not when their source is gone.
    virtual bool RestoresBindings() const { return true; }

    TFloorPlanTarget* Document;
    uint32_t ParentNodeId;
    int32_t SiblingIndex = -1;
    uint32_t RootNodeId = kNoId;
    TDetachedSubtree DetachedRoot;
    bool Attached = false;

private:
    uint32_t UndoneParentId = kNoId;  // the parent the tree was taken from
    std::vector<TKeptBinding> KeptBindings;
};

class TBuildFloorPlanCommand : public TFloorPlanBuildCommandBase {
public:
    // Raises EArgumentError "Build requires a document" for a nil document.
    TBuildFloorPlanCommand(TFloorPlanTarget* Document, uint32_t PlanId, uint32_t ParentNodeId,
                           uint32_t FloorId, uint32_t BuildingId);
    // A plan built on its own: no floor, no building.
    static std::unique_ptr<TBuildFloorPlanCommand>
    CreateForPlan(TFloorPlanTarget* Document, uint32_t PlanId, uint32_t ParentNodeId);
    std::string GetDescription() const override { return "Build floor plan"; }
    // First run: builds and binds the plan's group. As a redo: puts the kept tree back.
    void Execute() override;

private:
    // A redo needs the plan: without it the tree would come back bound to nothing.
    void CheckRedo() const override;

    uint32_t PlanId;
    uint32_t FloorId;
    uint32_t BuildingId;
};

class TBuildBuildingCommand : public TFloorPlanBuildCommandBase {
public:
    // Raises EArgumentError "Build requires a document" for a nil document.
    TBuildBuildingCommand(TFloorPlanTarget* Document, uint32_t BuildingId, uint32_t ParentNodeId);
    std::string GetDescription() const override { return "Build building"; }
    void Execute() override;

private:
    bool RestoresBindings() const override;

    uint32_t BuildingId;
};

// The snapshots are whole plans: undoing or redoing an edit also brings back the name
// the plan had then, even when it was renamed since.
class TEditFloorPlanCommand : public TEditorCommand {
public:
    // Keeps clones of both snapshots. Raises EArgumentError "Floor-plan edit requires a
    // document" or "Floor-plan edit snapshots are missing".
    TEditFloorPlanCommand(TFloorPlanTarget* Document, uint32_t PlanId, const TFloorPlan* Before,
                          const TFloorPlan* After);
    std::string GetDescription() const override { return "Edit floor plan"; }
    void Execute() override { Apply(*After, *Before); }
    void Undo() override { Apply(*Before, *After); }

private:
    // Stores Snapshot in the plan and rebuilds what was built from it when it validates.
    // Expected is the state the command left the plan in. When the plan no longer has
    // Expected's revision it was changed outside the history, and the snapshot's revision
    // may already name another state: the plan then gets a revision past both instead.
    // A failing rebuild puts the plan back as it was and raises.
    void Apply(const TFloorPlan& Snapshot, const TFloorPlan& Expected);

    TFloorPlanTarget* Document;
    uint32_t PlanId;
    std::unique_ptr<TFloorPlan> Before;
    std::unique_ptr<TFloorPlan> After;
};

class TEditFloorSettingsCommand : public TEditorCommand {
public:
    // Keeps clones of both snapshots. Raises EArgumentError "Floor settings edit requires a
    // document" or "Floor settings snapshots are missing".
    TEditFloorSettingsCommand(TFloorPlanTarget* Document, uint32_t FloorId,
                              const TFloorDefinition* Before, const TFloorDefinition* After);
    std::string GetDescription() const override { return "Edit floor settings"; }
    void Execute() override { Apply(*After); }
    void Undo() override { Apply(*Before); }

private:
    // Stores Snapshot in the floor and rebuilds its building. A failing rebuild puts the
    // floor back as it was and raises.
    void Apply(const TFloorDefinition& Snapshot);

    TFloorPlanTarget* Document;
    uint32_t FloorId;
    std::unique_ptr<TFloorDefinition> Before;
    std::unique_ptr<TFloorDefinition> After;
};
