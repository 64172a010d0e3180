#pragma once
// The undoable edits of the scene hierarchy: reparenting a set of nodes, deleting,
// duplicating and grouping, and renaming. Commands refer to nodes by id, never by
// pointer, so that a command stays valid while others delete and bring back nodes; a
// node that is gone when a command runs makes that command (or its part for that node)
// do nothing. The first Execute does the work and records its result; Redo brings back
// exactly that result, with the same ids.
//
// What a command takes out of the scene it keeps, detached and whole (ids, transforms,
// meshes, modifiers), so that Undo of a delete and Redo of a duplicate or a new group
// bring back the very nodes the scene had.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/uCommandHistory.h"
#include "base/uDocumentIds.h"
#include "base/uMath.h"
#include "scene/uScene.h"

// Where one node sits: its parent (0 is the root), its index there and its local transform.
struct TNodePlacement {
    uint32_t NodeId = 0;
    uint32_t ParentId = 0;
    int32_t Index = 0;
    TVec3 Position{0, 0, 0};
    TVec3 Rotation{0, 0, 0};
    TVec3 Scale{1, 1, 1};
};

class TReparentNodesCommand : public TEditorCommand {
public:
    // NewParentId 0, or an id no node has, means the root. Index is where the first node
    // goes; KeepLocal keeps local transforms, otherwise world placements are kept.
    TReparentNodesCommand(TScene& Scene, bool KeepLocal, int32_t Index, uint32_t NewParentId,
                          const TSceneNodeIdArray& NodeIds);
    std::string GetDescription() const override { return "Reparent"; }
    // First run: moves the nodes that still exist, all or none (ESceneHierarchyError).
    // Later runs put them back where the first run left them.
    void Execute() override;
    // ESceneHierarchyError "Unable to restore hierarchy state." when the scene refuses a
    // link, or that text with the node whose world matrix would not be finite (a parent
    // moved since); nothing has changed then. Later runs of Execute likewise.
    void Undo() override;

    const TSceneNodeIdArray& GetNodeIds() const { return NodeIds; }

private:
    TScene& Scene;
    TSceneNodeIdArray NodeIds;
    uint32_t NewParentId;
    int32_t Index;
    bool KeepLocal;
    bool Executed = false;
    // One entry per node the first run moved, in list order.
    std::vector<TNodePlacement> OldPlaces;
    std::vector<TNodePlacement> NewPlaces;
};

class TDeleteSubtreeCommand : public TEditorCommand {
public:
    // The scene root cannot be deleted: the command then does nothing.
    TDeleteSubtreeCommand(TScene& Scene, const TSceneNode* Node);
    std::string GetDescription() const override { return "Delete"; }
    // Takes the subtree out of the scene and keeps it.
    void Execute() override;
    // Links the kept subtree back under its parent (the root when the parent is gone, or
    // has moved so far that a world matrix in the subtree would not be finite there) at its
    // old index; the scene owns it again.
    void Undo() override;

    // True while the command holds the deleted subtree.
    bool HoldsSubtree() const { return Snapshot != nullptr; }

private:
    TScene& Scene;
    uint32_t NodeId;
    uint32_t ParentId = 0;
    int32_t Index = 0;
    TDetachedSubtree Snapshot;
};

class TDuplicateSubtreeCommand : public TEditorCommand {
public:
    TDuplicateSubtreeCommand(TScene& Scene, const TSceneNode* Node);
    std::string GetDescription() const override { return "Duplicate"; }
    // First run: copies the source next to itself (its parent must still exist). Later
    // runs bring back that same copy where it was.
    void Execute() override;
    // Takes the copy out and keeps it. Nodes put inside the copy by other means than this
    // command move to the copy's parent first, so they are not lost.
    void Undo() override;

    uint32_t GetCopyRootId() const { return CopyRootId; }
    // The copy's ids in pre-order (a node before its children).
    const TSceneNodeIdArray& GetRecordedIds() const { return RecordedIds; }

private:
    TScene& Scene;
    uint32_t SourceId;
    uint32_t ParentId;
    int32_t Index;
    TSceneNodeIdArray RecordedIds;
    uint32_t CopyRootId = kNoId;
    // The source's selection before the copy took it.
    bool SourceWasSelected = false;
    // Where the copy sat when it was taken out.
    uint32_t CopyParentId = 0;
    int32_t CopyIndex = 0;
    TDetachedSubtree KeptCopy;
};

class TCreateGroupCommand : public TEditorCommand {
public:
    // Parent none means the root.
    TCreateGroupCommand(TScene& Scene, const std::string& Name, const TSceneNode* Parent,
                        int32_t Index);
    std::string GetDescription() const override { return "Create group"; }
    // Nothing while the group exists. First run: a new group; later runs bring back the
    // same group (same id) where it was.
    void Execute() override;
    // Takes the group out and keeps it; its children move to its parent first.
    void Undo() override;

    uint32_t GetGroupId() const { return GroupId; }

private:
    TScene& Scene;
    uint32_t GroupId = kNoId;
    std::string Name;
    uint32_t ParentId;
    int32_t Index;
    // Where the group sat when it was taken out.
    uint32_t GroupParentId = 0;
    int32_t GroupIndex = 0;
    TDetachedSubtree KeptGroup;
};

class TRenameNodeCommand : public TEditorCommand {
public:
    // Changed (may be empty) runs after each write of the name: a rename sends no scene
    // notification, so this is how the project learns that it has unsaved changes.
    TRenameNodeCommand(TScene& Scene, const std::string& NewName, const TSceneNode* Node,
                       std::function<void()> Changed = {});
    std::string GetDescription() const override { return "Rename"; }
    // Writes only the name: no notification. A name over kMaxNameChars is refused.
    void Execute() override;
    void Undo() override;

private:
    void WriteName(const std::string& Name);

    TScene& Scene;
    uint32_t NodeId;
    std::string OldName;
    std::string NewName;
    std::function<void()> Changed;
};
